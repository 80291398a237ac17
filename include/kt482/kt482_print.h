// KT482_Print: lays out business forms on a character grid, records them
// page by page into spool files, and previews and prints them.
//
// Every member reports its failures itself, in a message box titled
// "KT482_Print : " and the member's name, and returns normally: no member
// throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kt482/export.h"
#include "kt482/host_messages.h"
#include "kt482/job_status.h"
#include "kt482/member_table.h"
#include "kt482/pdf_permission.h"
#include "kt482/variant.h"

namespace kt482 {

class DrawSurface;
struct ObjectFields;

// The outcome of a late-bound call at the dispatch level. Failures inside a
// member are reported by the member itself and are not seen here.
enum class InvokeStatus {
    Ok,
    UnknownMember,   // no member of that name, identifier or kind
    BadParamCount,   // too few or too many arguments
    NotSupported,    // the member or its argument types cannot be called late-bound
};

struct InvokeResult {
    InvokeStatus status = InvokeStatus::Ok;
    Variant value;  // the result of a property get or of a member with a result
};

class KT482_API KT482_Print {
public:
    KT482_Print();   // Class_Initialize
    ~KT482_Print();  // Class_Terminate
    KT482_Print(const KT482_Print&) = delete;
    KT482_Print& operator=(const KT482_Print&) = delete;

    // Object references: the printer of the running print job (set by
    // W_StartDoc, cleared by W_EndDoc) and the preview canvas. The component
    // never reads them back.
    std::shared_ptr<DrawSurface> P_PRINT() const noexcept;
    void P_PRINT(std::shared_ptr<DrawSurface> surface) noexcept;
    std::shared_ptr<DrawSurface> P_PREVIEW() const noexcept;
    void P_PREVIEW(std::shared_ptr<DrawSurface> surface) noexcept;

    // Properties. Setters ignore invalid values without a word.
    std::string P_Temp_Dir() const noexcept;
    void P_Temp_Dir(std::string folder) noexcept;
    float P_Bairitu() const noexcept;
    void P_Bairitu(float factor) noexcept;  // 0.2 to 5
    int16_t P_CurrPage() const noexcept;
    int16_t P_Min_Page() const noexcept;
    int16_t P_Max_Page() const noexcept;
    int16_t P_PRT_Copy() const noexcept;
    void P_PRT_Copy(int16_t copies) noexcept;  // 1 to 99
    bool P_CheckEnd() const noexcept;
    bool P_CheckData() const noexcept;
    int16_t P_PaperSize() const noexcept;
    int16_t P_Orientation() const noexcept;
    float P_TopMargin() const noexcept;
    void P_TopMargin(float millimetres) noexcept;  // 0 or more
    float P_LeftMargin() const noexcept;
    void P_LeftMargin(float millimetres) noexcept;  // 0 or more
    float P_RowPitch() const noexcept;
    float P_ColPitch() const noexcept;

    // The editing session.
    void E_StartEdit(int16_t P_CurrP = 0, int16_t P_StartP = 0, int16_t P_EndP = 0) noexcept;
    void E_ChangePage(int16_t P_NewP = 0) noexcept;
    void E_EndEdit() noexcept;
    void E_Clear() noexcept;

    // Layout commands: each appends one record to the current page.
    void E_Pitch(float P_Row_Pitch, float P_Col_Pitch) noexcept;
    void E_Font(const std::string& P_Font_Name, float P_Font_Size, bool P_Font_Bold, float P_Row_Margin) noexcept;
    void E_DrawStyle(int16_t P_Line_Style, int16_t P_Line_Width) noexcept;
    void E_Line(float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol) noexcept;
    void E_Line_Hor(float P_SBase_Row, float P_SBase_Col, const std::string& P_CLine_Row, const std::string& P_CLine_Col) noexcept;
    void E_Line_Vrt(float P_SBase_Row, float P_SBase_Col, const std::string& P_CLine_Row, const std::string& P_CLine_Col) noexcept;
    void E_Keisen(float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol) noexcept;
    void E_String(float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str) noexcept;
    void E_String_Kin(float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str, float P_Out_Length) noexcept;
    void E_String_Center(float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str, float P_Out_Length) noexcept;
    void E_String_Right(float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str) noexcept;
    void E_String_Left(float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str, float P_Out_Length) noexcept;
    void E_Numeric(float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_Num, const std::string& P_Data_Format) noexcept;

    // Printing: select a printer by name (the stored one when blank), start a
    // document with a paper code and orientation (for code 256 a height and
    // width in inches), print a page range (0 for the first or last recorded
    // page), and send the document.
    void W_Device(const std::string& P_PrinterName = "") noexcept;
    void W_StartDoc(int16_t P_Size, int16_t P_Orient, float P_Height = 0, float P_Width = 0) noexcept;
    void W_Print(int16_t P_StartP = 0, int16_t P_EndP = 0) noexcept;
    void W_EndDoc() noexcept;

    // Preview: prepare the window for a paper code and orientation (0 and 0
    // are A4 landscape; for code 256 a height and width in inches), then show
    // a page range modally until the user closes the window.
    void V_Size_Set(int16_t P_Size, int16_t P_Orient, float P_Height = 0, float P_Width = 0) noexcept;
    void V_Preview(int16_t P_StartP = 0, int16_t P_EndP = 0) noexcept;

    // The printer-setup dialog, modal to the host's window (a native window
    // id, or 0): 1 when the user confirmed it, 0 otherwise. The chosen
    // printer is selected and set up either way.
    int16_t W_PrtDialog(uintptr_t P_Form = 0, const std::string& P_PrinterName = "", int16_t P_Size = 0,
                        int16_t P_Orient = 0, float P_Height = 0, float P_Width = 0) noexcept;

    // Late-bound calls: a member looked up by name (letter case ignored) or by
    // dispatch identifier, its arguments converted by the automation rules.
    // A text that is not a number given for a number is a type mismatch,
    // reported like any failure of the member.
    InvokeResult Invoke(std::string_view name, MemberKind kind, const std::vector<Variant>& args = {}) noexcept;
    InvokeResult Invoke(int32_t dispid, MemberKind kind, const std::vector<Variant>& args = {}) noexcept;

    // The result of the last failure message box (empty until one is shown).
    const Variant& Answer() const noexcept;

    // ---- Host additions: not members of the automation interface. A host
    // that does not call them sees no difference.

    // Pictures, fills and colour, recorded like the layout commands and
    // reachable by Invoke. E_Image draws a PNG or JPEG file into the box
    // between two grid corners: P_Fit 0 keeps its proportions, as large as
    // fits and centred, 1 stretches it to the box. E_Fill fills the box in
    // P_Color (0xRRGGBB). E_Color sets the colour of the texts and lines
    // recorded after it on the page; every page starts black.
    void E_Image(float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol,
                 const std::string& P_File, int16_t P_Fit = 0) noexcept;
    void E_Fill(float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol, int32_t P_Color) noexcept;
    void E_Color(int32_t P_Color) noexcept;
    // A barcode drawn into the box between two grid corners, recorded like
    // the layout commands and reachable by Invoke. P_Type: "QR", "CODE128",
    // "GS1-128", "JAN13" ("EAN13"), "JAN8" ("EAN8"), "NW7", "ITF" or
    // "POSTAL", letter case ignored. P_Options: ";"-separated key=value
    // items, ecc=L|M|Q|H (QR), text=1 (the human-readable line), quiet=N (the
    // quiet zone in modules). Data the symbology cannot hold is reported with
    // the encoder's reason, and nothing is recorded.
    void E_Barcode(float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol,
                   const std::string& P_Type, const Variant& P_Data, const std::string& P_Options = "") noexcept;
    // Starts a new document on this object: what E_Clear does (the spool's
    // page files deleted), and the page bounds P_Min_Page and P_Max_Page
    // fresh, as in a new object. E_Clear alone keeps the bounds, which only
    // widen: three pages recorded, cleared, then one recorded still prints
    // pages 1 to 3. Settings (printer, paper, pitch, spool folder) stay. A
    // spool without pages is no failure. Reachable by Invoke.
    void E_NewDocument() noexcept;
    // An amount as E_Numeric lays it out, but ending at the left edge of
    // column P_End_Scol (as E_String_Right ends its text), whatever the
    // picture's length or the characters in it (¥, full-width digits, △). A
    // picture with more than three sections or an unclosed quote is refused
    // (5) and nothing is recorded. Reachable by Invoke.
    void E_Numeric_Right(float P_Data_Srow, float P_End_Scol, const Variant& P_Data_Num,
                         const std::string& P_Data_Format) noexcept;
    // A text within P_Out_Length columns from its column (rows down for "@"
    // faces): P_Mode 0 shrinks its size down to half, 1 condenses it (長体)
    // down to half its width, then either clips it; 2 clips it and ends it
    // with "…". The PDF's text layer holds the whole text either way.
    void E_String_Fit(float P_Data_Srow, float P_Data_Scol, const Variant& P_Data_str, float P_Out_Length,
                      int16_t P_Mode) noexcept;
    // A text wrapped into the box between two grid corners, a line a row
    // from the first row down, P_Align 0 left, 1 centred, 2 right, by the
    // Japanese line-breaking rules, explicit line ends kept. Lines that do
    // not fit are left out and noted in LastFailure (6 Overflow) when the
    // page is drawn, without a message. Both refuse (5) a length or box of
    // no size and a mode or alignment out of range, recording nothing.
    void E_String_Box(float P_Start_Srow, float P_Start_Scol, float P_End_Srow, float P_End_Scol,
                      const Variant& P_Data_str, int16_t P_Align) noexcept;

    // The last failure a member of this object reported (number 0 when none
    // since creation or ClearLastFailure), and forgetting it. Reporting a
    // failure shows its message as before.
    const FailureReport& LastFailure() const;
    void ClearLastFailure();

    // Installs a handler for the calling thread that receives each message of
    // the library's members instead of the message box or the standard-error
    // line; an empty handler restores them. Returns the handler it replaces.
    static MessageHandler SetMessageHandler(MessageHandler handler);

    // The file the next document on "KT482 PDF" is written to, instead of a
    // new file in the printer's folder: taken by the next W_StartDoc with
    // that printer selected, used for that one document, and replaced only
    // once the document is complete. An empty path goes back to the folder.
    // Kept per thread, like the job.
    void SetNextPdfPath(const std::string& path);
    // Where the last PDF document of this thread's jobs went (an absolute
    // path), empty before the first.
    std::string LastPdfPath() const;
    // The title, author, subject and keywords (UTF-8) of the next document
    // W_StartDoc starts, used for that one document; an empty title leaves
    // the file's name. Kept per thread, like the job.
    void SetDocumentInfo(const std::string& title, const std::string& author, const std::string& subject,
                         const std::string& keywords);
    // Whether the documents W_StartDoc starts from now on are archivable
    // PDF/A-2u files (off at first). Kept per thread, like the job.
    void SetPdfArchive(bool archive);

    // Pre-printed stationery and the office's printers; reachable by Invoke.
    // SetPrintOffset moves everything printed on the selected printer from
    // its next document on, x_mm rightwards and y_mm downwards (negative the
    // other way, each within -20 to 20 mm; a value beyond, or not a number,
    // is reported and changes nothing). Selecting a print queue (W_Device,
    // the setup dialog) gives it the offset stored for it in the printer
    // table ($XDG_CONFIG_HOME/kt482/printers.json, written by "kt482
    // calibrate"); an offset given here replaces it for that printer until
    // the next W_Device. The PDF printer and the preview are moved only by
    // this member.
    void SetPrintOffset(float x_mm, float y_mm) noexcept;
    // A background for the preview: a PNG or JPEG file or the first page of
    // a PDF file, drawn under every page at every zoom and never sent to a
    // printer; empty clears it. A file that is none of these is reported and
    // the background stays as it was.
    void V_Background(const std::string& file) noexcept;
    // Whether the preview's "save as PDF" draws the background under its
    // pages too (off at first), for a filled form sent by mail; printing
    // never does.
    void V_BackgroundInPdf(bool include) noexcept;
    // The paper source (IPP media-source: auto, manual, tray-1, envelope,
    // ...) and paper kind (media-type: stationery, envelope, labels, ...) of
    // the selected queue's next documents, sent with the job; empty for the
    // queue's own. A name the queue does not offer is reported with the
    // names it offers and keeps the choice; W_Device clears both.
    std::string P_PRT_Source() const;
    void P_PRT_Source(const std::string& name) noexcept;
    std::string P_PRT_MediaType() const;
    void P_PRT_MediaType(const std::string& name) noexcept;
    // The print server's number of the job the last W_EndDoc sent to a
    // queue, 0 when it sent none.
    int32_t LastJobId() const noexcept;
    // The job's state and its printer's reasons (kt482/job_status.h), asked
    // within 3 seconds; a failure is reported and gives an empty state.
    JobStatus JobState(int32_t job_id) const;
    // Waits up to seconds for the job to reach a final state (completed,
    // canceled or aborted): true when it did, false when the time ran out
    // first or the server could not be asked (reported). Each question to
    // the server is bounded by 3 seconds.
    bool WaitForJob(int32_t job_id, float seconds) const;
    // The protection of the PDF documents W_StartDoc starts from now on, on
    // the built-in PDF printer. Each setting is kept per thread, like the
    // job, until changed; an empty path, password or address turns it off.
    // A setting that cannot be used fails at once where it can be checked
    // then, else at W_StartDoc or W_EndDoc, and no file is left under the
    // document's name.
    //
    // A file attached to each document (at most kLargestAttachment bytes,
    // read when the document starts): its MIME type ("application/json")
    // and its relationship to the document as the archival form names it:
    // "Data", "Source", "Alternative", "Supplement" or "Unspecified". With
    // archiving on, documents with attachments are PDF/A-3u.
    static constexpr int64_t kLargestAttachment = 64LL << 20;
    void AttachFile(const std::string& path, const std::string& mime_type, const std::string& relationship,
                    const std::string& description = "") noexcept;
    void ClearAttachments() noexcept;
    // AES-256 encryption: the password that opens the document, the one
    // that lifts the restrictions (the user's when empty) and what a reader
    // of the user's password may do (PdfPermission values; 0 reading only,
    // -1 everything). Archived documents cannot be encrypted: with archiving
    // on, W_StartDoc fails. The passwords are hashed once for the documents
    // after this call; each document has a random file key of its own.
    void SetPdfEncryption(const std::string& user_password, const std::string& owner_password,
                          int32_t permissions) noexcept;
    // A signature over the whole document (CMS, SHA-256) by the certificate
    // and private key of a PKCS#12 file: invisible unless SetPdfSignatureBox
    // gives it a place. The certificate must be valid now and allowed to
    // sign. The file is read when the first document after this call
    // starts; its key is kept in memory for the documents after it (its
    // certificate's validity checked for each) and is never written.
    void SetPdfSignature(const std::string& pkcs12_file, const std::string& password, const std::string& reason,
                         const std::string& location) noexcept;
    // The visible signature: a box between two grid corners of a page
    // (1-based; 0 makes the signature invisible again) showing the seal
    // picture (PNG or JPEG; none when empty) and the signer's name.
    void SetPdfSignatureBox(int16_t page, float r1, float c1, float r2, float c2,
                            const std::string& picture = "") noexcept;
    // A trusted timestamp from the authority at an http:// address (RFC
    // 3161): in the signature when one is set, else a document timestamp
    // of its own. The authority must answer within 3 seconds.
    void SetPdfTimestamp(const std::string& tsa_url) noexcept;

    // Pages recorded elsewhere (another process, an earlier run) into
    // P_Temp_Dir: pages first to last become this object's pages, as if it
    // had recorded them, for V_Preview, W_Print and the rest to draw, each
    // page's file read as it is drawn. A range that is not 1 <= first <=
    // last <= 9999 is reported (380) and changes nothing.
    void UseRecordedPages(int16_t first, int16_t last) noexcept;
    // Draws the alignment sheet (crosshairs and millimetre rulers at known
    // distances from the sheet's edges, and the printer's name) as the page
    // of the document W_StartDoc opened on the selected printer, ignoring any
    // print offset; W_EndDoc sends it. width_mm and height_mm are the sheet's
    // as printed. Without a selected printer 91, a size that is not above 0
    // 380; a sheet that cannot be drawn is reported and its document dropped.
    void PrintAlignmentSheet(float width_mm, float height_mm) noexcept;

private:
    std::unique_ptr<ObjectFields> self_;
};

}  // namespace kt482
