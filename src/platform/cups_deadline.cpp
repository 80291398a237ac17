#include "platform/cups_deadline.h"

#include <cups/cups.h>

#include <system_error>

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

// How often a watchdog that fired shuts the connection down again.
constexpr std::chrono::milliseconds kRefireInterval{20};

CupsWatchdog::CupsWatchdog(http_t* http, Clock::time_point deadline) : http_(http), deadline_(deadline)
{
    try {
        thread_ = std::thread([this] { watch(); });
    } catch (const std::system_error&) {
        // Without a thread only the waits without data are bounded.
    }
}

CupsWatchdog::~CupsWatchdog()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void CupsWatchdog::rearm(Clock::time_point deadline)
{
    {
        std::lock_guard lock(mutex_);
        deadline_ = deadline;
    }
    changed_.notify_all();
}

void CupsWatchdog::watch()
{
    std::unique_lock lock(mutex_);
    while (!stop_) {
        if (deadline_ == Clock::time_point::max()) {
            changed_.wait(lock);
            continue;
        }
        if (Clock::now() < deadline_) {
            changed_.wait_until(lock, deadline_);
            continue;
        }
        // Marked before the socket goes: the waiting thread wakes as soon as
        // it is shut down, and must then see why.
        fired_ = true;
        httpShutdown(http_);
        changed_.wait_for(lock, kRefireInterval);
    }
}

CupsDeadline::CupsDeadline(std::chrono::milliseconds timeout)
    : previousDeadline_(t_deadline), previousExpired_(t_expired)
{
    t_deadline = std::min(t_deadline, Clock::now() + timeout);
    t_expired = false;
    http_ = _cupsConnect();
    if (http_) {
        httpSetTimeout(http_, kWaitSliceSeconds, keep_waiting, nullptr);
        watchdog_ = std::make_unique<CupsWatchdog>(http_, t_deadline);
    }
}

// The connection goes back to libcups' own waiting. libcups replaces its
// default connection only when the server changes or the connection was
// closed, so one that is no longer the default is left alone.
CupsDeadline::~CupsDeadline()
{
    const bool cut = watchdog_ && watchdog_->fired();
    const bool expired = t_expired || cut;
    watchdog_.reset();
    t_deadline = previousDeadline_;
    t_expired = previousExpired_ || expired;
    if (previousDeadline_ != Clock::time_point::max())
        return;
    // A connection that was shut down is dropped, so that the next query
    // connects anew instead of failing on it; setting the server drops it
    // without reconnecting.
    if (cut) {
        cupsSetServer(nullptr);
        return;
    }
    if (http_ && _cupsConnect() == http_)
        httpSetTimeout(http_, 0, nullptr, nullptr);
}

bool CupsDeadline::expired() const
{
    return t_expired || (watchdog_ && watchdog_->fired());
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
