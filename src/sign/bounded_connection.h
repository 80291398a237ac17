// A TCP connection to a server, the name lookup and the connection under
// one deadline: a refused or unreachable address fails at once, a name that
// takes long to resolve or a server that never takes the connection fails
// at the deadline.
#pragma once

#include <chrono>
#include <string>

#include "kt482/failure.h"

namespace kt482::sign {

// An open, connected, non-blocking socket; closed with its owner.
class Connection {
public:
    Connection() = default;
    explicit Connection(int fd) : fd_(fd) {}
    Connection(Connection&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

// A connection to host (a name, or an address written as numbers, IPv6
// without brackets) on port, or a failure (PrinterError) naming the server
// and why. Nothing is tried again: the first address that answers is taken,
// and a refusal of every address is a failure at once.
Result<Connection> connect_within(const std::string& host, const std::string& port,
                                  std::chrono::steady_clock::time_point deadline);

}  // namespace kt482::sign
