#include "support/poppler.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "support/command_run.h"

namespace kt482::test {
namespace {

std::string quoted(const std::string& path)
{
    std::string out = "'";
    for (char c : path)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::vector<std::string> split_words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// pdftotext -bbox writes XML entities for the few characters HTML reserves.
std::string unescaped(std::string text)
{
    static const std::pair<const char*, const char*> kEntities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [entity, plain] : kEntities) {
        for (std::size_t at; (at = text.find(entity)) != std::string::npos;)
            text.replace(at, std::string(entity).size(), plain);
    }
    return text;
}

}  // namespace

std::string missing_poppler_tool()
{
    for (const char* tool : {"pdfinfo", "pdftotext", "pdffonts"}) {
        if (!command_output(std::string("command -v ") + tool))
            return tool;
    }
    return {};
}

std::optional<std::string> command_output(const std::string& command)
{
    CommandRun run = run_command(command + " 2>/dev/null");
    if (run.status != 0)
        return std::nullopt;
    return std::move(run.out);
}

std::vector<PdfPageSize> pdf_page_sizes(const std::string& path)
{
    std::vector<PdfPageSize> sizes;
    const auto out = command_output("pdfinfo -f 1 -l 100000 " + quoted(path));
    if (!out)
        return sizes;
    // Lines read "Page    1 size: 595 x 842 pts (A4)".
    std::istringstream in(*out);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string page, number, size, by, unit;
        double width = 0, height = 0;
        if (words >> page >> number >> size >> width >> by >> height >> unit && page == "Page" && size == "size:" &&
            by == "x" && unit == "pts")
            sizes.push_back({width, height});
    }
    return sizes;
}

std::vector<std::string> pdf_page_texts(const std::string& path)
{
    std::vector<std::string> pages;
    const auto out = command_output("pdftotext -enc UTF-8 " + quoted(path) + " -");
    if (!out)
        return pages;
    // Every page ends with a form feed.
    std::size_t from = 0;
    for (std::size_t ff; (ff = out->find('\f', from)) != std::string::npos; from = ff + 1)
        pages.push_back(out->substr(from, ff - from));
    return pages;
}

std::vector<PdfWord> pdf_words(const std::string& path)
{
    std::vector<PdfWord> words;
    const auto out = command_output("pdftotext -enc UTF-8 -bbox " + quoted(path) + " -");
    if (!out)
        return words;
    int page = 0;
    std::istringstream in(*out);
    for (std::string line; std::getline(in, line);) {
        if (line.find("<page ") != std::string::npos)
            ++page;
        // <word xMin="40.000000" yMin="48.000293" xMax="55.75" yMax="58.5">ABC</word>
        const std::size_t open = line.find("<word ");
        const std::size_t text = line.find('>', open);
        const std::size_t close = line.find("</word>", text);
        if (open == std::string::npos || text == std::string::npos || close == std::string::npos)
            continue;
        auto attribute = [&](const char* name) {
            const std::size_t at = line.find(std::string(name) + "=\"", open);
            return at < text ? std::stod(line.substr(at + std::strlen(name) + 2)) : 0.0;
        };
        words.push_back({page, unescaped(line.substr(text + 1, close - text - 1)), attribute("xMin"),
                         attribute("yMin"), attribute("xMax"), attribute("yMax")});
    }
    return words;
}

// The table's last five columns are always single words: emb, sub, uni, the
// object number and its generation; the name is the first word.
std::vector<PdfFont> pdf_fonts(const std::string& path)
{
    std::vector<PdfFont> fonts;
    const auto out = command_output("pdffonts " + quoted(path));
    if (!out)
        return fonts;
    std::istringstream in(*out);
    std::string line;
    std::getline(in, line);  // the heading
    std::getline(in, line);  // the rule under it
    while (std::getline(in, line)) {
        const auto words = split_words(line);
        if (words.size() < 7)
            continue;
        const std::size_t n = words.size();
        PdfFont font;
        font.name = words[0];
        for (std::size_t i = 1; i + 6 < n; ++i)
            font.type += (font.type.empty() ? "" : " ") + words[i];
        font.embedded = words[n - 5] == "yes";
        font.subset = words[n - 4] == "yes";
        font.unicode = words[n - 3] == "yes";
        fonts.push_back(font);
    }
    return fonts;
}

std::vector<std::string> mupdf_page_texts(const std::string& path)
{
    std::vector<std::string> pages;
    const std::size_t count = pdf_page_sizes(path).size();
    for (std::size_t page = 1; page <= count; ++page) {
        const auto out = command_output("mutool draw -q -F txt -o - " + quoted(path) + " " + std::to_string(page));
        if (!out)
            return {};
        pages.push_back(*out);
    }
    return pages;
}

std::vector<DrawnGlyph> mupdf_glyphs(const std::string& path)
{
    std::vector<DrawnGlyph> glyphs;
    const std::string trace = command_output("mutool trace " + quoted(path) + " 2>/dev/null").value_or("");
    static const std::regex pattern(R"re(<g unicode="([^"]*)" glyph="(\d+)" x="([-0-9.]+)" y="([-0-9.]+)")re");
    for (auto it = std::sregex_iterator(trace.begin(), trace.end(), pattern); it != std::sregex_iterator(); ++it)
        glyphs.push_back({(*it)[1], static_cast<uint32_t>(std::stoul((*it)[2])), std::stod((*it)[3]),
                          std::stod((*it)[4])});
    return glyphs;
}

std::map<std::string, std::string> pdf_info(const std::string& path)
{
    std::map<std::string, std::string> info;
    const auto out = command_output("pdfinfo -enc UTF-8 " + quoted(path));
    if (!out)
        return info;
    // Lines read "Title:          invoice.pdf".
    std::istringstream in(*out);
    for (std::string line; std::getline(in, line);) {
        const std::size_t colon = line.find(':');
        const std::size_t value = line.find_first_not_of(' ', colon + 1);
        if (colon != std::string::npos && value != std::string::npos)
            info.emplace(line.substr(0, colon), line.substr(value));
    }
    return info;
}

std::string qpdf_problems(const std::string& path)
{
    if (!command_output("command -v qpdf"))
        return {};
    // qpdf exits 0 when the file is clean and 3 on warnings; both fail here
    // unless it says so.
    const auto out = command_output("qpdf --check " + quoted(path) + " 2>&1");
    if (out && out->find("No syntax or stream encoding errors") != std::string::npos
        && out->find("WARNING") == std::string::npos)
        return {};
    return out ? *out : "qpdf --check failed";
}

std::string invalid_pdfs_in(const std::string& folder)
{
    std::string problems;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        char head[5] = {};
        in.read(head, 5);
        if (std::string_view(head, 5) != "%PDF-")
            continue;
        if (const std::string found = qpdf_problems(entry.path().string()); !found.empty())
            problems += entry.path().string() + ": " + found + "\n";
    }
    return problems;
}

}  // namespace kt482::test
