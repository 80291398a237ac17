#include "platform/cups_probe.h"

#include <cups/cups.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace kt482 {
namespace {

using Clock = std::chrono::steady_clock;

struct Address {
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family() const { return storage.ss_family; }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
};

class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Socket& operator=(Socket&&) = delete;
    int fd() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

int milliseconds_left(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

// Waits until the socket reports any of events, an error or a hang-up; false
// when the deadline passes first.
bool wait_for(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, milliseconds_left(deadline));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

std::vector<Address> lookup_addresses(const std::string& host, int port, int flags)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return {};
    std::vector<Address> addresses;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        Address address;
        std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
        address.length = a->ai_addrlen;
        addresses.push_back(address);
    }
    ::freeaddrinfo(found);
    return addresses;
}

// A name lookup may wait on DNS for longer than the deadline allows, so it
// runs on a detached thread; a late result is simply dropped. Nothing when
// the deadline passed first, an empty list when the name is unknown.
std::optional<std::vector<Address>> lookup_with_deadline(const std::string& host, int port,
                                                         Clock::time_point deadline)
{
    struct Lookup {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
        std::vector<Address> addresses;
    };
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, host, port] {
            auto addresses = lookup_addresses(host, port, 0);
            std::lock_guard lock(lookup->mutex);
            lookup->addresses = std::move(addresses);
            lookup->done = true;
            lookup->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return std::vector<Address>{};
    }
    std::unique_lock lock(lookup->mutex);
    if (!lookup->finished.wait_until(lock, deadline, [&] { return lookup->done; }))
        return std::nullopt;
    return std::move(lookup->addresses);
}

std::optional<std::vector<Address>> host_addresses(const std::string& host, int port, Clock::time_point deadline)
{
    auto numeric = lookup_addresses(host, port, AI_NUMERICHOST);
    if (!numeric.empty())
        return numeric;
    return lookup_with_deadline(host, port, deadline);
}

std::optional<std::vector<Address>> socket_address(const std::string& path)
{
    sockaddr_un un{};
    if (path.empty() || path.size() >= sizeof(un.sun_path))
        return std::vector<Address>{};
    un.sun_family = AF_UNIX;
    std::memcpy(un.sun_path, path.data(), path.size());
    Address address;
    std::memcpy(&address.storage, &un, sizeof(un));
    address.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return std::vector<Address>{address};
}

// A connection, or why there is none: Absent when the address refuses it or
// cannot be reached at all, Silent when it neither accepts nor refuses in time.
struct Connection {
    Socket socket;
    CupsServerState failure = CupsServerState::Absent;
};

Connection connect_with_deadline(const Address& address, Clock::time_point deadline)
{
    Socket socket(::socket(address.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket)
        return {};
    if (::connect(socket.fd(), address.get(), address.length) == 0)
        return {std::move(socket)};
    // A unix socket with a full backlog fails with EAGAIN at once; that server
    // is there but not taking connections, so it counts as silent.
    if (errno == EAGAIN)
        return {Socket(), CupsServerState::Silent};
    if (errno != EINPROGRESS && errno != EINTR)
        return {};
    if (!wait_for(socket.fd(), POLLOUT, deadline))
        return {Socket(), CupsServerState::Silent};
    int error = 0;
    socklen_t length = sizeof(error);
    if (::getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
        return {};
    return {std::move(socket)};
}

// How a send or a wait for the reply ended.
enum class Exchange { Done, TimedOut, Failed };

Exchange send_all(int fd, std::string_view bytes, Clock::time_point deadline)
{
    while (!bytes.empty()) {
        if (!wait_for(fd, POLLOUT, deadline))
            return Exchange::TimedOut;
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno != EINTR && errno != EAGAIN)
            return Exchange::Failed;
        if (sent > 0)
            bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return Exchange::Done;
}

// Any first byte of a reply will do: a server that says anything at all also
// answers libcups. A connection closed without a word fails; libcups would
// fail on it just as quickly.
Exchange first_byte_arrives(int fd, Clock::time_point deadline)
{
    for (;;) {
        if (!wait_for(fd, POLLIN, deadline))
            return Exchange::TimedOut;
        char byte;
        const ssize_t received = ::recv(fd, &byte, 1, 0);
        if (received > 0)
            return Exchange::Done;
        if (received == 0 || (errno != EINTR && errno != EAGAIN))
            return Exchange::Failed;
    }
}

CupsServerState state_of(Exchange exchange)
{
    switch (exchange) {
    case Exchange::Done:
        return CupsServerState::Answers;
    case Exchange::TimedOut:
        return CupsServerState::Silent;
    default:
        return CupsServerState::Absent;
    }
}

CupsServerState address_state(const Address& address, Clock::time_point deadline)
{
    static constexpr std::string_view kRequest =
        "OPTIONS * HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
    Connection connection = connect_with_deadline(address, deadline);
    if (!connection.socket)
        return connection.failure;
    const Exchange sent = send_all(connection.socket.fd(), kRequest, deadline);
    if (sent != Exchange::Done)
        return state_of(sent);
    return state_of(first_byte_arrives(connection.socket.fd(), deadline));
}

// libcups keeps an IPv6 literal in brackets ("[::1]"); getaddrinfo wants it bare.
std::string without_brackets(std::string host)
{
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        return host.substr(1, host.size() - 2);
    return host;
}

}  // namespace

CupsEndpoint cups_endpoint()
{
    cupsSetServer(nullptr);
    const char* server = cupsServer();
    CupsEndpoint endpoint;
    if (server && server[0] == '/') {
        endpoint.socket_path = server;
        return endpoint;
    }
    endpoint.host = (server && *server) ? without_brackets(server) : "localhost";
    const int port = ippPort();
    endpoint.port = port > 0 ? port : 631;
    return endpoint;
}

CupsServerState cups_endpoint_state(const CupsEndpoint& endpoint, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    const auto addresses = endpoint.socket_path.empty()
                               ? host_addresses(endpoint.host, endpoint.port, deadline)
                               : socket_address(endpoint.socket_path);
    if (!addresses)
        return CupsServerState::Silent;
    bool silent = false;
    for (const auto& address : *addresses) {
        if (Clock::now() >= deadline)
            return CupsServerState::Silent;
        const CupsServerState state = address_state(address, deadline);
        if (state == CupsServerState::Answers)
            return state;
        silent = silent || state == CupsServerState::Silent;
    }
    return silent ? CupsServerState::Silent : CupsServerState::Absent;
}

CupsServerState cups_server_state(std::chrono::milliseconds timeout)
{
    return cups_endpoint_state(cups_endpoint(), timeout);
}

bool cups_endpoint_answers(const CupsEndpoint& endpoint, std::chrono::milliseconds timeout)
{
    return cups_endpoint_state(endpoint, timeout) == CupsServerState::Answers;
}

bool cups_server_answers(std::chrono::milliseconds timeout)
{
    return cups_server_state(timeout) == CupsServerState::Answers;
}

}  // namespace kt482
