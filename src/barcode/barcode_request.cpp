#include "barcode/barcode_request.h"

#include <array>
#include <charconv>

#include "base/ascii_case.h"

namespace kt482 {
namespace {

struct TypeName {
    std::string_view name;
    BarcodeType type;
};

// The spool's names first: barcode_type_name takes the first of each type.
constexpr std::array kTypeNames = {
    TypeName{"QR", BarcodeType::QR},         TypeName{"CODE128", BarcodeType::Code128},
    TypeName{"GS1-128", BarcodeType::Gs1_128}, TypeName{"JAN13", BarcodeType::Jan13},
    TypeName{"JAN8", BarcodeType::Jan8},     TypeName{"NW7", BarcodeType::Nw7},
    TypeName{"ITF", BarcodeType::Itf},       TypeName{"POSTAL", BarcodeType::Postal},
    TypeName{"EAN13", BarcodeType::Jan13},   TypeName{"EAN8", BarcodeType::Jan8},
};

Failure invalid(std::string_view what)
{
    return Failure(ErrorNumber::InvalidCall, "Invalid procedure call or argument: " + std::string(what));
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool linear_with_text(BarcodeType type)
{
    return !is_two_dimensional(type) && type != BarcodeType::Postal;
}

// Applies one key=value item; seen collects the keys met so far.
Status apply_option(BarcodeSpec& spec, std::string_view item, std::string& seen)
{
    const std::size_t equals = item.find('=');
    if (equals == std::string_view::npos)
        return invalid("barcode option '" + std::string(item) + "' is not key=value");
    const std::string_view key = trimmed(item.substr(0, equals));
    const std::string_view value = trimmed(item.substr(equals + 1));
    const std::string type(barcode_type_name(spec.type));
    char tag = 0;
    if (equal_ignoring_case(key, "ecc")) {
        tag = 'e';
        if (spec.type != BarcodeType::QR)
            return invalid("barcode option ecc is for QR codes, not " + type);
        if (value.size() != 1 || std::string_view("LMQH").find(ascii_upper(value[0])) == std::string_view::npos)
            return invalid("barcode option ecc takes L, M, Q or H, not '" + std::string(value) + "'");
        spec.ecc = ascii_upper(value[0]);
    } else if (equal_ignoring_case(key, "text")) {
        tag = 't';
        if (!linear_with_text(spec.type))
            return invalid("barcode option text is not for " + type);
        if (value != "0" && value != "1")
            return invalid("barcode option text takes 0 or 1, not '" + std::string(value) + "'");
        spec.text = value == "1";
    } else if (equal_ignoring_case(key, "quiet")) {
        tag = 'q';
        int modules = -1;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), modules);
        if (value.empty() || error != std::errc() || end != value.data() + value.size() || modules < 0 ||
            modules > kMaxQuietModules)
            return invalid("barcode option quiet takes a number of modules from 0 to " +
                           std::to_string(kMaxQuietModules) + ", not '" + std::string(value) + "'");
        spec.quiet = modules;
    } else {
        return invalid("barcode option '" + std::string(key) + "' is unknown");
    }
    if (seen.find(tag) != std::string::npos)
        return invalid("barcode option " + std::string(key) + " is given twice");
    seen += tag;
    return {};
}

}  // namespace

bool is_two_dimensional(BarcodeType type)
{
    return type == BarcodeType::QR;
}

std::string_view barcode_type_name(BarcodeType type)
{
    for (const TypeName& entry : kTypeNames) {
        if (entry.type == type)
            return entry.name;
    }
    return "?";
}

Result<BarcodeSpec> parse_barcode_spec(std::string_view type, std::string_view options)
{
    BarcodeSpec spec;
    const std::string_view name = trimmed(type);
    bool known = false;
    for (const TypeName& entry : kTypeNames) {
        if (equal_ignoring_case(name, entry.name)) {
            spec.type = entry.type;
            known = true;
            break;
        }
    }
    if (!known)
        return invalid("barcode type '" + std::string(type) + "' is unknown");

    std::string seen;
    while (!options.empty()) {
        const std::size_t end = options.find(';');
        const std::string_view item = trimmed(options.substr(0, end));
        options = end == std::string_view::npos ? std::string_view() : options.substr(end + 1);
        if (item.empty())
            continue;
        if (Status status = apply_option(spec, item, seen); !status)
            return status.failure();
    }
    return spec;
}

std::string barcode_spec_text(const BarcodeSpec& spec)
{
    std::string text(barcode_type_name(spec.type));
    if (spec.type == BarcodeType::QR && spec.ecc != BarcodeSpec{}.ecc)
        text += std::string(";ecc=") + spec.ecc;
    if (spec.text)
        text += ";text=1";
    if (spec.quiet >= 0)
        text += ";quiet=" + std::to_string(spec.quiet);
    return text;
}

Result<BarcodeSpec> parse_barcode_spec_text(std::string_view text)
{
    const std::size_t end = text.find(';');
    return parse_barcode_spec(text.substr(0, end), end == std::string_view::npos ? "" : text.substr(end + 1));
}

}  // namespace kt482
