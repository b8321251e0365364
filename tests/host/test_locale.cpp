// The program's locale: Chinese whatever the machine's, from start-up on.
#include "untLocale.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateEdit>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <gtest/gtest.h>

TEST(ProgramLocale, DatesNumbersAndDialogTextsAreChineseWhateverTheMachine)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    UseProgramLocale(QString());
    const QLocale locale;
    EXPECT_EQ(locale.language(), QLocale::Chinese);
    EXPECT_EQ(locale.toString(QDate(2026, 12, 18), QLocale::LongFormat).left(11), QStringLiteral("2026年12月18日"));
    EXPECT_EQ(locale.toString(1234.5, 'f', 1), QStringLiteral("1,234.5"));
    // A date box made afterwards shows the date the Chinese way, not "18 Dec 2026".
    QDateEdit edit(QDate(2026, 12, 18));
    EXPECT_FALSE(edit.text().contains(QStringLiteral("Dec")));
    EXPECT_TRUE(edit.text().startsWith(QStringLiteral("2026"))) << edit.text().toStdString();
    // The platform's buttons say 确定 from the first box on.
    if (QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_zh_CN.qm")) {
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("确定"));
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    }
    QLocale::setDefault(before);
}
