#include "platform/qt/qt_duplex_codes.h"

namespace kt482 {

QPrinter::DuplexMode duplexModeForCode(int16_t code)
{
    switch (code) {
    case 2:
        return QPrinter::DuplexLongSide;
    case 3:
        return QPrinter::DuplexShortSide;
    default:
        return QPrinter::DuplexNone;
    }
}

int16_t duplexCodeForMode(QPrinter::DuplexMode mode)
{
    switch (mode) {
    case QPrinter::DuplexLongSide:
        return 2;
    case QPrinter::DuplexShortSide:
        return 3;
    default:
        return 1;
    }
}

}  // namespace kt482
