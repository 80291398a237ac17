// An envelope set vertically (長形3号, 120 × 235 mm): the address and the name
// in columns down the front, the postal code across the top. Written to a
// PDF file through the built-in PDF printer.
//
//   kt482_vertical_address [FILE]    FILE defaults to vertical_address.pdf in $KT482_PDF_DIR or /tmp

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "kt482/kt482.h"

int main(int argc, char** argv)
{
    const char* pdf_dir = std::getenv("KT482_PDF_DIR");
    const std::string path = argc > 1 ? argv[1] : std::string(pdf_dir ? pdf_dir : "/tmp") + "/vertical_address.pdf";
    const std::filesystem::path spool = std::filesystem::temp_directory_path() / "kt482-vertical-address";
    std::filesystem::create_directories(spool);

    kt482::KT482_Print job;
    job.P_Temp_Dir(spool.string());
    job.P_TopMargin(10);
    job.P_LeftMargin(10);
    job.E_StartEdit();
    job.E_Pitch(15, 6);  // a grid of 15-point rows and 6-point columns

    // The postal code across the top right, as printed into the code boxes.
    job.E_Font("ＭＳ ゴシック", 16, false, 0);
    job.E_String_Kin(2, 25, "1000005", 17);

    // The address in two columns at the right, from the fourth row down.
    job.E_Font("@ＭＳ 明朝", 14, false, 0);
    job.E_String(5, 38, "東京都千代田区丸の内一丁目２番３号");
    job.E_String(7, 34, "ＫＴビル４階（Tokyo Office）");

    // The name in the middle, spread over 30 rows; the honorific below it.
    job.E_Font("@ＭＳ 明朝", 26, true, 0);
    job.E_String_Kin(8, 19, "株式会社ケーティー御中", 30);

    // The sender on the lower left, smaller, ending at the last row.
    job.E_Font("@ＭＳ ゴシック", 9, false, 0);
    job.E_String_Right(41, 5, "大阪市北区梅田３ー１ー１　差出人");
    job.E_EndEdit();

    // 120 × 235 mm in inches, the unit of user paper sizes.
    job.SetNextPdfPath(path);
    job.W_Device("KT482 PDF");
    job.W_StartDoc(256, 1, 235 / 25.4f, 120 / 25.4f);
    job.W_Print();
    job.W_EndDoc();
    const std::string written = job.LastPdfPath();
    if (written.empty()) {
        std::fprintf(stderr, "the envelope was not written\n");
        return 1;
    }
    std::printf("envelope written to %s\n", written.c_str());
    return 0;
}
