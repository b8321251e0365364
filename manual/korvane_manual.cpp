// korvane-manual: writes the user manual, a Markdown text, as a PDF on A4
// pages with page numbers, through Qt's own PDF writer.
//   korvane-manual SOURCE.md OUTPUT.pdf
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QTextStream>

#include <cstdio>

namespace {

// A paragraph that runs over a page break is drawn on the next page with its
// last line of the page before as well (outside the page, so not seen, but
// in the page's text that copying, searching and text extraction read). A
// paragraph that would cross a break starts on the next page instead; one
// longer than a page, and the cells of tables (laid out row by row), stay.
void KeepParagraphsOnOnePage(QTextDocument& ADoc)
{
    const qreal pageHeight = ADoc.pageSize().height();
    // One break at a time, each on a fresh layout of the whole text: a break
    // moves everything after it.
    for (int round = 0; round < 1000; ++round) {
        ADoc.markContentsDirty(0, ADoc.characterCount());
        ADoc.pageCount(); // lays the text out
        QTextBlock crossing;
        for (QTextBlock block = ADoc.begin(); block.isValid() && !crossing.isValid(); block = block.next()) {
            if (QTextCursor(block).currentTable()
                || block.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
                continue;
            const QRectF r = ADoc.documentLayout()->blockBoundingRect(block);
            if (int(r.top() / pageHeight) != int((r.bottom() - 0.01) / pageHeight) && r.height() < pageHeight * 0.9)
                crossing = block;
        }
        if (!crossing.isValid())
            return;
        QTextBlockFormat format = crossing.blockFormat();
        format.setPageBreakPolicy(format.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(crossing).setBlockFormat(format);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: korvane-manual SOURCE.md OUTPUT.pdf\n");
        return 2;
    }
    QFile source(args[1]);
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "korvane-manual: cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    const QString text = QString::fromUtf8(source.readAll());

    QPdfWriter writer(args[2]);
    writer.setTitle(QStringLiteral("Korvane 用户手册"));
    writer.setCreator(QStringLiteral("Korvane"));
    writer.setResolution(96);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 18, 18, 22),
                                     QPageLayout::Millimeter));

    QTextDocument doc;
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSizeF(10.5);
    doc.setDefaultFont(font);
    doc.setDefaultStyleSheet(QStringLiteral("h1 { color: #1f3b64; } h2 { color: #1f3b64; } code { color: #404040; }"));
    doc.setMarkdown(text);
    const QRect body = writer.pageLayout().paintRectPixels(writer.resolution());
    const int footer = 28;
    doc.setPageSize(QSizeF(body.width(), body.height() - footer));

    KeepParagraphsOnOnePage(doc);

    QPainter painter;
    if (!painter.begin(&writer)) {
        std::fprintf(stderr, "korvane-manual: cannot write %s\n", qPrintable(args[2]));
        return 1;
    }
    const int pages = doc.pageCount();
    const qreal pageHeight = doc.pageSize().height();
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        painter.save();
        painter.translate(0, -page * pageHeight);
        doc.drawContents(&painter, QRectF(0, page * pageHeight, body.width(), pageHeight));
        painter.restore();
        painter.setFont(font);
        painter.drawText(QRect(0, body.height() - footer + 8, body.width(), footer - 8), Qt::AlignHCenter | Qt::AlignBottom,
                         QStringLiteral("— %1 / %2 —").arg(page + 1).arg(pages));
    }
    painter.end();
    return pages > 0 ? 0 : 1;
}
