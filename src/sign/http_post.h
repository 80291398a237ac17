// One HTTP POST to a server under one deadline: our own bounded connection
// (see bounded_connection.h), then OpenSSL's HTTP client for the request and
// the reply over it. Whatever the server does (refuses, never answers,
// answers slowly, answers forever, answers nonsense), the call returns by
// the deadline, give or take the whole second OpenSSL counts its time in.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "kt482/failure.h"

namespace kt482::sign {

struct HttpTarget {
    std::string host, port, path;  // "127.0.0.1", "8080", "/tsa"; IPv6 hosts without brackets
};

// The parts of an http:// address (the port 80 when it has none, the http
// scheme when it has none); a failure naming the address and why for
// anything else: https:// (not supported), credentials (which would not be
// sent), no host, spaces or control characters.
Result<HttpTarget> parse_http_url(const std::string& url);

// Posts body with its content type; the reply's body when the server
// answered 200 with the expected content type and a DER-encoded body, else a
// failure (PrinterError) saying what happened, the server named. A reply
// longer than largest bytes is a failure. A refused connection fails at
// once: it is not tried again.
Result<std::string> http_post(const HttpTarget& target, const std::string& content_type,
                              const std::string& expected_type, std::string_view body, std::size_t largest,
                              std::chrono::steady_clock::time_point deadline);

}  // namespace kt482::sign
