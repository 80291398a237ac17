// A fixture with its own spool folder, a message sink and a fake printer,
// and helpers to read page files back.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "job/job_state.h"
#include "platform/services.h"
#include "support/fakes.h"

namespace kt482::test {

struct ReadRecord {
    std::string code;
    std::vector<std::string> fields;  // fields 1 to 5
};

class SpoolTest : public ::testing::Test {
protected:
    SpoolTest();
    ~SpoolTest() override;

    std::string page_path(int page) const;
    bool page_exists(int page) const;
    std::string file_bytes(const std::string& path) const;
    // Reads a page file back through the spool reader; fails the test on a
    // read failure.
    std::vector<ReadRecord> read_page(int page);
    std::vector<std::string> message_titles() const;

    std::string dir;
    MessageSink sink;
    FakePrinters printers;
    ScopedServices services{&sink, &printers, nullptr};
};

}  // namespace kt482::test
