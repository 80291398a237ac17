#include "kt482/kt482_print.h"

#include <cmath>

#include "api/class_lifecycle.h"
#include "api/late_binding.h"
#include "job/barcode_command.h"
#include "job/editing_session.h"
#include "job/error_trap.h"
#include "job/job_state.h"
#include "job/layout_commands.h"
#include "job/object_fields.h"
#include "platform/printer.h"
#include "platform/services.h"
#include "preview/v_preview.h"
#include "preview/v_size_set.h"
#include "print/page_setup.h"
#include "print/pdf_file_choice.h"
#include "print/print_dialog_flow.h"
#include "print/print_run.h"
#include "print/printer_choices.h"
#include "preview/preview_background.h"

namespace kt482 {

KT482_Print::KT482_Print() : self_(std::make_unique<ObjectFields>())
{
    Class_Initialize(*self_);
}

KT482_Print::~KT482_Print()
{
    Class_Terminate(*self_);
}

std::shared_ptr<DrawSurface> KT482_Print::P_PRINT() const noexcept { return self_->P_PRINT; }
void KT482_Print::P_PRINT(std::shared_ptr<DrawSurface> surface) noexcept { self_->P_PRINT = std::move(surface); }
std::shared_ptr<DrawSurface> KT482_Print::P_PREVIEW() const noexcept { return self_->P_PREVIEW; }
void KT482_Print::P_PREVIEW(std::shared_ptr<DrawSurface> surface) noexcept { self_->P_PREVIEW = std::move(surface); }

std::string KT482_Print::P_Temp_Dir() const noexcept
{
    // Like every accessor, without a trap of its own: no copy, no text.
    std::string folder;
    trap([&] { folder = job().Temp_Dir; }, [](const Failure&) {});
    return folder;
}
void KT482_Print::P_Temp_Dir(std::string folder) noexcept { job().Temp_Dir = std::move(folder); }

float KT482_Print::P_Bairitu() const noexcept { return job().Bairitu; }
void KT482_Print::P_Bairitu(float factor) noexcept
{
    if (factor >= 0.2f && factor <= 5.0f)
        job().Bairitu = factor;
}

int16_t KT482_Print::P_CurrPage() const noexcept { return job().CurrPage; }
int16_t KT482_Print::P_Min_Page() const noexcept { return job().Min_Page; }
int16_t KT482_Print::P_Max_Page() const noexcept { return job().Max_Page; }

int16_t KT482_Print::P_PRT_Copy() const noexcept { return job().PRT_Copy; }
void KT482_Print::P_PRT_Copy(int16_t copies) noexcept
{
    if (copies < 1 || copies > kMaxCopies)
        return;
    auto& s = job();
    s.PRT_Copy = copies;
    if (!s.PrinterObject)
        return;
    // A printer that refuses the number falls back to one copy; any other
    // failure keeps the number for the next page setup.
    trap([&] {
        Status status = s.PrinterObject->Copies(copies);
        if (!status && status.failure().is(ErrorNumber::InvalidPropertyValue))
            s.PRT_Copy = 1;
    }, [](const Failure&) {});
}

bool KT482_Print::P_CheckEnd() const noexcept { return job().CurrPage > job().EndP; }
bool KT482_Print::P_CheckData() const noexcept { return self_->CheckData == 1; }
int16_t KT482_Print::P_PaperSize() const noexcept { return job().PaperSize; }
int16_t KT482_Print::P_Orientation() const noexcept { return job().Orientation; }

float KT482_Print::P_TopMargin() const noexcept { return job().TopMargin; }
void KT482_Print::P_TopMargin(float millimetres) noexcept
{
    if (std::isfinite(millimetres) && millimetres >= 0)
        job().TopMargin = millimetres;
}

float KT482_Print::P_LeftMargin() const noexcept { return job().LeftMargin; }
void KT482_Print::P_LeftMargin(float millimetres) noexcept
{
    if (std::isfinite(millimetres) && millimetres >= 0)
        job().LeftMargin = millimetres;
}

float KT482_Print::P_RowPitch() const noexcept { return job().RowPitch; }
float KT482_Print::P_ColPitch() const noexcept { return job().ColPitch; }

void KT482_Print::E_StartEdit(int16_t P_CurrP, int16_t P_StartP, int16_t P_EndP) noexcept
{
    kt482::E_StartEdit(*self_, P_CurrP, P_StartP, P_EndP);
}
void KT482_Print::E_ChangePage(int16_t P_NewP) noexcept { kt482::E_ChangePage(*self_, P_NewP); }
void KT482_Print::E_EndEdit() noexcept { kt482::E_EndEdit(*self_); }
void KT482_Print::E_Clear() noexcept { kt482::E_Clear(*self_); }

void KT482_Print::E_Pitch(float P_Row_Pitch, float P_Col_Pitch) noexcept { kt482::E_Pitch(*self_, P_Row_Pitch, P_Col_Pitch); }
void KT482_Print::E_Font(const std::string& P_Font_Name, float P_Font_Size, bool P_Font_Bold, float P_Row_Margin) noexcept
{
    kt482::E_Font(*self_, P_Font_Name, P_Font_Size, P_Font_Bold, P_Row_Margin);
}
void KT482_Print::E_DrawStyle(int16_t P_Line_Style, int16_t P_Line_Width) noexcept
{
    kt482::E_DrawStyle(*self_, P_Line_Style, P_Line_Width);
}
void KT482_Print::E_Line(float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol) noexcept
{
    kt482::E_Line(*self_, P_Start_Srow, P_Start_Scol, P_End_Srow, P_End_Scol);
}
void KT482_Print::E_Line_Hor(float P_SBase_Row, float P_SBase_Col, const std::string& P_CLine_Row,
                             const std::string& P_CLine_Col) noexcept
{
    kt482::E_Line_Hor(*self_, P_SBase_Row, P_SBase_Col, P_CLine_Row, P_CLine_Col);
}
void KT482_Print::E_Line_Vrt(float P_SBase_Row, float P_SBase_Col, const std::string& P_CLine_Row,
                             const std::string& P_CLine_Col) noexcept
{
    kt482::E_Line_Vrt(*self_, P_SBase_Row, P_SBase_Col, P_CLine_Row, P_CLine_Col);
}
void KT482_Print::E_Keisen(float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol) noexcept
{
    kt482::E_Keisen(*self_, P_Start_Srow, P_Start_Scol, P_End_Srow, P_End_Scol);
}
void KT482_Print::E_String(float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str) noexcept
{
    kt482::E_String(*self_, P_Data_Srow, P_Data_Scol, P_Data_str);
}
void KT482_Print::E_String_Kin(float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str, float P_Out_Length) noexcept
{
    kt482::E_String_Kin(*self_, P_Data_Srow, P_Data_Scol, P_Data_str, P_Out_Length);
}
void KT482_Print::E_String_Center(float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str,
                                  float P_Out_Length) noexcept
{
    kt482::E_String_Center(*self_, P_Data_Srow, P_Data_Scol, P_Data_str, P_Out_Length);
}
void KT482_Print::E_String_Right(float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str) noexcept
{
    kt482::E_String_Right(*self_, P_Data_Srow, P_Data_Scol, P_Data_str);
}
void KT482_Print::E_String_Left(float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str, float P_Out_Length) noexcept
{
    kt482::E_String_Left(*self_, P_Data_Srow, P_Data_Scol, P_Data_str, P_Out_Length);
}
void KT482_Print::E_Numeric(float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_Num,
                            const std::string& P_Data_Format) noexcept
{
    kt482::E_Numeric(*self_, P_Data_Srow, P_Data_Scol, P_Data_Num, P_Data_Format);
}

void KT482_Print::E_Image(float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol,
                          const std::string& P_File, int16_t P_Fit) noexcept
{
    kt482::E_Image(*self_, P_Start_Srow, P_Start_Scol, P_End_Srow, P_End_Scol, P_File, P_Fit);
}
void KT482_Print::E_Fill(float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol,
                         int32_t P_Color) noexcept
{
    kt482::E_Fill(*self_, P_Start_Srow, P_Start_Scol, P_End_Srow, P_End_Scol, P_Color);
}
void KT482_Print::E_Color(int32_t P_Color) noexcept { kt482::E_Color(*self_, P_Color); }
void KT482_Print::E_NewDocument() noexcept { kt482::E_NewDocument(*self_); }

void KT482_Print::E_Barcode(float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol,
                            const std::string& P_Type, const Variant& P_Data, const std::string& P_Options) noexcept
{
    kt482::E_Barcode(*self_, P_Start_Srow, P_Start_Scol, P_End_Srow, P_End_Scol, P_Type, P_Data, P_Options);
}
void KT482_Print::E_Numeric_Right(float P_Data_Srow, float P_End_Scol, const Variant& P_Data_Num,
                                  const std::string& P_Data_Format) noexcept
{
    kt482::E_Numeric_Right(*self_, P_Data_Srow, P_End_Scol, P_Data_Num, P_Data_Format);
}
void KT482_Print::E_String_Fit(float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str, float P_Out_Length,
                               int16_t P_Mode) noexcept
{
    kt482::E_String_Fit(*self_, P_Data_Srow, P_Data_Scol, P_Data_str, P_Out_Length, P_Mode);
}
void KT482_Print::E_String_Box(float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol,
                               const Variant& P_Data_str, int16_t P_Align) noexcept
{
    kt482::E_String_Box(*self_, P_Start_Srow, P_Start_Scol, P_End_Srow, P_End_Scol, P_Data_str, P_Align);
}

void KT482_Print::W_Device(const std::string& P_PrinterName) noexcept { kt482::W_Device(*self_, P_PrinterName); }
void KT482_Print::W_StartDoc(int16_t P_Size, int16_t P_Orient, float P_Height, float P_Width) noexcept
{
    kt482::W_StartDoc(*self_, P_Size, P_Orient, P_Height, P_Width);
}
void KT482_Print::W_Print(int16_t P_StartP, int16_t P_EndP) noexcept { kt482::W_Print(*self_, P_StartP, P_EndP); }
void KT482_Print::W_EndDoc() noexcept { kt482::W_EndDoc(*self_); }

void KT482_Print::V_Size_Set(int16_t P_Size, int16_t P_Orient, float P_Height, float P_Width) noexcept
{
    kt482::V_Size_Set(*self_, P_Size, P_Orient, P_Height, P_Width);
}
void KT482_Print::V_Preview(int16_t P_StartP, int16_t P_EndP) noexcept { kt482::V_Preview(*self_, P_StartP, P_EndP); }
int16_t KT482_Print::W_PrtDialog(uintptr_t P_Form, const std::string& P_PrinterName, int16_t P_Size,
                                 int16_t P_Orient, float P_Height, float P_Width) noexcept
{
    return kt482::W_PrtDialog(*self_, P_Form, P_PrinterName, P_Size, P_Orient, P_Height, P_Width);
}

InvokeResult KT482_Print::Invoke(std::string_view name, MemberKind kind, const std::vector<Variant>& args) noexcept
{
    const MemberInfo* member = find_member(name, kind);
    if (!member)
        return {InvokeStatus::UnknownMember, {}};
    return invoke_member(*this, *self_, *member, args);
}

InvokeResult KT482_Print::Invoke(int32_t dispid, MemberKind kind, const std::vector<Variant>& args) noexcept
{
    const MemberInfo* member = find_member(dispid, kind);
    if (!member)
        return {InvokeStatus::UnknownMember, {}};
    return invoke_member(*this, *self_, *member, args);
}

const Variant& KT482_Print::Answer() const noexcept { return self_->Answer; }

const FailureReport& KT482_Print::LastFailure() const { return self_->LastFailure; }
void KT482_Print::ClearLastFailure() { self_->LastFailure = {}; }

void KT482_Print::SetNextPdfPath(const std::string& path) { choose_next_pdf_file(path); }
std::string KT482_Print::LastPdfPath() const { return job().LastPdfPath; }
void KT482_Print::SetDocumentInfo(const std::string& title, const std::string& author, const std::string& subject,
                                  const std::string& keywords)
{
    choose_next_document_info(title, author, subject, keywords);
}
void KT482_Print::SetPdfArchive(bool archive) { choose_pdf_archive(archive); }
void KT482_Print::AttachFile(const std::string& path, const std::string& mime_type, const std::string& relationship,
                             const std::string& description) noexcept
{
    run_trapped(*self_, "AttachFile", [&] { choose_attachment({path, mime_type, relationship, description}); });
}
void KT482_Print::ClearAttachments() noexcept
{
    run_trapped(*self_, "ClearAttachments", [] { clear_attachments(); });
}
void KT482_Print::SetPdfEncryption(const std::string& user_password, const std::string& owner_password,
                                   int32_t permissions) noexcept
{
    run_trapped(*self_, "SetPdfEncryption",
                [&] { choose_pdf_encryption(user_password, owner_password, permissions); });
}
void KT482_Print::SetPdfSignature(const std::string& pkcs12_file, const std::string& password,
                                  const std::string& reason, const std::string& location) noexcept
{
    run_trapped(*self_, "SetPdfSignature", [&] { choose_pdf_signature(pkcs12_file, password, reason, location); });
}
void KT482_Print::SetPdfSignatureBox(int16_t page, float r1, float c1, float r2, float c2,
                                     const std::string& picture) noexcept
{
    run_trapped(*self_, "SetPdfSignatureBox", [&] { choose_pdf_signature_box(page, r1, c1, r2, c2, picture); });
}
void KT482_Print::SetPdfTimestamp(const std::string& tsa_url) noexcept
{
    run_trapped(*self_, "SetPdfTimestamp", [&] { choose_pdf_timestamp(tsa_url); });
}

void KT482_Print::SetPrintOffset(float x_mm, float y_mm) noexcept { kt482::SetPrintOffset(*self_, x_mm, y_mm); }
void KT482_Print::V_Background(const std::string& file) noexcept { kt482::V_Background(*self_, file); }
void KT482_Print::V_BackgroundInPdf(bool include) noexcept { kt482::V_BackgroundInPdf(*self_, include); }
std::string KT482_Print::P_PRT_Source() const { return job().PRT_Source; }
void KT482_Print::P_PRT_Source(const std::string& name) noexcept { kt482::P_PRT_Source(*self_, name); }
std::string KT482_Print::P_PRT_MediaType() const { return job().PRT_MediaType; }
void KT482_Print::P_PRT_MediaType(const std::string& name) noexcept { kt482::P_PRT_MediaType(*self_, name); }
int32_t KT482_Print::LastJobId() const noexcept { return job().LastJobId; }
void KT482_Print::UseRecordedPages(int16_t first, int16_t last) noexcept { kt482::UseRecordedPages(*self_, first, last); }
void KT482_Print::PrintAlignmentSheet(float width_mm, float height_mm) noexcept
{
    kt482::PrintAlignmentSheet(*self_, width_mm, height_mm);
}
JobStatus KT482_Print::JobState(int32_t job_id) const { return job_status(*self_, job_id); }
bool KT482_Print::WaitForJob(int32_t job_id, float seconds) const { return wait_for_job(*self_, job_id, seconds); }

MessageHandler KT482_Print::SetMessageHandler(MessageHandler handler)
{
    return set_message_handler(std::move(handler));
}

}  // namespace kt482
