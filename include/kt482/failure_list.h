// The error numbers a failure carries and their standard English
// descriptions, in one list: X(name, number, description). failure.h makes
// the ErrorNumber enum of it, and error_description() looks the
// descriptions up in it.
#pragma once

#define KT482_ERROR_NUMBERS(X) \
    X(InvalidCall, 5, "Invalid procedure call or argument") \
    X(Overflow, 6, "Overflow") \
    X(OutOfMemory, 7, "Out of memory") \
    X(SubscriptOutOfRange, 9, "Subscript out of range") \
    X(DivisionByZero, 11, "Division by zero") \
    X(TypeMismatch, 13, "Type mismatch") \
    X(InternalError, 51, "Internal error") \
    X(BadFileNameOrNumber, 52, "Bad file name or number") \
    X(FileNotFound, 53, "File not found") \
    X(BadFileMode, 54, "Bad file mode") \
    X(FileAlreadyOpen, 55, "File already open") \
    X(DeviceIoError, 57, "Device I/O error") \
    X(BadRecordLength, 59, "Bad record length") \
    X(DiskFull, 61, "Disk full") \
    X(InputPastEndOfFile, 62, "Input past end of file") \
    X(TooManyFiles, 67, "Too many files") \
    X(PermissionDenied, 70, "Permission denied") \
    X(PathFileAccessError, 75, "Path/File access error") \
    X(PathNotFound, 76, "Path not found") \
    X(ObjectNotSet, 91, "Object variable or With block variable not set") \
    X(InvalidUseOfNull, 94, "Invalid use of Null") \
    X(InvalidFileFormat, 321, "Invalid file format") \
    X(InvalidPropertyValue, 380, "Invalid property value") \
    X(NotSupported, 438, "Object doesn't support this property or method") \
    X(InvalidPicture, 481, "Invalid picture") \
    X(PrinterError, 482, "Printer error")
