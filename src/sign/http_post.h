// One HTTP/1.0 POST to a server, the name lookup, the connection, the
// request and the whole reply under one deadline: whatever the server does
// (refuses, never answers, answers slowly, answers forever), the call
// returns by the deadline, give or take a scheduling slice.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "kt482/failure.h"

namespace kt482::sign {

struct HttpTarget {
    std::string host, port, path;  // "127.0.0.1", "8080", "/tsa"
};

// The parts of an http:// address (the port 80 when it has none); a failure
// naming why for anything else, https:// included.
Result<HttpTarget> parse_http_url(const std::string& url);

// The body of a raw HTTP reply (head and body as received) when its status
// is 200, cut to its Content-Length; a failure saying what is wrong with it
// otherwise, a body longer than largest bytes included. The reply is
// untrusted bytes.
Result<std::string> http_reply_body(std::string_view reply, std::size_t largest);

// Posts body with its content type; the reply's body when the server
// answered 200, else a failure (PrinterError) saying what happened, the
// server named. A reply longer than largest bytes is a failure. A refused
// connection fails at once: it is not tried again.
Result<std::string> http_post(const HttpTarget& target, std::string_view content_type, std::string_view body,
                              std::size_t largest, std::chrono::steady_clock::time_point deadline);

}  // namespace kt482::sign
