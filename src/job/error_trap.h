// The error trap of the public members. A member records its name in
// CurrentProc and runs its body; a failure raised anywhere inside ends the
// body and is shown in the standard message box titled "KT482_Print : " and
// the name recorded last. The member then returns normally.
#pragma once

#include <exception>
#include <new>
#include <string_view>
#include <utility>

#include "job/object_fields.h"
#include "platform/failure.h"

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
void enter(std::string_view proc);

// Shows the standard message for a failure; the box's result goes to Answer.
void report_failure(const Failure& failure, ObjectFields& self);

template <class Body>
void run_trapped(ObjectFields& self, std::string_view proc, Body&& body)
{
    enter(proc);
    try {
        body();
    } catch (const RaisedFailure& e) {
        report_failure(e.failure(), self);
    } catch (const std::bad_alloc&) {
        report_failure(Failure(ErrorNumber::OutOfMemory), self);
    }
}

}  // namespace kt482
