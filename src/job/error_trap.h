// The error trap of the public members and of every procedure that reports
// its own failures. A member records its name in CurrentProc and runs its
// body; whatever the body throws ends it and is shown in the standard message
// box titled "KT482_Print : " and the name recorded last. The member then
// returns normally: nothing is thrown past a trap.
#pragma once

#include <exception>
#include <string_view>
#include <utility>

#include "job/object_fields.h"
#include "kt482/failure.h"

namespace kt482 {

inline constexpr std::string_view kMessageTitlePrefix = "KT482_Print : ";

class RaisedFailure : public std::exception {
public:
    explicit RaisedFailure(Failure f) : failure_(std::move(f)) {}
    const Failure& failure() const { return failure_; }
    const char* what() const noexcept override { return failure_.description.c_str(); }

private:
    Failure failure_;
};

[[noreturn]] void raise(Failure failure);

inline void check(const Status& status)
{
    if (!status)
        raise(status.failure());
}

template <class T>
T must(Result<T> result)
{
    if (!result)
        raise(result.failure());
    return std::move(result.value());
}

// Stores the procedure's name in CurrentProc. The name must outlive the
// thread's job state: a literal or a member-table name.
void enter(std::string_view proc) noexcept;

// A failure as the host sees it: in its language, the number kept; error 7
// when there is no memory left for the text.
Failure reported_failure(const Failure& failure) noexcept;

// The failure that the exception being handled stands for: a raised failure
// as reported_failure gives it, running out of memory as error 7, anything else as
// an internal error. Only inside a catch block.
Failure current_failure() noexcept;

// Shows a failure in the standard message box, titled title_prefix and
// CurrentProc, and returns the button pressed (0 when the box could not be
// shown). Every failure message of the library goes through here.
int show_failure(const Failure& failure, std::string_view title_prefix) noexcept;

// The standard message for a failure of a member; the result goes to Answer.
void report_failure(const Failure& failure, ObjectFields& self) noexcept;

// A warning: kept as LastFailure under CurrentProc, as a failure would be,
// but no message is shown and the work goes on (a text clipped to its box).
void note_warning(const Failure& failure, ObjectFields& self) noexcept;

// Runs body; a failure of any kind is handed to on_failure, which must not
// throw itself.
template <class Body, class OnFailure>
void trap(Body&& body, OnFailure&& on_failure) noexcept
{
    try {
        body();
    } catch (const RaisedFailure& raised) {
        // The failures the library raises are caught by their type, so that
        // they are not thrown a second time to be told apart.
        on_failure(reported_failure(raised.failure()));
    } catch (...) {
        on_failure(current_failure());
    }
}

template <class Body>
void run_trapped(ObjectFields& self, std::string_view proc, Body&& body) noexcept
{
    enter(proc);
    trap(std::forward<Body>(body), [&](const Failure& failure) { report_failure(failure, self); });
}

}  // namespace kt482
