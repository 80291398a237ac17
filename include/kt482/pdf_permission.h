// What the reader of an encrypted PDF document may do besides reading it,
// as a bit set for KT482_Print::SetPdfEncryption: 0 allows reading only, -1
// everything. Each value is the bit the PDF format gives the permission, so
// that a set passes into the file as it is.
#pragma once

#include <cstdint>

namespace kt482 {

enum class PdfPermission : int32_t {
    Print = 1 << 2,             // print, at a low resolution unless PrintHighQuality
    Modify = 1 << 3,            // change the content
    Copy = 1 << 4,              // copy text and pictures
    Annotate = 1 << 5,          // add or change annotations and fill in forms
    FillForms = 1 << 8,         // fill in existing form fields
    Accessibility = 1 << 9,     // extract text for accessibility tools
    Assemble = 1 << 10,         // insert, rotate or delete pages
    PrintHighQuality = 1 << 11  // print at the full resolution
};

constexpr int32_t operator|(PdfPermission a, PdfPermission b)
{
    return static_cast<int32_t>(a) | static_cast<int32_t>(b);
}
constexpr int32_t operator|(int32_t a, PdfPermission b)
{
    return a | static_cast<int32_t>(b);
}

}  // namespace kt482
