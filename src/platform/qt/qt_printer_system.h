// The printers of the Qt platform: the print server's queues as Qt sees them,
// and the built-in PDF printer.
//
// Which printer is the default
//   The print server is probed first (a small HTTP request, answered within
//   one second, to the server libcups would use). When it is silent, Qt's
//   printer support is not touched at all: libcups would wait about two
//   minutes per request. A silent server, or one without a default queue,
//   makes the PDF printer "KT482 PDF" the default.
//
// The printer list and opening a printer
//   The list is the server's queues in Qt's order, then "KT482 PDF"; only
//   "KT482 PDF" when there is no server (nothing listening, or a connection
//   refused or dropped at once). A server that is there but silent, or that
//   answers the probe and then stalls, leaves only "KT482 PDF" too, and
//   listing_status() says the server did not answer: its queues may well
//   exist, so selecting one of them is reported rather than found missing.
//   Opening or reading a queue of such a server fails with PrinterError.
//   Every query waits at most kCupsQueryTimeout for replies after the probe
//   (see cups_deadline.h). "KT482 PDF" never asks the server. See
//   print/pdf_printer.h for the printers themselves.
//
// The settings of a print queue
//   device name   the queue name
//   driver name   the make and model of its driver ("CUPS" when it has none)
//   port          the queue's device URI (e.g. "cups-pdf:/"); "CUPS" when the
//                 server does not reveal it
//   paper size    the paper code of the queue's default page size; 256 when
//                 no known code is within 1 mm of it
//   orientation   1 (portrait); queues keep no default orientation here
//   copies        the queue's default copies (lpoptions), else 1
//   duplex        the queue's default: none or automatic 1, long edge 2,
//                 short edge 3
//   option        the queue's default resolution in dpi (its IPP
//                 printer-resolution-default, from the driver's default);
//                 when it has none, the resolution Qt's printer uses for it
//                 in high resolution mode; limited to 1..32767
//   page height and width
//                 the default page size in portrait, in twips (1/20 point),
//                 rounded to whole twips
//   font          "ＭＳ 明朝", 10.5 points, not bold
//
// The settings of "KT482 PDF"
//   device name and driver name "KT482 PDF"; port the absolute path of the
//   output folder ($KT482_PDF_DIR, else the current directory); paper size 9
//   (A4); orientation 1; copies 1; duplex 1; option 600 (its nominal
//   resolution in dpi); page height 16838 and width 11906 twips; font
//   "ＭＳ 明朝", 10.5 points, not bold.
#pragma once

#include <memory>

#include "platform/printer_makers.h"
#include "platform/printer_system.h"

namespace kt482 {

// The printers it hands out are made by makers (see printer_makers.h).
std::unique_ptr<PrinterSystem> make_qt_printer_system(PrinterMakers makers);

}  // namespace kt482
