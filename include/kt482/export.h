// KT482_API marks what the shared library exports: the public classes and
// functions. Everything else is built with hidden visibility and stays
// inside the library.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define KT482_API __attribute__((visibility("default")))
#else
#define KT482_API
#endif
