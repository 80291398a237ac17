// Qt's own dialogs in the user's language: the application the library
// creates loads Qt's translations for the locale of LANG. Each case needs a
// process whose application is not made yet (ctest runs every case alone).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

#include <string>

#include "platform/qt/qt_application.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

using test::ScopedEnv;

struct LanguageCase {
    const char* lang;
    const char* cancel;      // the dialog's Cancel button
    const char* properties;  // the printer's Properties button, without its &
    const char* advanced;    // the printer properties' tab of further options
};

class DialogLanguage : public testing::TestWithParam<LanguageCase> {};

TEST_P(DialogLanguage, PrinterSetupButtonsFollowLang)
{
    if (QCoreApplication::instance())
        GTEST_SKIP() << "the application exists already; run this case in a process of its own";
    const LanguageCase& c = GetParam();
    ScopedEnv all("LC_ALL", std::nullopt), messages("LC_MESSAGES", std::nullopt), language("LANGUAGE", std::nullopt);
    ScopedEnv lang("LANG", c.lang);
    ensure_qt_application();

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    QPrintDialog dialog(&printer);
    auto* box = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(box, nullptr);
    ASSERT_NE(box->button(QDialogButtonBox::Cancel), nullptr);
    EXPECT_EQ(box->button(QDialogButtonBox::Cancel)->text().toStdString(), c.cancel);
    auto* properties = dialog.findChild<QPushButton*>(QStringLiteral("properties"));
    ASSERT_NE(properties, nullptr);
    EXPECT_EQ(properties->text().remove(QLatin1Char('&')).toStdString(), c.properties);
    // Qt's Japanese lacks this tab's name; the library's catalog has it.
    EXPECT_EQ(QCoreApplication::translate("QPrintPropertiesWidget", "Advanced").toStdString(), c.advanced);
}

INSTANTIATE_TEST_SUITE_P(Locales, DialogLanguage,
                         testing::Values(LanguageCase{"ja_JP.UTF-8", "キャンセル", "プロパティ(R)", "詳細設定"},
                                         LanguageCase{"C.UTF-8", "Cancel", "Properties", "Advanced"}),
                         [](const testing::TestParamInfo<LanguageCase>& info) {
                             return info.index == 0 ? std::string("Japanese") : std::string("C");
                         });

}  // namespace
}  // namespace kt482
