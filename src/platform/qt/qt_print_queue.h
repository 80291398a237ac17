// A print server's queue as Qt's printer support describes it: the page
// sizes and margins its driver allows.
#pragma once

#include <memory>

#include "platform/print_queue.h"

class QPrinterInfo;

namespace kt482 {

// The queue's description. Creating it asks the print server about the
// queue, so call it only after the server has answered the probe.
std::unique_ptr<PrintQueue> make_qt_print_queue(const QPrinterInfo& info);

}  // namespace kt482
