// The build leaves the user manual beside the program, where the main window's
// F1 looks for it: a PDF with pages, its title and its chapters; and the
// names the text gives to what the program shows.
#include "FilterControl.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString manualText()
{
    QFile f(QStringLiteral(KORVANE_MANUAL_SOURCE));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << f.fileName().toStdString();
    return QString::fromUtf8(f.readAll());
}

} // namespace

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

// Each line of the text stands once in the PDF: a line at a page break is not
// repeated on the next page (as copying, searching or a text extract would show).
TEST(UserManual, NoLineRepeatsAcrossAPageBreak)
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (pdftotext.isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QProcess extract;
    extract.start(pdftotext, {QStringLiteral("-layout"), QCoreApplication::applicationDirPath() + QStringLiteral("/Korvane-用户手册.pdf"),
                              QStringLiteral("-")});
    ASSERT_TRUE(extract.waitForFinished(30000));
    ASSERT_EQ(extract.exitCode(), 0);
    const QStringList pages = QString::fromUtf8(extract.readAllStandardOutput()).split(u'\f');
    ASSERT_GE(pages.size(), 2);
    const auto lines = [](const QString& APage) {
        QSet<QString> out;
        for (const QString& line : APage.split(u'\n')) {
            const QString t = line.trimmed();
            if (!t.isEmpty() && !t.startsWith(QStringLiteral("—"))) // the page number
                out.insert(t);
        }
        return out;
    };
    // Nothing is lost on the way: every chapter and every function the text
    // describes in bold at a line's start is in the PDF's text.
    const QString all = pages.join(QString()).remove(u' ');
    const QRegularExpression named(QStringLiteral("^(?:#+ |- \\*\\*|\\*\\*)([^*#\\n]+)"), QRegularExpression::MultilineOption);
    int checked = 0;
    for (const QRegularExpressionMatch& m : named.globalMatch(manualText())) {
        const QString name = m.captured(1).trimmed().remove(u' ');
        EXPECT_TRUE(all.contains(name)) << name.toStdString();
        ++checked;
    }
    EXPECT_GE(checked, 20);
    for (int i = 0; i + 1 < pages.size(); ++i) {
        const QSet<QString> twice = lines(pages[i]) & lines(pages[i + 1]);
        EXPECT_TRUE(twice.isEmpty()) << "pages " << i + 1 << " and " << i + 2 << ": "
                                     << QStringList(twice.values()).join(QStringLiteral(" | ")).toStdString();
    }
}


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

// The release writes production orders, outsourcing requests (outsourcing
// orders only when the account set asks for direct output) and purchase
// requests: the manual names them as the demo's value list does.
TEST(UserManual, TheReleaseNamesTheBillsTheProgramWrites)
{
    QFile values(QStringLiteral(KORVANE_DEMO_SYSTEM_DATA));
    ASSERT_TRUE(values.open(QIODevice::ReadOnly));
    const QString data = QString::fromUtf8(values.readAll());
    const auto billName = [&](int ACode) {
        const QRegularExpression row(QStringLiteral("'MrpBillType', %1, '([^']+)'").arg(ACode));
        return row.match(data).captured(1);
    };
    const QString bills = billName(22) + QStringLiteral("、") + billName(36) + QStringLiteral("或") + billName(38);
    ASSERT_EQ(bills, QStringLiteral("生产任务、委外申请或采购申请"));
    const QString text = manualText();
    EXPECT_TRUE(text.contains(QStringLiteral("下达为 ERP 的") + bills));
    EXPECT_TRUE(text.contains(QStringLiteral("生成") + bills));
    EXPECT_FALSE(text.contains(QStringLiteral("生产任务、") + billName(24) + QStringLiteral("或采购申请")));
}
