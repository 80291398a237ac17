#include "platform/cups_deadline.h"

#include <cups/cups.h>

// The thread's default connection of libcups, which every request made with
// CUPS_HTTP_DEFAULT (and so every request of Qt's printer support) goes
// through. libcups exports it for its own tools without declaring it in a
// public header; it is the only way to put a timeout on those requests.
extern "C" http_t* _cupsConnect(void);

namespace kt482 {
namespace {

using Clock = std::chrono::steady_clock;

// How often a wait for a reply asks whether to go on.
constexpr double kWaitSliceSeconds = 0.1;

thread_local Clock::time_point t_deadline = Clock::time_point::max();
thread_local bool t_expired = false;

// libcups calls this whenever a wait for data ends without any: 1 waits on,
// 0 gives the request up.
int keep_waiting(http_t*, void*)
{
    if (Clock::now() < t_deadline)
        return 1;
    t_expired = true;
    return 0;
}

}  // namespace

CupsDeadline::CupsDeadline(std::chrono::milliseconds timeout)
    : previousDeadline_(t_deadline), previousExpired_(t_expired)
{
    t_deadline = std::min(t_deadline, Clock::now() + timeout);
    t_expired = false;
    http_ = _cupsConnect();
    if (http_)
        httpSetTimeout(http_, kWaitSliceSeconds, keep_waiting, nullptr);
}

// The connection goes back to libcups' own waiting. libcups replaces its
// default connection only when the server changes or the connection was
// closed, so one that is no longer the default is left alone.
CupsDeadline::~CupsDeadline()
{
    const bool expired = t_expired;
    t_deadline = previousDeadline_;
    t_expired = previousExpired_ || expired;
    if (previousDeadline_ != Clock::time_point::max())
        return;
    if (http_ && _cupsConnect() == http_)
        httpSetTimeout(http_, 0, nullptr, nullptr);
}

bool CupsDeadline::expired() const
{
    return t_expired;
}

bool cups_server_takes_requests(std::chrono::milliseconds timeout)
{
    CupsDeadline deadline(timeout);
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_DEFAULT);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    ippDelete(response);
    return !deadline.expired();
}

CupsServerState cups_server_state_for_queries()
{
    const CupsServerState state = cups_server_state(kCupsProbeTimeout);
    if (state == CupsServerState::Answers && !cups_server_takes_requests())
        return CupsServerState::Silent;
    return state;
}

CupsServerOff::CupsServerOff()
{
    cupsSetServer("/nonexistent/kt482-no-print-server");
}

CupsServerOff::~CupsServerOff()
{
    cupsSetServer(nullptr);
}

}  // namespace kt482
