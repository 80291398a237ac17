// Duplex codes of the job (1 simplex, 2 long edge, 3 short edge) and Qt's
// duplex modes.
#pragma once

#include <QPrinter>

#include <cstdint>

namespace kt482 {

// Codes other than 2 and 3 print on one side.
QPrinter::DuplexMode duplexModeForCode(int16_t code);
// Automatic duplex, which the job cannot name, counts as one side.
int16_t duplexCodeForMode(QPrinter::DuplexMode mode);

}  // namespace kt482
