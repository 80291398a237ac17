#include "sign/http_post.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/http.h>
#include <openssl/httperr.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "sign/bounded_connection.h"

namespace kt482::sign {
namespace {

using Clock = std::chrono::steady_clock;

struct BioFree {
    void operator()(BIO* b) const { BIO_free_all(b); }
};
using Bio = std::unique_ptr<BIO, BioFree>;
struct TextFree {
    void operator()(char* p) const { OPENSSL_free(p); }
};
using Text = std::unique_ptr<char, TextFree>;

Failure post_failure(const std::string& why)
{
    ERR_clear_error();
    return Failure(ErrorNumber::PrinterError, why);
}

// What OpenSSL said about the exchange, each particular reason in turn
// ("unexpected content type: expected=..., actual=text/html"), its general
// "error receiving" only when it said nothing else. The server's own words
// OpenSSL quotes have their control characters blotted out.
std::string exchange_problem()
{
    std::string problem, general;
    const char* data = nullptr;
    int flags = 0;
    for (unsigned long error; (error = ERR_get_error_all(nullptr, nullptr, nullptr, &data, &flags)) != 0;) {
        const char* reason = ERR_reason_error_string(error);
        std::string said = reason ? reason : "unknown reason";
        if (data && (flags & ERR_TXT_STRING) && *data)
            said += std::string(": ") + data;
        std::replace_if(
            said.begin(), said.end(), [](char c) { return static_cast<unsigned char>(c) < ' ' || c == 0x7f; }, '?');
        const int code = ERR_GET_REASON(error);
        if (ERR_GET_LIB(error) == ERR_LIB_HTTP && (code == HTTP_R_ERROR_RECEIVING || code == HTTP_R_ERROR_SENDING))
            general = said;
        else
            problem += (problem.empty() ? "" : "; ") + said;
    }
    if (problem.empty())
        problem = general.empty() ? "the exchange failed" : general;
    return problem;
}

}  // namespace

Result<HttpTarget> parse_http_url(const std::string& url)
{
    // Spaces and control characters would end up in the request line.
    if (url.empty() ||
        std::any_of(url.begin(), url.end(), [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7f; }))
        return post_failure("not an address: " + url);
    // The scheme is not case sensitive, which OpenSSL does not know.
    std::string address = url;
    const std::size_t scheme_end = address.find("://");
    if (scheme_end != std::string::npos)
        std::transform(address.begin(), address.begin() + static_cast<std::ptrdiff_t>(scheme_end), address.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    int tls = 0;
    char *user = nullptr, *host = nullptr, *port = nullptr, *path = nullptr;
    if (OSSL_HTTP_parse_url(address.c_str(), &tls, &user, &host, &port, nullptr, &path, nullptr, nullptr) != 1)
        return post_failure("not an address: " + url);
    const Text keep_user(user), keep_host(host), keep_port(port), keep_path(path);
    if (tls)
        return post_failure("only http:// addresses are supported: " + url);
    std::string name = host;
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
        name = name.substr(1, name.size() - 2);
    if (name.empty() || *user)
        return post_failure("not an address: " + url);
    return HttpTarget{name, port, path};
}

Result<std::string> http_post(const HttpTarget& target, const std::string& content_type,
                              const std::string& expected_type, std::string_view body, std::size_t largest,
                              Clock::time_point deadline)
{
    const std::string server = target.host + ":" + target.port;
    Result<Connection> connection = connect_within(target.host, target.port, deadline);
    if (!connection)
        return connection.failure();
    // OpenSSL counts its time in whole seconds: what is left, rounded down
    // so that the exchange ends before the deadline, but at least one.
    const auto left = std::chrono::floor<std::chrono::seconds>(deadline - Clock::now()).count();
    if (Clock::now() >= deadline)
        return post_failure("no reply from " + server + " within the time allowed");
    const int seconds = static_cast<int>(std::clamp<long long>(left, 1, 60));
    // The socket stays ours (BIO_NOCLOSE) and non-blocking, so that OpenSSL
    // waits for it with its timeout. Given as the reading BIO too, it spares
    // OpenSSL a connection of its own.
    Bio socket(BIO_new_socket(connection->fd(), BIO_NOCLOSE));
    Bio request(BIO_new_mem_buf(body.data(), static_cast<int>(body.size())));
    if (!socket || !request)
        return post_failure("no memory for the request to " + server);
    // Special case: an IPv6 host is named in brackets in the Host header.
    const std::string host = target.host.find(':') == std::string::npos ? target.host : "[" + target.host + "]";
    Bio reply(OSSL_HTTP_transfer(nullptr, host.c_str(), target.port.c_str(), target.path.c_str(), 0, nullptr,
                                 nullptr, socket.get(), socket.get(), nullptr, nullptr, 0, nullptr,
                                 content_type.c_str(), request.get(), expected_type.c_str(), 1, largest, seconds, 0));
    if (!reply)
        return post_failure("no usable reply from " + server + ": " + exchange_problem());
    std::string bytes;
    char chunk[4096];
    for (int n; (n = BIO_read(reply.get(), chunk, sizeof chunk)) > 0;)
        bytes.append(chunk, static_cast<std::size_t>(n));
    return bytes;
}

}  // namespace kt482::sign
