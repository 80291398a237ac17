#include "support/fake_server.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace kt482::test {
namespace {

std::string make_temp_folder()
{
    char pattern[] = "/tmp/kt482-qt-test.XXXXXX";
    if (!::mkdtemp(pattern))
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}

int listen_or_throw(int fd, const sockaddr* address, socklen_t length, int backlog)
{
    if (fd < 0 || ::bind(fd, address, length) != 0 || ::listen(fd, backlog) != 0)
        throw std::runtime_error(std::string("cannot listen: ") + std::strerror(errno));
    return fd;
}

// Closes the client, or returns it to be held open unanswered.
int answer(int client, ServerBehaviour behaviour)
{
    if (behaviour == ServerBehaviour::Reply || behaviour == ServerBehaviour::ProbeOnly) {
        char request[512];
        pollfd entry{client, POLLIN, 0};
        const ssize_t got = ::poll(&entry, 1, 1000) > 0 ? ::recv(client, request, sizeof(request), 0) : 0;
        const bool probe = got >= 7 && std::memcmp(request, "OPTIONS", 7) == 0;
        if (behaviour == ServerBehaviour::ProbeOnly && !probe && got > 0)
            return client;
        static constexpr char kReply[] = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
        (void)::send(client, kReply, sizeof(kReply) - 1, MSG_NOSIGNAL);
    }
    ::close(client);
    return -1;
}

}  // namespace

TempFolder::TempFolder() : path_(make_temp_folder()) {}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::unique_ptr<FakeServer> FakeServer::on_unix_socket(ServerBehaviour behaviour)
{
    std::string folder = make_temp_folder();
    std::string path = folder + "/server.sock";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    int fd = listen_or_throw(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0),
                             reinterpret_cast<sockaddr*>(&address), sizeof(address), 64);
    return std::unique_ptr<FakeServer>(new FakeServer(fd, behaviour, path, folder));
}

std::unique_ptr<FakeServer> FakeServer::on_loopback(ServerBehaviour behaviour)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int backlog = behaviour == ServerBehaviour::FullBacklog ? 0 : 64;
    int fd = listen_or_throw(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0),
                             reinterpret_cast<sockaddr*>(&address), sizeof(address), backlog);
    socklen_t length = sizeof(address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    std::string host = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    return std::unique_ptr<FakeServer>(new FakeServer(fd, behaviour, host, ""));
}

FakeServer::FakeServer(int fd, ServerBehaviour behaviour, std::string address, std::string folder)
    : fd_(fd), behaviour_(behaviour), address_(std::move(address)), folder_(std::move(folder))
{
    if (behaviour_ == ServerBehaviour::FullBacklog)
        fill_backlog();
    else if (behaviour_ != ServerBehaviour::NeverReply)
        thread_ = std::thread([this] { serve(); });
}

// With a backlog of 0 the kernel queues one connection and drops the SYNs of
// the rest, so a few connections nobody accepts leave later ones pending.
void FakeServer::fill_backlog()
{
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    for (int i = 0; i < 3; ++i) {
        const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        (void)::connect(client, reinterpret_cast<sockaddr*>(&address), length);
        fillers_.push_back(client);
    }
    ::usleep(100 * 1000);
}

FakeServer::~FakeServer()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    for (int filler : fillers_)
        ::close(filler);
    for (int held : held_)
        ::close(held);
    ::close(fd_);
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

void FakeServer::serve()
{
    while (!stop_) {
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0)
            continue;
        const int client = ::accept(fd_, nullptr, nullptr);
        if (client < 0)
            continue;
        if (const int held = answer(client, behaviour_); held >= 0)
            held_.push_back(held);
    }
}

}  // namespace kt482::test
