// The signing tests' timestamp authority (loopback_tsa.py) as a process of
// its own on 127.0.0.1, and the certificates it and the signers use
// (make_test_certificates.sh).
#pragma once

#include <sys/types.h>

#include <string>

namespace kt482::test {

// Makes the test certificates in folder; false when the script failed.
bool make_test_certificates(const std::string& support_dir, const std::string& folder);

class LoopbackAuthority {
public:
    // An authority with the certificates of folder, answering as mode says
    // ("good", "garbage", "silent"); url() is empty when it did not start.
    LoopbackAuthority(const std::string& support_dir, const std::string& folder, const std::string& mode);
    ~LoopbackAuthority();
    LoopbackAuthority(const LoopbackAuthority&) = delete;
    LoopbackAuthority& operator=(const LoopbackAuthority&) = delete;
    const std::string& url() const { return url_; }

private:
    pid_t pid_ = -1;
    std::string url_;
};

}  // namespace kt482::test
