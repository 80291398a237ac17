#include "sign/http_post.h"

#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace kt482::sign {
namespace {

using Clock = std::chrono::steady_clock;

Failure post_failure(const std::string& why)
{
    return Failure(ErrorNumber::PrinterError, why);
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? a + 32 : a) == (b >= 'A' && b <= 'Z' ? b + 32 : b);
           });
}

// The milliseconds left before the deadline, rounded up so that a wait
// never ends before it; 0 once it has passed.
int milliseconds_left(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 60'000));
}

// 1 when fd is ready for events, 0 at the deadline, -1 on an error.
int wait_for(int fd, short events, Clock::time_point deadline)
{
    while (true) {
        const int left = milliseconds_left(deadline);
        if (left == 0)
            return 0;
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, left);
        if (n > 0)
            return 1;
        if (n < 0 && errno != EINTR)
            return -1;
    }
}

struct AddressesFree {
    void operator()(addrinfo* a) const { ::freeaddrinfo(a); }
};
using Addresses = std::unique_ptr<addrinfo, AddressesFree>;

// A name lookup on a thread of its own, which the caller stops waiting for
// at the deadline: the resolver itself has no deadline. The thread frees
// the answer when nobody waits for it any more.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done_changed;
    bool done = false, abandoned = false;
    int status = 0;
    addrinfo* answer = nullptr;
};

Result<Addresses> look_up(const HttpTarget& target, Clock::time_point deadline)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    // Special case: an address written as numbers needs no resolver.
    if (::getaddrinfo(target.host.c_str(), target.port.c_str(), &hints, &found) == 0)
        return Addresses(found);
    auto lookup = std::make_shared<Lookup>();
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    std::thread([lookup, hints, host = target.host, port = target.port] {
        addrinfo* answer = nullptr;
        const int status = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &answer);
        const std::lock_guard lock(lookup->mutex);
        if (lookup->abandoned) {
            if (status == 0)
                ::freeaddrinfo(answer);
            return;
        }
        lookup->status = status;
        lookup->answer = status == 0 ? answer : nullptr;
        lookup->done = true;
        lookup->done_changed.notify_one();
    }).detach();
    std::unique_lock lock(lookup->mutex);
    if (!lookup->done_changed.wait_until(lock, deadline, [&] { return lookup->done; })) {
        lookup->abandoned = true;
        return post_failure("the name " + target.host + " was not found within the time allowed");
    }
    if (lookup->status != 0)
        return post_failure("the name " + target.host + " was not found: " + ::gai_strerror(lookup->status));
    return Addresses(lookup->answer);
}

struct Socket {
    int fd = -1;
    ~Socket()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

std::string server_of(const HttpTarget& target)
{
    return target.host + ":" + target.port;
}

// A connection to the first address that takes one. A refused or
// unreachable address is given up at once, not tried again.
Status connect_to(const HttpTarget& target, const addrinfo* addresses, Socket& socket, Clock::time_point deadline)
{
    std::string why = "no address";
    for (const addrinfo* a = addresses; a; a = a->ai_next) {
        Socket s;
        s.fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s.fd < 0) {
            why = std::strerror(errno);
            continue;
        }
        int error = ::connect(s.fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        if (error == EINPROGRESS) {
            const int ready = wait_for(s.fd, POLLOUT, deadline);
            if (ready == 0)
                return post_failure("no connection to " + server_of(target) + " within the time allowed");
            socklen_t size = sizeof error;
            if (ready < 0 || ::getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
        }
        if (error == 0) {
            std::swap(socket.fd, s.fd);
            return {};
        }
        why = std::strerror(error);
    }
    return post_failure("cannot connect to " + server_of(target) + ": " + why);
}

Status send_all(const HttpTarget& target, int fd, std::string_view bytes, Clock::time_point deadline)
{
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return post_failure("the request to " + server_of(target) + " could not be sent: " + std::strerror(errno));
        if (wait_for(fd, POLLOUT, deadline) <= 0)
            return post_failure("the request to " + server_of(target) + " was not taken within the time allowed");
    }
    return {};
}

// Everything the server sends until it closes the connection, at most
// limit bytes.
Result<std::string> receive_all(const HttpTarget& target, int fd, std::size_t limit, Clock::time_point deadline)
{
    std::string bytes;
    char chunk[16384];
    while (true) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n == 0)
            return bytes;
        if (n > 0) {
            bytes.append(chunk, static_cast<std::size_t>(n));
            if (bytes.size() > limit)
                return post_failure("the reply of " + server_of(target) + " is larger than " + std::to_string(limit) +
                                    " bytes");
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return post_failure("the reply of " + server_of(target) + " could not be read: " + std::strerror(errno));
        if (wait_for(fd, POLLIN, deadline) <= 0)
            return post_failure("no reply from " + server_of(target) + " within the time allowed");
    }
}

}  // namespace

Result<HttpTarget> parse_http_url(const std::string& url)
{
    constexpr std::string_view kScheme = "http://";
    if (starts_with_ignoring_case(url, "https://"))
        return post_failure("only http:// addresses are supported: " + url);
    if (!starts_with_ignoring_case(url, kScheme))
        return post_failure("not an http:// address: " + url);
    std::string_view rest = std::string_view(url).substr(kScheme.size());
    rest = rest.substr(0, rest.find('#'));
    const std::size_t path_at = std::min(rest.find_first_of("/?"), rest.size());
    std::string_view authority = rest.substr(0, path_at);
    HttpTarget target;
    target.path = std::string(rest.substr(path_at));
    if (target.path.empty() || target.path[0] != '/')
        target.path.insert(0, "/");
    std::string_view port = "80";
    if (!authority.empty() && authority[0] == '[') {
        // Special case: a numeric IPv6 address is written in brackets.
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return post_failure("not an address: " + url);
        target.host = std::string(authority.substr(1, close - 1));
        authority.remove_prefix(close + 1);
        if (!authority.empty() && authority[0] != ':')
            return post_failure("not an address: " + url);
        if (!authority.empty())
            port = authority.substr(1);
    } else {
        const std::size_t colon = authority.find(':');
        target.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos)
            port = authority.substr(colon + 1);
    }
    int number = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (target.host.empty() || target.host.find_first_of("@ \t\r\n") != std::string::npos || ec != std::errc() ||
        end != port.data() + port.size() || number < 1 || number > 65535)
        return post_failure("not an address: " + url);
    target.port = std::to_string(number);
    if (target.path.find_first_of(" \t\r\n") != std::string::npos)
        return post_failure("not an address: " + url);
    return target;
}

Result<std::string> http_reply_body(std::string_view reply, std::size_t largest)
{
    const std::size_t head_end = reply.find("\r\n\r\n");
    if (!reply.starts_with("HTTP/1.") || reply.size() < 12 || reply[8] != ' ' || head_end == std::string_view::npos)
        return post_failure("the answer is no HTTP reply");
    const std::string_view code = reply.substr(9, 3);
    if (code != "200")
        return post_failure("the server answered HTTP " + std::string(code));
    // The header lines after the status line, each ended by CR LF.
    std::string_view head = reply.substr(0, head_end + 2);
    std::string_view body = reply.substr(head_end + 4);
    head.remove_prefix(head.find("\r\n") + 2);
    while (!head.empty()) {
        const std::size_t end = head.find("\r\n");
        const std::string_view line = head.substr(0, end);
        head.remove_prefix(end + 2);
        if (starts_with_ignoring_case(line, "transfer-encoding:"))
            return post_failure("the server sent its reply in chunks, which an HTTP/1.0 request does not take");
        if (!starts_with_ignoring_case(line, "content-length:"))
            continue;
        std::string_view value = line.substr(std::strlen("content-length:"));
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        std::size_t length = 0;
        const auto read = std::from_chars(value.data(), value.data() + value.size(), length);
        if (read.ec != std::errc() || read.ptr == value.data())
            return post_failure("the reply's length is no number");
        if (length > body.size())
            return post_failure("the reply was cut short");
        body = body.substr(0, length);
    }
    if (body.size() > largest)
        return post_failure("the reply is larger than " + std::to_string(largest) + " bytes");
    return std::string(body);
}

Result<std::string> http_post(const HttpTarget& target, std::string_view content_type, std::string_view body,
                              std::size_t largest, Clock::time_point deadline)
{
    Result<Addresses> addresses = look_up(target, deadline);
    if (!addresses)
        return addresses.failure();
    Socket socket;
    if (Status connected = connect_to(target, addresses->get(), socket, deadline); !connected)
        return connected.failure();
    const bool bracketed = target.host.find(':') != std::string::npos;
    const std::string host = bracketed ? "[" + target.host + "]" : target.host;
    std::string request = "POST " + target.path + " HTTP/1.0\r\nHost: " + host + ":" + target.port +
                          "\r\nContent-Type: " + std::string(content_type) +
                          "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    request.append(body);
    if (Status sent = send_all(target, socket.fd, request, deadline); !sent)
        return sent.failure();
    // The head of a reply is a few hundred bytes; a generous allowance.
    Result<std::string> reply = receive_all(target, socket.fd, largest + 65536, deadline);
    if (!reply)
        return reply.failure();
    Result<std::string> answer = http_reply_body(*reply, largest);
    if (!answer)
        return post_failure(server_of(target) + ": " + answer.failure().description);
    return answer;
}

}  // namespace kt482::sign
