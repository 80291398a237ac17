#include "job/barcode_command.h"

#include <cmath>

#include "barcode/barcode_request.h"
#include "barcode/barcode_symbol.h"
#include "job/editing_session.h"
#include "job/error_trap.h"
#include "job/job_state.h"
#include "job/number_text.h"
#include "job/page_writer.h"
#include "platform/services.h"

namespace kt482 {
namespace {

constexpr int kGridDecimals = 3;

std::string grid(float value)
{
    return format_fixed(value, kGridDecimals);
}

// A number that is not finite would be encoded as the text "NaN" or
// "Infinity", which no caller means to print; it is refused as E_String
// refuses it.
bool finite_data(const Variant& data)
{
    switch (data.type()) {
    case Variant::Type::R4:
    case Variant::Type::R8:
        return std::isfinite(data.number());
    default:
        return true;
    }
}

}  // namespace

void E_Barcode(ObjectFields& self, float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol,
               const std::string& P_Type, const Variant& P_Data, const std::string& P_Options)
{
    run_trapped(self, "E_Barcode", [&] {
        JobState& s = job();
        if (!page_inside_window(s))
            return;
        for (float number : {P_Start_Srow, P_Start_Scol, P_End_Srow, P_End_Scol}) {
            if (!std::isfinite(number))
                raise(Failure(ErrorNumber::InvalidCall));
        }
        if (!finite_data(P_Data))
            raise(Failure(ErrorNumber::InvalidCall));
        const std::string rows[] = {grid(P_Start_Srow), grid(P_End_Srow)};
        const std::string cols[] = {grid(P_Start_Scol), grid(P_End_Scol)};
        if (rows[0] == rows[1] || cols[0] == cols[1])
            raise(Failure(ErrorNumber::InvalidCall,
                          "Invalid procedure call or argument: the barcode's box has no width or no height"));

        const BarcodeSpec spec = must(parse_barcode_spec(P_Type, P_Options));
        const std::string data = to_valid_utf8(must(value_to_text(P_Data)));
        (void)must(encode_barcode(spec, data));
        if (!CheckEditPage(self))
            return;
        const std::string field = barcode_spec_text(spec) + " " + data;
        check(append_record(files(), s.FileNo, s.RecordHeader, RecordCode::Barcode,
                            {rows[0], cols[0], rows[1], cols[1], field}));
    });
}

}  // namespace kt482
