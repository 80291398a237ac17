// Stationery on the private print server's queues (scripts/test-cupsd): the
// offset measured in the PDF each job carried to the server, the paper
// source and kind in the job's IPP attributes, and the job states the test
// backend drives (kt482-trays prints, kt482-fails fails, kt482-stops runs out
// of paper and stops its queue).
#include <gtest/gtest.h>

#include <cups/cups.h>

#include <QComboBox>
#include <QDialog>
#include <QPrintDialog>
#include <QStringList>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>

#include "kt482/kt482.h"
#include "platform/qt/qt_preview_window.h"
#include "platform/qt/qt_print_dialog.h"
#include "print/printer_table.h"
#include "support/fake_server.h"
#include "support/poppler.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ScopedEnv;
using Clock = std::chrono::steady_clock;

constexpr double kPointsPerMm = 72.0 / 25.4;

// The job's attributes at the server, as text: name to first value.
std::map<std::string, std::string> job_attributes(int job_id)
{
    cupsSetServer(nullptr);
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", ippPort(), "/jobs/%d",
                     job_id);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "all");
    ipp_t* reply = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    std::map<std::string, std::string> attributes;
    for (ipp_attribute_t* a = reply ? ippFirstAttribute(reply) : nullptr; a; a = ippNextAttribute(reply)) {
        char value[1024];
        if (ippGetName(a) && ippAttributeString(a, value, sizeof value) > 0)
            attributes[ippGetName(a)] = value;
    }
    ippDelete(reply);
    return attributes;
}

// Stops a queue, lets it print again, makes it refuse or take jobs, as its
// administrator would.
void administer_queue(const std::string& queue, ipp_op_t operation)
{
    cupsSetServer(nullptr);
    ipp_t* request = ippNewRequest(operation);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", ippPort(),
                     "/printers/%s", queue.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/admin/"));
}

void resume_queue(const std::string& queue)
{
    administer_queue(queue, IPP_OP_RESUME_PRINTER);
}

class StationeryCupsPrinting : public testing::Test {
protected:
    void SetUp() override
    {
        const char* socket = std::getenv("KT482_TEST_CUPS_SERVER");
        if (!socket || !*socket)
            GTEST_SKIP() << "KT482_TEST_CUPS_SERVER is not set: start a private server with "
                            "eval \"$(scripts/test-cupsd)\"";
        server_.emplace("CUPS_SERVER", socket);
        const char* dir = std::getenv("KT482_TEST_CUPSD_DIR");
        spool_dir_ = dir ? std::string(dir) + "/spool" : "";
        job_.P_Temp_Dir(folder_.path());
        job_.E_StartEdit();
        job_.E_Pitch(15, 6);
        job_.E_Font("ＭＳ 明朝", 10.5f, false, 0);
        job_.E_String(5, 10, "MARK");
        job_.E_EndEdit();
        testing::internal::CaptureStderr();
    }

    void TearDown() override
    {
        if (server_)
            (void)testing::internal::GetCapturedStderr();
    }

    // What went to standard error since the last look.
    std::string take_stderr()
    {
        std::string text = testing::internal::GetCapturedStderr();
        testing::internal::CaptureStderr();
        return text;
    }

    // Prints the page on the printer after the choices; the job's number,
    // 0 when no new job reached the server. The number the job state keeps
    // is the last one any object sent: a print that sent nothing must not
    // hand on the job before it.
    template <class Choices>
    int print_on(const std::string& printer, Choices&& choices)
    {
        const int before = job_.LastJobId();
        job_.W_Device(printer);
        choices();
        job_.W_StartDoc(9, 1);
        job_.W_Print();
        job_.W_EndDoc();
        const int sent = job_.LastJobId();
        if (sent <= 0 || sent == before) {
            ADD_FAILURE() << "no job reached " << printer << ": " << job_.LastFailure().description;
            return 0;
        }
        return sent;
    }
    int print_on(const std::string& printer)
    {
        return print_on(printer, [] {});
    }

    // Where MARK lies in the document as the server received it, in points
    // from the page's top left corner.
    // A busy server may still be writing the document when the job's
    // number comes back: it is read again for a few seconds.
    std::optional<std::pair<double, double>> mark_in_job(int job_id)
    {
        if (job_id <= 0)
            return std::nullopt;
        char name[32];
        std::snprintf(name, sizeof name, "/d%05d-001", job_id);
        const std::string file = spool_dir_ + name;
        for (const auto until = Clock::now() + 5s; Clock::now() < until; std::this_thread::sleep_for(100ms)) {
            if (!fs::exists(file))
                continue;
            for (const auto& word : test::pdf_words(file))
                if (word.text == "MARK")
                    return std::pair{word.x_min, word.y_min};
        }
        return std::nullopt;
    }

    void need_job_documents()
    {
        if (spool_dir_.empty())
            GTEST_SKIP() << "KT482_TEST_CUPSD_DIR is not set: the jobs' documents cannot be read";
        if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
            GTEST_SKIP() << tool << " is not installed: the jobs' documents are not read back";
    }

    test::TempFolder folder_;
    test::TempFolder config_;
    ScopedEnv config_home_{"XDG_CONFIG_HOME", config_.path()};
    std::optional<ScopedEnv> server_;
    std::string spool_dir_;
    KT482_Print job_;
};

// The offset moves the page on the queue by exactly what was asked, from
// SetPrintOffset or the printer table, and an offset beyond the limit or not
// a number is refused and moves nothing.
TEST_F(StationeryCupsPrinting, OffsetsMoveWhatTheQueueReceives)
{
    need_job_documents();
    // An earlier run may have left the queue stopped or refusing jobs.
    administer_queue("kt482-trays", IPP_OP_RESUME_PRINTER);
    administer_queue("kt482-trays", IPP_OP_CUPS_ACCEPT_JOBS);
    const auto plain = mark_in_job(print_on("kt482-trays"));
    ASSERT_TRUE(plain);

    struct Row {
        float x, y;
        bool taken;
    };
    std::pair<double, double> expected = *plain;
    for (const Row row : {Row{5, -3, true}, Row{25, 0, false}, Row{NAN, 1, false}, Row{-20, 20, true}}) {
        job_.ClearLastFailure();
        const int id = print_on("kt482-trays", [&] { job_.SetPrintOffset(row.x, row.y); });
        EXPECT_EQ(job_.LastFailure().number, row.taken ? 0 : 380) << row.x << "," << row.y;
        if (row.taken)
            expected = {plain->first + row.x * kPointsPerMm, plain->second + row.y * kPointsPerMm};
        else
            expected = *plain;  // a new selection starts unmoved
        const auto moved = mark_in_job(id);
        ASSERT_TRUE(moved) << "job " << id;
        EXPECT_NEAR(moved->first, expected.first, 0.3) << row.x << "," << row.y;
        EXPECT_NEAR(moved->second, expected.second, 0.3) << row.x << "," << row.y;
    }

    // The table's offset for the queue applies at every selection of it; its
    // entry for the PDF printer is not taken.
    const std::string table = printer_table_path();
    ASSERT_TRUE(store_print_offset(table, "kt482-trays", {2, 1}).ok());
    ASSERT_TRUE(store_print_offset(table, "KT482 PDF", {7, 7}).ok());
    const auto stored = mark_in_job(print_on("kt482-trays"));
    ASSERT_TRUE(stored);
    EXPECT_NEAR(stored->first - plain->first, 2 * kPointsPerMm, 0.3);
    EXPECT_NEAR(stored->second - plain->second, 1 * kPointsPerMm, 0.3);
    EXPECT_EQ(job_.LastFailure().number, 0);
}

// The source and kind go with the job; a name the queue does not list is
// refused with the ones it does, and the choice stays.
TEST_F(StationeryCupsPrinting, SourceAndMediaTypeReachTheJob)
{
    const int id = print_on("kt482-trays", [&] {
        job_.P_PRT_Source("manual");
        job_.P_PRT_MediaType("envelope");
    });
    ASSERT_GT(id, 0);
    EXPECT_EQ(job_.LastFailure().number, 0) << job_.LastFailure().description;
    const auto attributes = job_attributes(id);
    ASSERT_TRUE(attributes.count("media-source")) << "no media-source in job " << id;
    EXPECT_EQ(attributes.at("media-source"), "manual");
    ASSERT_TRUE(attributes.count("media-type")) << "no media-type in job " << id;
    EXPECT_EQ(attributes.at("media-type"), "envelope");
    RecordProperty("media_source", attributes.at("media-source"));
    RecordProperty("media_type", attributes.at("media-type"));

    job_.W_Device("kt482-trays");
    job_.P_PRT_Source("tray-1");
    job_.P_PRT_Source("tray-9");
    EXPECT_EQ(job_.LastFailure().number, 380);
    EXPECT_NE(job_.LastFailure().description.find("manual"), std::string::npos) << job_.LastFailure().description;
    EXPECT_EQ(job_.P_PRT_Source(), "tray-1");
    job_.ClearLastFailure();
    job_.P_PRT_MediaType("parchment");
    EXPECT_EQ(job_.LastFailure().number, 380);
    EXPECT_EQ(job_.P_PRT_MediaType(), "");
    // The PDF printer has no trays.
    job_.W_Device("KT482 PDF");
    job_.ClearLastFailure();
    job_.P_PRT_Source("manual");
    EXPECT_EQ(job_.LastFailure().number, 438);
}

// The printer setup dialog offers the queue's own sources and kinds, as the
// server lists them, and the pick reaches the job; a pick of the printer's
// own sends none.
TEST_F(StationeryCupsPrinting, SetupDialogChoicesReachTheJob)
{
    struct Row {
        const char* source;
        const char* kind;
    };
    for (const Row row : {Row{"manual", "envelope"}, Row{"", ""}}) {
        QStringList sources;
        set_print_dialog_driver([&](QPrintDialog& dialog) {
            auto* printers = dialog.findChild<QComboBox*>(QStringLiteral("printers"));
            auto* source = dialog.findChild<QComboBox*>(QStringLiteral("paperSource"));
            auto* kind = dialog.findChild<QComboBox*>(QStringLiteral("mediaType"));
            if (!printers || !source || !kind) {
                ADD_FAILURE() << "the dialog has no paper lists";
                return dialog.reject();
            }
            printers->setCurrentIndex(printers->findText(QStringLiteral("kt482-trays")));
            for (int i = 0; i < source->count(); ++i)
                sources << source->itemData(i).toString();
            source->setCurrentIndex(source->findData(QString::fromLatin1(row.source)));
            kind->setCurrentIndex(kind->findData(QString::fromLatin1(row.kind)));
            dialog.accept();
        });
        EXPECT_EQ(job_.W_PrtDialog(0, "KT482 PDF", 9, 1, 0, 0), 1);
        set_print_dialog_driver({});
        EXPECT_EQ(sources, (QStringList{QString(), "auto", "manual", "tray-1", "tray-2"}));
        EXPECT_EQ(job_.P_PRT_Source(), row.source);
        EXPECT_EQ(job_.P_PRT_MediaType(), row.kind);
        job_.W_StartDoc(9, 1);
        job_.W_Print();
        job_.W_EndDoc();
        const int id = job_.LastJobId();
        ASSERT_GT(id, 0) << job_.LastFailure().description;
        const auto attributes = job_attributes(id);
        RecordProperty(std::string("dialog_media_source_") + row.source,
                       attributes.count("media-source") ? attributes.at("media-source") : "(none)");
        if (*row.source) {
            EXPECT_EQ(attributes.count("media-source") ? attributes.at("media-source") : "", row.source);
            EXPECT_EQ(attributes.count("media-type") ? attributes.at("media-type") : "", row.kind);
        } else {
            EXPECT_EQ(attributes.count("media-source"), 0u);
            EXPECT_EQ(attributes.count("media-type"), 0u);
        }
    }
}

struct JobCase {
    const char* queue;
    const char* final_state;  // empty: the job never ends
    const char* reason;       // one of the printer's reasons then
};

class StationeryJobStates : public StationeryCupsPrinting, public testing::WithParamInterface<JobCase> {};

TEST_P(StationeryJobStates, EndAsTheBackendMakesThem)
{
    const JobCase& c = GetParam();
    resume_queue(c.queue);
    const int id = print_on(c.queue);
    ASSERT_GT(id, 0) << job_.LastFailure().description;
    const bool ends = *c.final_state != 0;
    const auto start = Clock::now();
    EXPECT_EQ(job_.WaitForJob(id, ends ? 20.0f : 3.0f), ends);
    EXPECT_LT(Clock::now() - start, ends ? 20s : 6s);
    const auto before = Clock::now();
    const JobStatus status = job_.JobState(id);
    EXPECT_LT(Clock::now() - before, 3s);
    RecordProperty(std::string("state_") + c.queue, status.state);
    if (ends) {
        EXPECT_EQ(status.state, c.final_state);
    } else {
        EXPECT_TRUE(status.state == "pending" || status.state == "stopped" || status.state == "processing")
            << status.state;
        EXPECT_NE(std::find(status.reasons.begin(), status.reasons.end(), c.reason), status.reasons.end())
            << status.state;
        // Late-bound, the state and the reasons in one text.
        const Variant text = job_.Invoke("JobState", MemberKind::Method, {Variant(id)}).value;
        ASSERT_TRUE(text.is_text());
        EXPECT_NE(text.as_text().find(c.reason), std::string::npos) << text.as_text();
    }
    EXPECT_EQ(job_.LastFailure().number, 0) << job_.LastFailure().description;
}

INSTANTIATE_TEST_SUITE_P(Backends, StationeryJobStates,
                         testing::Values(JobCase{"kt482-trays", "completed", ""},
                                         JobCase{"kt482-fails", "aborted", ""},
                                         JobCase{"kt482-stops", "", "media-empty"}),
                         [](const testing::TestParamInfo<JobCase>& info) {
                             std::string name = info.param.queue;
                             name.erase(0, name.find('-') + 1);
                             return name;
                         });

// The preview's print button asks the queue first and says, in Japanese,
// that it refuses jobs (nothing is sent) or is stopped (the job waits there).
// Without a display the message is a line "title: text" on standard error.
struct HaltedQueueCase {
    const char* name;
    ipp_op_t halt;
    ipp_op_t undo;
    const char* said;  // then the reasons, which depend on the queue's past
    const char* then;
    bool sent;
};

class StationeryHaltedQueue : public StationeryCupsPrinting, public testing::WithParamInterface<HaltedQueueCase> {};

TEST_P(StationeryHaltedQueue, PreviewPrintButtonSaysSoInJapanese)
{
    const HaltedQueueCase& c = GetParam();
    ScopedEnv all("LC_ALL", std::nullopt), messages("LC_MESSAGES", std::nullopt), language("LANGUAGE", std::nullopt);
    ScopedEnv lang("LANG", "ja_JP.UTF-8");
    const std::string queue = "kt482-stops";
    administer_queue(queue, c.halt);
    struct Undo {
        std::string queue;
        ipp_op_t undo;
        ~Undo() { administer_queue(queue, undo); }
    } undo{queue, c.undo};
    job_.W_Device(queue);
    // The number stays from the last job any object sent.
    const int before = job_.LastJobId();
    take_stderr();
    bool clicked = false;
    set_preview_driver([&](QDialog& dialog) {
        QtPreviewWindow* window = QtPreviewWindow::of(&dialog);
        if (window && QTest::qWaitForWindowActive(&dialog)) {
            QTest::mouseClick(window->widget(PreviewControl::Print), Qt::LeftButton);
            clicked = true;
        }
        if (dialog.isVisible())
            dialog.reject();
    });
    job_.V_Size_Set(9, 1);
    job_.V_Preview();
    set_preview_driver({});
    ASSERT_TRUE(clicked);
    const std::string said = take_stderr();
    const std::size_t head = said.find(std::string("印刷プレビュー: プリンター「kt482-stops」は") + c.said);
    EXPECT_NE(head, std::string::npos) << said;
    EXPECT_NE(said.find(c.then, head), std::string::npos) << said;
    const bool sent = job_.LastJobId() > 0 && job_.LastJobId() != before;
    EXPECT_EQ(sent, c.sent) << said;
    if (sent) {
        EXPECT_EQ(job_.JobState(job_.LastJobId()).state, "pending");
    }
    RecordProperty(std::string("said_") + c.name, said);
}

INSTANTIATE_TEST_SUITE_P(
    States, StationeryHaltedQueue,
    testing::Values(HaltedQueueCase{"Refusing", IPP_OP_CUPS_REJECT_JOBS, IPP_OP_CUPS_ACCEPT_JOBS,
                                    "印刷を受け付けていません", "。\n", false},
                    HaltedQueueCase{"Stopped", IPP_OP_PAUSE_PRINTER, IPP_OP_RESUME_PRINTER,
                                    "停止しています（", "）。印刷はプリンターが再開されるまで待機します。\n", true}),
    [](const testing::TestParamInfo<HaltedQueueCase>& info) { return std::string(info.param.name); });

// A job number the server never gave is a clear failure, at once.
TEST_F(StationeryCupsPrinting, UnknownJobIsReported)
{
    const auto start = Clock::now();
    EXPECT_EQ(job_.JobState(999999).state, "");
    EXPECT_EQ(job_.LastFailure().number, 482);
    EXPECT_FALSE(job_.WaitForJob(999999, 1));
    EXPECT_LT(Clock::now() - start, 4s);
}

}  // namespace
}  // namespace kt482
