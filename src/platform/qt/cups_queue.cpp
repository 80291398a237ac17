#include "platform/qt/cups_queue.h"

#include <cups/cups.h>

#include <algorithm>
#include <cstdlib>

namespace kt482 {
namespace {

int copies_from(const char* text)
{
    if (!text)
        return 1;
    const long copies = std::strtol(text, nullptr, 10);
    return copies >= 1 ? static_cast<int>(std::min(copies, 32767L)) : 1;
}

}  // namespace

CupsQueueDefaults cups_queue_defaults(const std::string& queue)
{
    CupsQueueDefaults defaults;
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), nullptr);
    if (!dest)
        return defaults;
    if (const char* uri = cupsGetOption("device-uri", dest->num_options, dest->options))
        defaults.device_uri = uri;
    defaults.copies = copies_from(cupsGetOption("copies", dest->num_options, dest->options));
    cupsFreeDests(1, dest);
    return defaults;
}

}  // namespace kt482
