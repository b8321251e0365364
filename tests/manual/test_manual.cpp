// The build leaves the user manual beside the program, where the main window's
// F1 looks for it: a PDF with pages, its title and its chapters; and the
// names the text gives to what the program shows.
#include "FilterControl.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

TEST(UserManual, ThePdfLiesBesideTheProgramAndHasPages)
{
    QFile pdf(QCoreApplication::applicationDirPath() + QStringLiteral("/Korvane-用户手册.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly)) << pdf.fileName().toStdString();
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    EXPECT_TRUE(bytes.trimmed().endsWith("%%EOF"));
    // Each page object is "/Type /Page" (the page tree is "/Type /Pages").
    const QString text = QString::fromLatin1(bytes);
    const qsizetype pages = text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?!s)")));
    EXPECT_GE(pages, 2);
}

namespace {

QString manualText()
{
    QFile f(QStringLiteral(KORVANE_MANUAL_SOURCE));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << f.fileName().toStdString();
    return QString::fromUtf8(f.readAll());
}

} // namespace

// The filter chapter lists operators the filter dialog offers, by the names it shows.
TEST(UserManual, TheFilterOperatorsItNamesExist)
{
    QStringList offered;
    for (int op = int(kvui::FilterOperator::Equal); op <= int(kvui::FilterOperator::IsNotEmpty); ++op)
        offered << kvui::FilterOperatorText(kvui::FilterOperator(op));
    const QString text = manualText();
    const QRegularExpressionMatch list = QRegularExpression(QStringLiteral("运算符 \\(([^)]*)等\\)")).match(text);
    ASSERT_TRUE(list.hasMatch());
    QStringList named = list.captured(1).split(QStringLiteral("、"), Qt::SkipEmptyParts);
    // the operators whose typed value the chapter explains
    const QRegularExpression quoted(QStringLiteral("输入 \"([^\"]+)\" 或 \"([^\"]+)\" 的值时"));
    for (const QRegularExpressionMatch& m : quoted.globalMatch(text))
        named << m.captured(1) << m.captured(2);
    EXPECT_GE(named.size(), 5);
    for (const QString& name : named)
        EXPECT_TRUE(offered.contains(name.trimmed())) << name.toStdString();
}
