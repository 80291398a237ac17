// The timestamp authorities' HTTP exchange: addresses it takes and refuses,
// and replies from loopback servers read into their body or refused with
// the reason, within the one deadline whatever the server does.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <ostream>
#include <string>
#include <thread>

#include "sign/http_post.h"

namespace kt482::sign {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct UrlCase {
    const char* url;
    const char* host;  // nullptr: refused
    const char* port;
    const char* path;
};

void PrintTo(const UrlCase& c, std::ostream* os)
{
    *os << testing::PrintToString(std::string(c.url));
}

class HttpUrls : public testing::TestWithParam<UrlCase> {};

TEST_P(HttpUrls, SplitIntoHostPortAndPathOrAreRefused)
{
    const UrlCase& c = GetParam();
    const Result<HttpTarget> target = parse_http_url(c.url);
    if (!c.host) {
        ASSERT_FALSE(target.ok()) << c.url;
        EXPECT_NE(target.failure().description.find(c.url), std::string::npos) << target.failure().description;
        return;
    }
    ASSERT_TRUE(target.ok()) << target.failure().description;
    EXPECT_EQ(target->host, c.host);
    EXPECT_EQ(target->port, c.port);
    EXPECT_EQ(target->path, c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, HttpUrls,
    testing::Values(UrlCase{"http://127.0.0.1:8080/tsa", "127.0.0.1", "8080", "/tsa"},
                    UrlCase{"HTTP://tsa.example.jp", "tsa.example.jp", "80", "/"},
                    UrlCase{"tsa.example.jp/stamp", "tsa.example.jp", "80", "/stamp"},
                    UrlCase{"http://tsa.example.jp?x=1#top", "tsa.example.jp", "80", "/?x=1"},
                    UrlCase{"http://[::1]:3180/a/b", "::1", "3180", "/a/b"},
                    UrlCase{"https://tsa.example.jp/", nullptr, nullptr, nullptr},
                    UrlCase{"ftp://tsa.example.jp/", nullptr, nullptr, nullptr},
                    UrlCase{"http://:80/", nullptr, nullptr, nullptr},
                    UrlCase{"http://host:65536/", nullptr, nullptr, nullptr},
                    UrlCase{"http://host:8o/", nullptr, nullptr, nullptr},
                    UrlCase{"http://user@host/", nullptr, nullptr, nullptr},
                    UrlCase{"http://[::1/", nullptr, nullptr, nullptr},
                    UrlCase{"http://host/a b", nullptr, nullptr, nullptr},
                    UrlCase{"http://host/a\r\nX-Injected: 1", nullptr, nullptr, nullptr},
                    UrlCase{"", nullptr, nullptr, nullptr}));

// A socket on a loopback port: closed (connections are refused), listening
// (the kernel takes connections, nobody ever answers) or serving one
// connection with a canned reply once the request has arrived whole.
class LoopbackServer {
public:
    enum Kind { Closed, Silent, Answering };

    LoopbackServer(Kind kind, std::string reply = {})
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), size) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) != 0)
            return;
        port_ = std::to_string(ntohs(a.sin_port));
        if (kind != Closed)
            ::listen(fd_, 4);
        if (kind == Answering)
            server_ = std::thread([this, reply = std::move(reply)] { answer(reply); });
    }
    ~LoopbackServer()
    {
        ::shutdown(fd_, SHUT_RDWR);  // ends a pending accept
        if (server_.joinable())
            server_.join();
        ::close(fd_);
    }
    const std::string& port() const { return port_; }

private:
    void answer(const std::string& reply) const
    {
        const int client = ::accept(fd_, nullptr, nullptr);
        if (client < 0)
            return;
        std::string request;
        char chunk[4096];
        for (ssize_t n; !request_complete(request) && (n = ::recv(client, chunk, sizeof chunk, 0)) > 0;)
            request.append(chunk, static_cast<std::size_t>(n));
        ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
        ::close(client);
    }
    static bool request_complete(const std::string& request)
    {
        const std::size_t head_end = request.find("\r\n\r\n");
        const std::size_t length_at = request.find("Content-Length: ");
        return head_end != std::string::npos && length_at != std::string::npos &&
               request.size() >= head_end + 4 + std::stoul(request.substr(length_at + 16));
    }

    int fd_ = -1;
    std::string port_;
    std::thread server_;
};

const std::string kType = "application/timestamp-reply";
const std::string kDer("\x30\x03\x02\x01\x05", 5);  // SEQUENCE { INTEGER 5 }

std::string reply_of(const std::string& status, const std::string& type, const std::string& body)
{
    return "HTTP/1.0 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

Result<std::string> post_to(const std::string& port, Clock::time_point deadline)
{
    return http_post({"127.0.0.1", port, "/tsa"}, "application/timestamp-query", "application/timestamp-reply",
                     std::string(20000, 'q'), 4096, deadline);
}

struct ReplyCase {
    const char* name;
    std::string reply;
    bool granted;         // the body is kDer
    const char* problem;  // a part of the failure otherwise
};

void PrintTo(const ReplyCase& c, std::ostream* os)
{
    *os << c.name;
}

class HttpReplies : public testing::TestWithParam<ReplyCase> {};

TEST_P(HttpReplies, GiveTheirBodyOrTheReasonWellWithinTheDeadline)
{
    const ReplyCase& c = GetParam();
    LoopbackServer server(LoopbackServer::Answering, c.reply);
    ASSERT_FALSE(server.port().empty());
    const auto start = Clock::now();
    const Result<std::string> body = post_to(server.port(), start + 3s);
    // Half the deadline: room for a busy machine and the sanitizers, none
    // for waiting on a reply that has come.
    EXPECT_LT(Clock::now() - start, 1500ms);
    if (c.granted) {
        ASSERT_TRUE(body.ok()) << body.failure().description;
        EXPECT_EQ(*body, kDer);
        return;
    }
    ASSERT_FALSE(body.ok());
    EXPECT_NE(body.failure().description.find("127.0.0.1:" + server.port()), std::string::npos)
        << body.failure().description;
    EXPECT_NE(body.failure().description.find(c.problem), std::string::npos) << body.failure().description;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, HttpReplies,
    testing::Values(
        ReplyCase{"Granted", reply_of("200 OK", kType, kDer), true, ""},
        ReplyCase{"UntilClosed", "HTTP/1.0 200 OK\r\nContent-Type: " + kType + "\r\n\r\n" + kDer, true, ""},
        ReplyCase{"NotFound", reply_of("404 Not Found", "text/html", "<html/>"), false, "404"},
        ReplyCase{"OtherType", reply_of("200 OK", "text/html", kDer), false, "content type"},
        ReplyCase{"NoDer", reply_of("200 OK", kType, "<html>no timestamps</html>"), false, "asn1"},
        ReplyCase{"CutShort", reply_of("200 OK", kType, kDer).substr(0, 84), false, "failed reading"},
        // A DER head announcing 5000 bytes, more than the 4096 allowed.
        ReplyCase{"TooLarge",
                  reply_of("200 OK", kType,
                           std::string("\x30\x82\x13\x88", 4) + std::string(5000, 'x')),
                  false, "max resp len"},
        ReplyCase{"NoHttp", "<html>no timestamps here</html>\r\n\r\n", false, "header parse error"},
        ReplyCase{"Nothing", "", false, "failed reading"}),
    [](const testing::TestParamInfo<ReplyCase>& info) { return std::string(info.param.name); });

TEST(HttpPost, ARefusalFailsAtOnceAndASilentServerWithinTheDeadline)
{
    for (const auto kind : {LoopbackServer::Closed, LoopbackServer::Silent}) {
        SCOPED_TRACE(kind == LoopbackServer::Silent ? "silent" : "refused");
        LoopbackServer server(kind);
        ASSERT_FALSE(server.port().empty());
        const auto start = Clock::now();
        const Result<std::string> reply = post_to(server.port(), start + 1500ms);
        const auto took = Clock::now() - start;
        ASSERT_FALSE(reply.ok());
        EXPECT_NE(reply.failure().description.find("127.0.0.1:" + server.port()), std::string::npos)
            << reply.failure().description;
        EXPECT_NE(reply.failure().description.find(kind == LoopbackServer::Silent ? "timeout" : "refused"),
                  std::string::npos)
            << reply.failure().description;
        // A refused connection is not tried again until the deadline.
        EXPECT_LT(took, kind == LoopbackServer::Silent ? 1600ms : 700ms);
    }
}

}  // namespace
}  // namespace kt482::sign
