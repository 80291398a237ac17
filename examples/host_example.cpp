// The shortest host program: record one page with one line of text.

#include <cstdio>
#include <filesystem>

#include "kt482/kt482.h"

int main()
{
    const char* folder = "/tmp/kt482-host-example";
    std::filesystem::create_directories(folder);

    kt482::KT482_Print job;
    job.P_Temp_Dir(folder);
    job.E_StartEdit();
    job.E_Font("ＭＳ 明朝", 10.5f, false, 0);
    job.E_String(2, 3, "請求書");
    job.E_EndEdit();

    std::printf("pages %d to %d in %s\n", job.P_Min_Page(), job.P_Max_Page(), folder);
    return 0;
}
