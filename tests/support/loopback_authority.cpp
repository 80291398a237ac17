#include "support/loopback_authority.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kt482::test {

bool make_test_certificates(const std::string& support_dir, const std::string& folder)
{
    const std::string script = support_dir + "/make_test_certificates.sh";
    return std::system(("'" + script + "' '" + folder + "'").c_str()) == 0;
}

LoopbackAuthority::LoopbackAuthority(const std::string& support_dir, const std::string& folder, const std::string& mode)
{
    int out[2];
    if (::pipe(out) != 0)
        return;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        const std::string script = support_dir + "/loopback_tsa.py";
        ::execlp("python3", "python3", script.c_str(), folder.c_str(), mode.c_str(), nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    char line[32] = {};
    FILE* reading = ::fdopen(out[0], "r");
    if (reading && std::fgets(line, sizeof line, reading))
        url_ = "http://127.0.0.1:" + std::string(line, std::strcspn(line, "\n")) + "/tsa";
    if (reading)
        std::fclose(reading);
}

LoopbackAuthority::~LoopbackAuthority()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

}  // namespace kt482::test
