// What the print server says of a queue and of a job, each answer within a
// few seconds: the values a queue supports for a job attribute, whether the
// queue is stopped or refuses jobs, and the state of a job with the reasons
// of its printer. Names are IPP's, as the server gives them.
#pragma once

#include <string>
#include <vector>

#include "kt482/job_status.h"
#include "platform/printer_system.h"

namespace kt482 {


// The values the queue supports for a job attribute ("media-source",
// "media-type"); empty when it names none. Fails with PrinterError (482) when
// the server does not answer or has no such queue. Returns within 3 seconds.
Result<std::vector<std::string>> cups_supported_values(const std::string& queue, const std::string& attribute);

// The queue's paper sources and kinds (media-source-supported and
// media-type-supported), asked in one request. Fails as above. Returns
// within 3 seconds.
Result<PaperChoices> cups_paper_choices(const std::string& queue);

// The job's state (kt482/job_status.h). A job the server does not know fails with
// PrinterError. Returns within 3 seconds.
Result<JobStatus> cups_job_status(int job_id);

// The queue's state. Returns within 3 seconds.
Result<QueueState> cups_queue_state(const std::string& queue);


}  // namespace kt482
