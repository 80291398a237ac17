// An envelope, 長形3号 (120 × 235 mm, a user paper size): the postal code,
// the address and the name set with the vertical face "@ＭＳ 明朝", the
// sender at the foot, and the Japan Post customer barcode, then printed on
// the default printer (without a print server, the built-in PDF printer).
//
//   kt482_envelope [FOLDER]    FOLDER defaults to a new folder under /tmp

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "kt482/kt482.h"

namespace {

// The paper code of a user-defined size, and the envelope in inches.
constexpr int16_t kUserPaper = 256;
constexpr float kHeightInches = 235 / 25.4f;
constexpr float kWidthInches = 120 / 25.4f;

constexpr float kRowPitch = 15;
constexpr float kColPitch = 6;

// The postal code 154-0023, then the block, lot and room numbers of the
// address, as the customer barcode takes them.
const std::string kPostalCode = "1540023";
const std::string kBarcodeData = "15400233-16-4-205";

void record_envelope(kt482::KT482_Print& job)
{
    job.E_StartEdit();
    job.E_Pitch(kRowPitch, kColPitch);

    // The postal code in the seven boxes printed on the envelope.
    job.E_Font("ＭＳ 明朝", 14, false, 0);
    job.E_String_Kin(1, 18, kPostalCode, 26);

    // Address and name, top to bottom, the first line on the right.
    job.E_Font("@ＭＳ 明朝", 14, false, 0);
    job.E_String(4, 40, "東京都世田谷区若林三丁目十六番四号");
    job.E_String(6, 36, "若林ハイツ二〇五号");
    job.E_Font("@ＭＳ 明朝", 24, false, 0);
    job.E_String(7, 22, "山田　太郎　様");

    // The sender.
    job.E_Font("@ＭＳ 明朝", 9, false, 0);
    job.E_String(26, 10, "大阪府大阪市北区梅田一丁目二番三号");
    job.E_String(27, 7, "株式会社 サンプル物流");

    // The customer barcode: the box's height (10 points) chooses its size,
    // 9.8 points: 3.5 mm long bars, 78 mm across, within the box's 87 mm.
    job.E_Barcode(37, 3, 37.68f, 44, "POSTAL", kBarcodeData);
    job.E_EndEdit();
}

std::string spool_folder(const char* given)
{
    if (given) {
        std::filesystem::create_directories(given);
        return given;
    }
    char folder[] = "/tmp/kt482-envelope-XXXXXX";
    return mkdtemp(folder) ? folder : "";
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string folder = spool_folder(argc > 1 ? argv[1] : nullptr);
    if (folder.empty()) {
        std::perror("mkdtemp");
        return 1;
    }
    kt482::KT482_Print job;
    job.P_Temp_Dir(folder);
    record_envelope(job);
    if (job.LastFailure().number != 0)
        return 1;

    job.W_Device("");
    job.W_StartDoc(kUserPaper, 1, kHeightInches, kWidthInches);
    job.W_Print();
    job.W_EndDoc();
    if (job.LastFailure().number != 0)
        return 1;
    const std::string pdf = job.LastPdfPath();
    std::printf("envelope: spool %s, %s\n", folder.c_str(), pdf.empty() ? "printed" : pdf.c_str());
    return 0;
}
