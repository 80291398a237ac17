// A print job's state as the print server tells it, with its printer's
// reasons: IPP's names.
#pragma once

#include <string>
#include <vector>

namespace kt482 {

// state: pending, held, processing, stopped, canceled, aborted or completed
// (empty when the server could not be asked). reasons: the printer's
// printer-state-reasons without their -error, -warning or -report suffix
// (media-empty, media-jam, toner-low, offline, paused, ...).
struct JobStatus {
    std::string state;
    std::vector<std::string> reasons;
};

}  // namespace kt482
