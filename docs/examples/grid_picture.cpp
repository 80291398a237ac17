// Draws the grid picture of docs/first-form.md with the library itself: a
// large grid (36 pt rows, 18 pt columns) inside 20 mm and 25 mm margins,
// where texts stand in their rows, and what a row margin does.
//   grid_picture OUT.pdf
#include <cstdio>
#include <filesystem>
#include <string>

#include "kt482/kt482.h"

int main(int argc, char** argv)
{
    const std::string out = std::filesystem::absolute(argc > 1 ? argv[1] : "grid.pdf").string();
    std::filesystem::create_directories("grid-spool");
    kt482::KT482_Print job;
    job.P_Temp_Dir("grid-spool");
    job.P_LeftMargin(20);                        // millimetres
    job.P_TopMargin(25);
    job.E_StartEdit();
    job.E_Pitch(36, 18);
    job.E_Font("ＭＳ ゴシック", 9, false, 0);

    // The page's corner and the margins, in a dashed pen.
    job.E_DrawStyle(1, 1);
    job.E_Line(-1.8f, 1, 6, 1);                  // the left margin's edge
    job.E_Line(1, -2.2f, 1, 14);                 // the top margin's edge
    job.E_String(-1.2f, 1.2f, "top margin (P_TopMargin, mm)");
    job.E_String(3.6f, -2.1f, "left margin");
    // Rows 1 to 5 and columns 1 to 13, in a dotted pen.
    job.E_DrawStyle(2, 1);
    job.E_Line_Hor(1, 1, "1;2;3;4;5", "0-13");
    job.E_Line_Vrt(1, 1, "0-5", "1;2;3;4;5;6;7;8;9;10;11;12;13");
    for (int row = 1; row <= 5; ++row)
        job.E_String_Right(static_cast<float>(row), 0.8f, "row " + std::to_string(row));
    for (int col = 1; col <= 13; col += 2)
        job.E_String(-0.1f, static_cast<float>(col), "col " + std::to_string(col));

    // Row 2: a 20 pt text in a 36 pt row sits on the row's bottom.
    job.E_Font("ＭＳ 明朝", 20, false, 0);
    job.E_String(2, 3, "請求書 E_String(2, 3)");
    // Row 4: the same with a row margin of 8 pt is raised by 8 pt.
    job.E_Font("ＭＳ 明朝", 20, false, 8);
    job.E_String(4, 3, "請求書 row margin 8");
    job.E_Font("ＭＳ ゴシック", 8, false, 0);
    job.E_String(2, 14.2f, "<- 20 pt text in a 36 pt row: 16 pt free above it");
    job.E_String(4, 14.2f, "<- row margin 8: 8 pt free under it");
    // A rule from the top left corner of (2, 3) to that of (2, 13), 3 pixels.
    job.E_DrawStyle(0, 3);
    job.E_Line(2, 3, 2, 13);
    job.E_EndEdit();

    job.SetNextPdfPath(out);
    job.W_Device("KT482 PDF");
    job.W_StartDoc(9, 2);                        // A4 landscape
    job.W_Print();
    job.W_EndDoc();
    job.E_Clear();
    if (job.LastPdfPath() != out)
        return 1;
    std::printf("%s\n", out.c_str());
    return 0;
}
