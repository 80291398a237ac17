// The HTTP client of the timestamp authorities: addresses it takes and
// refuses, raw replies read into their body or refused with the reason, and
// the one deadline it keeps whatever the server does.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

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
                    UrlCase{"http://tsa.example.jp?x=1#top", "tsa.example.jp", "80", "/?x=1"},
                    UrlCase{"http://[::1]:3180/a/b", "::1", "3180", "/a/b"},
                    UrlCase{"https://tsa.example.jp/", nullptr, nullptr, nullptr},
                    UrlCase{"ftp://tsa.example.jp/", nullptr, nullptr, nullptr},
                    UrlCase{"http://:80/", nullptr, nullptr, nullptr},
                    UrlCase{"http://host:0/", nullptr, nullptr, nullptr},
                    UrlCase{"http://host:65536/", nullptr, nullptr, nullptr},
                    UrlCase{"http://host:8o/", nullptr, nullptr, nullptr},
                    UrlCase{"http://user@host/", nullptr, nullptr, nullptr},
                    UrlCase{"http://[::1/", nullptr, nullptr, nullptr},
                    UrlCase{"http://host/a b", nullptr, nullptr, nullptr}));

struct ReplyCase {
    const char* name;
    std::string reply;
    const char* body;     // nullptr: refused
    const char* problem;  // a part of the failure
};

class HttpReplies : public testing::TestWithParam<ReplyCase> {};

TEST_P(HttpReplies, GiveTheirBodyOrTheReason)
{
    const ReplyCase& c = GetParam();
    const Result<std::string> body = http_reply_body(c.reply, 16);
    if (c.body) {
        ASSERT_TRUE(body.ok()) << body.failure().description;
        EXPECT_EQ(*body, c.body);
    } else {
        ASSERT_FALSE(body.ok()) << *body;
        EXPECT_NE(body.failure().description.find(c.problem), std::string::npos) << body.failure().description;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, HttpReplies,
    testing::Values(
        ReplyCase{"Granted", "HTTP/1.0 200 OK\r\nContent-Type: application/timestamp-reply\r\nContent-Length: 4\r\n\r\nabcd", "abcd", ""},
        ReplyCase{"UntilClosed", "HTTP/1.1 200 OK\r\n\r\nabcdef", "abcdef", ""},
        ReplyCase{"NoHeaders", "HTTP/1.0 200 OK\r\n\r\n", "", ""},
        ReplyCase{"CutToItsLength", "HTTP/1.0 200 OK\r\ncontent-length:  2\r\n\r\nabcd", "ab", ""},
        ReplyCase{"CutShort", "HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nabcd", nullptr, "cut short"},
        ReplyCase{"LengthNoNumber", "HTTP/1.0 200 OK\r\nContent-Length: -1\r\n\r\nabcd", nullptr, "no number"},
        ReplyCase{"NotFound", "HTTP/1.0 404 Not Found\r\n\r\n", nullptr, "HTTP 404"},
        ReplyCase{"Chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nabcd\r\n0\r\n\r\n", nullptr, "chunks"},
        ReplyCase{"TooLarge", "HTTP/1.0 200 OK\r\n\r\n" + std::string(17, 'x'), nullptr, "larger than 16"},
        ReplyCase{"NoHttp", "<html>no timestamps here</html>", nullptr, "no HTTP reply"},
        ReplyCase{"HeadNeverEnds", "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n", nullptr, "no HTTP reply"},
        ReplyCase{"Empty", "", nullptr, "no HTTP reply"}),
    [](const testing::TestParamInfo<ReplyCase>& info) { return std::string(info.param.name); });

// A socket on a loopback port: listening (the kernel takes connections, the
// server never answers) or closed (connections are refused).
struct LoopbackPort {
    explicit LoopbackPort(bool listening)
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), size) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) != 0)
            return;
        port = std::to_string(ntohs(a.sin_port));
        if (listening)
            ::listen(fd, 4);
    }
    ~LoopbackPort() { ::close(fd); }
    int fd = -1;
    std::string port;
};

TEST(HttpPost, ASilentServerFailsAtTheDeadlineAndARefusalAtOnce)
{
    for (const bool listening : {true, false}) {
        SCOPED_TRACE(listening ? "silent" : "refused");
        LoopbackPort server(listening);
        ASSERT_FALSE(server.port.empty());
        const auto start = Clock::now();
        const Result<std::string> reply =
            http_post({"127.0.0.1", server.port, "/tsa"}, "application/timestamp-query", std::string(100000, 'q'),
                      1 << 20, start + 400ms);
        const auto took = Clock::now() - start;
        ASSERT_FALSE(reply.ok());
        EXPECT_NE(reply.failure().description.find("127.0.0.1:" + server.port), std::string::npos)
            << reply.failure().description;
        if (listening) {
            EXPECT_NE(reply.failure().description.find("within the time allowed"), std::string::npos);
            EXPECT_GE(took, 400ms);
        }
        EXPECT_LT(took, listening ? 700ms : 100ms);
    }
}

}  // namespace
}  // namespace kt482::sign
