// Reading back a PDF with the poppler command line tools (pdfinfo,
// pdftotext, pdffonts), as a reader sees the file.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kt482::test {

// Empty when all three tools are on PATH, else which one is missing.
std::string missing_poppler_tool();

// Standard output of a shell command; nothing when it cannot run or exits
// with a failure.
std::optional<std::string> command_output(const std::string& command);

struct PdfPageSize {
    double width = 0;  // points
    double height = 0;
};

// Every page's size, in order.
std::vector<PdfPageSize> pdf_page_sizes(const std::string& path);

// The text of every page, in order.
std::vector<std::string> pdf_page_texts(const std::string& path);

struct PdfWord {
    int page = 0;  // from 1
    std::string text;
    double x_min = 0, y_min = 0, x_max = 0, y_max = 0;  // points from the top left
};

std::vector<PdfWord> pdf_words(const std::string& path);

struct PdfFont {
    std::string name;  // a subset's name has a six-letter tag: "ABCDEF+IPAMincho"
    std::string type;
    bool embedded = false;
    bool subset = false;
    bool unicode = false;  // has a ToUnicode map
};

std::vector<PdfFont> pdf_fonts(const std::string& path);

// The text of every page as MuPDF extracts it (mutool), in order; empty
// when mutool is not installed.
std::vector<std::string> mupdf_page_texts(const std::string& path);

// Each glyph MuPDF draws (mutool trace), in order: the character it shows,
// its number in the embedded font and its origin in points, y up.
struct DrawnGlyph {
    std::string text;
    uint32_t glyph = 0;
    double x = 0, y = 0;
};

std::vector<DrawnGlyph> mupdf_glyphs(const std::string& path);

// The document information pdfinfo shows ("Title", "Author", ...), by name.
std::map<std::string, std::string> pdf_info(const std::string& path);

// What qpdf --check finds wrong with a file: empty when it is valid, or when
// qpdf is not installed (then "qpdf is not installed" only if required).
std::string qpdf_problems(const std::string& path);

// Every file under folder that starts as a PDF does and that qpdf finds
// fault with, each with its problems.
std::string invalid_pdfs_in(const std::string& folder);

}  // namespace kt482::test
