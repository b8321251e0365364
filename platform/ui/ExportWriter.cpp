#include "ExportWriter.h"

#include <QBuffer>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QHash>
#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

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

ExportCellStyle CellStyleOf(const QColor& ABrush, const QColor& AFontColor, const QFont& AFont, Qt::Alignment AAlign,
                            int ABorders, const QColor& ABorderColor, int AFontSize)
{
    ExportCellStyle s = DefaultCellStyle();
    s.brushColor = ABrush.isValid() ? ABrush : QColor(Qt::white);
    s.fontColor = AFontColor.isValid() ? AFontColor : QColor(Qt::black);
    s.fontName = AFont.family();
    s.fontSize = AFontSize > 0 ? AFontSize : AFont.pointSize() > 0 ? AFont.pointSize() : 9;
    s.bold = AFont.bold();
    s.italic = AFont.italic();
    s.underline = AFont.underline();
    s.strikeOut = AFont.strikeOut();
    s.alignment = AAlign & Qt::AlignRight ? Qt::AlignRight : AAlign & Qt::AlignHCenter ? Qt::AlignHCenter : Qt::AlignLeft;
    for (int side = 0; side < 4; ++side)
        if (ABorderColor.isValid() && (ABorders & (1 << side)))
            s.borders[side] = ExportBorder{1, ABorderColor};
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

void ExportProvider::setCellFrame(int col, int row, int lastCol, int lastRow, int styleIndex)
{
    lastCol = std::min(lastCol, m_columns - 1);
    lastRow = std::min(lastRow, m_rows - 1);
    if (!at(col, row) || lastCol < col || lastRow < row || styleIndex < 0 || styleIndex >= m_styles.size())
        return;
    const ExportCellStyle frame = m_styles.at(styleIndex);
    for (int r = row; r <= lastRow; ++r)
        for (int k = col; k <= lastCol; ++k) {
            ExportCellStyle s = frame;
            const bool outer[4] = {k == col, r == row, k == lastCol, r == lastRow};
            for (int b = 0; b < 4; ++b)
                if (!outer[b])
                    s.borders[b] = ExportBorder();
            at(k, r)->style = registerStyle(s);
        }
}

void ExportProvider::setCellPicture(int col, int row, const QImage& image)
{
    if (Cell* c = at(col, row))
        c->picture = image;
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
        // The grid's widths are where columns start; a page cannot be widened by
        // its reader, so a cell grows to show its whole value instead of cutting it.
        o += QLatin1String("table { border-collapse: collapse; }\n"
                           "td { white-space: nowrap; padding: 0 2px; }\n");
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
                if (!cl.picture.isNull()) {
                    QByteArray png;
                    QBuffer buffer(&png);
                    buffer.open(QIODevice::WriteOnly);
                    cl.picture.save(&buffer, "PNG");
                    o += QStringLiteral("<img src=\"data:image/png;base64,%1\" width=\"%2\" height=\"%3\">")
                             .arg(QString::fromLatin1(png.toBase64()))
                             .arg(cl.picture.width())
                             .arg(cl.picture.height());
                } else {
                    o += t.isEmpty() ? QStringLiteral("&nbsp;") : t.toHtmlEscaped().replace(u'\n', QLatin1String("<br>"));
                }
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


// ---- Excel 97-2003 workbook: BIFF8 records in the "Workbook" stream of a compound file

class ByteWriter {
public:
    QByteArray data;
    void u8(int v) { data.append(char(v & 0xFF)); }
    void u16(int v) { u8(v); u8(v >> 8); }
    void u32(quint32 v) { u16(int(v & 0xFFFF)); u16(int(v >> 16)); }
    void f64(double d)
    {
        quint64 bits;
        std::memcpy(&bits, &d, 8);
        u32(quint32(bits & 0xFFFFFFFFu));
        u32(quint32(bits >> 32));
    }
    void utf16(const QString& s)
    {
        for (QChar c : s)
            u16(c.unicode());
    }
    // A record: type, length and body.
    void record(int type, const QByteArray& body)
    {
        u16(type);
        u16(int(body.size()));
        data.append(body);
    }
};

class XlsProvider : public ExportProvider {
public:
    XlsProvider(const QString& f) : ExportProvider(ExportXls, f) {}
protected:
    QByteArray render() const override;
private:
    static constexpr int CellXfBase = 16;
};

// The compound file around one stream (sectors of 512 bytes, no mini stream:
// the stream is padded to at least 4096 bytes).
QByteArray CompoundFile(QByteArray stream, const QString& streamName)
{
    constexpr quint32 FreeSect = 0xFFFFFFFF, EndOfChain = 0xFFFFFFFE, FatSect = 0xFFFFFFFD, DifSect = 0xFFFFFFFC;
    const qsizetype size = std::max<qsizetype>(stream.size(), 4096);
    stream.append(QByteArray(size - stream.size(), '\0'));
    const quint32 streamSize = quint32(stream.size());
    stream.append(QByteArray((512 - stream.size() % 512) % 512, '\0'));
    const quint32 w = quint32(stream.size() / 512);
    quint32 fat = 1, dif = 0;
    for (;;) {
        const quint32 need = w + 1 + fat + dif;
        const quint32 f = (need + 127) / 128;
        const quint32 d = f > 109 ? (f - 109 + 126) / 127 : 0;
        if (f == fat && d == dif)
            break;
        fat = f;
        dif = d;
    }
    const quint32 dirSector = w, fatStart = w + 1, difStart = w + 1 + fat;
    const quint32 total = difStart + dif;
    QList<quint32> table(fat * 128, FreeSect);
    for (quint32 i = 0; i < w; ++i)
        table[i] = i + 1 < w ? i + 1 : EndOfChain;
    table[dirSector] = EndOfChain;
    for (quint32 i = 0; i < fat; ++i)
        table[fatStart + i] = FatSect;
    for (quint32 i = 0; i < dif; ++i)
        table[difStart + i] = DifSect;
    Q_UNUSED(total);

    ByteWriter h;
    h.data.append(QByteArray::fromHex("D0CF11E0A1B11AE1"));
    h.data.append(QByteArray(16, '\0'));
    h.u16(0x003E); h.u16(0x0003); h.u16(0xFFFE); h.u16(9); h.u16(6);
    h.data.append(QByteArray(6, '\0'));
    h.u32(0); h.u32(fat); h.u32(dirSector); h.u32(0); h.u32(4096);
    h.u32(EndOfChain); h.u32(0);
    h.u32(dif ? difStart : EndOfChain); h.u32(dif);
    for (quint32 i = 0; i < 109; ++i)
        h.u32(i < fat ? fatStart + i : FreeSect);

    ByteWriter dir;
    auto entry = [&](const QString& name, int type, quint32 child, quint32 start, quint32 sz) {
        const int before = int(dir.data.size());
        dir.utf16(name);
        dir.u16(0);
        dir.data.append(QByteArray(64 - (dir.data.size() - before), '\0'));
        dir.u16(name.isEmpty() ? 0 : int(name.size() + 1) * 2);
        dir.u8(type);
        dir.u8(type ? 1 : 0);
        dir.u32(FreeSect); dir.u32(FreeSect); dir.u32(child);
        dir.data.append(QByteArray(16 + 4 + 16, '\0'));
        dir.u32(start); dir.u32(sz); dir.u32(0);
    };
    entry(QStringLiteral("Root Entry"), 5, 1, EndOfChain, 0);
    entry(streamName, 2, FreeSect, 0, streamSize);
    entry(QString(), 0, FreeSect, 0, 0);
    entry(QString(), 0, FreeSect, 0, 0);

    ByteWriter fatBytes;
    for (quint32 v : table)
        fatBytes.u32(v);
    ByteWriter difBytes;
    for (quint32 d = 0; d < dif; ++d) {
        for (quint32 k = 0; k < 127; ++k) {
            const quint32 index = 109 + d * 127 + k;
            difBytes.u32(index < fat ? fatStart + index : FreeSect);
        }
        difBytes.u32(d + 1 < dif ? difStart + d + 1 : EndOfChain);
    }
    return h.data + stream + dir.data + fatBytes.data + difBytes.data;
}

QByteArray XlsProvider::render() const
{
    if (m_rows > 65536 || m_columns > 256)
        throw ExportError(QStringLiteral("导出的数据超出了 Excel 工作表的范围(65536 行, 256 列)。").toStdString());

    // Colours: the palette holds 56 entries (indexes 8 to 63); the colours met first
    // take them, any further colour uses the nearest one.
    QList<QRgb> palette;
    auto colorIndex = [&palette](const QColor& c) -> int {
        const QRgb rgb = c.rgb() & 0xFFFFFF;
        for (int i = 0; i < palette.size(); ++i)
            if (palette[i] == rgb)
                return 8 + i;
        if (palette.size() < 56) {
            palette.append(rgb);
            return 8 + int(palette.size()) - 1;
        }
        int best = 0;
        long bestDist = LONG_MAX;
        for (int i = 0; i < palette.size(); ++i) {
            const long dr = qRed(palette[i]) - qRed(rgb), dg = qGreen(palette[i]) - qGreen(rgb),
                       db = qBlue(palette[i]) - qBlue(rgb);
            const long dist = dr * dr + dg * dg + db * db;
            if (dist < bestDist) {
                bestDist = dist;
                best = i;
            }
        }
        return 8 + best;
    };
    // Black and white first, so that the usual colours map exactly.
    colorIndex(Qt::black);
    colorIndex(Qt::white);

    // Cell formats: one per style and number format (0 general, 1 date, 2 date and time), made as cells need them.
    struct Xf { int style; int format; };
    QList<Xf> xfs;
    auto xfIndex = [&xfs](int style, int format) {
        for (int i = 0; i < xfs.size(); ++i)
            if (xfs[i].style == style && xfs[i].format == format)
                return CellXfBase + i;
        // A workbook holds about 4000 cell formats; past that, cells keep only their number format.
        if (xfs.size() >= 3900)
            return CellXfBase + format;
        xfs.append(Xf{style, format});
        return CellXfBase + int(xfs.size()) - 1;
    };
    for (int format = 0; format < 3; ++format)
        xfIndex(m_defaultStyle, format);

    // Shared strings and the sheet's records.
    QStringList strings;
    QHash<QString, int> stringIndex;
    int stringTotal = 0;
    ByteWriter sheet;
    {
        ByteWriter b;
        b.u32(0); b.u32(quint32(m_rows)); b.u16(0); b.u16(m_columns); b.u16(0);
        sheet.record(0x0200, b.data);   // DIMENSIONS
    }
    for (int c = 0; c < m_columns; ++c) {
        ByteWriter b;
        b.u16(c); b.u16(c); b.u16(std::min(0xFFFF, columnWidth(c) * 256 / 7)); b.u16(15); b.u16(0); b.u16(0);
        sheet.record(0x007D, b.data);   // COLINFO
    }
    for (int r = 0; r < m_rows; ++r) {
        ByteWriter b;
        b.u16(r); b.u16(0); b.u16(m_columns); b.u16(std::min(0x7FFF, rowHeight(r) * 15)); b.u16(0); b.u16(0);
        b.u16(0x0140); b.u16(0x000F);
        sheet.record(0x0208, b.data);   // ROW
    }
    static const QDate base(1899, 12, 30);
    for (int r = 0; r < m_rows; ++r)
        for (int c = 0; c < m_columns; ++c) {
            const Cell& cl = cell(c, r);
            const QVariant& v = cl.value;
            const int style = cellStyleIndex(cl);
            ByteWriter b;
            b.u16(r); b.u16(c);
            const bool empty = !v.isValid() || v.isNull() || plainText(v).isEmpty();
            if (empty) {
                b.u16(xfIndex(style, 0));
                sheet.record(0x0201, b.data);   // BLANK
            } else if (isNumber(v)) {
                b.u16(xfIndex(style, 0));
                b.f64(v.toDouble());
                sheet.record(0x0203, b.data);   // NUMBER
            } else if (isDate(v)) {
                const QDateTime dt = toDateTime(v);
                b.u16(xfIndex(style, hasTime(v) ? 2 : 1));
                b.f64(double(base.daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0);
                sheet.record(0x0203, b.data);
            } else {
                QString text = plainText(v).left(32767);
                text.remove(u'\r');
                auto it = stringIndex.constFind(text);
                int index;
                if (it == stringIndex.constEnd()) {
                    index = int(strings.size());
                    strings.append(text);
                    stringIndex.insert(text, index);
                } else {
                    index = *it;
                }
                ++stringTotal;
                b.u16(xfIndex(style, 0));
                b.u32(quint32(index));
                sheet.record(0x00FD, b.data);   // LABELSST
            }
        }
    // Merged ranges, at most 1026 to a record.
    QList<std::array<int, 4>> merges;
    for (int r = 0; r < m_rows; ++r)
        for (int c = 0; c < m_columns; ++c) {
            const Cell& cl = cell(c, r);
            if (!cl.covered && (cl.mergeAcross > 0 || cl.mergeDown > 0))
                merges.append({r, r + cl.mergeDown, c, c + cl.mergeAcross});
        }
    for (qsizetype first = 0; first < merges.size(); first += 1026) {
        ByteWriter b;
        const qsizetype n = std::min<qsizetype>(1026, merges.size() - first);
        b.u16(int(n));
        for (qsizetype i = first; i < first + n; ++i)
            for (int k : merges[i])
                b.u16(k);
        sheet.record(0x00E5, b.data);   // MERGEDCELLS
    }
    {
        ByteWriter b;
        b.u16(0x06B6); b.u16(0); b.u16(0); b.u16(0x40); b.u16(0); b.u16(0); b.u16(0); b.u32(0);
        sheet.record(0x023E, b.data);   // WINDOW2
    }
    sheet.record(0x000A, QByteArray());   // EOF

    // Colours of the cell formats, so that the palette is complete before it is written.
    struct XfColors { int fill, font, border[4]; };
    QList<XfColors> xfColors;
    for (const Xf& xf : xfs) {
        const ExportCellStyle& s = m_styles[xf.style];
        XfColors xc;
        xc.fill = colorIndex(s.brushColor);
        xc.font = colorIndex(s.fontColor);
        for (int k = 0; k < 4; ++k)
            xc.border[k] = s.borders[k].width > 0 ? colorIndex(s.borders[k].color) : 0;
        xfColors.append(xc);
    }

    auto bof = [](int kind) {
        ByteWriter b;
        b.u16(0x0600); b.u16(kind); b.u16(0x0DBB); b.u16(0x07CC); b.u32(0); b.u32(0x06);
        return b.data;
    };
    auto font = [](const QString& name, int size, bool bold, bool italic, bool underline, bool strike, int color) {
        ByteWriter b;
        b.u16(std::max(1, size) * 20);
        b.u16((italic ? 0x02 : 0) | (strike ? 0x08 : 0));
        b.u16(color); b.u16(bold ? 700 : 400); b.u16(0); b.u8(underline ? 1 : 0); b.u8(0); b.u8(1); b.u8(0);
        const QString n = name.left(255);
        b.u8(int(n.size())); b.u8(1); b.utf16(n);
        return b.data;
    };
    auto xlString = [](ByteWriter& b, const QString& s) { b.u16(int(s.size())); b.u8(1); b.utf16(s); };

    ByteWriter g;
    g.record(0x0809, bof(0x0005));
    { ByteWriter b; b.u16(0x04B0); g.record(0x0042, b.data); }                    // CODEPAGE: UTF-16
    { ByteWriter b; b.u16(0); b.u16(0); b.u16(0x3000); b.u16(0x1E00); b.u16(0x0038); b.u16(0); b.u16(0); b.u16(1); b.u16(0x0258);
      g.record(0x003D, b.data); }                                                  // WINDOW1
    const ExportCellStyle& d = m_styles[m_defaultStyle];
    for (int i = 0; i < 4; ++i)
        g.record(0x0031, font(d.fontName, d.fontSize, false, false, false, false, 0x7FFF));
    // The fonts of the cell formats, each written once: indexes 5 and up (index 4 does not exist).
    QList<QByteArray> fonts;
    QList<int> xfFont;
    for (int i = 0; i < xfs.size(); ++i) {
        const ExportCellStyle& s = m_styles[xfs[i].style];
        const QByteArray f = font(s.fontName, s.fontSize, s.bold, s.italic, s.underline, s.strikeOut, xfColors[i].font);
        qsizetype at = fonts.indexOf(f);
        if (at < 0) {
            fonts.append(f);
            at = fonts.size() - 1;
        }
        xfFont.append(5 + int(at));
    }
    for (const QByteArray& f : std::as_const(fonts))
        g.record(0x0031, f);
    { ByteWriter b; b.u16(164); xlString(b, QStringLiteral("yyyy/mm/dd")); g.record(0x041E, b.data); }
    { ByteWriter b; b.u16(165); xlString(b, QStringLiteral("yyyy/mm/dd hh:mm:ss")); g.record(0x041E, b.data); }
    // Style formats 0 to 14 and the default cell format 15.
    for (int i = 0; i < 16; ++i) {
        ByteWriter b;
        b.u16(0); b.u16(0); b.u16(i < 15 ? 0xFFF5 : 0x0001); b.u8(0x20); b.u8(0); b.u8(0); b.u8(i < 15 ? 0xF4 : 0);
        b.u32(0); b.u32(0); b.u16(0x20C0);
        g.record(0x00E0, b.data);
    }
    for (int i = 0; i < xfs.size(); ++i) {
        const ExportCellStyle& s = m_styles[xfs[i].style];
        const XfColors& xc = xfColors[i];
        ByteWriter b;
        b.u16(xfFont[i]);
        b.u16(xfs[i].format == 1 ? 164 : xfs[i].format == 2 ? 165 : 0);
        b.u16(0x0001);
        const int h = s.alignment & Qt::AlignRight ? 3 : s.alignment & Qt::AlignHCenter ? 2 : 1;
        b.u8(h | (1 << 4));
        b.u8(0); b.u8(0); b.u8(0xFC);
        auto line = [&s](int side) { return s.borders[side].width <= 0 ? 0 : s.borders[side].width >= 2 ? 2 : 1; };
        b.u32(quint32(line(0)) | quint32(line(2)) << 4 | quint32(line(1)) << 8 | quint32(line(3)) << 12
              | quint32(xc.border[0] & 0x7F) << 16 | quint32(xc.border[2] & 0x7F) << 23);
        b.u32(quint32(xc.border[1] & 0x7F) | quint32(xc.border[3] & 0x7F) << 7 | quint32(1) << 26);
        b.u16((xc.fill & 0x7F) | (0x40 << 7));
        g.record(0x00E0, b.data);
    }
    { ByteWriter b; b.u16(0x8000); b.u8(0); b.u8(0xFF); g.record(0x0293, b.data); }   // STYLE Normal
    {
        ByteWriter b;
        b.u16(56);
        for (int i = 0; i < 56; ++i) {
            const QRgb rgb = i < palette.size() ? palette[i] : 0xFFFFFF;
            b.u8(qRed(rgb)); b.u8(qGreen(rgb)); b.u8(qBlue(rgb)); b.u8(0);
        }
        g.record(0x0092, b.data);                                                 // PALETTE
    }
    const qsizetype sheetOffsetAt = g.data.size() + 4;
    { ByteWriter b; b.u32(0); b.u8(0); b.u8(0); b.u8(6); b.u8(1); b.utf16(QStringLiteral("Sheet1"));
      g.record(0x0085, b.data); }                                                  // BOUNDSHEET
    // Shared strings, continued in CONTINUE records past 8224 bytes; a string
    // split there repeats its option byte.
    {
        QList<QByteArray> parts;
        ByteWriter cur;
        cur.u32(quint32(stringTotal)); cur.u32(quint32(strings.size()));
        constexpr int Limit = 8224;
        for (const QString& s : strings) {
            if (cur.data.size() + 3 > Limit) {
                parts.append(cur.data);
                cur.data.clear();
            }
            cur.u16(int(s.size())); cur.u8(1);
            int i = 0;
            while (i < s.size()) {
                const int room = int((Limit - cur.data.size()) / 2);
                if (room <= 0) {
                    parts.append(cur.data);
                    cur.data.clear();
                    cur.u8(1);
                    continue;
                }
                const int n = std::min(room, int(s.size()) - i);
                cur.utf16(s.mid(i, n));
                i += n;
            }
        }
        parts.append(cur.data);
        for (int i = 0; i < parts.size(); ++i)
            g.record(i == 0 ? 0x00FC : 0x003C, parts[i]);
    }
    g.record(0x000A, QByteArray());

    QByteArray stream = g.data;
    const quint32 sheetOffset = quint32(stream.size());
    for (int k = 0; k < 4; ++k)
        stream[sheetOffsetAt + k] = char((sheetOffset >> (8 * k)) & 0xFF);
    ByteWriter sheetBof;
    sheetBof.record(0x0809, bof(0x0010));
    stream += sheetBof.data + sheet.data;
    return CompoundFile(stream, QStringLiteral("Workbook"));
}

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
    case ExportXls:
        return std::unique_ptr<ExportProvider>(new XlsProvider(fileName));
    default:
        throw ExportError(QStringLiteral("不支持的导出类型(%1)").arg(kind).toStdString());
    }
}

} // namespace kvui
