#include "checking_surface.h"

#include <cmath>

#include "fuzz_check.h"
#include "job/number_text.h"

namespace kt482::fuzz {
namespace {

template <typename... Numbers>
bool finite(Numbers... values)
{
    return (std::isfinite(values) && ...);
}

}  // namespace

Status CheckingSurface::FontName(std::string_view face)
{
    KT482_FUZZ_CHECK(!face.empty());
    return {};
}

Status CheckingSurface::FontSize(float points)
{
    KT482_FUZZ_CHECK(finite(points) && points > 0);
    font_size_ = points;
    return {};
}

Status CheckingSurface::CurrentX(float x)
{
    KT482_FUZZ_CHECK(finite(x));
    x_ = x;
    return {};
}

Status CheckingSurface::CurrentY(float y)
{
    KT482_FUZZ_CHECK(finite(y));
    y_ = y;
    return {};
}

Status CheckingSurface::Print(std::string_view text, LineEnd end)
{
    x_ += TextWidth(text);
    if (end == LineEnd::With) {
        x_ = 0;
        y_ += font_size_;
    }
    return {};
}

// Six points a character at the face's own width, as the tests' recording
// surface measures.
float CheckingSurface::TextWidth(std::string_view text)
{
    return static_cast<float>(count_code_points(text)) * 6 * scale_;
}

Status CheckingSurface::Line(float x1, float y1, float x2, float y2)
{
    KT482_FUZZ_CHECK(finite(x1, y1, x2, y2));
    return {};
}

Status CheckingSurface::FillRect(float x, float y, float width, float height)
{
    KT482_FUZZ_CHECK(finite(x, y, width, height));
    return {};
}

Status CheckingSurface::Image(float x, float y, float width, float height, const ImagePixels& picture)
{
    KT482_FUZZ_CHECK(finite(x, y, width, height));
    KT482_FUZZ_CHECK(picture.id != 0 && picture.width > 0 && picture.height > 0);
    const auto pixels = static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
    KT482_FUZZ_CHECK(picture.pixels.size() == pixels * static_cast<std::size_t>(picture.channels));
    KT482_FUZZ_CHECK(picture.alpha.empty() || picture.alpha.size() == pixels);
    return {};
}

Status CheckingSurface::HorizontalScale(float ratio)
{
    KT482_FUZZ_CHECK(finite(ratio) && ratio > 0 && ratio <= 1);
    scale_ = ratio;
    return {};
}

// The paper codes the recording surface has paper for; others keep the
// printer's own.
Status CheckingSurface::PaperSize(int16_t code)
{
    if (code != 1 && code != 8 && code != 9 && code != 11 && code != 256)
        return Failure(ErrorNumber::InvalidPropertyValue);
    paper_size_ = code;
    return {};
}

}  // namespace kt482::fuzz
