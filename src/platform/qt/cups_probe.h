// Whether the print server answers at all, found out within a bounded time.
// libcups waits about two minutes for a server that accepts connections but
// never replies, and Qt's printer queries go through libcups, so every query
// asks this first and skips the print server when it stays silent.
#pragma once

#include <chrono>
#include <string>

namespace kt482 {

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

// True if the endpoint replies to a small HTTP request within the timeout.
// Name lookup, connecting, sending and waiting together never take longer.
bool cups_endpoint_answers(const CupsEndpoint& endpoint, std::chrono::milliseconds timeout);

// cups_endpoint_answers(cups_endpoint(), timeout).
bool cups_server_answers(std::chrono::milliseconds timeout);

}  // namespace kt482
