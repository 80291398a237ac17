#include "job/job_state.h"

namespace kt482 {

namespace {

// Set when the thread's job state is destroyed. A plain bool outlives every
// object with a destructor, so an object destroyed after the job state (a
// host's static KT482_Print at exit) can tell and leave it alone.
thread_local bool job_state_destroyed = false;

struct JobStateHolder {
    JobState state;
    ~JobStateHolder() { job_state_destroyed = true; }
};

}  // namespace

JobState& job()
{
    thread_local JobStateHolder holder;
    return holder.state;
}

bool job_state_alive()
{
    return !job_state_destroyed;
}

void set_fixed_defaults(JobState& s)
{
    s.OutputTarget = OutputTarget::None;
    s.PageStarted = false;
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
