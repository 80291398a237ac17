#include "render/page_out.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "job/error_trap.h"
#include "job/job_state.h"
#include "job/number_text.h"
#include "job/page_file_names.h"
#include "job/page_reader.h"
#include "job/record_code.h"
#include "platform/services.h"
#include "preview/preview_background.h"
#include "render/barcode_handler.h"
#include "render/fitted_text_handlers.h"
#include "render/line_handlers.h"
#include "render/picture_handlers.h"
#include "render/render_target.h"
#include "render/text_handlers.h"

namespace kt482 {
namespace {

// The fields of a record converted for its handler. The first field that
// does not convert is kept as the failure of the record's handler, which
// then does not start: a damaged field ends the page as a failure raised
// would, without an exception.
class FieldValues {
public:
    float number(const std::string& field)
    {
        Result<double> parsed = parse_number_text(field);
        return parsed ? take(to_r4(*parsed)) : take(Result<float>(parsed.failure()));
    }

    int16_t integer(const std::string& field)
    {
        Result<double> parsed = parse_number_text(field);
        return parsed ? take(to_i2(*parsed)) : take(Result<int16_t>(parsed.failure()));
    }

    bool boolean(const std::string& field) { return take(variant_to_bool(Variant(field))); }

    // Runs the handler when every field converted.
    template <class Handler>
    Status then(Handler&& handler)
    {
        if (failure_)
            return std::move(*failure_);
        handler();
        return {};
    }

private:
    template <class T>
    T take(Result<T> result)
    {
        if (result)
            return std::move(result.value());
        if (!failure_)
            failure_ = result.failure();
        return T{};
    }

    std::optional<Failure> failure_;
};

// An item left out is reported once per run of pages for each procedure
// that leaves one out, not once for every such item. A run starts again
// with a page not after the one drawn before.
struct LeftOutReports {
    std::vector<std::string> procs;
    int16_t last_page = 0;

    void start_page(int16_t page)
    {
        if (page <= last_page)
            procs.clear();
        last_page = page;
    }

    bool first(std::string_view proc)
    {
        if (std::find(procs.begin(), procs.end(), proc) != procs.end())
            return false;
        procs.emplace_back(proc);
        return true;
    }
};

thread_local LeftOutReports left_out_reports;

Status dispatch(ObjectFields& self, const PageRecordHeader& header, const std::array<std::string, 6>& f)
{
    const auto code = record_code_of(std::string_view(header.RecordCode.data(), header.RecordCode.size()));
    if (!code)
        return {};
    // A field that does not convert is a failure of the record's handler.
    enter(record_code_info(*code).handler);
    FieldValues v;
    switch (*code) {
    case RecordCode::Pitch: {
        const float row_pitch = v.number(f[1]);
        const float col_pitch = v.number(f[2]);
        return v.then([&] { ZZ100_Pitch(row_pitch, col_pitch); });
    }
    case RecordCode::Font: {
        const float size = v.number(f[2]);
        const bool bold = v.boolean(f[3]);
        const float row_margin = v.number(f[4]);
        return v.then([&] { ZZ100_Font(f[1], size, bold, row_margin); });
    }
    case RecordCode::DrawStyle: {
        const int16_t style = v.integer(f[1]);
        const int16_t width = v.integer(f[2]);
        return v.then([&] { ZZ100_DrawStyle(style, width); });
    }
    case RecordCode::Color: return v.then([&] { ZZ100_Color(color_of_field(f[1])); });
    default:
        break;
    }

    // The drawing records all begin with a row and a column.
    const float row = v.number(f[1]);
    const float col = v.number(f[2]);
    switch (*code) {
    case RecordCode::Line: {
        const float end_row = v.number(f[3]);
        const float end_col = v.number(f[4]);
        return v.then([&] { ZZ100_Line(row, col, end_row, end_col); });
    }
    case RecordCode::LineHor: return v.then([&] { ZZ100_Line_Hor(row, col, f[3], f[4]); });
    case RecordCode::LineVrt: return v.then([&] { ZZ100_Line_Vrt(row, col, f[3], f[4]); });
    case RecordCode::Keisen: {
        const float end_row = v.number(f[3]);
        const float end_col = v.number(f[4]);
        return v.then([&] { ZZ100_Keisen(row, col, end_row, end_col); });
    }
    case RecordCode::String: return v.then([&] { ZZ100_String(row, col, f[3]); });
    case RecordCode::StringKin: {
        const float length = v.number(f[4]);
        return v.then([&] { ZZ100_String_Kin(row, col, f[3], length); });
    }
    case RecordCode::StringCenter: {
        const float length = v.number(f[4]);
        return v.then([&] { ZZ100_String_Center(row, col, f[3], length); });
    }
    case RecordCode::StringRight: return v.then([&] { ZZ100_String_Right(row, col, f[3]); });
    case RecordCode::StringLeft: {
        const float length = v.number(f[4]);
        return v.then([&] { ZZ100_String_Left(row, col, f[3], length); });
    }
    case RecordCode::Numeric: return v.then([&] { ZZ100_Numeric(row, col, f[3], f[4]); });
    case RecordCode::Image: {
        const float end_row = v.number(f[3]);
        const float end_col = v.number(f[4]);
        return v.then([&] { ZZ100_Image(self, row, col, end_row, end_col, f[5]); });
    }
    case RecordCode::Fill: {
        const float end_row = v.number(f[3]);
        const float end_col = v.number(f[4]);
        return v.then([&] { ZZ100_Fill(row, col, end_row, end_col, color_of_field(f[5])); });
    }
    case RecordCode::NumericRight: return v.then([&] { ZZ100_Numeric_Right(row, col, f[3], f[4]); });
    case RecordCode::StringFit: {
        const float length = v.number(f[4]);
        const auto mode = static_cast<FitMode>(std::clamp<int16_t>(v.integer(f[5]), 0, 2));
        return v.then([&] { ZZ100_String_Fit(row, col, f[3], length, mode); });
    }
    case RecordCode::StringBox: {
        const float end_row = v.number(f[3]);
        const float end_col = v.number(f[4]);
        return v.then([&] { ZZ100_String_Box(self, row, col, end_row, end_col, f[5]); });
    }
    case RecordCode::Barcode: {
        const float end_row = v.number(f[3]);
        const float end_col = v.number(f[4]);
        return v.then([&] { ZZ100_Barcode(row, col, end_row, end_col, f[5]); });
    }
    default: return {};
    }
}

}  // namespace

void ZZ100_Page_Out(ObjectFields& self, int16_t page) noexcept
{
    enter("ZZ100_Page_Out");
    JobState& s = job();
    if (page < s.Min_Page || page > s.Max_Page)
        return;
    s.OutPage = page;
    left_out_reports.start_page(page);
    // The page is read through a handle of its own: the recording's page and
    // handle (CurrPage, FileNo) stay as they are, whether or not a recording
    // is open, so output in the middle of one loses nothing and leaks nothing.
    Files& f = files();
    FileHandle handle = 0;
    const auto end_page = [&](const Failure& failure) {
        (void)f.close(handle);
        if (!failure.is(ErrorNumber::FileNotFound))
            report_failure(failure, self);
    };
    trap([&] {
        handle = must(f.free_handle());
        check(f.open(handle, PageFileName(s.Temp_Dir, page)));
        PageReader reader(f, handle);
        reset_page_color();
        draw_preview_background();
        while (true) {
            // A damaged record or field ends the page as a failure raised
            // would, but is handed on without being thrown: it is what a
            // replay of untrusted pages meets most often.
            Result<bool> more = reader.next(s.RecordHeader, s.RecordFields);
            if (!more) {
                end_page(reported_failure(more.failure()));
                return;
            }
            if (!*more)
                break;
            try {
                if (Status drawn = dispatch(self, s.RecordHeader, s.RecordFields); !drawn) {
                    end_page(reported_failure(drawn.failure()));
                    return;
                }
            } catch (const ItemLeftOut& left_out) {
                if (left_out_reports.first(s.CurrentProc))
                    report_failure(left_out.failure(), self);
            }
        }
        reset_page_color();
        check(f.close(handle));
    }, end_page);
}

}  // namespace kt482
