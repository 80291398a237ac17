// Failures as the host sees them: a classic run-time error number and a
// short English description. Fallible platform and core operations return a
// Status or a Result<T>; the error trap of a public member turns a failure
// into the standard message box.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

#include "kt482/export.h"
#include "kt482/failure_list.h"

namespace kt482 {

enum class ErrorNumber : int32_t {
#define KT482_ERROR_NUMBER_ENUMERATOR(name, number, description) name = number,
    KT482_ERROR_NUMBERS(KT482_ERROR_NUMBER_ENUMERATOR)
#undef KT482_ERROR_NUMBER_ENUMERATOR
};

// The standard description of an error number ("File not found").
KT482_API std::string error_description(int32_t number);

struct Failure {
    int32_t number = 0;
    std::string description;

    Failure() = default;
    Failure(ErrorNumber n) : number(static_cast<int32_t>(n)), description(error_description(number)) {}
    Failure(ErrorNumber n, std::string text) : number(static_cast<int32_t>(n)), description(std::move(text)) {}

    bool is(ErrorNumber n) const { return number == static_cast<int32_t>(n); }
};

// Success or a failure, for operations without a value.
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Failure f) : failure_(std::move(f)), ok_(false) {}
    Status(ErrorNumber n) : failure_(n), ok_(false) {}

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const Failure& failure() const { return failure_; }

private:
    Failure failure_;
    bool ok_ = true;
};

// A value or a failure.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(Failure f) : state_(std::move(f)) {}
    Result(ErrorNumber n) : state_(Failure(n)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(state_); }
    const T& value() const { return std::get<0>(state_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const Failure& failure() const { return std::get<1>(state_); }
    Status status() const { return ok() ? Status() : Status(failure()); }

private:
    std::variant<T, Failure> state_;
};

}  // namespace kt482
