#include "platform/failure.h"

namespace kt482 {

std::string error_description(int32_t number)
{
    switch (number) {
    case 5: return "Invalid procedure call or argument";
    case 6: return "Overflow";
    case 7: return "Out of memory";
    case 9: return "Subscript out of range";
    case 11: return "Division by zero";
    case 13: return "Type mismatch";
    case 51: return "Internal error";
    case 52: return "Bad file name or number";
    case 53: return "File not found";
    case 54: return "Bad file mode";
    case 55: return "File already open";
    case 57: return "Device I/O error";
    case 59: return "Bad record length";
    case 61: return "Disk full";
    case 62: return "Input past end of file";
    case 67: return "Too many files";
    case 70: return "Permission denied";
    case 75: return "Path/File access error";
    case 76: return "Path not found";
    case 91: return "Object variable or With block variable not set";
    case 94: return "Invalid use of Null";
    case 321: return "Invalid file format";
    case 380: return "Invalid property value";
    case 438: return "Object doesn't support this property or method";
    case 481: return "Invalid picture";
    case 482: return "Printer error";
    default: return "Application-defined or object-defined error";
    }
}

}  // namespace kt482
