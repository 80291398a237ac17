#include "page_replay_support.h"

#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "fuzz_check.h"
#include "job/job_state.h"
#include "job/page_file_names.h"
#include "platform/services.h"
#include "support/picture_files.h"

namespace kt482::fuzz {
namespace {

// Written under a temporary name and renamed, so that targets starting side
// by side never read half a picture.
void write_picture(const std::string& name, const std::vector<uint8_t>& bytes)
{
    const std::string path = std::string(kPictureFolder) + "/" + name;
    const std::string temporary = path + "." + std::to_string(::getpid());
    test::write_file(temporary, bytes);
    std::filesystem::rename(temporary, path);
}

void make_pictures()
{
    std::filesystem::create_directories(std::string(kPictureFolder));
    std::vector<uint8_t> rgba;
    for (int i = 0; i < 12 * 8; ++i)
        rgba.insert(rgba.end(), {200, 30, 30, static_cast<uint8_t>(i * 2)});
    write_picture("logo.png", test::png_bytes(12, 8, 4, rgba));
    write_picture("photo-cmyk.jpg", test::jpeg_bytes(16, 8, 4, test::solid(16, 8, {0, 200, 255, 0})));
}

}  // namespace

const std::string& spool_folder()
{
    static const std::string folder = [] {
        std::error_code ignored;
        const std::filesystem::path base = !std::getenv("TMPDIR") && std::filesystem::is_directory("/dev/shm", ignored)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string templ = (base / "kt482-fuzz-XXXXXX").string();
        if (!mkdtemp(templ.data()))
            std::abort();
        return templ;
    }();
    static const bool removed_at_exit = std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(spool_folder(), ignored);
    }) == 0;
    (void)removed_at_exit;
    return folder;
}

Result<FileHandle> InputPage::free_handle()
{
    return open_ == 1 ? FileHandle{2} : FileHandle{1};
}

Status InputPage::open(FileHandle handle, const std::string& path)
{
    if (open_ != 0)
        return Failure(ErrorNumber::FileAlreadyOpen);
    static const std::string page_1 = PageFileName(spool_folder(), 1);
    if (path != page_1)
        return Failure(ErrorNumber::FileNotFound);
    open_ = handle;
    return {};
}

Status InputPage::append(FileHandle, std::string_view)
{
    return Failure(ErrorNumber::PermissionDenied);
}

Result<std::size_t> InputPage::read_at(FileHandle handle, uint64_t pos, std::span<char> out)
{
    if (!is_open(handle))
        return Failure(ErrorNumber::BadFileNameOrNumber);
    if (pos >= bytes_.size())
        return std::size_t{0};
    const std::size_t count = std::min(out.size(), bytes_.size() - static_cast<std::size_t>(pos));
    std::copy_n(bytes_.data() + pos, count, out.data());
    return count;
}

Result<uint64_t> InputPage::length(FileHandle handle)
{
    if (!is_open(handle))
        return Failure(ErrorNumber::BadFileNameOrNumber);
    return uint64_t{bytes_.size()};
}

Status InputPage::close(FileHandle handle)
{
    if (is_open(handle))
        open_ = 0;
    return {};
}

Status InputPage::close_all()
{
    open_ = 0;
    return {};
}

Status InputPage::remove(const std::string&)
{
    return Failure(ErrorNumber::PermissionDenied);
}

Status InputPage::remove_matching(const std::string&)
{
    return Failure(ErrorNumber::PermissionDenied);
}

ReplayServices& replay_services()
{
    static ReplayServices services;
    static ScopedServices scoped(&services.sink, &services.printers, &services.page);
    return services;
}

void prepare_page()
{
    static const bool pictures_made = (make_pictures(), true);
    (void)pictures_made;
    JobState& s = job();
    set_fixed_defaults(s);
    s.Temp_Dir = spool_folder();
    s.Min_Page = 1;
    s.Max_Page = 1;
    s.FontScale = 0;
    s.MeasuredFontSize = 0;
    // The font a new object takes from the default printer, so that a replay
    // starts from the same state whatever the inputs before it set: a page
    // whose font records keep the face finds one.
    const PrinterSettings& printer = replay_services().printers.settings;
    s.FontName = printer.font_name;
    s.FontSize = printer.font_size;
    s.FontBold = printer.font_bold;
}

void check_replay(test::MessageSink& sink, Files& files)
{
    // A damaged record, an unreadable picture, an item left out: each is
    // reported under the procedure that met it, never without a text.
    for (const auto& message : sink.messages) {
        KT482_FUZZ_CHECK(message.title.starts_with("KT482_Print : ZZ100_"));
        KT482_FUZZ_CHECK(!message.text.empty());
    }
    sink.messages.clear();
    // The page was read through a handle of its own, closed again.
    KT482_FUZZ_CHECK(!files.is_open(1));
}

}  // namespace kt482::fuzz
