#include "platform/cups_queue_status.h"

#include <cups/cups.h>

#include <array>
#include <memory>
#include <string_view>

#include "platform/cups_deadline.h"
#include "platform/cups_probe.h"

namespace kt482 {
namespace {

// With the probe's second, every query stays within 3 seconds.
constexpr std::chrono::milliseconds kStatusQueryTimeout{1500};

struct IppDeleter {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using IppMessage = std::unique_ptr<ipp_t, IppDeleter>;

Failure printer_failure(std::string text)
{
    return Failure(ErrorNumber::PrinterError, std::move(text));
}

Status server_answers()
{
    switch (cups_server_state(kCupsProbeTimeout)) {
    case CupsServerState::Answers:
        return {};
    case CupsServerState::Silent:
        return printer_failure("The print server does not answer");
    case CupsServerState::Absent:
        break;
    }
    return printer_failure("The print server cannot be reached");
}

std::string printer_uri(const std::string& queue)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                     queue.c_str());
    return uri;
}

// Sends the request on the thread's default connection under a deadline; the
// reply, or the failure of the operation named.
Result<IppMessage> ask(ipp_t* request, const std::string& what)
{
    if (Status up = server_answers(); !up)
        return up.failure();
    CupsDeadline deadline(kStatusQueryTimeout);
    IppMessage reply(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
    if (deadline.expired())
        return printer_failure("The print server does not answer");
    if (!reply || ippGetStatusCode(reply.get()) > IPP_STATUS_OK_EVENTS_COMPLETE)
        return printer_failure(what + ": " + cupsLastErrorString());
    return reply;
}

Result<IppMessage> printer_attributes(const std::string& uri, const std::vector<const char*>& names)
{
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(names.size()), nullptr, names.data());
    return ask(request, "The printer cannot be queried");
}

std::vector<std::string> strings_of(ipp_t* reply, const char* name)
{
    std::vector<std::string> values;
    ipp_attribute_t* attr = ippFindAttribute(reply, name, IPP_TAG_ZERO);
    for (int i = 0; attr && i < ippGetCount(attr); ++i) {
        if (const char* value = ippGetString(attr, i, nullptr))
            values.emplace_back(value);
    }
    return values;
}

// printer-state-reasons as the host reads them: without "none" and without
// the severity suffix.
std::vector<std::string> reasons_of(ipp_t* reply)
{
    std::vector<std::string> reasons;
    for (std::string reason : strings_of(reply, "printer-state-reasons")) {
        if (reason == "none")
            continue;
        for (std::string_view suffix : {"-error", "-warning", "-report"}) {
            if (reason.size() > suffix.size() && reason.ends_with(suffix)) {
                reason.resize(reason.size() - suffix.size());
                break;
            }
        }
        reasons.push_back(std::move(reason));
    }
    return reasons;
}

std::string state_name(int state)
{
    switch (state) {
    case IPP_JSTATE_PENDING: return "pending";
    case IPP_JSTATE_HELD: return "held";
    case IPP_JSTATE_PROCESSING: return "processing";
    case IPP_JSTATE_STOPPED: return "stopped";
    case IPP_JSTATE_CANCELED: return "canceled";
    case IPP_JSTATE_ABORTED: return "aborted";
    case IPP_JSTATE_COMPLETED: return "completed";
    default: return "unknown";
    }
}

}  // namespace

Result<std::vector<std::string>> cups_supported_values(const std::string& queue, const std::string& attribute)
{
    const std::string supported = attribute + "-supported";
    auto reply = printer_attributes(printer_uri(queue), {supported.c_str()});
    if (!reply)
        return reply.failure();
    return strings_of(reply->get(), supported.c_str());
}

Result<PaperChoices> cups_paper_choices(const std::string& queue)
{
    auto reply = printer_attributes(printer_uri(queue), {"media-source-supported", "media-type-supported"});
    if (!reply)
        return reply.failure();
    return PaperChoices{strings_of(reply->get(), "media-source-supported"),
                        strings_of(reply->get(), "media-type-supported")};
}

Result<QueueState> cups_queue_state(const std::string& queue)
{
    auto reply = printer_attributes(printer_uri(queue), {"printer-state", "printer-state-reasons",
                                                         "printer-is-accepting-jobs", "printer-state-message"});
    if (!reply)
        return reply.failure();
    QueueState state;
    ipp_attribute_t* attr = ippFindAttribute(reply->get(), "printer-state", IPP_TAG_ENUM);
    state.stopped = attr && ippGetInteger(attr, 0) == IPP_PSTATE_STOPPED;
    attr = ippFindAttribute(reply->get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
    state.accepting = !attr || ippGetBoolean(attr, 0);
    state.reasons = reasons_of(reply->get());
    if (const auto message = strings_of(reply->get(), "printer-state-message"); !message.empty())
        state.message = message.front();
    return state;
}

Result<JobStatus> cups_job_status(int job_id)
{
    if (job_id <= 0)
        return printer_failure("No job of that number: " + std::to_string(job_id));
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", ippPort(), "/jobs/%d",
                     job_id);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    const std::array<const char*, 2> names{"job-state", "job-printer-uri"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", names.size(), nullptr,
                  names.data());
    auto reply = ask(request, "The job cannot be queried");
    if (!reply)
        return reply.failure();
    JobStatus status;
    ipp_attribute_t* state = ippFindAttribute(reply->get(), "job-state", IPP_TAG_ENUM);
    status.state = state_name(state ? ippGetInteger(state, 0) : 0);
    const auto printer = strings_of(reply->get(), "job-printer-uri");
    if (printer.empty())
        return status;
    auto printer_reply = printer_attributes(printer.front(), {"printer-state-reasons"});
    if (!printer_reply)
        return printer_reply.failure();
    status.reasons = reasons_of(printer_reply->get());
    return status;
}

}  // namespace kt482
