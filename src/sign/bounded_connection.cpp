#include "sign/bounded_connection.h"

#include <errno.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace kt482::sign {
namespace {

using Clock = std::chrono::steady_clock;

Failure connection_failure(const std::string& why)
{
    return Failure(ErrorNumber::PrinterError, why);
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

Result<Addresses> look_up(const std::string& host, const std::string& port, Clock::time_point deadline)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    // Special case: an address written as numbers needs no resolver.
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) == 0)
        return Addresses(found);
    auto lookup = std::make_shared<Lookup>();
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    std::thread([lookup, hints, host, port] {
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
        return connection_failure("the name " + host + " was not found within the time allowed");
    }
    if (lookup->status != 0)
        return connection_failure("the name " + host + " was not found: " + ::gai_strerror(lookup->status));
    return Addresses(lookup->answer);
}

}  // namespace

Connection& Connection::operator=(Connection&& other) noexcept
{
    std::swap(fd_, other.fd_);
    return *this;
}

Connection::~Connection()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Result<Connection> connect_within(const std::string& host, const std::string& port, Clock::time_point deadline)
{
    Result<Addresses> addresses = look_up(host, port, deadline);
    if (!addresses)
        return addresses.failure();
    const std::string server = host + ":" + port;
    std::string why = "no address";
    for (const addrinfo* a = addresses->get(); a; a = a->ai_next) {
        Connection s(::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol));
        if (s.fd() < 0) {
            why = std::strerror(errno);
            continue;
        }
        int error = ::connect(s.fd(), a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        if (error == EINPROGRESS) {
            const int ready = wait_for(s.fd(), POLLOUT, deadline);
            if (ready == 0)
                return connection_failure("no connection to " + server + " within the time allowed");
            socklen_t size = sizeof error;
            if (ready < 0 || ::getsockopt(s.fd(), SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
        }
        if (error == 0)
            return s;
        why = std::strerror(error);
    }
    return connection_failure("cannot connect to " + server + ": " + why);
}

}  // namespace kt482::sign
