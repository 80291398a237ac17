// Records a two-page form in the folder given and prints it on the built-in
// PDF printer; exits 1 if any member reported a failure.
#include <cstdio>

#include "kt482/kt482.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SPOOL_FOLDER\n", argv[0]);
        return 2;
    }
    std::printf("kt482 %s (%d.%d.%d)\n", KT482_VERSION_STRING, KT482_VERSION_MAJOR, KT482_VERSION_MINOR,
                KT482_VERSION_PATCH);

    kt482::KT482_Print job;
    job.P_Temp_Dir(argv[1]);
    job.E_StartEdit();
    job.E_Font("ＭＳ 明朝", 10.5f, false, 0);
    job.E_String(2, 3, "請求書");
    job.E_Keisen(4, 2, 8, 60);
    job.E_ChangePage();
    job.E_Numeric(5, 40, 1234567.5, "#,##0.00");
    job.E_EndEdit();

    job.W_Device("KT482 PDF");
    job.W_StartDoc(9, 1);
    job.W_Print();
    job.W_EndDoc();
    job.E_Clear();

    const kt482::FailureReport& failure = job.LastFailure();
    if (failure.number != 0) {
        std::fprintf(stderr, "%s failed: %s (%d)\n", failure.procedure.c_str(), failure.description.c_str(),
                     failure.number);
        return 1;
    }
    std::printf("printed pages %d to %d\n", job.P_Min_Page(), job.P_Max_Page());
    return 0;
}
