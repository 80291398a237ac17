#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>

#include "platform/cups_probe.h"
#include "support/fake_server.h"
#include "support/scoped_env.h"

namespace kt482 {

// Found by argument-dependent lookup, so outside the unnamed namespace.
void PrintTo(CupsServerState state, std::ostream* os)
{
    *os << (state == CupsServerState::Answers ? "Answers" : state == CupsServerState::Absent ? "Absent" : "Silent");
}

namespace {

using namespace std::chrono_literals;
using test::FakeServer;
using test::ScopedEnv;
using test::ServerBehaviour;
using Clock = std::chrono::steady_clock;

TEST(CupsEndpoint, FollowsCupsServerEachTimeItIsRead)
{
    {
        ScopedEnv server("CUPS_SERVER", "/tmp/somewhere/cups.sock");
        const CupsEndpoint endpoint = cups_endpoint();
        EXPECT_EQ(endpoint.socket_path, "/tmp/somewhere/cups.sock");
        EXPECT_EQ(endpoint.host, "");
    }
    {
        ScopedEnv server("CUPS_SERVER", "printhost.example:8631");
        const CupsEndpoint endpoint = cups_endpoint();
        EXPECT_EQ(endpoint.socket_path, "");
        EXPECT_EQ(endpoint.host, "printhost.example");
        EXPECT_EQ(endpoint.port, 8631);
    }
    {
        ScopedEnv server("CUPS_SERVER", "127.0.0.1");
        const CupsEndpoint endpoint = cups_endpoint();
        EXPECT_EQ(endpoint.host, "127.0.0.1");
        EXPECT_EQ(endpoint.port, 631);
    }
}

struct ProbeCase {
    const char* name;
    bool loopback;
    ServerBehaviour behaviour;
    CupsServerState state;
};

void PrintTo(const ProbeCase& c, std::ostream* os)
{
    *os << c.name;
}

class CupsProbe : public testing::TestWithParam<ProbeCase> {};

TEST_P(CupsProbe, AnswersOnlyWhenTheServerRepliesAndNeverOverstaysTheTimeout)
{
    const ProbeCase& c = GetParam();
    auto server = c.loopback ? FakeServer::on_loopback(c.behaviour) : FakeServer::on_unix_socket(c.behaviour);
    ScopedEnv cups_server("CUPS_SERVER", server->address());

    const auto start = Clock::now();
    EXPECT_EQ(cups_server_state(500ms), c.state);
    const auto elapsed = Clock::now() - start;
    EXPECT_LT(elapsed, 700ms);
    if (c.behaviour == ServerBehaviour::NeverReply) {
        EXPECT_GE(elapsed, 450ms);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Servers, CupsProbe,
    testing::Values(ProbeCase{"UnixReply", false, ServerBehaviour::Reply, CupsServerState::Answers},
                    ProbeCase{"UnixHangUp", false, ServerBehaviour::HangUp, CupsServerState::Absent},
                    ProbeCase{"UnixNeverReply", false, ServerBehaviour::NeverReply, CupsServerState::Silent},
                    ProbeCase{"LoopbackReply", true, ServerBehaviour::Reply, CupsServerState::Answers},
                    ProbeCase{"LoopbackHangUp", true, ServerBehaviour::HangUp, CupsServerState::Absent},
                    ProbeCase{"LoopbackNeverReply", true, ServerBehaviour::NeverReply, CupsServerState::Silent}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.name); });

TEST(CupsProbeWithoutServer, RefusedConnectionsFailAtOnce)
{
    test::TempFolder folder;
    for (const std::string& address : {folder.path() + "/nothing.sock", std::string("127.0.0.1:1")}) {
        ScopedEnv cups_server("CUPS_SERVER", address);
        const auto start = Clock::now();
        EXPECT_EQ(cups_server_state(2s), CupsServerState::Absent) << address;
        EXPECT_LT(Clock::now() - start, 1s) << address;  // half the timeout, room for a busy machine
    }
}

// A server whose backlog is full keeps connect() pending; the probe must give
// up at its deadline rather than wait for the connection.
TEST(CupsProbeWithoutServer, PendingConnectGivesUpAtTheDeadline)
{
    auto server = FakeServer::on_loopback(ServerBehaviour::FullBacklog);
    ScopedEnv cups_server("CUPS_SERVER", server->address());
    const auto start = Clock::now();
    EXPECT_EQ(cups_server_state(300ms), CupsServerState::Silent);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 250ms);
    EXPECT_LT(elapsed, 500ms);
}

}  // namespace
}  // namespace kt482
