#include "job/job_state.h"

namespace kt482 {

JobState& job()
{
    thread_local JobState state;
    return state;
}

void set_fixed_defaults(JobState& s)
{
    s.OutputTarget = 0;
    s.PageStarted = 0;
    s.Temp_Dir.clear();
    s.CurrPage = 0;
    s.StartP = 0;
    s.EndP = 9999;
    s.Min_Page = 10000;
    s.Max_Page = 0;
    s.OutStartP = 0;
    s.OutEndP = 9999;
    s.ColPitch = 6;
    s.RowPitch = 15;
    s.RowMargin = 0;
    s.LeftMargin = 10;
    s.TopMargin = 10;
    s.ScrollX = 0;
    s.ScrollY = 0;
    s.Bairitu = 1;
}

bool page_inside_window(const JobState& s)
{
    return s.StartP <= s.CurrPage && s.CurrPage <= s.EndP;
}

}  // namespace kt482
