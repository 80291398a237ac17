// Whether the print server answers at all, found out within a bounded time.
// libcups waits about two minutes for a server that accepts connections but
// never replies, and Qt's printer queries go through libcups, so every query
// asks this first and skips the print server when it stays silent.
#pragma once

#include <chrono>
#include <string>

namespace kt482 {

// The timeout of the probe before every query: long enough for a busy local
// or LAN server, short enough that a host's printer query never seems to hang.
inline constexpr std::chrono::milliseconds kCupsProbeTimeout{1000};

// Where libcups sends its requests: a unix socket, or a host and port.
struct CupsEndpoint {
    std::string socket_path;  // set for a unix socket, host empty then
    std::string host;
    int port = 631;
};

// The server exactly as libcups resolves it (CUPS_SERVER, then the client.conf
// files, then the local socket if it exists, else localhost:631), read afresh.
// This resets the calling thread's libcups server, so libcups picks up a
// changed environment and the queries that follow reach the server probed.
CupsEndpoint cups_endpoint();

enum class CupsServerState {
    Answers,  // replied to the request within the timeout
    Absent,   // nothing there, or it refused or dropped the connection at once
    Silent,   // there, but neither accepted nor replied in time (libcups would hang)
};

// How the endpoint takes a small HTTP request. Name lookup, connecting,
// sending and waiting together never take longer than the timeout; a name
// lookup still running at the deadline counts as silent.
CupsServerState cups_endpoint_state(const CupsEndpoint& endpoint, std::chrono::milliseconds timeout);

// cups_endpoint_state(cups_endpoint(), timeout).
CupsServerState cups_server_state(std::chrono::milliseconds timeout);

// True if the endpoint (or the server of cups_endpoint()) answers.
bool cups_endpoint_answers(const CupsEndpoint& endpoint, std::chrono::milliseconds timeout);
bool cups_server_answers(std::chrono::milliseconds timeout);

}  // namespace kt482
