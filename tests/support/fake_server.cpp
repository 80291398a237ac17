#include "support/fake_server.h"

#include <cups/cups.h>

#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
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

// -- A minimal IPP server ------------------------------------------------------

// Reads from the client into buffer until it holds `wanted` more bytes past
// from; false when the client closed or the server stops.
bool read_until(int client, std::string& buffer, std::size_t wanted, const std::atomic<bool>& stop)
{
    while (buffer.size() < wanted) {
        if (stop)
            return false;
        pollfd entry{client, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0)
            continue;
        char chunk[4096];
        const ssize_t got = ::recv(client, chunk, sizeof(chunk), 0);
        if (got <= 0)
            return false;
        buffer.append(chunk, static_cast<std::size_t>(got));
    }
    return true;
}

// The headers of the next request, taken off the front of buffer.
std::optional<std::string> read_headers(int client, std::string& buffer, const std::atomic<bool>& stop)
{
    for (;;) {
        if (const auto end = buffer.find("\r\n\r\n"); end != std::string::npos) {
            std::string headers = buffer.substr(0, end + 4);
            buffer.erase(0, end + 4);
            return headers;
        }
        if (!read_until(client, buffer, buffer.size() + 1, stop))
            return std::nullopt;
    }
}

std::string header_value(const std::string& headers, std::string_view name)
{
    for (std::size_t at = headers.find("\r\n"); at != std::string::npos; at = headers.find("\r\n", at + 2)) {
        const std::size_t start = at + 2;
        if (headers.size() - start > name.size() && headers[start + name.size()] == ':' &&
            ::strncasecmp(headers.c_str() + start, name.data(), name.size()) == 0) {
            std::size_t value = start + name.size() + 1;
            while (value < headers.size() && headers[value] == ' ')
                ++value;
            return headers.substr(value, headers.find("\r\n", value) - value);
        }
    }
    return {};
}

// The body of a request with the given headers, taken off the front of
// buffer: a Content-Length or chunks.
std::optional<std::string> read_body(int client, const std::string& headers, std::string& buffer,
                                     const std::atomic<bool>& stop)
{
    std::string body;
    if (::strcasecmp(header_value(headers, "Transfer-Encoding").c_str(), "chunked") != 0) {
        const std::size_t length = std::strtoul(header_value(headers, "Content-Length").c_str(), nullptr, 10);
        if (!read_until(client, buffer, length, stop))
            return std::nullopt;
        body = buffer.substr(0, length);
        buffer.erase(0, length);
        return body;
    }
    for (;;) {
        std::size_t line_end;
        while ((line_end = buffer.find("\r\n")) == std::string::npos) {
            if (!read_until(client, buffer, buffer.size() + 1, stop))
                return std::nullopt;
        }
        const std::size_t size = std::strtoul(buffer.c_str(), nullptr, 16);
        if (!read_until(client, buffer, line_end + 2 + size + 2, stop))
            return std::nullopt;
        body.append(buffer, line_end + 2, size);
        buffer.erase(0, line_end + 2 + size + 2);
        if (size == 0)
            return body;
    }
}

ssize_t append_bytes(void* context, ipp_uchar_t* bytes, size_t length)
{
    static_cast<std::string*>(context)->append(reinterpret_cast<const char*>(bytes), length);
    return static_cast<ssize_t>(length);
}

// The reply to an IPP request: what a server with the one queue kFakeQueue
// says to the operations libcups sends for a job.
std::string ipp_reply(const std::string& request)
{
    const int operation = request.size() >= 8 ? (static_cast<unsigned char>(request[2]) << 8) |
                                                    static_cast<unsigned char>(request[3])
                                              : 0;
    const int request_id = request.size() >= 8 ? (static_cast<unsigned char>(request[4]) << 24) |
                                                     (static_cast<unsigned char>(request[5]) << 16) |
                                                     (static_cast<unsigned char>(request[6]) << 8) |
                                                     static_cast<unsigned char>(request[7])
                                               : 1;
    ipp_t* reply = ippNew();
    ippSetVersion(reply, 2, 0);
    ippSetStatusCode(reply, IPP_STATUS_OK);
    ippSetRequestId(reply, request_id);
    ippAddString(reply, IPP_TAG_OPERATION, IPP_TAG_CHARSET, "attributes-charset", nullptr, "utf-8");
    ippAddString(reply, IPP_TAG_OPERATION, IPP_TAG_LANGUAGE, "attributes-natural-language", nullptr, "en");
    if (operation == IPP_OP_GET_PRINTER_ATTRIBUTES || operation == IPP_OP_CUPS_GET_PRINTERS ||
        operation == IPP_OP_CUPS_GET_DEFAULT) {
        const std::string uri = std::string("ipp://localhost/printers/") + kFakeQueue;
        ippAddString(reply, IPP_TAG_PRINTER, IPP_TAG_NAME, "printer-name", nullptr, kFakeQueue);
        ippAddString(reply, IPP_TAG_PRINTER, IPP_TAG_URI, "printer-uri-supported", nullptr, uri.c_str());
        ippAddInteger(reply, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
        ippAddBoolean(reply, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
        ippAddString(reply, IPP_TAG_PRINTER, IPP_TAG_MIMETYPE, "document-format-supported", nullptr,
                     "application/pdf");
    } else if (operation == IPP_OP_CREATE_JOB) {
        ippAddInteger(reply, IPP_TAG_JOB, IPP_TAG_INTEGER, "job-id", 7);
        ippAddInteger(reply, IPP_TAG_JOB, IPP_TAG_ENUM, "job-state", IPP_JSTATE_HELD);
    }
    std::string body;
    ippWriteIO(&body, append_bytes, 1, nullptr, reply);
    ippDelete(reply);
    return "HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

void send_text(int client, const std::string& text)
{
    (void)::send(client, text.data(), text.size(), MSG_NOSIGNAL);
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

std::unique_ptr<FakeServer> FakeServer::ipp_then_stall(int answered)
{
    auto server = on_unix_socket(ServerBehaviour::IppThenStall);
    server->answered_ = answered;
    return server;
}

FakeServer::FakeServer(int fd, ServerBehaviour behaviour, std::string address, std::string folder)
    : fd_(fd), behaviour_(behaviour), address_(std::move(address)), folder_(std::move(folder))
{
    if (behaviour_ == ServerBehaviour::Drip || behaviour_ == ServerBehaviour::EndlessHeader)
        answered_ = 1 << 30;
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
    for (std::thread& client : clients_)
        client.join();
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
        if (behaviour_ == ServerBehaviour::IppThenStall || behaviour_ == ServerBehaviour::Drip ||
            behaviour_ == ServerBehaviour::EndlessHeader)
            clients_.emplace_back([this, client] { serve_ipp(client); });
        else if (const int held = answer(client, behaviour_); held >= 0)
            held_.push_back(held);
    }
}

// One connection of an IPP server: requests in turn until the client closes,
// the server stops, or the stall begins.
void FakeServer::serve_ipp(int client)
{
    std::string buffer;
    while (const auto headers = read_headers(client, buffer, stop_)) {
        const bool expects = ::strcasecmp(header_value(*headers, "Expect").c_str(), "100-continue") == 0;
        if (headers->rfind("POST ", 0) != 0) {
            send_reply(client, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
            continue;
        }
        if (++ipp_requests_ > answered_) {
            if (expects)
                send_text(client, "HTTP/1.1 100 Continue\r\n\r\n");
            while (!stop_)
                ::usleep(20 * 1000);
            break;
        }
        if (expects)
            send_text(client, "HTTP/1.1 100 Continue\r\n\r\n");
        const auto body = read_body(client, *headers, buffer, stop_);
        if (!body)
            break;
        send_reply(client, ipp_reply(*body));
    }
    ::close(client);
}

// A reply as the behaviour sends it: at once, a byte at a time, or as a
// header without end. Stops when the client goes or the server stops.
void FakeServer::send_reply(int client, const std::string& reply)
{
    // A client that stopped reading must not hold the server at its end.
    auto paced = [&](std::string_view bytes, int pause_ms) {
        while (!bytes.empty() && !stop_) {
            const ssize_t sent = ::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (sent > 0)
                bytes.remove_prefix(static_cast<std::size_t>(sent));
            ::usleep(pause_ms * 1000);
        }
        return !stop_;
    };
    if (behaviour_ == ServerBehaviour::Drip) {
        for (std::size_t i = 0; i < reply.size(); ++i)
            if (!paced(std::string_view(reply).substr(i, 1), 80))
                return;
    } else if (behaviour_ == ServerBehaviour::EndlessHeader) {
        std::string line = "HTTP/1.1 200 OK\r\n";
        for (int n = 0; paced(line, 20); ++n)
            line = "X-Filler-" + std::to_string(n) + ": more to come\r\n";
    } else {
        send_text(client, reply);
    }
}

}  // namespace kt482::test
