#include "ExportWriter.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <algorithm>

namespace kvui {

bool ExportCellStyle::operator==(const ExportCellStyle& o) const
{
    if (brushColor != o.brushColor || fontColor != o.fontColor || fontName != o.fontName || fontSize != o.fontSize
        || bold != o.bold || italic != o.italic || underline != o.underline || strikeOut != o.strikeOut
        || alignment != o.alignment)
        return false;
    for (int i = 0; i < 4; ++i)
        if (!(borders[i] == o.borders[i]))
            return false;
    return true;
}

ExportCellStyle DefaultCellStyle()
{
    ExportCellStyle s;
    s.fontName = QStringLiteral("宋体");
    return s;
}

// ---- scale

void ExportScale::arrange()
{
    if (m_arranged)
        return;
    std::sort(m_values.begin(), m_values.end());
    m_values.erase(std::unique(m_values.begin(), m_values.end()), m_values.end());
    m_arranged = true;
}

int ExportScale::indexOf(int position) const
{
    auto it = std::lower_bound(m_values.begin(), m_values.end(), position);
    return it != m_values.end() && *it == position ? int(it - m_values.begin()) : -1;
}

bool ExportScale::span(int from, int to, int& first, int& last) const
{
    if (to <= from || m_values.size() < 2)
        return false;
    // The first interval starting at or after from, the last one ending at or before to.
    auto lo = std::lower_bound(m_values.begin(), m_values.end(), from);
    auto hi = std::upper_bound(m_values.begin(), m_values.end(), to);
    first = int(lo - m_values.begin());
    last = int(hi - m_values.begin()) - 2;
    if (first < 0 || last < first || last >= visibleCount())
        return false;
    return true;
}

// ---- common cell cache

ExportProvider::ExportProvider(int kind, const QString& fileName) : m_kind(kind), m_fileName(fileName)
{
    m_defaultStyle = registerStyle(DefaultCellStyle());
}

ExportProvider::~ExportProvider() = default;

void ExportProvider::setRange(int columns, int rows)
{
    m_columns = std::max(0, columns);
    m_rows = std::max(0, rows);
    m_cells = QList<Cell>(qsizetype(m_columns) * m_rows);
    m_columnWidths = QList<int>(m_columns, 64);
    m_rowHeights = QList<int>(m_rows, 19);
}

void ExportProvider::setDefaultStyle(const ExportCellStyle& style)
{
    m_defaultStyle = registerStyle(style);
}

int ExportProvider::registerStyle(const ExportCellStyle& style)
{
    for (int i = 0; i < m_styles.size(); ++i)
        if (m_styles[i] == style)
            return i;
    m_styles.append(style);
    return int(m_styles.size()) - 1;
}

void ExportProvider::setColumnWidth(int col, int pixels)
{
    if (col >= 0 && col < m_columns)
        m_columnWidths[col] = pixels;
}

void ExportProvider::setRowHeight(int row, int pixels)
{
    if (row >= 0 && row < m_rows)
        m_rowHeights[row] = pixels;
}

ExportProvider::Cell* ExportProvider::at(int col, int row)
{
    if (col < 0 || row < 0 || col >= m_columns || row >= m_rows)
        return nullptr;
    return &m_cells[row * m_columns + col];
}

void ExportProvider::setCellStyle(int col, int row, int lastCol, int lastRow, int styleIndex)
{
    lastCol = std::min(lastCol, m_columns - 1);
    lastRow = std::min(lastRow, m_rows - 1);
    Cell* c = at(col, row);
    if (!c || lastCol < col || lastRow < row || styleIndex < 0 || styleIndex >= m_styles.size())
        return;
    for (int r = row; r <= lastRow; ++r)
        for (int k = col; k <= lastCol; ++k) {
            Cell* o = at(k, r);
            o->style = styleIndex;
            if (lastCol > col || lastRow > row) {
                // A new merge takes over whatever merges it overlaps.
                o->mergeAcross = o->mergeDown = 0;
                o->covered = (k != col || r != row);
            }
        }
    if (lastCol > col || lastRow > row) {
        c->mergeAcross = lastCol - col;
        c->mergeDown = lastRow - row;
    }
}

void ExportProvider::setCellValue(int col, int row, const QVariant& value)
{
    if (Cell* c = at(col, row))
        c->value = value;
}

void ExportProvider::commit()
{
    const QByteArray data = render();
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit())
        throw ExportError(QStringLiteral("不能写入文件\"%1\": %2").arg(m_fileName, file.errorString()).toStdString());
}

namespace {

bool isNumber(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Double: case QMetaType::Float: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Long: case QMetaType::ULong: case QMetaType::Char: case QMetaType::UChar: case QMetaType::SChar:
        return true;
    default:
        return false;
    }
}

bool isDate(const QVariant& v) { return v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime; }

QDateTime toDateTime(const QVariant& v)
{
    return v.typeId() == QMetaType::QDate ? v.toDate().startOfDay() : v.toDateTime();
}

bool hasTime(const QVariant& v) { return v.typeId() == QMetaType::QDateTime && v.toDateTime().time() != QTime(0, 0); }

// Numbers in the C locale with up to 15 significant digits, no grouping.
QString numberText(const QVariant& v)
{
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

// The text of a value as a reader of the file should see it.
QString plainText(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return QString();
    if (isNumber(v))
        return numberText(v);
    if (isDate(v))
        return toDateTime(v).toString(hasTime(v) ? QStringLiteral("yyyy/MM/dd HH:mm:ss") : QStringLiteral("yyyy/MM/dd"));
    return v.toString();
}

QString colorText(const QColor& c) { return c.name(QColor::HexRgb).toUpper(); }

QString xmlEscaped(const QString& s)
{
    QString r;
    r.reserve(s.size());
    for (QChar ch : s) {
        switch (ch.unicode()) {
        case '&': r += QLatin1String("&amp;"); break;
        case '<': r += QLatin1String("&lt;"); break;
        case '>': r += QLatin1String("&gt;"); break;
        case '"': r += QLatin1String("&quot;"); break;
        case '\n': r += QLatin1String("&#10;"); break;
        case '\r': break;
        default:
            // Control characters are not allowed in XML 1.0.
            if (ch.unicode() < 0x20 && ch != u'\t')
                r += u' ';
            else
                r += ch;
        }
    }
    return r;
}

QString horizontalName(Qt::Alignment a)
{
    if (a & Qt::AlignRight)
        return QStringLiteral("Right");
    if (a & Qt::AlignHCenter)
        return QStringLiteral("Center");
    return QStringLiteral("Left");
}

// ---- text file: one line per row, cells joined by the separator (a tab when none is given)
class TextProvider : public ExportProvider {
public:
    TextProvider(const QString& f) : ExportProvider(ExportText, f) {}
    bool supportsSeparators() const override { return true; }
protected:
    QByteArray render() const override
    {
        const QString sep = m_separators.value(0).isEmpty() ? QStringLiteral("\t") : m_separators.value(0);
        const QString begin = m_separators.value(1), end = m_separators.value(2);
        QString out;
        for (int r = 0; r < m_rows; ++r) {
            for (int c = 0; c < m_columns; ++c) {
                if (c > 0)
                    out += sep;
                QString t = plainText(cell(c, r).value);
                // A line break or tab inside a cell would break the rows and columns apart.
                t.replace(QLatin1String("\r\n"), QLatin1String(" "));
                t.replace(u'\r', u' ').replace(u'\n', u' ');
                if (sep == QLatin1String("\t"))
                    t.replace(u'\t', u' ');
                out += begin + t + end;
            }
            out += QLatin1String("\r\n");
        }
        // UTF-8 with a byte-order mark, so that spreadsheet programs read the Chinese texts right.
        return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
    }
};

// ---- HTML page: one table, merged cells as column and row spans
class HtmlProvider : public ExportProvider {
public:
    HtmlProvider(const QString& f) : ExportProvider(ExportHtml, f) {}
protected:
    QByteArray render() const override
    {
        QString o;
        o += QLatin1String("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>")
             + QString(m_fileName.section(u'/', -1)).toHtmlEscaped() + QLatin1String("</title>\n<style>\n");
        o += QLatin1String("table { border-collapse: collapse; table-layout: fixed; }\n"
                           "td { overflow: hidden; white-space: nowrap; padding: 0 2px; }\n");
        static const char* sides[4] = {"left", "top", "right", "bottom"};
        for (int i = 0; i < m_styles.size(); ++i) {
            const ExportCellStyle& s = m_styles[i];
            o += QStringLiteral(".s%1 { background-color: %2; color: %3; font-family: \"%4\"; font-size: %5pt; "
                                "text-align: %6;")
                     .arg(i)
                     .arg(colorText(s.brushColor), colorText(s.fontColor), s.fontName)
                     .arg(s.fontSize)
                     .arg(horizontalName(s.alignment).toLower());
            if (s.bold) o += QLatin1String(" font-weight: bold;");
            if (s.italic) o += QLatin1String(" font-style: italic;");
            if (s.underline || s.strikeOut)
                o += QStringLiteral(" text-decoration:%1%2;")
                         .arg(s.underline ? QStringLiteral(" underline") : QString(),
                              s.strikeOut ? QStringLiteral(" line-through") : QString());
            for (int b = 0; b < 4; ++b)
                if (s.borders[b].width > 0)
                    o += QStringLiteral(" border-%1: %2px solid %3;")
                             .arg(QLatin1String(sides[b]))
                             .arg(s.borders[b].width)
                             .arg(colorText(s.borders[b].color));
            o += QLatin1String(" }\n");
        }
        o += QLatin1String("</style>\n</head>\n<body>\n<table cellspacing=\"0\" cellpadding=\"0\">\n");
        for (int c = 0; c < m_columns; ++c)
            o += QStringLiteral("<col width=\"%1\">\n").arg(columnWidth(c));
        for (int r = 0; r < m_rows; ++r) {
            o += QStringLiteral("<tr style=\"height: %1px\">").arg(rowHeight(r));
            for (int c = 0; c < m_columns; ++c) {
                const Cell& cl = cell(c, r);
                if (cl.covered)
                    continue;
                o += QStringLiteral("<td class=\"s%1\"").arg(cellStyleIndex(cl));
                if (cl.mergeAcross > 0)
                    o += QStringLiteral(" colspan=\"%1\"").arg(cl.mergeAcross + 1);
                if (cl.mergeDown > 0)
                    o += QStringLiteral(" rowspan=\"%1\"").arg(cl.mergeDown + 1);
                o += u'>';
                const QString t = plainText(cl.value);
                o += t.isEmpty() ? QStringLiteral("&nbsp;") : t.toHtmlEscaped().replace(u'\n', QLatin1String("<br>"));
                o += QLatin1String("</td>");
            }
            o += QLatin1String("</tr>\n");
        }
        o += QLatin1String("</table>\n</body>\n</html>\n");
        return o.toUtf8();
    }
};

// ---- spreadsheet XML workbook (the XML Spreadsheet 2003 format that
// spreadsheet programs open directly)
class XmlProvider : public ExportProvider {
public:
    XmlProvider(int kind, const QString& f) : ExportProvider(kind, f) {}
protected:
    QByteArray render() const override
    {
        QString o;
        o += QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<?mso-application progid=\"Excel.Sheet\"?>\n"
                           "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"\n"
                           " xmlns:o=\"urn:schemas-microsoft-com:office:office\"\n"
                           " xmlns:x=\"urn:schemas-microsoft-com:office:excel\"\n"
                           " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\"\n"
                           " xmlns:html=\"http://www.w3.org/TR/REC-html40\">\n<Styles>\n");
        static const char* sides[4] = {"Left", "Top", "Right", "Bottom"};
        // Each style twice: as it is, and with a date format for date cells.
        for (int i = 0; i < m_styles.size(); ++i)
            for (int variant = 0; variant < 3; ++variant) {
                const ExportCellStyle& s = m_styles[i];
                o += QStringLiteral("<Style ss:ID=\"s%1%2\">\n").arg(i).arg(
                    variant == 0 ? QString() : variant == 1 ? QStringLiteral("d") : QStringLiteral("t"));
                o += QStringLiteral("<Alignment ss:Horizontal=\"%1\" ss:Vertical=\"Center\"/>\n")
                         .arg(horizontalName(s.alignment));
                o += QLatin1String("<Borders>\n");
                for (int b = 0; b < 4; ++b)
                    if (s.borders[b].width > 0)
                        o += QStringLiteral("<Border ss:Position=\"%1\" ss:LineStyle=\"Continuous\" ss:Weight=\"%2\" "
                                            "ss:Color=\"%3\"/>\n")
                                 .arg(QLatin1String(sides[b]))
                                 .arg(std::min(3, s.borders[b].width))
                                 .arg(colorText(s.borders[b].color));
                o += QLatin1String("</Borders>\n");
                o += QStringLiteral("<Font ss:FontName=\"%1\" ss:Size=\"%2\" ss:Color=\"%3\"")
                         .arg(xmlEscaped(s.fontName))
                         .arg(s.fontSize)
                         .arg(colorText(s.fontColor));
                if (s.bold) o += QLatin1String(" ss:Bold=\"1\"");
                if (s.italic) o += QLatin1String(" ss:Italic=\"1\"");
                if (s.underline) o += QLatin1String(" ss:Underline=\"Single\"");
                if (s.strikeOut) o += QLatin1String(" ss:StrikeThrough=\"1\"");
                o += QLatin1String("/>\n");
                o += QStringLiteral("<Interior ss:Color=\"%1\" ss:Pattern=\"Solid\"/>\n").arg(colorText(s.brushColor));
                if (variant == 1)
                    o += QLatin1String("<NumberFormat ss:Format=\"yyyy/mm/dd\"/>\n");
                else if (variant == 2)
                    o += QLatin1String("<NumberFormat ss:Format=\"yyyy/mm/dd hh:mm:ss\"/>\n");
                o += QLatin1String("</Style>\n");
            }
        o += QLatin1String("</Styles>\n<Worksheet ss:Name=\"Sheet1\">\n");
        o += QStringLiteral("<Table ss:ExpandedColumnCount=\"%1\" ss:ExpandedRowCount=\"%2\" x:FullColumns=\"1\" "
                            "x:FullRows=\"1\">\n")
                 .arg(m_columns)
                 .arg(m_rows);
        // Widths and heights in points (96 pixels to the inch).
        for (int c = 0; c < m_columns; ++c)
            o += QStringLiteral("<Column ss:Width=\"%1\"/>\n").arg(columnWidth(c) * 0.75, 0, 'f', 2);
        for (int r = 0; r < m_rows; ++r) {
            o += QStringLiteral("<Row ss:AutoFitHeight=\"0\" ss:Height=\"%1\">\n").arg(rowHeight(r) * 0.75, 0, 'f', 2);
            bool skipped = false;
            for (int c = 0; c < m_columns; ++c) {
                const Cell& cl = cell(c, r);
                if (cl.covered) {
                    skipped = true;
                    continue;
                }
                const QVariant& v = cl.value;
                const bool empty = !v.isValid() || v.isNull() || plainText(v).isEmpty();
                QString sid = QStringLiteral("s%1").arg(cellStyleIndex(cl));
                if (!empty && isDate(v))
                    sid += hasTime(v) ? u't' : u'd';
                o += QStringLiteral("<Cell");
                if (skipped)
                    o += QStringLiteral(" ss:Index=\"%1\"").arg(c + 1);
                skipped = false;
                o += QStringLiteral(" ss:StyleID=\"%1\"").arg(sid);
                if (cl.mergeAcross > 0)
                    o += QStringLiteral(" ss:MergeAcross=\"%1\"").arg(cl.mergeAcross);
                if (cl.mergeDown > 0)
                    o += QStringLiteral(" ss:MergeDown=\"%1\"").arg(cl.mergeDown);
                if (empty) {
                    o += QLatin1String("/>\n");
                    continue;
                }
                if (isNumber(v))
                    o += QStringLiteral("><Data ss:Type=\"Number\">%1</Data></Cell>\n").arg(numberText(v));
                else if (isDate(v))
                    o += QStringLiteral("><Data ss:Type=\"DateTime\">%1</Data></Cell>\n")
                             .arg(toDateTime(v).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")));
                else
                    o += QStringLiteral("><Data ss:Type=\"String\">%1</Data></Cell>\n").arg(xmlEscaped(plainText(v)));
            }
            o += QLatin1String("</Row>\n");
        }
        o += QLatin1String("</Table>\n</Worksheet>\n</Workbook>\n");
        return o.toUtf8();
    }
};

} // namespace

std::unique_ptr<ExportProvider> ExportProvider::create(int kind, const QString& fileName)
{
    switch (kind) {
    case ExportHtml:
        return std::unique_ptr<ExportProvider>(new HtmlProvider(fileName));
    case ExportXml:
        return std::unique_ptr<ExportProvider>(new XmlProvider(ExportXml, fileName));
    case ExportText:
        return std::unique_ptr<ExportProvider>(new TextProvider(fileName));
    default:
        throw ExportError(QStringLiteral("不支持的导出类型(%1)").arg(kind).toStdString());
    }
}

} // namespace kvui
