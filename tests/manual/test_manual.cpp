// The build leaves the user manual beside the program, where the main window's
// F1 looks for it: a PDF with pages, its title and its chapters.
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
