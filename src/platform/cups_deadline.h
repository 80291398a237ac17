// A deadline for everything this thread asks the print server through
// libcups, Qt's printer queries included.
//
// libcups waits up to a minute for each reply, and a query such as the
// default printer takes several requests: a server that answered the probe
// and then stalls would hold the caller for minutes. While a CupsDeadline
// lives, the thread's default libcups connection (the one Qt's printer
// support and CUPS_HTTP_DEFAULT use) gives up on any reply once the deadline
// has passed, so the request fails and the query returns what it has.
//
// libcups only asks whether to go on when a wait passes without any data, so
// a server that keeps sending (a byte at a time, or a header without end)
// would never be given up on that way. A watchdog thread therefore shuts the
// connection's socket down at the deadline, whatever the server sends.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/cups_probe.h"

typedef struct _http_s http_t;

namespace kt482 {

// How long one query of the print server (listing the printers, reading a
// queue, opening it) may wait for replies after the probe, all requests
// together. With the probe's second this keeps every query under 3 seconds.
inline constexpr std::chrono::milliseconds kCupsQueryTimeout{1500};

// Shuts the connection's socket down once the deadline passes, so that every
// wait of libcups on it ends at once, and again every few milliseconds while
// it lives, for a connection libcups opened anew. The connection must outlive
// the watchdog, and nothing may close or replace it while the watchdog lives.
class CupsWatchdog {
public:
    CupsWatchdog(http_t* http, std::chrono::steady_clock::time_point deadline);
    ~CupsWatchdog();
    CupsWatchdog(const CupsWatchdog&) = delete;
    CupsWatchdog& operator=(const CupsWatchdog&) = delete;

    // A later deadline, for a further exchange on the same connection.
    void rearm(std::chrono::steady_clock::time_point deadline);
    // True once the socket was shut down.
    bool fired() const { return fired_; }

private:
    void watch();

    http_t* http_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::chrono::steady_clock::time_point deadline_;
    bool stop_ = false;
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

class CupsDeadline {
public:
    // Connects the thread's default connection if it is not yet connected:
    // call it only after the server has answered the probe.
    explicit CupsDeadline(std::chrono::milliseconds timeout = kCupsQueryTimeout);
    ~CupsDeadline();
    CupsDeadline(const CupsDeadline&) = delete;
    CupsDeadline& operator=(const CupsDeadline&) = delete;

    // True once a reply was given up on: what the queries returned since may
    // be incomplete.
    bool expired() const;

private:
    http_t* http_ = nullptr;
    std::unique_ptr<CupsWatchdog> watchdog_;
    std::chrono::steady_clock::time_point previousDeadline_;
    bool previousExpired_ = false;
};

// Whether the server, having answered the probe, also replies to a real
// request (the name of its default printer) within the timeout. A server
// that takes the probe and stalls on requests fails this; the queries that
// follow would each wait out their deadline on it.
bool cups_server_takes_requests(std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));

// The probe, and for a server that answers it the real request above: a
// server that takes the probe and stalls on requests counts as Silent.
CupsServerState cups_server_state_for_queries();

// While it lives, libcups on this thread is pointed at a server that cannot
// exist, so that Qt's printer support finds no queues at once instead of
// waiting on a server that does not answer; the server libcups resolves
// from the environment comes back afterwards.
class CupsServerOff {
public:
    CupsServerOff();
    ~CupsServerOff();
    CupsServerOff(const CupsServerOff&) = delete;
    CupsServerOff& operator=(const CupsServerOff&) = delete;
};

}  // namespace kt482
