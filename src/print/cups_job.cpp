#include "print/cups_job.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "base/paper_table.h"
#include "platform/cups_deadline.h"
#include "platform/cups_probe.h"

namespace kt482 {
namespace {

// A job being cancelled gets a shorter wait: it only tidies up after a
// failure that has already taken its time.
constexpr std::chrono::milliseconds kCancelTimeout{1000};

constexpr std::size_t kChunkBytes = 64 * 1024;

constexpr int kIppPortrait = 3;
constexpr int kIppLandscape = 4;

Failure printer_failure(std::string text)
{
    return Failure(ErrorNumber::PrinterError, std::move(text));
}

Failure silent_server()
{
    return printer_failure("The print server does not answer");
}

// Hundredths of a millimetre, the unit of PWG media sizes.
int hundredths_mm_from_points(double points)
{
    return static_cast<int>(std::lround(points * 2540.0 / 72.0));
}

int hundredths_mm(PaperUnit unit, double length)
{
    return static_cast<int>(std::lround(unit == PaperUnit::Inch ? length * 2540.0 : length * 100.0));
}

// The media of a sheet, short side first: the standard name of a size libcups
// knows, else its custom name.
std::string media_name(int width, int length)
{
    if (width <= 0 || length <= 0)
        return {};
    const pwg_media_t* media = pwgMediaForSize(std::min(width, length), std::max(width, length));
    return media && media->pwg ? media->pwg : std::string();
}

std::string sides_for_duplex(int16_t duplex)
{
    switch (duplex) {
    case 2:
        return "two-sided-long-edge";
    case 3:
        return "two-sided-short-edge";
    default:
        return "one-sided";
    }
}

// The open file of the document, closed at the end of the scope.
class DocumentFile {
public:
    explicit DocumentFile(const std::string& path)
    {
        do {
            fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        } while (fd_ < 0 && errno == EINTR);
        struct stat status{};
        if (fd_ >= 0 && (::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode))) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~DocumentFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    DocumentFile(const DocumentFile&) = delete;
    DocumentFile& operator=(const DocumentFile&) = delete;

    bool is_open() const { return fd_ >= 0; }
    // The bytes read into buffer, 0 at the end, -1 on a read error.
    ssize_t read(std::vector<char>& buffer)
    {
        ssize_t got;
        do {
            got = ::read(fd_, buffer.data(), buffer.size());
        } while (got < 0 && errno == EINTR);
        return got;
    }

private:
    int fd_ = -1;
};

// A connection to the print server whose every wait is bounded: when the
// server neither takes nor sends anything for the timeout, or the exchanges
// since it was opened (or since reply_within) take longer than the timeout
// in all, the operation under way fails and timed_out() tells why.
class ServerConnection {
public:
    ServerConnection() = default;
    ~ServerConnection()
    {
        watchdog_.reset();
        if (http_)
            httpClose(http_);
    }
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    Status open(const CupsEndpoint& endpoint, std::chrono::milliseconds timeout)
    {
        const std::string host = endpoint.socket_path.empty() ? endpoint.host : endpoint.socket_path;
        const int port = endpoint.socket_path.empty() ? endpoint.port : 0;
        int cancel = 0;
        http_ = httpConnect2(host.c_str(), port, nullptr, AF_UNSPEC, cupsEncryption(), 1,
                             static_cast<int>(timeout.count()), &cancel);
        if (!http_)
            return errno == ETIMEDOUT ? silent_server() : printer_failure("The print server cannot be reached");
        httpSetTimeout(http_, std::chrono::duration<double>(timeout).count(), &ServerConnection::give_up, this);
        timeout_ = timeout;
        watchdog_ = std::make_unique<CupsWatchdog>(http_, std::chrono::steady_clock::now() + timeout);
        return {};
    }

    // The document's bytes take as long as they take while the server takes
    // them; the exchanges after them have the timeout in all again.
    void sending_data() { watchdog_->rearm(std::chrono::steady_clock::time_point::max()); }
    void reply_within_timeout() { watchdog_->rearm(std::chrono::steady_clock::now() + timeout_); }

    http_t* get() const { return http_; }
    bool timed_out() const { return timed_out_ || (watchdog_ && watchdog_->fired()); }

    // The failure of the last operation: the silent server, or what libcups
    // reports.
    Failure failure(const std::string& what) const
    {
        if (timed_out())
            return silent_server();
        return printer_failure(what + ": " + cupsLastErrorString());
    }

private:
    static int give_up(http_t*, void* self)
    {
        static_cast<ServerConnection*>(self)->timed_out_ = true;
        return 0;
    }

    http_t* http_ = nullptr;
    bool timed_out_ = false;
    std::chrono::milliseconds timeout_{0};
    std::unique_ptr<CupsWatchdog> watchdog_;
};

struct DestDeleter {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
struct InfoDeleter {
    void operator()(cups_dinfo_t* info) const { cupsFreeDestInfo(info); }
};

// The job attributes of the options, as libcups encodes them.
class JobAttributes {
public:
    explicit JobAttributes(const CupsJobOptions& options)
    {
        add_integer("copies", std::max(options.copies, 1));
        add("multiple-document-handling", options.collate ? "separate-documents-collated-copies"
                                                          : "separate-documents-uncollated-copies");
        if (!options.media.empty())
            add("media", options.media.c_str());
        add_integer("orientation-requested", options.orientation);
        if (!options.sides.empty())
            add("sides", options.sides.c_str());
        if (options.dpi > 0)
            add("printer-resolution", (std::to_string(options.dpi) + "dpi").c_str());
        if (!options.media_source.empty())
            add("media-source", options.media_source.c_str());
        if (!options.media_type.empty())
            add("media-type", options.media_type.c_str());
    }
    ~JobAttributes() { cupsFreeOptions(count_, options_); }
    JobAttributes(const JobAttributes&) = delete;
    JobAttributes& operator=(const JobAttributes&) = delete;

    int count() const { return count_; }
    cups_option_t* options() const { return options_; }

private:
    void add(const char* name, const char* value) { count_ = cupsAddOption(name, value, count_, &options_); }
    void add_integer(const char* name, int value) { count_ = cupsAddIntegerOption(name, value, count_, &options_); }

    int count_ = 0;
    cups_option_t* options_ = nullptr;
};

// The queue as a destination on the server connected to. It is named, not
// looked up: libcups' own lookup asks the server on connections of its own,
// which wait minutes for a silent one. The server finds a class by the same
// address.
std::unique_ptr<cups_dest_t, DestDeleter> queue_dest(const std::string& queue)
{
    cups_dest_t* dests = nullptr;
    const int count = cupsAddDest(queue.c_str(), nullptr, 0, &dests);
    std::unique_ptr<cups_dest_t, DestDeleter> dest(count == 1 ? dests : nullptr);
    if (!dest)
        throw std::bad_alloc();
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                     queue.c_str());
    dest->num_options = cupsAddOption("printer-uri-supported", uri, dest->num_options, &dest->options);
    return dest;
}

// Tidies up after a job that was created but not completed, on a connection
// of its own: the one of the job may be stuck in the middle of a request.
// Best effort; a server that has gone silent keeps the job until it gives up
// on it itself.
void cancel_job(const CupsEndpoint& endpoint, cups_dest_t* dest, int job_id)
{
    ServerConnection connection;
    if (!connection.open(endpoint, kCancelTimeout))
        return;
    (void)cupsCancelDestJob(connection.get(), dest, job_id);
}

// Sends the file's bytes as the job's one document; the job exists already.
Status send_document(ServerConnection& connection, cups_dest_t* dest, cups_dinfo_t* info, int job_id,
                     DocumentFile& file, const std::string& title)
{
    http_t* http = connection.get();
    if (cupsStartDestDocument(http, dest, info, job_id, title.c_str(), CUPS_FORMAT_PDF, 0, nullptr, 1) !=
        HTTP_STATUS_CONTINUE)
        return connection.failure("The print server refused the document");
    connection.sending_data();
    std::vector<char> buffer(kChunkBytes);
    for (;;) {
        const ssize_t got = file.read(buffer);
        if (got < 0) {
            (void)cupsFinishDestDocument(http, dest, info);
            return printer_failure("The document could not be read");
        }
        if (got == 0)
            break;
        if (cupsWriteRequestData(http, buffer.data(), static_cast<std::size_t>(got)) != HTTP_STATUS_CONTINUE)
            return connection.failure("The document could not be sent");
    }
    // A reply that never came is no refusal to libcups: the timeout is asked
    // for as well.
    connection.reply_within_timeout();
    if (cupsFinishDestDocument(http, dest, info) > IPP_STATUS_OK_EVENTS_COMPLETE || connection.timed_out())
        return connection.failure("The print server refused the document");
    return {};
}

}  // namespace

CupsJobOptions cups_job_options(int16_t paper_code, double width_pt, double height_pt, int16_t orientation,
                                int16_t copies, int16_t duplex, int16_t dpi, std::string title)
{
    CupsJobOptions options;
    options.copies = std::max<int>(copies, 1);
    options.collate = true;
    options.sides = sides_for_duplex(duplex);
    options.dpi = std::max<int>(dpi, 0);
    options.title = std::move(title);

    int width = 0;
    int length = 0;
    if (paper_code == kPaperUserDefined) {
        if (std::isfinite(width_pt) && std::isfinite(height_pt)) {
            width = hundredths_mm_from_points(width_pt);
            length = hundredths_mm_from_points(height_pt);
        }
    } else if (const auto entry = paper_entry(paper_code)) {
        width = hundredths_mm(entry->unit, entry->width);
        length = hundredths_mm(entry->unit, entry->height);
    }
    options.media = media_name(width, length);

    // Special case: a page wider than high in portrait lies across its sheet.
    const bool landscape = orientation == kOrientationLandscape;
    const bool turned = !options.media.empty() && width > length;
    options.orientation = landscape != turned ? kIppLandscape : kIppPortrait;
    return options;
}

Result<std::string> send_pdf_to_queue(const std::string& queue, const std::string& pdf_path,
                                      const CupsJobOptions& options, int* job_id_out)
{
    DocumentFile file(pdf_path);
    if (!file.is_open())
        return Failure(ErrorNumber::FileNotFound);

    // The probe answers within its own timeout, name lookup included, and
    // spares a connection to a server that is plainly not there.
    const CupsEndpoint endpoint = cups_endpoint();
    switch (cups_endpoint_state(endpoint, kCupsProbeTimeout)) {
    case CupsServerState::Answers:
        break;
    case CupsServerState::Silent:
        return silent_server();
    case CupsServerState::Absent:
        return printer_failure("The print server cannot be reached");
    }

    ServerConnection connection;
    if (Status opened = connection.open(endpoint, kCupsReplyTimeout); !opened)
        return opened.failure();
    const auto dest = queue_dest(queue);
    std::unique_ptr<cups_dinfo_t, InfoDeleter> info(cupsCopyDestInfo(connection.get(), dest.get()));
    if (!info || connection.timed_out()) {
        if (!connection.timed_out() && cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND)
            return printer_failure("No printer of that name is installed");
        return connection.failure("The printer cannot be queried");
    }

    const JobAttributes attributes(options);
    int job_id = 0;
    if (cupsCreateDestJob(connection.get(), dest.get(), info.get(), &job_id, options.title.c_str(),
                          attributes.count(), attributes.options()) > IPP_STATUS_OK_EVENTS_COMPLETE ||
        connection.timed_out() || job_id <= 0) {
        if (job_id > 0)
            cancel_job(endpoint, dest.get(), job_id);
        return connection.failure("The print server refused the job");
    }
    if (Status sent = send_document(connection, dest.get(), info.get(), job_id, file, options.title); !sent) {
        cancel_job(endpoint, dest.get(), job_id);
        return sent.failure();
    }
    if (job_id_out)
        *job_id_out = job_id;
    return "job " + std::to_string(job_id) + " on " + queue;
}

}  // namespace kt482
