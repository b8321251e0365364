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
#include <QTextDocument>
#include <QTextStream>

#include <cstdio>

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
