#include "preview/preview_background.h"

#include <functional>

#include "image/pdf_page_picture.h"
#include "image/picture_cache.h"
#include "image/picture_decoder.h"
#include "image/picture_file.h"
#include "job/error_trap.h"
#include "job/job_state.h"
#include "render/render_target.h"

namespace kt482 {
namespace {

// A PDF page is rendered once, sharp enough for the preview's largest zooms
// of an A4 page without reaching the picture limit.
constexpr double kPdfBackgroundDpi = 200.0;

Result<DecodedPicture> decode_background(const std::vector<uint8_t>& bytes)
{
    if (looks_like_pdf(bytes))
        return render_pdf_first_page(bytes, kPdfBackgroundDpi);
    return decode_picture(bytes);
}

Result<std::shared_ptr<const LoadedPicture>> load_background(const std::string& path)
{
    FileIdentity identity;
    auto bytes = read_picture_file(path, identity);
    if (!bytes)
        return bytes.failure();
    auto decoded = decode_background(*bytes);
    if (!decoded) {
        Failure failure = decoded.failure();
        failure.description = "The background is no PNG, JPEG or PDF file: " + path + " (" + failure.description + ")";
        return failure;
    }
    auto loaded = std::make_shared<LoadedPicture>();
    loaded->decoded = std::move(*decoded);
    // Apart from the pictures of the pages, which the cache numbers.
    const std::size_t id = std::hash<std::string>{}("background\n" + path) ^ identity.inode ^
                           static_cast<std::size_t>(identity.changed_ns);
    loaded->id = id ? id : 1;
    return std::shared_ptr<const LoadedPicture>(std::move(loaded));
}

}  // namespace

void V_Background(ObjectFields& self, const std::string& file)
{
    run_trapped(self, "V_Background", [&] {
        JobState& s = job();
        if (file.empty()) {
            s.PreviewBackground = nullptr;
            return;
        }
        s.PreviewBackground = must(load_background(absolute_picture_path(file)));
    });
}

void V_BackgroundInPdf(ObjectFields& self, bool include)
{
    run_trapped(self, "V_BackgroundInPdf", [&] { job().BackgroundInSavedPdf = include; });
}

// The page's corner is where the grid's origin is before the margins: the
// scroll moves it, the magnification scales the page.
void draw_preview_background()
{
    const JobState& s = job();
    if (!s.PreviewBackground)
        return;
    const bool on_preview = s.OutputTarget == OutputTarget::Preview;
    const bool on_saved_pdf = s.OutputTarget == OutputTarget::Printer && s.SavingPreviewPdf && s.BackgroundInSavedPdf;
    if (!on_preview && !on_saved_pdf)
        return;
    const float scale = s.Bairitu > 0 ? s.Bairitu : 1.0f;
    on_target(current_target().Image(-s.ScrollX, -s.ScrollY, s.PageWidth * scale, s.PageHeight * scale,
                                     s.PreviewBackground->view()));
}

}  // namespace kt482
