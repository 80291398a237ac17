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

namespace kt482 {

enum class ErrorNumber : int32_t {
    InvalidCall = 5,
    Overflow = 6,
    OutOfMemory = 7,
    SubscriptOutOfRange = 9,
    DivisionByZero = 11,
    TypeMismatch = 13,
    InternalError = 51,
    BadFileNameOrNumber = 52,
    FileNotFound = 53,
    BadFileMode = 54,
    FileAlreadyOpen = 55,
    DeviceIoError = 57,
    BadRecordLength = 59,
    DiskFull = 61,
    InputPastEndOfFile = 62,
    TooManyFiles = 67,
    PermissionDenied = 70,
    PathFileAccessError = 75,
    PathNotFound = 76,
    ObjectNotSet = 91,
    InvalidUseOfNull = 94,
    InvalidFileFormat = 321,
    InvalidPropertyValue = 380,
    NotSupported = 438,
    InvalidPicture = 481,
    PrinterError = 482,
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
