// What the page-replay targets share: a spool folder of their own, the
// pictures their seeds name, the job state a replay starts from, and the
// checks that hold for every page, damaged or not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "support/fakes.h"

namespace kt482::fuzz {

// The folder the seeds' pictures are in; the targets write them there at
// start ("logo.png" with transparency, "photo-cmyk.jpg" in CMYK).
inline constexpr std::string_view kPictureFolder = "/tmp/kt482-fuzz-pictures";

// A folder of its own, in memory when the machine has /dev/shm, removed at
// exit.
const std::string& spool_folder();

// The spool's file service for a replay: page 1 of the spool folder is the
// input itself, held in memory (every other name is missing), so that a
// replay costs no file system calls. Appends and deletions are refused.
class InputPage final : public Files {
public:
    void set(const uint8_t* data, std::size_t size) { bytes_ = {reinterpret_cast<const char*>(data), size}; }

    Result<FileHandle> free_handle() override;
    Status open(FileHandle handle, const std::string& path) override;
    Status append(FileHandle handle, std::string_view bytes) override;
    Result<std::size_t> read_at(FileHandle handle, uint64_t pos, std::span<char> out) override;
    Result<uint64_t> length(FileHandle handle) override;
    bool is_open(FileHandle handle) const override { return handle == open_ && open_ != 0; }
    Status close(FileHandle handle) override;
    Status close_all() override;
    Status remove(const std::string& path) override;
    Status remove_matching(const std::string& pattern) override;

private:
    std::string_view bytes_;
    FileHandle open_ = 0;
};

// What a replay runs with, set up for the process on the first call:
// messages go to the sink, printers are fakes, and the spool's page is the
// input.
struct ReplayServices {
    test::MessageSink sink;
    test::FakePrinters printers;
    InputPage page;
};
ReplayServices& replay_services();

// Sets the job state a replay of page 1 starts from, the same for every
// replay. The pictures are made on the first call.
void prepare_page();

// What a replay must leave, whatever the page held: every message titled by
// the renderer's procedure with a text, the page file closed again. The
// messages are then cleared. Aborts on a fault.
void check_replay(test::MessageSink& sink, Files& files);

}  // namespace kt482::fuzz
