#include <gtest/gtest.h>

#include <QFont>
#include <QFontInfo>
#include <QString>

#include "platform/qt/qt_application.h"

namespace kt482 {
namespace {

QString resolved_family(const char* utf8_family)
{
    ensure_qt_application();
    return QFontInfo(QFont(QString::fromUtf8(utf8_family))).family();
}

// fontconfig on its own maps these names to some Latin font; only the
// substitutions make them resolve to the IPA fonts.
TEST(FontSubstitution, ClassicJapaneseFamiliesResolveToIpaFonts)
{
    EXPECT_EQ(resolved_family("ＭＳ 明朝"), "IPAMincho");
    EXPECT_EQ(resolved_family("MS Mincho"), "IPAMincho");
    EXPECT_EQ(resolved_family("ＭＳ ゴシック"), "IPAGothic");
    EXPECT_EQ(resolved_family("MS Gothic"), "IPAGothic");
    EXPECT_EQ(resolved_family("ＭＳ Ｐ明朝"), "IPAPMincho");
    EXPECT_EQ(resolved_family("MS PMincho"), "IPAPMincho");
    EXPECT_EQ(resolved_family("ＭＳ Ｐゴシック"), "IPAPGothic");
    EXPECT_EQ(resolved_family("MS PGothic"), "IPAPGothic");
}

}  // namespace
}  // namespace kt482
