#include "print/page_setup.h"

#include <cmath>

#include "base/paper_table.h"
#include "base/units.h"
#include "job/error_trap.h"
#include "job/job_state.h"
#include "platform/printer.h"
#include "print/pdf_file_choice.h"
#include "print/print_run.h"

namespace kt482 {
namespace {

float inches_to_points(float inches)
{
    const float points = inches * 72.0f;
    if (std::isinf(points))
        raise(Failure(ErrorNumber::Overflow));
    return points;
}

// Points to whole twips, halves to even; nullopt beyond 32 bits.
std::optional<int32_t> twips(float points)
{
    const double value = std::nearbyint(twips_from_points(static_cast<double>(points)));
    if (!(value >= INT32_MIN && value <= INT32_MAX))
        return std::nullopt;
    return static_cast<int32_t>(value);
}

}  // namespace

void apply_paper_arguments(int16_t P_Size, int16_t P_Orient, float P_Height, float P_Width)
{
    JobState& s = job();
    // A size that is no number is refused before anything changes, as every
    // other member refuses one.
    const int16_t paper = P_Size != 0 ? P_Size : s.PaperSize;
    if (paper == kPaperUserDefined && !(std::isfinite(P_Height) && std::isfinite(P_Width)))
        raise(Failure(ErrorNumber::InvalidCall));
    if (P_Size != 0)
        s.PaperSize = P_Size;
    if (P_Orient != 0)
        s.Orientation = P_Orient;
    if (s.PaperSize == kPaperUserDefined) {
        s.PageHeight = inches_to_points(P_Height);
        s.PageWidth = inches_to_points(P_Width);
    }
}

void W_StartDoc(ObjectFields& self, int16_t P_Size, int16_t P_Orient, float P_Height, float P_Width)
{
    run_trapped(self, "W_StartDoc", [&] {
        JobState& s = job();
        if (s.OutputTarget != OutputTarget::Printer)
            return;
        ZZ100_EndDoc();
        give_back_pdf_printer();
        apply_paper_arguments(P_Size, P_Orient, P_Height, P_Width);
        s.PageStarted = 0;
        // The path names only a file the new document writes.
        s.LastPdfPath.clear();
        take_chosen_pdf_file();
        hand_over_document_properties();
        ZZ100_PRT_Layout();
        self.P_PRINT = nullptr;
        self.P_PRINT = s.PrinterObject;
    });
}

void ZZ100_PRT_Layout()
{
    enter("ZZ100_PRT_Layout");
    JobState& s = job();
    Printer* printer = s.PrinterObject.get();
    if (!printer)
        return;
    // Each step's failure is ignored: the printer keeps its own setting.
    (void)printer->ScaleModePoints();
    (void)printer->FillTransparent();
    (void)printer->FontUnderline(false);
    (void)printer->PaperSize(s.PaperSize);
    if (printer->PaperSize() == kPaperUserDefined) {
        if (auto height = twips(s.PageHeight))
            (void)printer->PageHeight(*height);
        if (auto width = twips(s.PageWidth))
            (void)printer->PageWidth(*width);
    }
    (void)printer->Orientation(s.Orientation);
    (void)printer->Copies(s.PRT_Copy);
    (void)printer->Duplex(s.Duplex);
    (void)printer->PrintQuality(s.PrinterOption);
}

}  // namespace kt482
