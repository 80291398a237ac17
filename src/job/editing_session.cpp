#include "job/editing_session.h"

#include "job/error_trap.h"
#include "job/job_state.h"
#include "job/page_file_names.h"
#include "platform/services.h"

namespace kt482 {
namespace {

bool page_number_given(int16_t page)
{
    return page >= 1 && page <= 9999;
}

// A missing file is no failure here: the step is simply done.
void ignore_missing_file(const Status& status)
{
    if (!status && !status.failure().is(ErrorNumber::FileNotFound))
        raise(status.failure());
}

enum class MissingFile { Ignore, Report };

void open_current_page()
{
    JobState& s = job();
    Files& f = files();
    s.FileNo = must(f.free_handle());
    check(f.open(s.FileNo, PageFileName(s.Temp_Dir, s.CurrPage)));
    s.PageHadRecords = must(f.length(s.FileNo)) > 0;
}

// Makes the page s.CurrPage the page being recorded.
void begin_page()
{
    JobState& s = job();
    s.PageOpen = true;
    s.PageHadRecords = false;
    open_current_page();
}

// Closes the current page's file and keeps it (widening Min_Page..Max_Page)
// when it holds drawing commands, else deletes it.
void finish_page(ObjectFields& self, MissingFile missing)
{
    JobState& s = job();
    s.PageOpen = false;
    check(files().close(s.FileNo));
    if (self.PageHasData != 0 || s.PageHadRecords) {
        if (s.CurrPage < s.Min_Page)
            s.Min_Page = s.CurrPage;
        if (s.CurrPage > s.Max_Page)
            s.Max_Page = s.CurrPage;
        return;
    }
    Status removed = files().remove(PageFileName(s.Temp_Dir, s.CurrPage));
    if (missing == MissingFile::Ignore)
        ignore_missing_file(removed);
    else
        check(removed);
}

}  // namespace

void E_StartEdit(ObjectFields& self, int16_t P_CurrP, int16_t P_StartP, int16_t P_EndP)
{
    run_trapped(self, "E_StartEdit", [&] {
        JobState& s = job();
        s.CurrPage = page_number_given(P_CurrP) ? P_CurrP : 1;
        s.StartP = page_number_given(P_StartP) ? P_StartP : 1;
        s.EndP = page_number_given(P_EndP) ? P_EndP : 9999;
        self.CheckData = 0;
        self.PageHasData = 0;
        // A page left open by an unfinished session is closed first, so that
        // its appends are complete and its handle is free again.
        if (s.PageOpen) {
            s.PageOpen = false;
            check(files().close(s.FileNo));
        }
        ignore_missing_file(files().remove_matching(PageFilePattern(s.Temp_Dir)));
        begin_page();
    });
}

void E_ChangePage(ObjectFields& self, int16_t P_NewP)
{
    run_trapped(self, "E_ChangePage", [&] {
        JobState& s = job();
        if (!page_inside_window(s))
            return;
        // A page already finished by E_EndEdit is not finished again, so a
        // kept page is never deleted by a redundant call.
        if (s.PageOpen)
            finish_page(self, MissingFile::Ignore);
        s.CurrPage = page_number_given(P_NewP) ? P_NewP : static_cast<int16_t>(s.CurrPage + 1);
        self.PageHasData = 0;
        begin_page();
    });
}

void E_EndEdit(ObjectFields& self)
{
    run_trapped(self, "E_EndEdit", [&] {
        JobState& s = job();
        if (!page_inside_window(s) || !s.PageOpen)
            return;
        finish_page(self, MissingFile::Report);
        self.PageHasData = 0;
    });
}

void E_Clear(ObjectFields& self)
{
    run_trapped(self, "E_Clear", [&] {
        JobState& s = job();
        check(files().close_all());
        check(files().remove_matching(PageFilePattern(s.Temp_Dir)));
    });
}

// The bounds are set back only once the pages are gone: a spool that could
// not be deleted keeps bounds that name its pages. Unlike E_Clear, a spool
// without pages is no failure: there is simply nothing to delete.
void E_NewDocument(ObjectFields& self)
{
    run_trapped(self, "E_NewDocument", [&] {
        JobState& s = job();
        // As at E_StartEdit: a page left open is closed first.
        if (s.PageOpen) {
            s.PageOpen = false;
            check(files().close(s.FileNo));
        }
        ignore_missing_file(files().remove_matching(PageFilePattern(s.Temp_Dir)));
        // A new object's bounds: none of the pages 1 to 9999 recorded.
        s.Min_Page = 10000;
        s.Max_Page = 0;
        self.CheckData = 0;
        self.PageHasData = 0;
    });
}

// Only the bounds change: the page files are read as they are drawn.
void UseRecordedPages(ObjectFields& self, int16_t first, int16_t last)
{
    run_trapped(self, "UseRecordedPages", [&] {
        if (first < 1 || last < first || last > 9999)
            raise(Failure(ErrorNumber::InvalidPropertyValue));
        JobState& s = job();
        s.Min_Page = first;
        s.Max_Page = last;
    });
}

bool CheckEditPage(ObjectFields& self)
{
    if (!page_inside_window(job()))
        return false;
    self.CheckData = 1;
    self.PageHasData = 1;
    return true;
}

}  // namespace kt482
