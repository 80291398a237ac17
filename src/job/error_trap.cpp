#include "job/error_trap.h"

#include <string>

#include "job/job_state.h"
#include "platform/services.h"

namespace kt482 {

void raise(Failure failure)
{
    throw RaisedFailure(std::move(failure));
}

void enter(std::string_view proc)
{
    job().CurrentProc = proc;
}

void report_failure(const Failure& failure, ObjectFields& self)
{
    std::string title(kMessageTitlePrefix);
    title += job().CurrentProc;
    self.LastFailure = {failure.number, failure.description, std::string(job().CurrentProc)};
    self.Answer = message_box().show(failure.description, kMessageExclamationOk, title);
}

}  // namespace kt482
