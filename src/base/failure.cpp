// The descriptions of the error numbers, from the one list that also makes
// the public enum: the vocabulary every floor reports failures in.
#include "kt482/failure.h"

namespace kt482 {

std::string error_description(int32_t number)
{
    switch (number) {
#define KT482_ERROR_NUMBER_CASE(name, number, description) \
    case number:                                          \
        return description;
        KT482_ERROR_NUMBERS(KT482_ERROR_NUMBER_CASE)
#undef KT482_ERROR_NUMBER_CASE
    default:
        return "Application-defined or object-defined error";
    }
}

}  // namespace kt482
