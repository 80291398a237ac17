#include "barcode/barcode_symbol.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <zint.h>

#include "base/recent_entries.h"

namespace kt482 {
namespace {

struct SymbolDeleter {
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

// The digits of a JAN code before any add-on.
std::string_view jan_digits(std::string_view data)
{
    return data.substr(0, data.find('+'));
}

int symbology(BarcodeType type, std::string_view data)
{
    // Given with its check digit, a JAN code goes to the encoder's form that
    // verifies it: the plain form would take eight digits for a JAN-13 code
    // with leading zeros.
    const std::size_t digits = jan_digits(data).size();
    switch (type) {
    case BarcodeType::QR: return BARCODE_QRCODE;
    case BarcodeType::Code128: return BARCODE_CODE128;
    case BarcodeType::Gs1_128: return BARCODE_GS1_128;
    case BarcodeType::Jan13: return digits == 13 ? BARCODE_EANX_CHK : BARCODE_EANX;
    case BarcodeType::Jan8: return digits == 8 ? BARCODE_EANX_CHK : BARCODE_EANX;
    case BarcodeType::Nw7: return BARCODE_CODABAR;
    case BarcodeType::Itf: return BARCODE_C25INTER;
    case BarcodeType::Postal: return BARCODE_JAPANPOST;
    }
    return BARCODE_CODE128;
}

Failure refused(const BarcodeSpec& spec, std::string_view reason)
{
    return Failure(ErrorNumber::InvalidCall, "Invalid procedure call or argument: " +
                                                 std::string(barcode_type_name(spec.type)) + " " +
                                                 std::string(reason));
}

// The encoder's message without its "Error 123: " prefix.
std::string_view encoder_reason(const char* errtxt)
{
    std::string_view text(errtxt);
    const std::size_t colon = text.find(": ");
    if (colon != std::string_view::npos && colon < 16)
        text.remove_prefix(colon + 2);
    return text;
}

// The encoder reads the length of a JAN code's digits to choose between
// its forms; the type fixes it here. Other characters are left to the
// encoder, which names them.
bool jan_length_fits(BarcodeType type, std::string_view data)
{
    const std::string_view main = jan_digits(data);
    if (!std::all_of(main.begin(), main.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return true;
    if (type == BarcodeType::Jan13)
        return main.size() == 12 || main.size() == 13;
    return main.size() == 7 || main.size() == 8;
}

int input_mode(const BarcodeSpec& spec, std::string_view data)
{
    if (spec.type != BarcodeType::Gs1_128)
        return UNICODE_MODE;
    // Application identifiers in brackets, or in parentheses as printed.
    return !data.empty() && data.front() == '(' ? GS1_MODE | GS1PARENS_MODE : GS1_MODE;
}

int ecc_level(char ecc)
{
    switch (ecc) {
    case 'L': return 1;
    case 'Q': return 3;
    case 'H': return 4;
    default: return 2;
    }
}

LabelAlign label_align(int halign)
{
    switch (halign) {
    case 1: return LabelAlign::Left;
    case 2: return LabelAlign::Right;
    default: return LabelAlign::Centre;
    }
}

Result<BarcodeShape> encode_with_zint(const BarcodeSpec& spec, std::string_view data)
{
    if (data.empty())
        return refused(spec, "data is empty");
    if (data.size() > kMaxBarcodeData)
        return refused(spec, "data is longer than " + std::to_string(kMaxBarcodeData) + " bytes");
    if ((spec.type == BarcodeType::Jan13 || spec.type == BarcodeType::Jan8) && !jan_length_fits(spec.type, data))
        return refused(spec, spec.type == BarcodeType::Jan13 ? "takes 12 digits, or 13 with the check digit"
                                                             : "takes 7 digits, or 8 with the check digit");

    const std::unique_ptr<zint_symbol, SymbolDeleter> symbol(ZBarcode_Create());
    if (!symbol)
        return Failure(ErrorNumber::OutOfMemory);
    symbol->symbology = symbology(spec.type, data);
    symbol->input_mode = input_mode(spec, data);
    symbol->show_hrt = spec.text ? 1 : 0;
    if (spec.quiet < 0) {
        symbol->output_options |= BARCODE_QUIET_ZONES;
    } else {
        symbol->output_options |= BARCODE_NO_QUIET_ZONES;
        symbol->whitespace_width = spec.quiet;
        if (is_two_dimensional(spec.type))
            symbol->whitespace_height = spec.quiet;
    }
    if (spec.type == BarcodeType::QR)
        symbol->option_1 = ecc_level(spec.ecc);

    const int result = ZBarcode_Encode_and_Buffer_Vector(
        symbol.get(), reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()), 0);
    if (result >= ZINT_ERROR) {
        if (result == ZINT_ERROR_MEMORY)
            return Failure(ErrorNumber::OutOfMemory);
        return refused(spec, encoder_reason(symbol->errtxt));
    }
    const zint_vector* vector = symbol->vector;
    if (!vector)
        return refused(spec, "gave no drawing");

    BarcodeShape shape;
    shape.width = vector->width;
    shape.height = vector->height;
    for (const zint_vector_rect* rect = vector->rectangles; rect; rect = rect->next) {
        // Only the foreground is drawn; the paper is the background.
        if (rect->colour == -1 || rect->colour == 7)
            shape.rects.push_back({rect->x, rect->y, rect->width, rect->height});
    }
    for (const zint_vector_string* string = vector->strings; string; string = string->next) {
        shape.labels.push_back({string->x, string->y, string->fsize, label_align(string->halign),
                                std::string(reinterpret_cast<const char*>(string->text))});
    }
    shape.bar_bottom = shape.height;
    if (!shape.labels.empty()) {
        for (const BarcodeRect& rect : shape.rects)
            shape.bar_bottom = std::min(shape.bar_bottom, rect.y + rect.height);
    }
    if (shape.rects.empty() || !(shape.width > 0) || !(shape.height > 0))
        return refused(spec, "gave an empty drawing");
    return shape;
}

// A page's barcodes are encoded when they are recorded and again whenever the
// page is drawn: in the preview at each change of page or zoom, then for the
// printer, once per copy. Each thread keeps the last few shapes it encoded,
// by their type, options and data, and hands them out again; the largest QR
// codes are left to be encoded again rather than held.
struct EncodedShape {
    BarcodeSpec spec;
    std::string data;
    BarcodeShape shape;
};

constexpr std::size_t kLargestKeptShape = 8192;

}  // namespace

Result<BarcodeShape> encode_barcode(const BarcodeSpec& spec, std::string_view data)
{
    thread_local RecentEntries<EncodedShape, 8> recent;
    if (const EncodedShape* kept =
            recent.find([&](const EncodedShape& entry) { return entry.data == data && entry.spec == spec; }))
        return kept->shape;
    Result<BarcodeShape> shape = encode_with_zint(spec, data);
    if (shape && shape.value().rects.size() <= kLargestKeptShape)
        recent.keep({spec, std::string(data), shape.value()});
    return shape;
}

}  // namespace kt482
