// The printer settings dialog of the Qt platform: Qt's print dialog, reduced
// to choosing a printer and its settings (no page range, selection, current
// page or output file), opened on the printer and settings of the request.
//
// The printers offered
//   The print server's queues as Qt lists them, then the built-in PDF printer
//   "KT482 PDF", which Qt's dialog does not know: it is added to the dialog's
//   printer list, and can be chosen there like a queue. Qt treats it as a
//   printer without a device: its page settings list every size Qt knows but
//   offer no user-defined size (a user-defined page of the request stays as
//   it is unless another is chosen). Its labels say "PDF file" and the output
//   folder, and duplex is offered and reported as chosen, as the PDF printer
//   takes every value (and ignores it). Qt hands the settings of the PDF
//   printer to a queue of its own choosing when the dialog is accepted; the
//   result is taken from what the dialog showed, never from that queue.
//   The request's printer is found with letter case and trailing blanks
//   ignored. A name that is neither a queue nor the PDF printer opens the
//   dialog on the server's default queue, or on the PDF printer when there is
//   none.
//
// The print server
//   It is probed first, as for every printer query. A server that does not
//   answer in time, or answers the probe and stalls on requests, is left
//   out: Qt's dialog would ask it for its queues, and libcups would wait
//   about two minutes per request. The dialog then offers the PDF printer
//   alone, as it does with no server at all (nothing listening).
//
// The result
//   device name  the chosen printer's name, whole
//   paper size   the request's paper when the user kept it (the same size to
//                half a point), so every code comes back as it went in: Qt
//                itself knows a user-defined 612 x 792 points as Letter and
//                A4 small as A4. A page chosen anew gives the lowest code of
//                its page size, or 256 for a size the user defined or one
//                without a code within 1 mm; a size a queue lists under a name
//                of its own gives the code within 1 mm of it.
//   page height and width
//                in points: the request's own for a user-defined page kept,
//                else the page's size in portrait, rounded to 1/20 point
//   orientation  1 portrait, 2 landscape
//   copies       the copy count
//   duplex       1 none, 2 long edge, 3 short edge
//   paper source and kind
//                from the two lists the dialog adds to Qt's Options tab (see
//                qt_paper_choice_boxes.h): the printer's IPP name of each,
//                empty for the printer's own
//   When the dialog is accepted, Qt sets the page size afresh from the
//   printer's defaults unless the page settings were opened; the page the
//   user kept is set again and reported.
//   A cancelled dialog gives confirmed = false and nothing else.
//
// Paper codes through the dialog (on the PDF printer):
//   kept: every code of the paper table (print/paper_table.h) and 256 come
//   back as themselves; with the page settings opened, only those whose
//   size Qt knows (not 7, 12, 15 and 22: Qt's page settings list only its
//   own sizes, and show the first of them instead).
//   chosen in the page settings: every code comes back as itself except
//   those sharing their page size with a lower code: 2 and 18 come back as
//   1 (Letter), 10 as 9 (A4), 17 as 3 (Tabloid), 41 as 14 (8.5 x 13 in).
//
// Without a display
//   With neither DISPLAY nor WAYLAND_DISPLAY set, or on Qt's offscreen or
//   minimal platform, nobody could answer the dialog: it fails at once with
//   InvalidCall (5) and never waits. A driver installed with
//   set_print_dialog_driver lifts this, for tests.
#pragma once

#include <functional>
#include <memory>

#include "platform/print_dialog.h"

class QPrintDialog;

namespace kt482 {

std::unique_ptr<PrintDialog> make_qt_print_dialog();

// Installs a driver for the dialogs that follow (an empty function removes
// it): it is called from the dialog's event loop once the dialog is shown,
// and must accept or reject it, then or later. Dialogs also run without a
// display while a driver is installed, on Qt's offscreen platform.
void set_print_dialog_driver(std::function<void(QPrintDialog&)> driver);

}  // namespace kt482
