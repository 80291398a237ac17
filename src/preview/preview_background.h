// The preview's background: a picture of the pre-printed form, drawn under
// every page the preview shows, at its zoom and scroll, and never on a
// printer, so the host sees where its data falls on the stationery.
#pragma once

#include <string>

#include "job/object_fields.h"

namespace kt482 {

// Loads the PNG or JPEG file, or the first page of the PDF file, as the
// background; empty clears it. A file that is none of these is reported
// (InvalidPicture, 481) and the background stays as it was.
void V_Background(ObjectFields& self, const std::string& file);

// Whether the preview's "save as PDF" draws the background under its pages
// too (off at first), for a filled form sent by mail.
void V_BackgroundInPdf(ObjectFields& self, bool include);

// Draws the background over the whole page on the preview's canvas, or on
// the PDF the preview saves when asked; nothing on any other target, on a
// printer, or when there is none.
void draw_preview_background();

}  // namespace kt482
