// Printing from the preview window: the print button's run on the selected
// printer and saving the previewed range as a PDF file.
#pragma once

#include "platform/window_toolkit.h"

namespace kt482 {

// Prints the previewed range on the selected printer, showing the progress
// of a long run, and closes the window once it has gone out. A run the user
// cancels drops its document and leaves the window showing its page.
void print_from_preview(PreviewWindow& w);

// What the print button would print, into a PDF file the user names: the
// previewed range on the job's page setup at the current zoom, through the
// built-in PDF printer. The printer chosen stays chosen, and the window goes
// on previewing where it was.
void save_preview_as_pdf(PreviewWindow& w);

}  // namespace kt482
