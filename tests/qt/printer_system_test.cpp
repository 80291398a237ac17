#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/qt/qt_printer_system.h"
#include "print/pdf_printer.h"
#include "support/fake_server.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

using namespace std::chrono_literals;
using test::FakeServer;
using test::ScopedEnv;
using test::ServerBehaviour;
using test::TempFolder;
using Clock = std::chrono::steady_clock;

const std::string kPdfPrinter = "KT482 PDF";

void expect_pdf_printer(const PrinterSettings& s, const std::string& folder)
{
    EXPECT_EQ(s.device_name, kPdfPrinter);
    EXPECT_EQ(s.driver_name, kPdfPrinter);
    EXPECT_EQ(s.port, folder);
    EXPECT_EQ(s.paper_size, 9);
    EXPECT_EQ(s.orientation, 1);
    EXPECT_EQ(s.copies, 1);
    EXPECT_EQ(s.duplex, 1);
    EXPECT_EQ(s.option, 600);
    EXPECT_EQ(s.page_height_twips, 16838);
    EXPECT_EQ(s.page_width_twips, 11906);
    EXPECT_EQ(s.font_name, "ＭＳ 明朝");
    EXPECT_FLOAT_EQ(s.font_size, 10.5f);
    EXPECT_FALSE(s.font_bold);
}

// The printers are the ones its makers make: the PDF printer's name and a
// file's path reach the makers, and a queue of an absent server makes none.
TEST(QtPrinterSystemWithoutServer, HandsOutThePrintersOfTheMakersItIsGiven)
{
    TempFolder folder;
    ScopedEnv cups_server("CUPS_SERVER", folder.path() + "/nothing.sock");
    const std::shared_ptr<Printer> in_folder = PdfPrinter::for_folder();
    const std::shared_ptr<Printer> in_file = PdfPrinter::for_file(folder.path() + "/a.pdf");
    std::vector<std::string> made;
    auto printers = make_qt_printer_system(
        {.pdf_folder = [&] { made.push_back("folder"); return in_folder; },
         .pdf_file = [&](std::string path) { made.push_back("file " + path); return in_file; },
         .queue = [&](std::unique_ptr<PrintQueue>) { made.push_back("queue"); return std::shared_ptr<Printer>(); }});

    auto pdf = printers->open_printer(kPdfPrinter);
    auto file = printers->open_pdf_file_printer("/elsewhere/b.pdf");
    auto queue = printers->open_printer("kt482-absent");

    ASSERT_TRUE(pdf.ok() && file.ok());
    EXPECT_EQ(pdf->get(), in_folder.get());
    EXPECT_EQ(file->get(), in_file.get());
    EXPECT_FALSE(queue.ok());
    EXPECT_EQ(made, (std::vector<std::string>{"folder", "file /elsewhere/b.pdf"}));
}

TEST(QtPrinterSystemWithoutServer, PdfPrinterIsTheDefaultAndListedLast)
{
    TempFolder folder;
    ScopedEnv cups_server("CUPS_SERVER", folder.path() + "/nothing.sock");
    ScopedEnv output("KT482_PDF_DIR", folder.path());
    auto printers = make_qt_printer_system(pdf_printer_makers());

    const auto start = Clock::now();
    auto settings = printers->default_printer_settings();
    auto names = printers->installed_printers();
    EXPECT_LT(Clock::now() - start, 2s);

    ASSERT_TRUE(settings.ok()) << settings.failure().description;
    expect_pdf_printer(*settings, folder.path());
    ASSERT_TRUE(names.ok());
    EXPECT_EQ(*names, std::vector<std::string>{kPdfPrinter});
}

// A server that hangs up at once is no server at all: nothing to wait for
// and nothing to report.
TEST(QtPrinterSystemWithoutServer, ServerThatHangsUpLeavesThePdfPrinter)
{
    auto server = FakeServer::on_unix_socket(ServerBehaviour::HangUp);
    ScopedEnv cups_server("CUPS_SERVER", server->address());
    auto names = make_qt_printer_system(pdf_printer_makers())->installed_printers();
    ASSERT_TRUE(names.ok()) << names.failure().description;
    EXPECT_EQ(*names, std::vector<std::string>{kPdfPrinter});
}

TEST(QtPrinterSystemWithoutServer, OnlyThePdfPrinterOpens)
{
    TempFolder folder;
    ScopedEnv cups_server("CUPS_SERVER", folder.path() + "/nothing.sock");
    auto printers = make_qt_printer_system(pdf_printer_makers());
    auto pdf = printers->open_printer(kPdfPrinter);
    ASSERT_TRUE(pdf.ok());
    EXPECT_EQ((*pdf)->DeviceName(), kPdfPrinter);
    EXPECT_EQ((*pdf)->LastOutput(), "");
    for (const std::string name : {"kt482 pdf", "KT482 PDF ", "office"}) {
        auto other = printers->open_printer(name);
        ASSERT_FALSE(other.ok()) << name;
        EXPECT_TRUE(other.failure().is(ErrorNumber::PrinterError)) << name;
    }
}

TEST(QtPrinterSystemWithoutServer, PdfPortIsAnAbsoluteFolder)
{
    TempFolder folder;
    ScopedEnv cups_server("CUPS_SERVER", folder.path() + "/nothing.sock");
    auto printers = make_qt_printer_system(pdf_printer_makers());
    const std::string here = std::filesystem::current_path().string();
    {
        ScopedEnv output("KT482_PDF_DIR", std::nullopt);
        EXPECT_EQ(printers->default_printer_settings()->port, here);
    }
    {
        ScopedEnv output("KT482_PDF_DIR", "out/pdf/");
        EXPECT_EQ(printers->default_printer_settings()->port, here + "/out/pdf");
    }
}

TEST(QtPrinterSystemWithoutServer, VanishedCurrentFolderIsAPrinterError)
{
    const auto here = std::filesystem::current_path();
    TempFolder server_folder;
    ScopedEnv cups_server("CUPS_SERVER", server_folder.path() + "/nothing.sock");
    ScopedEnv output("KT482_PDF_DIR", std::nullopt);
    auto printers = make_qt_printer_system(pdf_printer_makers());
    {
        TempFolder gone;
        std::filesystem::current_path(gone.path());
    }
    auto settings = printers->default_printer_settings();
    std::filesystem::current_path(here);
    ASSERT_FALSE(settings.ok());
    EXPECT_TRUE(settings.failure().is(ErrorNumber::PrinterError));
}

struct HungServer {
    const char* name;
    ServerBehaviour behaviour;
    bool loopback;
};

class QtPrinterSystemWithHungServer : public testing::TestWithParam<HungServer> {};

// A server that takes the connection and then says nothing, or answers the
// probe and then stalls, would hold libcups for minutes. Every query returns
// in time: the defaults and the list fall back to the PDF printer, the list
// says the server's queues are missing, and opening a queue fails.
TEST_P(QtPrinterSystemWithHungServer, QueriesReturnInTimeAndThePdfPrinterStays)
{
    const HungServer& hung = GetParam();
    auto server = hung.loopback ? FakeServer::on_loopback(hung.behaviour) : FakeServer::on_unix_socket(hung.behaviour);
    ScopedEnv cups_server("CUPS_SERVER", server->address());
    auto printers = make_qt_printer_system(pdf_printer_makers());

    auto start = Clock::now();
    auto settings = printers->default_printer_settings();
    EXPECT_LT(Clock::now() - start, 3s);
    ASSERT_TRUE(settings.ok());
    EXPECT_EQ(settings->device_name, kPdfPrinter);

    start = Clock::now();
    auto names = printers->installed_printers();
    EXPECT_LT(Clock::now() - start, 3s);
    ASSERT_TRUE(names.ok()) << names.failure().description;
    EXPECT_EQ(*names, std::vector<std::string>{kPdfPrinter});
    const Status listing = printers->listing_status();
    ASSERT_FALSE(listing.ok());
    EXPECT_TRUE(listing.failure().is(ErrorNumber::PrinterError));
    EXPECT_EQ(listing.failure().description, "The print server does not answer");

    for (const std::string queue : {"office", "kt482-test"}) {
        start = Clock::now();
        auto opened = printers->open_printer(queue);
        EXPECT_LT(Clock::now() - start, 3s) << queue;
        ASSERT_FALSE(opened.ok()) << queue;
        EXPECT_TRUE(opened.failure().is(ErrorNumber::PrinterError)) << queue;
        start = Clock::now();
        EXPECT_FALSE(printers->printer_settings(queue).ok()) << queue;
        EXPECT_LT(Clock::now() - start, 3s) << queue;
    }

    // The PDF printer never asks the server: asking this one would take the
    // whole deadline. A second leaves room for a busy machine and the
    // sanitizers.
    start = Clock::now();
    auto pdf = printers->open_printer(kPdfPrinter);
    EXPECT_LT(Clock::now() - start, 1s);
    ASSERT_TRUE(pdf.ok());
    EXPECT_EQ((*pdf)->DeviceName(), kPdfPrinter);
}

INSTANTIATE_TEST_SUITE_P(Servers, QtPrinterSystemWithHungServer,
                         testing::Values(HungServer{"SilentUnixSocket", ServerBehaviour::NeverReply, false},
                                         HungServer{"SilentLoopback", ServerBehaviour::NeverReply, true},
                                         HungServer{"StallsAfterProbeUnixSocket", ServerBehaviour::ProbeOnly, false},
                                         HungServer{"StallsAfterProbeLoopback", ServerBehaviour::ProbeOnly, true},
                                         HungServer{"DripsItsReplies", ServerBehaviour::Drip, false},
                                         HungServer{"SendsAnEndlessHeader", ServerBehaviour::EndlessHeader, true}),
                         [](const testing::TestParamInfo<HungServer>& info) { return std::string(info.param.name); });

// A server that answers lists every printer.
TEST(QtPrinterSystemWithoutServer, ListingOfAnAbsentServerIsComplete)
{
    TempFolder folder;
    ScopedEnv cups_server("CUPS_SERVER", folder.path() + "/nothing.sock");
    auto printers = make_qt_printer_system(pdf_printer_makers());
    ASSERT_TRUE(printers->installed_printers().ok());
    EXPECT_TRUE(printers->listing_status().ok());
}

}  // namespace
}  // namespace kt482
