#include "pdf/pdf_attachments.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "pdf/pdf_document.h"
#include "sign/digest.h"

namespace kt482::pdf {
namespace {

std::string ref(uint32_t object)
{
    return std::to_string(object) + " 0 R";
}

// A name object for any text: the characters a name cannot hold as they
// stand (delimiters, '#', blanks and bytes outside printable ASCII) as #XX.
std::string name_object(std::string_view text)
{
    std::string out = "/";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || u >= 0x7F || std::string_view("()<>[]{}/%#").find(c) != std::string_view::npos) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "#%02X", u);
            out += hex;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string hex_string(std::string_view bytes)
{
    std::string out = "<";
    char hex[3];
    for (const char c : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(c));
        out += hex;
    }
    return out + ">";
}

// The file's name as /F takes it: printable ASCII, others as '_'.
std::string ascii_name(std::string_view name)
{
    std::string out;
    for (const char c : name)
        out.push_back(static_cast<unsigned char>(c) >= ' ' && static_cast<unsigned char>(c) < 0x7F ? c : '_');
    return out;
}

// Names in the name tree are unique: a name taken already gets " (2)" and on.
void make_names_unique(std::vector<Attachment>& files)
{
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string base = files[i].name;
        for (int n = 2;; ++n) {
            const bool taken = std::any_of(files.begin(), files.begin() + static_cast<std::ptrdiff_t>(i),
                                           [&](const Attachment& a) { return a.name == files[i].name; });
            if (!taken)
                break;
            files[i].name = base + " (" + std::to_string(n) + ")";
        }
    }
}

}  // namespace

std::string write_attachments(PdfWriter& writer, std::vector<Attachment> files)
{
    if (files.empty())
        return {};
    make_names_unique(files);
    // The name tree's keys are in order of their bytes.
    std::stable_sort(files.begin(), files.end(),
                     [](const Attachment& a, const Attachment& b) { return a.name < b.name; });
    std::string names;
    std::string associated;
    for (const Attachment& file : files) {
        const uint32_t stream = writer.reserve();
        const uint32_t spec = writer.reserve();
        std::string params = "/Type/EmbeddedFile/Subtype" + name_object(file.mime_type) + "/Params<</Size "
                             + std::to_string(file.data.size()) + "/CreationDate";
        append_text_string(params, pdf_date(file.created));
        params += "/ModDate";
        append_text_string(params, pdf_date(file.modified));
        params += "/CheckSum" + hex_string(sign::md5(file.data)) + ">>/Filter/FlateDecode";
        writer.stream(stream, params, deflate(file.data, 6));
        std::string body = "<</Type/Filespec/F";
        append_text_string(body, ascii_name(file.name));
        body += "/UF";
        append_text_string(body, file.name);
        if (!file.description.empty()) {
            body += "/Desc";
            append_text_string(body, file.description);
        }
        body += "/AFRelationship/" + file.relationship + "/EF<</F " + ref(stream) + "/UF " + ref(stream) + ">>>>";
        writer.object(spec, body);
        append_text_string(names, file.name);
        names += ref(spec);
        associated += ref(spec) + " ";
    }
    associated.pop_back();
    return "/Names<</EmbeddedFiles<</Names[" + names + "]>>>>/AF[" + associated + "]";
}

}  // namespace kt482::pdf
