// The printer fields the job shares with the platform's printer structures
// (PrinterSettings, PrintDialogRequest): one list, copied into the job or out
// of it.
#pragma once

#include "job/job_state.h"

namespace kt482 {

// Calls copy(job field, structure field) for each field both keep: the
// device, its driver and port, the paper, the orientation and the duplex.
// The structure's fields are named alike in every platform structure.
template <class Job, class Fields, class Copy>
void each_printer_field(Job& s, Fields& p, Copy copy)
{
    copy(s.DeviceName, p.device_name);
    copy(s.DriverName, p.driver_name);
    copy(s.Port, p.port);
    copy(s.PaperSize, p.paper_size);
    copy(s.Orientation, p.orientation);
    copy(s.Duplex, p.duplex);
}

// The structure's printer fields into the job.
template <class Fields>
void take_printer_fields(JobState& s, const Fields& p)
{
    each_printer_field(s, p, [](auto& to, const auto& from) { to = from; });
}

// The job's printer fields into the structure.
template <class Fields>
void give_printer_fields(const JobState& s, Fields& p)
{
    each_printer_field(s, p, [](const auto& from, auto& to) { to = from; });
}

}  // namespace kt482
