#include "job/error_trap.h"

#include <cstdio>
#include <new>
#include <string>

#include "base/message_catalog.h"
#include "job/job_state.h"
#include "platform/services.h"

namespace kt482 {

void raise(Failure failure)
{
    throw RaisedFailure(std::move(failure));
}

void enter(std::string_view proc) noexcept
{
    job().CurrentProc = proc;
}

// The fallback failures are built without allocating: their descriptions
// fit a string's own buffer.
Failure reported_failure(const Failure& failure) noexcept
{
    try {
        Failure reported = failure;
        reported.description = localized(failure.description);
        return reported;
    } catch (...) {
        return Failure(ErrorNumber::OutOfMemory);
    }
}

Failure current_failure() noexcept
{
    try {
        throw;
    } catch (const RaisedFailure& e) {
        return reported_failure(e.failure());
    } catch (const std::bad_alloc&) {
        return Failure(ErrorNumber::OutOfMemory);
    } catch (...) {
        return Failure(ErrorNumber::InternalError);
    }
}

int show_failure(const Failure& failure, std::string_view title_prefix) noexcept
{
    try {
        std::string title(title_prefix);
        title += job().CurrentProc;
        return message_box().show(failure.description, kMessageExclamationOk, title);
    } catch (...) {
        // No memory left for the box: one line on standard error instead.
        std::fprintf(stderr, "%.*s%.*s: %s\n", static_cast<int>(title_prefix.size()), title_prefix.data(),
                     static_cast<int>(job().CurrentProc.size()), job().CurrentProc.data(),
                     failure.description.c_str());
        return 0;
    }
}

void report_failure(const Failure& failure, ObjectFields& self) noexcept
{
    try {
        self.LastFailure = {failure.number, failure.description, std::string(job().CurrentProc)};
    } catch (...) {
        self.LastFailure = {failure.number, {}, {}};
    }
    self.Answer = show_failure(failure, kMessageTitlePrefix);
}

void note_warning(const Failure& failure, ObjectFields& self) noexcept
{
    try {
        self.LastFailure = {failure.number, failure.description, std::string(job().CurrentProc)};
    } catch (...) {
        self.LastFailure = {failure.number, {}, {}};
    }
}

}  // namespace kt482
