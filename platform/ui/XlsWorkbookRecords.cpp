// XlsWorkbook's reading of the workbook stream: the records of the workbook
// globals (sheets, shared strings, formats, cell formats, date system) and of
// each worksheet (cell values, their cell formats, merged areas). Every length,
// count and index in the file is checked against what is there; what does not
// fit is a damaged file.
#include "XlsWorkbook.h"
#include "XlsBytes.h"

#include <QDateTime>
#include <QStringDecoder>

#include <cmath>
#include <cstring>

namespace kvui {

namespace {

using xls::u16At;
using xls::u32At;

double f64At(const QByteArray& b, qsizetype at)
{
    quint64 bits = quint64(u32At(b, at)) | quint64(u32At(b, at + 4)) << 32;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}
// A number packed in 30 bits: an integer or the high half of a double, maybe
// to be divided by 100.
double rkValue(quint32 rk)
{
    double v;
    if (rk & 2) {
        v = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return rk & 1 ? v / 100 : v;
}

constexpr int MaxColumns = 256;

enum : quint16 {
    BOF = 0x0809, EOF_ = 0x000A, CONTINUE = 0x003C, FILEPASS = 0x002F, CODEPAGE = 0x0042, DATEMODE = 0x0022,
    FORMAT = 0x041E, XF = 0x00E0, BOUNDSHEET = 0x0085, SST = 0x00FC,
    NUMBER = 0x0203, RK = 0x027E, MULRK = 0x00BD, LABELSST = 0x00FD, LABEL = 0x0204, RSTRING = 0x00D6,
    DIMENSIONS = 0x0200, BOOLERR = 0x0205, FORMULA = 0x0006, STRING = 0x0207, BLANK = 0x0201, MULBLANK = 0x00BE, MERGEDCELLS = 0x00E5,
};

struct Record {
    quint16 type;
    qsizetype offset;   // of the record header in the stream
    QByteArray body;
};

// A record's body with its CONTINUE records: read across their borders; a
// string's characters that go on in the next part start it with a new option
// byte (whether they are one or two bytes wide).
class Parts {
public:
    explicit Parts(QList<QByteArray> parts) : m_parts(std::move(parts)) {}
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_part >= m_parts.size(); }

    quint8 u8()
    {
        settle();
        if (atEnd()) {
            m_ok = false;
            return 0;
        }
        return quint8(m_parts[m_part][m_at++]);
    }
    quint16 u16() { const quint16 lo = u8(); return quint16(lo | u8() << 8); }
    quint32 u32() { const quint32 lo = u16(); return lo | quint32(u16()) << 16; }
    void skip(qint64 n)
    {
        while (n > 0 && m_ok) {
            settle();
            if (atEnd()) {
                m_ok = false;
                return;
            }
            const qint64 step = std::min<qint64>(n, m_parts[m_part].size() - m_at);
            m_at += step;
            n -= step;
        }
    }
    // A string of the workbook: count, option byte, runs and extra data as the options say.
    QString string(bool countIs16 = true)
    {
        const int count = countIs16 ? u16() : u8();
        const quint8 options = u8();
        const int runs = options & 0x08 ? u16() : 0;
        const quint32 extra = options & 0x04 ? u32() : 0;
        const QString text = characters(count, options & 0x01);
        skip(qint64(runs) * 4 + extra);
        return m_ok ? text : QString();
    }

private:
    void settle()
    {
        while (m_part < m_parts.size() && m_at >= m_parts[m_part].size()) {
            ++m_part;
            m_at = 0;
        }
    }
    QString characters(int count, bool wide)
    {
        QString text;
        text.reserve(std::min(count, 8224));
        while (count > 0 && m_ok) {
            if (m_part < m_parts.size() && m_at >= m_parts[m_part].size()) {
                ++m_part;
                m_at = 0;
                if (atEnd()) {
                    m_ok = false;
                    break;
                }
                wide = quint8(m_parts[m_part][m_at++]) & 0x01;
                continue;
            }
            if (atEnd()) {
                m_ok = false;
                break;
            }
            const QByteArray& p = m_parts[m_part];
            if (wide) {
                if (m_at + 2 > p.size()) {
                    m_ok = false;
                    break;
                }
                text += QChar(u16At(p, m_at));
                m_at += 2;
            } else {
                text += QChar(quint8(p[m_at]));
                m_at += 1;
            }
            --count;
        }
        return text;
    }

    QList<QByteArray> m_parts;
    qsizetype m_part = 0, m_at = 0;
    bool m_ok = true;
};

// Texts of workbooks from before Excel 97: one byte a character in the workbook's code page.
QString decode8Bit(const QByteArray& bytes, int codePage)
{
    QByteArray name;
    switch (codePage) {
    case 936: name = "GBK"; break;
    case 950: name = "Big5"; break;
    case 932: name = "Shift_JIS"; break;
    case 65001: name = "UTF-8"; break;
    case 367: case 1200: name = "ISO-8859-1"; break;
    default: name = "windows-" + QByteArray::number(codePage); break;
    }
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QString errorText(int code)
{
    switch (code) {
    case 0x00: return QStringLiteral("#NULL!");
    case 0x07: return QStringLiteral("#DIV/0!");
    case 0x0F: return QStringLiteral("#VALUE!");
    case 0x17: return QStringLiteral("#REF!");
    case 0x1D: return QStringLiteral("#NAME?");
    case 0x24: return QStringLiteral("#NUM!");
    default: return QStringLiteral("#N/A");
    }
}

} // namespace

bool XlsWorkbook::readStream(const QByteArray& s, QString* error)
{
    auto fail = [error](const QString& text) {
        if (error) *error = text;
        return false;
    };
    const QString damaged = QStringLiteral("文件已损坏或不完整, 无法读取。");

    // The records as they follow each other, up to the first one that overruns the stream.
    QList<Record> records;
    for (qsizetype at = 0; at + 4 <= s.size();) {
        const quint16 type = u16At(s, at), len = u16At(s, at + 2);
        if (at + 4 + len > s.size())
            break;
        records.append(Record{type, at, s.mid(at + 4, len)});
        at += 4 + len;
    }
    if (records.isEmpty() || records[0].type != BOF || records[0].body.size() < 4)
        return fail(QStringLiteral("文件不是Excel 97-2003工作簿(*.xls), 无法读取。"));
    const bool biff8 = u16At(records[0].body, 0) == 0x0600;
    if (!biff8 && u16At(records[0].body, 0) != 0x0500)
        return fail(QStringLiteral("文件不是Excel 97-2003工作簿(*.xls), 无法读取。"));
    // A record's CONTINUE records, after index i.
    auto withContinues = [&records](qsizetype i) {
        QList<QByteArray> parts{records[i].body};
        for (qsizetype k = i + 1; k < records.size() && records[k].type == CONTINUE; ++k)
            parts.append(records[k].body);
        return parts;
    };

    struct SheetEntry {
        quint32 offset;
        QString name;
    };
    QList<SheetEntry> sheetEntries;
    QStringList strings;
    QList<int> xfFormat;
    int codePage = 1252;
    bool sawEof = false;
    for (qsizetype i = 1; i < records.size() && !sawEof; ++i) {
        const Record& r = records[i];
        const QByteArray& b = r.body;
        switch (r.type) {
        case FILEPASS:
            return fail(QStringLiteral("工作簿受密码保护, 无法读取。"));
        case CODEPAGE:
            codePage = u16At(b, 0);
            break;
        case DATEMODE:
            m_1904 = u16At(b, 0) == 1;
            break;
        case FORMAT: {
            if (b.size() < 3)
                return fail(damaged);
            QString text;
            if (biff8) {
                Parts p({b.mid(2)});
                text = p.string();
                if (!p.ok())
                    return fail(damaged);
            } else {
                text = decode8Bit(b.mid(3, quint8(b[2])), codePage);
            }
            m_formats.insert(u16At(b, 0), text);
            break;
        }
        case XF:
            if (b.size() < 4)
                return fail(damaged);
            xfFormat.append(u16At(b, 2));
            break;
        case BOUNDSHEET: {
            if (b.size() < 7)
                return fail(damaged);
            if (quint8(b[5]) != 0)   // charts and macro sheets hold no cells to import
                break;
            QString name;
            if (biff8) {
                Parts p({b.mid(6)});
                name = p.string(false);
                if (!p.ok())
                    return fail(damaged);
            } else {
                name = decode8Bit(b.mid(7, quint8(b[6])), codePage);
            }
            sheetEntries.append(SheetEntry{u32At(b, 0), name});
            break;
        }
        case SST: {
            Parts p(withContinues(i));
            p.skip(4);
            const quint32 count = p.u32();
            // Each string takes three bytes at least: a count beyond the record is damage.
            for (quint32 k = 0; k < count && p.ok(); ++k) {
                if (p.atEnd())
                    return fail(damaged);
                strings.append(p.string());
            }
            if (!p.ok())
                return fail(damaged);
            break;
        }
        case EOF_:
            sawEof = true;
            break;
        default:
            break;
        }
    }
    if (!sawEof)
        return fail(damaged);

    QHash<qsizetype, qsizetype> recordAt;
    for (qsizetype i = 0; i < records.size(); ++i)
        recordAt.insert(records[i].offset, i);
    for (const SheetEntry& entry : std::as_const(sheetEntries)) {
        Sheet sheet;
        sheet.name = entry.name;
        const qsizetype first = recordAt.value(qsizetype(entry.offset), -1);
        if (first < 0 || records[first].type != BOF)
            return fail(damaged);
        auto place = [&sheet](int col, int row, int xf, XlsCellType type, const QVariant& value) {
            XlsCell cell;
            cell.type = type;
            cell.value = value;
            cell.format = xf;   // an index of a cell format until the formats are known
            sheet.cells.insert(key(col, row), cell);
            sheet.columns = std::max(sheet.columns, col + 1);
            sheet.rows = std::max(sheet.rows, row + 1);
        };
        bool ok = true;
        auto cellAt = [&ok](const QByteArray& b, qsizetype size, int& col, int& row, int& xf) {
            if (b.size() < size) {
                ok = false;
                return false;
            }
            row = u16At(b, 0);
            col = u16At(b, 2);
            xf = u16At(b, 4);
            if (col >= MaxColumns)
                ok = false;
            return ok;
        };
        int depth = 0;
        bool ended = false, sawDimensions = false;
        for (qsizetype i = first; i < records.size() && ok && !ended; ++i) {
            const Record& r = records[i];
            const QByteArray& b = r.body;
            if (r.type == BOF) {
                ++depth;
                continue;
            }
            if (r.type == EOF_) {
                ended = --depth == 0;
                continue;
            }
            if (depth != 1)   // a chart embedded in the sheet
                continue;
            int col = 0, row = 0, xf = 0;
            switch (r.type) {
            case NUMBER:
                if (cellAt(b, 14, col, row, xf))
                    place(col, row, xf, XlsCellType::Number, f64At(b, 6));
                break;
            case RK:
                if (cellAt(b, 10, col, row, xf))
                    place(col, row, xf, XlsCellType::Number, rkValue(u32At(b, 6)));
                break;
            case MULRK: {
                if (!cellAt(b, 12, col, row, xf))
                    break;
                const int n = int((b.size() - 6) / 6);
                if (col + n > MaxColumns) {
                    ok = false;
                    break;
                }
                for (int k = 0; k < n; ++k)
                    place(col + k, row, u16At(b, 4 + k * 6), XlsCellType::Number, rkValue(u32At(b, 6 + k * 6)));
                break;
            }
            case LABELSST:
                if (cellAt(b, 10, col, row, xf)) {
                    const quint32 index = u32At(b, 6);
                    if (index >= quint32(strings.size()))
                        ok = false;
                    else
                        place(col, row, xf, XlsCellType::Text, strings[index]);
                }
                break;
            case LABEL:
            case RSTRING:
                if (cellAt(b, 8, col, row, xf)) {
                    QString text;
                    if (biff8) {
                        Parts p({b.mid(6)});
                        text = p.string();
                        ok = p.ok();
                    } else {
                        const int n = u16At(b, 6);
                        ok = 8 + n <= b.size();
                        text = decode8Bit(b.mid(8, n), codePage);
                    }
                    if (ok)
                        place(col, row, xf, XlsCellType::Text, text);
                }
                break;
            case BOOLERR:
                if (cellAt(b, 8, col, row, xf)) {
                    if (quint8(b[7]))
                        place(col, row, xf, XlsCellType::Error, errorText(quint8(b[6])));
                    else
                        place(col, row, xf, XlsCellType::Number, double(quint8(b[6]) ? 1 : 0));
                }
                break;
            case FORMULA: {
                if (!cellAt(b, 20, col, row, xf))
                    break;
                // The last computed value: a number, or a kind and its value.
                if (u16At(b, 12) != 0xFFFF) {
                    place(col, row, xf, XlsCellType::Number, f64At(b, 6));
                    break;
                }
                switch (quint8(b[6])) {
                case 0: {   // a text, held by the STRING record that follows
                    qsizetype k = i + 1;
                    while (k < records.size() && records[k].type != STRING && records[k].type != EOF_
                           && records[k].type != FORMULA)
                        ++k;
                    if (k >= records.size() || records[k].type != STRING) {
                        ok = false;
                        break;
                    }
                    QString text;
                    if (biff8) {
                        Parts p(withContinues(k));
                        text = p.string();
                        ok = p.ok();
                    } else {
                        const QByteArray& t = records[k].body;
                        const int n = u16At(t, 0);
                        ok = 2 + n <= t.size();
                        text = decode8Bit(t.mid(2, n), codePage);
                    }
                    if (ok)
                        place(col, row, xf, XlsCellType::Text, text);
                    break;
                }
                case 1:
                    place(col, row, xf, XlsCellType::Number, double(quint8(b[8]) ? 1 : 0));
                    break;
                case 2:
                    place(col, row, xf, XlsCellType::Error, errorText(quint8(b[8])));
                    break;
                default:   // an empty text
                    break;
                }
                break;
            }
            case BLANK:
                cellAt(b, 6, col, row, xf);
                break;
            case DIMENSIONS:   // once a sheet, of its version's size: another record changed into one is damage
                if (sawDimensions || b.size() != (biff8 ? 14 : 10))
                    ok = false;
                sawDimensions = true;
                break;
            case MULBLANK:
                if (cellAt(b, 8, col, row, xf) && col + (b.size() - 6) / 2 > MaxColumns)
                    ok = false;
                break;
            case MERGEDCELLS: {
                const int n = u16At(b, 0);
                if (2 + qsizetype(n) * 8 > b.size()) {
                    ok = false;
                    break;
                }
                for (int k = 0; k < n; ++k) {
                    const qsizetype q = 2 + k * 8;
                    const XlsRange area{u16At(b, q + 4), u16At(b, q), u16At(b, q + 6), u16At(b, q + 2)};
                    if (area.left > area.right || area.top > area.bottom || area.right >= MaxColumns) {
                        ok = false;
                        break;
                    }
                    sheet.merged.append(area);
                    sheet.columns = std::max(sheet.columns, area.right + 1);
                    sheet.rows = std::max(sheet.rows, area.bottom + 1);
                }
                break;
            }
            default:
                break;
            }
        }
        if (!ok || !ended)
            return fail(damaged);
        // Cell formats become number formats; numbers in a date or time format become dates.
        for (XlsCell& cell : sheet.cells) {
            const int xf = cell.format;
            cell.format = xf >= 0 && xf < xfFormat.size() ? xfFormat[xf] : 0;
            if (cell.type == XlsCellType::Number && isDateTimeFormat(cell.format)) {
                const QDateTime dt = serialDateTime(cell.value.toDouble(), cell.format);
                if (dt.isValid()) {
                    cell.type = XlsCellType::DateTime;
                    cell.value = dt;
                }
            }
        }
        m_sheets.append(sheet);
    }
    return true;
}

} // namespace kvui
