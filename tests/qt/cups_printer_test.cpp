// Against the private print server of scripts/test-cupsd, which serves one
// queue, kt482-test, through the cups-pdf backend with an A4 default.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/cups_queue.h"
#include "platform/qt/qt_printer_system.h"
#include "print/pdf_printer.h"
#include "support/fake_server.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

using test::ScopedEnv;

class QtPrinterSystemWithCups : public testing::Test {
protected:
    void SetUp() override
    {
        const char* socket = std::getenv("KT482_TEST_CUPS_SERVER");
        if (!socket || !*socket)
            GTEST_SKIP() << "KT482_TEST_CUPS_SERVER is not set: start a private server with "
                            "eval \"$(scripts/test-cupsd)\"";
        server_.emplace("CUPS_SERVER", socket);
    }

    std::optional<ScopedEnv> server_;
    std::unique_ptr<PrinterSystem> printers_ = make_qt_printer_system(pdf_printer_makers());
};

TEST_F(QtPrinterSystemWithCups, DefaultQueueSettings)
{
    auto settings = printers_->default_printer_settings();
    ASSERT_TRUE(settings.ok()) << settings.failure().description;
    EXPECT_EQ(settings->device_name, "kt482-test");
    EXPECT_EQ(settings->driver_name, "Generic CUPS-PDF Printer (no options)");
    EXPECT_EQ(settings->port, "cups-pdf:/");
    EXPECT_EQ(settings->paper_size, 9);
    EXPECT_EQ(settings->page_height_twips, 16838);
    EXPECT_EQ(settings->page_width_twips, 11906);
    EXPECT_EQ(settings->orientation, 1);
    EXPECT_EQ(settings->copies, 1);
    EXPECT_EQ(settings->duplex, 1);
    EXPECT_EQ(settings->option, 300);  // the PPD's default resolution
    EXPECT_EQ(settings->font_name, "ＭＳ 明朝");
}

TEST_F(QtPrinterSystemWithCups, QueuesComeBeforeThePdfPrinter)
{
    auto names = printers_->installed_printers();
    ASSERT_TRUE(names.ok());
    EXPECT_EQ(*names, (std::vector<std::string>{"kt482-fails", "kt482-stops", "kt482-test", "kt482-trays", "KT482 PDF"}));
}

// The server is read afresh on every query: once it is gone from the
// environment's view, the PDF printer is the default again.
TEST_F(QtPrinterSystemWithCups, SwitchingServersInOneProcess)
{
    ASSERT_EQ(printers_->default_printer_settings()->device_name, "kt482-test");
    {
        ScopedEnv elsewhere("CUPS_SERVER", "/nonexistent/cups.sock");
        EXPECT_EQ(printers_->default_printer_settings()->device_name, "KT482 PDF");
        EXPECT_EQ(*printers_->installed_printers(), std::vector<std::string>{"KT482 PDF"});
    }
    EXPECT_EQ(printers_->default_printer_settings()->device_name, "kt482-test");
}

// libcups reads HOME once per thread, so the query runs on a fresh thread to
// see a home with the user's own options for the queue.
TEST_F(QtPrinterSystemWithCups, UserOptionsSetTheDefaultCopies)
{
    test::TempFolder home;
    std::filesystem::create_directory(home.path() + "/.cups");
    std::ofstream(home.path() + "/.cups/lpoptions") << "Dest kt482-test copies=3\n";
    ScopedEnv home_env("HOME", home.path());

    CupsQueueDefaults queue;
    std::thread([&queue] { queue = cups_queue_defaults("kt482-test"); }).join();
    EXPECT_EQ(queue.copies, 3);
    EXPECT_EQ(queue.device_uri, "cups-pdf:/");
    EXPECT_EQ(queue.resolution_dpi, 300);
}

}  // namespace
}  // namespace kt482
