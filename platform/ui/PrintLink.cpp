#include "PrintLink.h"

#include "FileDialogs.h"

#include <algorithm>

#include <QCheckBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kvui {

namespace {

QString escapeText(const QString& s)
{
    QString out;
    for (QChar c : s) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

QString unescapeText(const QString& s)
{
    QString out;
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            QChar n = s[++i];
            out += n == 'n' ? QChar('\n') : n == 'r' ? QChar('\r') : n;
        } else {
            out += s[i];
        }
    }
    return out;
}

const char* const BoolKeys[] = {"ShowTitle", "ShowFootnotes", "BandHeaders", "Headers", "Footer", "GroupFooters",
                                "ExpandButtons", "GridLines", "HeadersOnEveryPage", "FitToWidth"};

bool* boolField(PrintSettings& s, const QString& key)
{
    if (key == "ShowTitle") return &s.showTitle;
    if (key == "ShowFootnotes") return &s.showFootnotes;
    if (key == "BandHeaders") return &s.bandHeaders;
    if (key == "Headers") return &s.headers;
    if (key == "Footer") return &s.footer;
    if (key == "GroupFooters") return &s.groupFooters;
    if (key == "ExpandButtons") return &s.expandButtons;
    if (key == "GridLines") return &s.gridLines;
    if (key == "HeadersOnEveryPage") return &s.headersOnEveryPage;
    if (key == "FitToWidth") return &s.fitToWidth;
    return nullptr;
}

constexpr int PageTextGap = 6;
// The smallest font a printout shrinks to, in points.
constexpr double MinPrintPoints = 7.5;

// Pages are painted in view pixels (96 per inch) scaled to the printer, so fonts
// are sized in pixels too; a point size would be scaled twice.
QFont printFont(QFont f)
{
    if (f.pixelSize() <= 0) f.setPixelSize(qMax(1, qRound(f.pointSizeF() * 96.0 / 72.0)));
    return f;
}

} // namespace

// ---------------------------------------------------------------- settings text

QString PrintSettings::toText() const
{
    PrintSettings copy = *this;
    QStringList lines;
    lines << "[ReportLink]";
    lines << "Title=" + escapeText(title);
    lines << "Footnotes=" + escapeText(footnotes);
    lines << "PageHeader=" + escapeText(pageHeader);
    lines << "PageFooter=" + escapeText(pageFooter);
    for (const char* k : BoolKeys) lines << QString::fromLatin1(k) + "=" + (*boolField(copy, k) ? "1" : "0");
    lines << QString("Orientation=%1").arg(orientation == QPageLayout::Landscape ? 1 : 0);
    lines << "Paper=" + QPageSize::key(paper);
    lines << QString("Margins=%1,%2,%3,%4")
                 .arg(margins.left(), 0, 'f', 2).arg(margins.top(), 0, 'f', 2)
                 .arg(margins.right(), 0, 'f', 2).arg(margins.bottom(), 0, 'f', 2);
    return lines.join('\n');
}

PrintSettings PrintSettings::fromText(const QString& text)
{
    PrintSettings s;
    const QStringList lines = text.split('\n');
    for (QString line : lines) {
        if (line.endsWith('\r')) line.chop(1);
        int eq = line.indexOf('=');
        if (eq <= 0) continue;
        QString key = line.left(eq).trimmed();
        QString value = line.mid(eq + 1);
        if (key == "Title") s.title = unescapeText(value);
        else if (key == "Footnotes") s.footnotes = unescapeText(value);
        else if (key == "PageHeader") s.pageHeader = unescapeText(value);
        else if (key == "PageFooter") s.pageFooter = unescapeText(value);
        else if (bool* b = boolField(s, key)) { if (value == "0" || value == "1") *b = value == "1"; }
        else if (key == "Orientation") s.orientation = value.trimmed() == "1" ? QPageLayout::Landscape : QPageLayout::Portrait;
        else if (key == "Paper") {
            for (int id = 0; id <= int(QPageSize::LastPageSize); ++id)
                if (QPageSize::key(QPageSize::PageSizeId(id)) == value.trimmed()) { s.paper = QPageSize::PageSizeId(id); break; }
        } else if (key == "Margins") {
            QStringList m = value.split(',');
            if (m.size() == 4) {
                bool ok[4];
                double v[4];
                for (int i = 0; i < 4; ++i) v[i] = m[i].trimmed().toDouble(&ok[i]);
                if (ok[0] && ok[1] && ok[2] && ok[3] && v[0] >= 0 && v[1] >= 0 && v[2] >= 0 && v[3] >= 0)
                    s.margins = QMarginsF(v[0], v[1], v[2], v[3]);
            }
        }
    }
    return s;
}

// ---------------------------------------------------------------- PrintLink

namespace {
QHash<QString, PrintLink::DesignWindowFactory>& designWindows()
{
    static QHash<QString, PrintLink::DesignWindowFactory> map;
    return map;
}
}

PrintLink::PrintLink(QObject* parent) : QObject(parent) {}

void PrintLink::registerDesignWindow(const QString& linkClassName, DesignWindowFactory factory)
{
    if (factory) designWindows().insert(linkClassName, std::move(factory));
    else designWindows().remove(linkClassName);
}
PrintLink::~PrintLink() = default;

void PrintLink::applyLayout(QPrinter* printer) const
{
    QPageLayout layout(QPageSize(m_settings.paper), m_settings.orientation, m_settings.margins, QPageLayout::Millimeter);
    printer->setPageLayout(layout);
}

bool PrintLink::pageSetup(QWidget* parent)
{
    QPrinter printer(QPrinter::HighResolution);
    applyLayout(&printer);
    QPageSetupDialog dlg(&printer, parent);
    if (dlg.exec() != QDialog::Accepted) return false;
    QPageLayout l = printer.pageLayout();
    m_settings.orientation = l.orientation();
    m_settings.paper = l.pageSize().id();
    m_settings.margins = l.margins(QPageLayout::Millimeter);
    return true;
}

bool PrintLink::designReport(QWidget* parent)
{
    auto factory = designWindows().value(QString::fromLatin1(metaObject()->className()));
    std::unique_ptr<ReportDesignDialog> dlg(factory ? factory(m_settings, parent) : new ReportDesignDialog(m_settings, parent));
    if (dlg->exec() != QDialog::Accepted) return false;
    m_settings = dlg->settings();
    return true;
}

bool PrintLink::print(QWidget* parent, bool showDialog)
{
    if (!m_view) return false;
    QPrinter printer(QPrinter::HighResolution);
    applyLayout(&printer);
    if (showDialog) {
        QPrintDialog dlg(&printer, parent);
        listFilesByName(&dlg);
        if (dlg.exec() != QDialog::Accepted) return false;
    }
    render(&printer);
    return true;
}

void PrintLink::preview(QWidget* parent)
{
    if (!m_view) return;
    QPrinter printer(QPrinter::HighResolution);
    applyLayout(&printer);
    QPrintPreviewDialog dlg(&printer, parent);
    dlg.setWindowTitle(QStringLiteral("打印预览"));
    connect(&dlg, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { render(p); });
    dlg.exec();
}

bool PrintLink::printToPdf(const QString& fileName)
{
    if (!m_view) return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    applyLayout(&printer);
    return render(&printer) > 0;
}

int PrintLink::rowHeight(int row) const
{
    const ViewGeometry& g = m_view->geometry();
    RowRef r = m_view->row(row);
    if (r.kind == RowRef::Group) return g.lineHeight;
    return g.recordHeight;
}

int PrintLink::headerHeight() const
{
    const ViewGeometry& g = m_view->geometry();
    int h = 0;
    if (m_settings.bandHeaders && m_view->showBandHeaders() && !g.bands.isEmpty()) h += g.lineHeight;
    if (m_settings.headers && m_view->showHeaders()) h += g.recordHeight;
    return h;
}

QList<PrintLink::Page> PrintLink::paginate(double pageHeight, int lineH) const
{
    QList<Page> pages;
    const ViewGeometry& g = m_view->geometry();
    bool titleOn = m_settings.showTitle && !m_settings.title.isEmpty();
    int titleH = titleOn ? lineH * 2 : 0;
    int footerH = m_settings.footer && m_view->showFooter() ? g.recordHeight : 0;
    int notesH = 0;
    if (m_settings.showFootnotes && !m_settings.footnotes.isEmpty())
        notesH = lineH * (int(m_settings.footnotes.count('\n')) + 1) + lineH / 2;
    int n = m_view->rowCount();
    int row = 0;
    bool first = true;
    while (true) {
        Page pg{row, row - 1, first && titleOn, false, false};
        double y = (first ? titleH : 0) + ((first || m_settings.headersOnEveryPage) ? headerHeight() : 0);
        while (row < n) {
            RowRef r = m_view->row(row);
            if (r.kind == RowRef::GroupFooter && !m_settings.groupFooters) { ++row; pg.lastRow = row - 1; continue; }
            int h = rowHeight(row);
            if (y + h > pageHeight && pg.lastRow >= pg.firstRow) break;
            y += h;
            pg.lastRow = row++;
        }
        if (row >= n) {
            // The footer and the footnotes follow the last row, on a new page when needed.
            if (y + footerH + notesH <= pageHeight || pg.lastRow < pg.firstRow) {
                pg.footer = footerH > 0;
                pg.footnotes = notesH > 0;
                pages << pg;
                break;
            }
            pages << pg;
            Page tail{row, row - 1, false, footerH > 0, notesH > 0};
            pages << tail;
            break;
        }
        pages << pg;
        first = false;
    }
    return pages;
}

QString PrintLink::fillPlaceholders(QString text, int page, int pages) const
{
    QDateTime now = QDateTime::currentDateTime();
    text.replace("[Page]", QString::number(page));
    text.replace("[Pages]", QString::number(pages));
    text.replace("[Date]", now.toString("yyyy/MM/dd"));
    text.replace("[Time]", now.toString("hh:mm:ss"));
    return text;
}

void PrintLink::paintHeader(QPainter* p, int y) const
{
    const ViewGeometry& g = m_view->geometry();
    int indent = m_view->indentWidth();
    if (m_settings.bandHeaders && m_view->showBandHeaders() && !g.bands.isEmpty()) {
        for (const auto& b : g.bands)
            m_view->paintHeaderCell(p, QRect(indent + b.x, y, b.width, g.lineHeight), b.caption, true);
        if (indent) m_view->paintHeaderCell(p, QRect(0, y, indent, g.lineHeight), QString(), true);
        y += g.lineHeight;
    }
    if (m_settings.headers && m_view->showHeaders()) {
        for (const auto& c : g.columns)
            m_view->paintHeaderCell(p, c.rect.translated(indent, y), c.column->caption(), false, QString(),
                                    c.column->effectiveEditor(RowRef{})->alignment() & Qt::AlignHorizontal_Mask);
        if (indent) m_view->paintHeaderCell(p, QRect(0, y, indent, g.recordHeight), QString(), false);
    }
}

void PrintLink::paintFooterRow(QPainter* p, int row, int y, bool groupFooter) const
{
    const ViewGeometry& g = m_view->geometry();
    int indent = m_view->indentWidth();
    int level = groupFooter ? m_view->row(row).level : -1;
    int x0 = groupFooter ? (level + 1) * BandedView::IndentStep : 0;
    p->fillRect(QRect(x0, y, indent + g.totalWidth - x0, g.recordHeight), m_view->m_pal.footer);
    for (const auto& c : g.columns) {
        SummaryKind k = groupFooter ? c.column->groupSummary().kind : c.column->footerSummary().kind;
        if (k == SummaryKind::None) continue;
        QString text = groupFooter ? m_view->groupFooterText(row, c.column) : m_view->footerText(c.column);
        QRect r = c.rect.translated(indent, y).adjusted(2, 2, -2, -2);
        p->setPen(QColor(0xac, 0xa8, 0x99));
        p->drawRect(r.adjusted(0, 0, -1, -1));
        p->setPen(m_view->m_pal.text);
        Qt::Alignment a = k == SummaryKind::Min || k == SummaryKind::Max
                              ? c.column->effectiveEditor(RowRef{})->alignment() : Qt::AlignRight | Qt::AlignVCenter;
        p->drawText(r.adjusted(3, 0, -3, 0), int(a) | Qt::TextSingleLine, text);
    }
    p->setPen(m_view->m_pal.gridLine);
    p->drawLine(x0, y + g.recordHeight - 1, indent + g.totalWidth - 1, y + g.recordHeight - 1);
}

int PrintLink::paintRow(QPainter* p, int row, int y) const
{
    const ViewGeometry& g = m_view->geometry();
    int indent = m_view->indentWidth();
    RowRef r = m_view->row(row);
    int h = rowHeight(row);
    if (r.kind == RowRef::Group) {
        int x = r.level * BandedView::IndentStep;
        QRect gr(x, y, indent + g.totalWidth - x, h);
        p->fillRect(gr, m_view->m_pal.group);
        if (m_settings.expandButtons)
            m_view->paintExpandButton(p, QRect(x, y, BandedView::IndentStep, h), m_view->rowExpanded(row));
        QFont f = p->font();
        f.setBold(true);
        p->save();
        p->setFont(f);
        p->setPen(m_view->m_pal.groupText);
        p->drawText(gr.adjusted(BandedView::IndentStep + 2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    m_view->groupRowText(row));
        p->restore();
        p->setPen(m_view->m_pal.gridLine);
        p->drawLine(gr.bottomLeft(), gr.bottomRight());
        return h;
    }
    if (r.kind == RowRef::GroupFooter) {
        if (!m_settings.groupFooters) return 0;
        paintFooterRow(p, row, y, true);
        return h;
    }
    if (indent) p->fillRect(QRect(0, y, indent, h), m_view->m_pal.group);
    Column* first = m_view->firstVisibleColumn();
    for (const auto& c : g.columns) {
        QRect cr = c.rect.translated(indent, y);
        CellFormat f = m_view->cellFormat(row, c.column, true);
        p->fillRect(cr, f.background);
        QRect content = cr.adjusted(0, 0, -1, -1);
        if (c.column == first) {
            int ind = m_view->rowContentIndent(r);
            if (ind > 0) {
                if (m_settings.expandButtons)
                    m_view->paintRowDecoration(p, r, QRect(cr.left(), cr.top(), ind, qMin(cr.height(), g.lineHeight)));
                content.setLeft(content.left() + ind);
            }
        }
        p->save();
        p->setFont(printFont(f.font));
        p->setPen(f.textColor);
        c.column->effectiveEditor(r)->paint(p, content, f.value, f.text);
        p->restore();
        if (m_settings.gridLines) {
            p->setPen(m_view->m_pal.gridLine);
            p->drawLine(cr.topRight(), cr.bottomRight());
            p->drawLine(cr.bottomLeft(), cr.bottomRight());
        }
    }
    return h;
}

PrintLink::Scaling PrintLink::scaling(QPrinter* printer) const
{
    Scaling sc;
    const ViewGeometry& g = m_view->geometry();
    QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
    // View pixels are 96 per inch. A view wider than the paper shrinks to its
    // width, but never below a readable size: what is left over prints on
    // further pages to the right, cut between columns.
    const double natural = printer->resolution() / 96.0;
    sc.scale = natural;
    const int width = m_view->indentWidth() + g.totalWidth;
    if (m_settings.fitToWidth && width * sc.scale > page.width()) {
        const QFont font = printFont(m_view->font());
        const double points = font.pixelSize() * 72.0 / 96.0;
        const double readable = natural * qMin(1.0, MinPrintPoints / qMax(1.0, points));
        sc.scale = qMax(readable, page.width() / double(qMax(1, width)));
    }
    const int pageW = int(page.width() / sc.scale);
    QList<int> edges;
    for (const auto& c : g.columns) edges << m_view->indentWidth() + c.rect.left();
    edges << width;
    std::sort(edges.begin(), edges.end());
    int x0 = 0;
    while (x0 < width) {
        int x1 = -1;
        for (int e : std::as_const(edges))
            if (e > x0 && e - x0 <= pageW) x1 = e;
        if (x1 < 0) { // a column wider than the paper: cut it
            x1 = qMin(width, x0 + pageW);
            for (int e : std::as_const(edges))
                if (e > x0) { x1 = qMin(e, x0 + pageW); break; }
        }
        sc.strips << qMakePair(x0, x1);
        x0 = x1;
    }
    if (sc.strips.isEmpty()) sc.strips << qMakePair(0, width);
    return sc;
}

int PrintLink::render(QPrinter* printer)
{
    if (!m_view) return 0;
    const ViewGeometry& g = m_view->geometry();
    const Scaling sc = scaling(printer);
    QPainter p;
    if (!p.begin(printer)) return 0;
    QRect page = printer->pageLayout().paintRectPixels(printer->resolution());
    page.moveTo(0, 0);
    const double scale = sc.scale;
    int width = m_view->indentWidth() + g.totalWidth;
    QFont font = printFont(m_view->font());
    p.setFont(font);
    int lineH = g.lineHeight;
    int pageTextH = QFontMetrics(font).height() + PageTextGap;
    bool hasHeader = !m_settings.pageHeader.isEmpty();
    bool hasFooter = !m_settings.pageFooter.isEmpty();
    double bodyHeight = page.height() / scale - (hasHeader ? pageTextH : 0) - (hasFooter ? pageTextH : 0);
    QList<Page> pages = paginate(bodyHeight, lineH);
    const int strips = int(sc.strips.size());
    const int total = int(pages.size()) * strips;
    for (int i = 0; i < pages.size(); ++i)
        for (int j = 0; j < strips; ++j) {
            const int number = i * strips + j + 1;
            if (number > 1) printer->newPage();
            const Page& pg = pages[i];
            const auto [x0, x1] = sc.strips[j];
            p.save();
            p.scale(scale, scale);
            p.setFont(font);
            int pageW = int(page.width() / scale);
            int y = 0;
            if (hasHeader) {
                p.setPen(Qt::black);
                p.drawText(QRect(0, 0, pageW, pageTextH - PageTextGap), Qt::AlignCenter,
                           fillPlaceholders(m_settings.pageHeader, number, total));
                y += pageTextH;
            }
            if (pg.title) {
                if (j == 0) {
                    QFont tf = font;
                    tf.setPixelSize(qRound(font.pixelSize() * 1.6));
                    tf.setBold(true);
                    p.setFont(tf);
                    p.setPen(Qt::black);
                    p.drawText(QRect(0, y, qMin(pageW, width), lineH * 2), Qt::AlignCenter, m_settings.title);
                    p.setFont(font);
                }
                y += lineH * 2;
            }
            // The table part of this strip: its columns moved to the left edge.
            p.save();
            p.setClipRect(QRect(0, y, x1 - x0, int(page.height() / scale) - y));
            p.translate(-x0, 0);
            if (i == 0 || m_settings.headersOnEveryPage) {
                paintHeader(&p, y);
                y += headerHeight();
            }
            for (int row = pg.firstRow; row <= pg.lastRow; ++row) y += paintRow(&p, row, y);
            if (pg.footer) {
                paintFooterRow(&p, -1, y, false);
                y += g.recordHeight;
            }
            p.restore();
            if (pg.footnotes && j == 0) {
                p.setPen(Qt::black);
                p.drawText(QRect(0, y + lineH / 2, pageW, lineH * (int(m_settings.footnotes.count('\n')) + 1)),
                           Qt::AlignLeft | Qt::AlignTop, m_settings.footnotes);
            }
            if (hasFooter) {
                p.setPen(Qt::black);
                p.drawText(QRect(0, int(page.height() / scale) - pageTextH + PageTextGap, pageW, pageTextH - PageTextGap),
                           Qt::AlignCenter, fillPlaceholders(m_settings.pageFooter, number, total));
            }
            p.restore();
        }
    p.end();
    return total;
}

int PrintLink::pageCount()
{
    if (!m_view) return 0;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    applyLayout(&printer);
    const ViewGeometry& g = m_view->geometry();
    const Scaling sc = scaling(&printer);
    QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    int pageTextH = QFontMetrics(printFont(m_view->font())).height() + PageTextGap;
    double body = page.height() / sc.scale - (m_settings.pageHeader.isEmpty() ? 0 : pageTextH)
                  - (m_settings.pageFooter.isEmpty() ? 0 : pageTextH);
    return int(paginate(body, g.lineHeight).size() * sc.strips.size());
}

double PrintLink::printScale(QPrinter* printer) const
{
    return m_view ? scaling(printer).scale : printer->resolution() / 96.0;
}

// ---------------------------------------------------------------- design window

ReportDesignDialog::ReportDesignDialog(const PrintSettings& s, QWidget* parent) : QDialog(parent), m_base(s)
{
    setWindowTitle(QStringLiteral("报表设计"));
    auto* tabs = m_tabs = new QTabWidget(this);

    auto* titlePage = new QWidget;
    auto* tf = new QFormLayout(titlePage);
    m_title = new QLineEdit(s.title);
    tf->addRow(QStringLiteral("标题(&T):"), m_title);
    m_footnotes = new QPlainTextEdit(s.footnotes);
    tf->addRow(QStringLiteral("脚注(&N):"), m_footnotes);
    tabs->addTab(titlePage, QStringLiteral("标题和脚注"));

    auto* pagePage = new QWidget;
    auto* pf = new QFormLayout(pagePage);
    m_header = new QLineEdit(s.pageHeader);
    m_footer = new QLineEdit(s.pageFooter);
    pf->addRow(QStringLiteral("页眉(&H):"), m_header);
    pf->addRow(QStringLiteral("页脚(&F):"), m_footer);
    pf->addRow(new QLabel(QStringLiteral("可用: [Page] 页码, [Pages] 总页数, [Date] 日期, [Time] 时间")));
    tabs->addTab(pagePage, QStringLiteral("页眉和页脚"));

    auto* showPage = new QWidget;
    auto* sl = new QVBoxLayout(showPage);
    PrintSettings copy = s;
    const QList<QPair<QString, QString>> opts = {
        {"ShowTitle", QStringLiteral("打印标题")}, {"ShowFootnotes", QStringLiteral("打印脚注")},
        {"BandHeaders", QStringLiteral("带区标题")}, {"Headers", QStringLiteral("列标题")},
        {"Footer", QStringLiteral("合计栏")}, {"GroupFooters", QStringLiteral("分组合计栏")},
        {"ExpandButtons", QStringLiteral("展开按钮")}, {"GridLines", QStringLiteral("表格线")},
        {"HeadersOnEveryPage", QStringLiteral("每页打印列标题")}, {"FitToWidth", QStringLiteral("缩放至页宽")}};
    for (const auto& o : opts) {
        auto* cb = new QCheckBox(o.second);
        cb->setChecked(*boolField(copy, o.first));
        sl->addWidget(cb);
        m_options.insert(o.first, cb);
    }
    sl->addStretch();
    tabs->addTab(showPage, QStringLiteral("显示"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(tabs);
    lay->addWidget(buttons);
    resize(460, 340);
}

QCheckBox* ReportDesignDialog::option(const QString& key) const { return m_options.value(key); }

PrintSettings ReportDesignDialog::settings() const
{
    PrintSettings s = m_base;
    s.title = m_title->text();
    s.footnotes = m_footnotes->toPlainText();
    s.pageHeader = m_header->text();
    s.pageFooter = m_footer->text();
    for (auto it = m_options.constBegin(); it != m_options.constEnd(); ++it)
        *boolField(s, it.key()) = it.value()->isChecked();
    return s;
}

} // namespace kvui
