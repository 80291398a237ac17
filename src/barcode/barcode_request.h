// What a barcode record draws besides its data: the symbology and its
// options, as the host names them and as the page spool keeps them.
#pragma once

#include <string>
#include <string_view>

#include "kt482/failure.h"

namespace kt482 {

enum class BarcodeType { QR, Code128, Gs1_128, Jan13, Jan8, Nw7, Itf, Postal };

struct BarcodeSpec {
    BarcodeType type = BarcodeType::Code128;
    // 'L', 'M', 'Q' or 'H': the error correction level of a QR code.
    char ecc = 'M';
    // The human-readable line under a linear code.
    bool text = false;
    // The quiet zone on each side in modules; -1 for the symbology's own.
    int quiet = -1;

    bool operator==(const BarcodeSpec&) const = default;
};

// The widest quiet zone accepted, in modules.
inline constexpr int kMaxQuietModules = 100;

bool is_two_dimensional(BarcodeType type);

// The type's name as the spool keeps it ("QR", "JAN13", ...).
std::string_view barcode_type_name(BarcodeType type);

// The host's type name (letter case ignored; "EAN13" and "EAN8" too) and its
// options, `;`-separated key=value items: ecc=L|M|Q|H (QR), text=0|1 (linear
// codes but the postal one), quiet=N (0 to kMaxQuietModules). An unknown
// type or key, a bad value, a key given twice or one the type does not take
// is a failure (5) that says which.
Result<BarcodeSpec> parse_barcode_spec(std::string_view type, std::string_view options);

// The spool's text of a spec: the type name and the options that differ
// from the defaults, in a fixed order ("QR;ecc=H;quiet=2"). It holds no
// blank. parse_barcode_spec_text reads it back.
std::string barcode_spec_text(const BarcodeSpec& spec);
Result<BarcodeSpec> parse_barcode_spec_text(std::string_view text);

}  // namespace kt482
