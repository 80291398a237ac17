#include "platform/cups_queue.h"

#include <cups/cups.h>

#include <algorithm>
#include <cmath>
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

// The horizontal resolution of the queue's printer-resolution-default, which
// the server takes from the driver's default; the IPP attributes come with a
// separate request, made only here.
int default_resolution_dpi(cups_dest_t* dest)
{
    cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest);
    if (!info)
        return 0;
    int dpi = 0;
    if (ipp_attribute_t* attr = cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info, "printer-resolution")) {
        int vertical = 0;
        ipp_res_t units = IPP_RES_PER_INCH;
        const int horizontal = ippGetResolution(attr, 0, &vertical, &units);
        dpi = units == IPP_RES_PER_CM ? static_cast<int>(std::lround(horizontal * 2.54)) : horizontal;
    }
    cupsFreeDestInfo(info);
    return std::max(dpi, 0);
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
    defaults.resolution_dpi = default_resolution_dpi(dest);
    cupsFreeDests(1, dest);
    return defaults;
}

}  // namespace kt482
