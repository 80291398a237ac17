// What a print queue's destination record tells beyond Qt's printer info.
#pragma once

#include <string>

namespace kt482 {

struct CupsQueueDefaults {
    std::string device_uri;  // empty when the server does not reveal it
    int copies = 1;
    int resolution_dpi = 0;  // 0 when the queue names no default resolution
};

// Asks the print server for the queue's device URI, default copies (with the
// caller's lpoptions applied) and default resolution. Call only after the
// server has answered the probe: libcups itself waits minutes for a silent
// server.
CupsQueueDefaults cups_queue_defaults(const std::string& queue);

}  // namespace kt482
