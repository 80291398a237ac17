// Stand-ins for a print server: a listening socket that answers, one that
// accepts and hangs up, and one that lets connections wait forever.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kt482::test {

enum class ServerBehaviour {
    Reply,       // reads the request and writes a short HTTP reply
    HangUp,      // accepts and closes without a word
    NeverReply,  // never accepts: connections wait in the backlog
    FullBacklog, // never accepts and its backlog is full: connect() stays pending
    IppThenStall, // answers IPP requests for the queue "fake", then stops mid-request
    ProbeOnly,   // replies to OPTIONS (the probe), holds every other request unanswered
    Drip,        // answers as IppThenStall does before its stall, one byte every 80 ms
    EndlessHeader, // answers every request with a status line and header lines that never end
};

// The queue an IppThenStall server offers.
inline constexpr const char* kFakeQueue = "fake";

class FakeServer {
public:
    // Listens on a unix socket in a fresh temporary folder.
    static std::unique_ptr<FakeServer> on_unix_socket(ServerBehaviour behaviour);
    // Listens on 127.0.0.1 at a free port.
    static std::unique_ptr<FakeServer> on_loopback(ServerBehaviour behaviour);
    // An IPP server on a unix socket that answers the first `answered` IPP
    // requests as a print server with the one queue kFakeQueue would (its
    // attributes; Create-Job makes job 7) and then goes quiet: it takes the
    // next request's headers, says "100 Continue", and neither reads nor
    // writes again. Other HTTP requests (the probe) are answered throughout.
    static std::unique_ptr<FakeServer> ipp_then_stall(int answered);

    // The IPP operations received so far, stalled one included.
    int ipp_requests() const { return ipp_requests_; }

    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    // The value of CUPS_SERVER that reaches this server.
    const std::string& address() const { return address_; }

private:
    FakeServer(int fd, ServerBehaviour behaviour, std::string address, std::string folder);
    void serve();
    void fill_backlog();
    void serve_ipp(int client);
    void send_reply(int client, const std::string& reply);

    int fd_;
    ServerBehaviour behaviour_;
    std::string address_;
    std::string folder_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::vector<int> fillers_;
    std::atomic<int> answered_{0};
    std::atomic<int> ipp_requests_{0};
    std::vector<std::thread> clients_;
    std::vector<int> held_;  // connections of unanswered requests
};

// A fresh temporary folder, removed with everything in it at destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace kt482::test
