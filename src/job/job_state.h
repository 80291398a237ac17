// The job state: one record per thread, shared by every KT482_Print object
// created on that thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/printer.h"

namespace kt482 {

class DrawSurface;
class Printer;
struct LoadedPicture;

// The fixed 20-byte header of a spool record, as kept in memory.
struct PageRecordHeader {
    std::array<char, 2> Marker{};
    int16_t TextLength = 0;
    std::array<char, 4> RecordCode{};
    std::array<int16_t, 6> FieldLength{};
};

// Where the renderer draws: nowhere yet, the printer, or the preview canvas.
enum class OutputTarget : int16_t { None = 0, Printer = 1, Preview = 2 };

struct JobState {
    // Printer settings, from the default printer at creation.
    std::string DeviceName;
    std::string DriverName;
    std::string Port;
    int16_t PaperSize = 0;
    int16_t Orientation = 0;
    int16_t PRT_Copy = 0;
    int16_t Duplex = 0;
    int16_t PrinterOption = 0;
    float PageHeight = 0;  // points
    float PageWidth = 0;   // points

    // The grid and the magnification.
    float LeftMargin = 0;  // millimetres
    float TopMargin = 0;   // millimetres
    float ColPitch = 0;    // points
    float RowPitch = 0;    // points
    float RowMargin = 0;   // points
    float Bairitu = 0;

    // The font the renderer applied last.
    std::string FontName;
    float FontSize = 0;
    bool FontBold = false;

    // The editing session.
    std::string Temp_Dir;
    int16_t CurrPage = 0;
    int16_t Min_Page = 0;
    int16_t Max_Page = 0;
    int16_t StartP = 0;
    int16_t EndP = 0;
    FileHandle FileNo = 0;
    // True from the moment a page becomes current for recording until it is
    // finished, so that a redundant finish never throws a kept page away.
    bool PageOpen = false;
    // True when the current page's file already held records when it was
    // opened: a kept page revisited without new drawing stays kept.
    bool PageHadRecords = false;

    // Output.
    kt482::OutputTarget OutputTarget = kt482::OutputTarget::None;
    std::shared_ptr<Printer> PrinterObject;
    // The host's file for the next PDF document, the PDF printer it replaced
    // while that document is written, and where the last PDF document went.
    std::string NextPdfPath;
    std::shared_ptr<Printer> FolderPdfPrinter;
    std::string LastPdfPath;
    // The host's information for the next document, and whether documents
    // are archivable (PDF/A-2u).
    DocumentProperties NextDocument;
    std::shared_ptr<DrawSurface> PreviewCanvas;
    // The paper source and kind chosen for the selected printer (IPP names,
    // empty for its own), and the print server's number of the last job
    // W_EndDoc sent (0 when none).
    std::string PRT_Source;
    std::string PRT_MediaType;
    int32_t LastJobId = 0;
    // The offset SetPrintOffset gave the printer of that device name, in
    // millimetres; it outlives the printer's selections by the preview and
    // the setup dialog, until the host selects a printer itself.
    std::string ChosenOffsetDevice;
    float ChosenOffsetX = 0;
    float ChosenOffsetY = 0;
    // The picture drawn under every page of the preview, none by default;
    // whether the preview's "save as PDF" draws it too, and true while it
    // saves.
    std::shared_ptr<const LoadedPicture> PreviewBackground;
    bool BackgroundInSavedPdf = false;
    bool SavingPreviewPdf = false;
    int16_t OutStartP = 0;
    int16_t OutEndP = 0;
    // The page the renderer is drawing. It is kept apart from CurrPage so
    // that output in the middle of a recording leaves the recording as it was.
    int16_t OutPage = 0;
    // True once the printer's current page has been started by drawing.
    bool PageStarted = false;
    float ScrollX = 0;
    float ScrollY = 0;
    float MeasuredFontSize = 0;
    float FontScale = 0;
    // The colour the page being drawn has set on the target (0 black).
    uint32_t PageColor = 0;

    // Names are literals or members of the member table, so a view suffices
    // and recording a name costs nothing on the replay of every record.
    std::string_view CurrentProc;
    PageRecordHeader RecordHeader;
    std::array<std::string, 6> RecordFields;
};

// The calling thread's job state.
JobState& job();

// False once the thread's job state has been destroyed at thread or process
// exit.
bool job_state_alive();

// The creation defaults that do not come from the printer.
void set_fixed_defaults(JobState& state);

// True when StartP <= CurrPage <= EndP.
bool page_inside_window(const JobState& state);

}  // namespace kt482
