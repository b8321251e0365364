#include "XlsWorkbook.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <freexl.h>

#include <cmath>

namespace kvui {

namespace {

quint16 u16At(const QByteArray& b, qsizetype at)
{
    if (at < 0 || at + 2 > b.size())
        return 0;
    return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8);
}
quint32 u32At(const QByteArray& b, qsizetype at)
{
    if (at < 0 || at + 4 > b.size())
        return 0;
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16
           | quint32(quint8(b[at + 3])) << 24;
}

// ---- the compound file around the workbook stream --------------------------

constexpr quint32 EndOfChain = 0xFFFFFFFE;

class CompoundFile {
public:
    explicit CompoundFile(QByteArray data) : m_data(std::move(data)) {}

    // The named stream's bytes; false when the container is damaged or has no such stream.
    bool stream(const QStringList& names, QByteArray& out)
    {
        if (m_data.size() < 512 || !m_data.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1")))
            return false;
        const int shift = u16At(m_data, 0x1E);
        if (shift != 9 && shift != 12)
            return false;
        m_sectorSize = 1 << shift;
        m_miniSize = 1 << std::clamp<int>(u16At(m_data, 0x20), 1, 12);
        if (!readFat())
            return false;
        QByteArray dir;
        if (!chain(u32At(m_data, 0x30), m_fat, dir))
            return false;
        const quint32 cutoff = u32At(m_data, 0x38);
        QByteArray miniStream, miniFatBytes;
        QList<quint32> miniFat;
        for (qsizetype at = 0; at + 128 <= dir.size(); at += 128) {
            const int nameBytes = std::min<int>(u16At(dir, at + 64), 64);
            const QString name = QString::fromUtf16(reinterpret_cast<const char16_t*>(dir.constData() + at),
                                                    std::max(0, nameBytes / 2 - 1));
            const int type = quint8(dir.at(at + 66));
            const quint32 start = u32At(dir, at + 116);
            const quint32 size = u32At(dir, at + 120);
            if (type == 5) {   // root: the mini stream
                if (!chain(start, m_fat, miniStream))
                    return false;
                if (u32At(m_data, 0x40) > 0) {
                    if (!chain(u32At(m_data, 0x3C), m_fat, miniFatBytes))
                        return false;
                    for (qsizetype i = 0; i + 4 <= miniFatBytes.size(); i += 4)
                        miniFat.append(u32At(miniFatBytes, i));
                }
                continue;
            }
            if (type != 2 || !names.contains(name, Qt::CaseInsensitive))
                continue;
            bool ok;
            if (size < cutoff) {
                ok = miniChain(start, miniFat, miniStream, out);
            } else {
                ok = chain(start, m_fat, out);
            }
            if (!ok || out.size() < qsizetype(size))
                return false;
            out.truncate(size);
            return true;
        }
        return false;
    }

private:
    qsizetype sectorOffset(quint32 s) const { return qsizetype(s + 1) * m_sectorSize; }

    bool readFat()
    {
        QList<quint32> fatSectors;
        const quint32 fatCount = u32At(m_data, 0x2C);
        for (int i = 0; i < 109 && quint32(fatSectors.size()) < fatCount; ++i)
            fatSectors.append(u32At(m_data, 0x4C + i * 4));
        quint32 dif = u32At(m_data, 0x44);
        for (quint32 guard = 0; dif < EndOfChain - 1 && quint32(fatSectors.size()) < fatCount; ++guard) {
            if (guard > 100000 || sectorOffset(dif) + m_sectorSize > m_data.size())
                return false;
            const int per = m_sectorSize / 4 - 1;
            for (int k = 0; k < per && quint32(fatSectors.size()) < fatCount; ++k)
                fatSectors.append(u32At(m_data, sectorOffset(dif) + k * 4));
            dif = u32At(m_data, sectorOffset(dif) + per * 4);
        }
        for (quint32 s : fatSectors) {
            if (sectorOffset(s) + m_sectorSize > m_data.size())
                return false;
            for (int k = 0; k < m_sectorSize / 4; ++k)
                m_fat.append(u32At(m_data, sectorOffset(s) + k * 4));
        }
        return !m_fat.isEmpty();
    }

    bool chain(quint32 s, const QList<quint32>& fat, QByteArray& out)
    {
        out.clear();
        qsizetype guard = 0;
        while (s != EndOfChain) {
            if (s >= quint32(fat.size()) || ++guard > fat.size() || sectorOffset(s) + m_sectorSize > m_data.size())
                return false;
            out.append(m_data.constData() + sectorOffset(s), m_sectorSize);
            s = fat[s];
        }
        return true;
    }

    bool miniChain(quint32 s, const QList<quint32>& miniFat, const QByteArray& miniStream, QByteArray& out)
    {
        out.clear();
        qsizetype guard = 0;
        while (s != EndOfChain) {
            const qsizetype at = qsizetype(s) * m_miniSize;
            if (s >= quint32(miniFat.size()) || ++guard > miniFat.size() || at + m_miniSize > miniStream.size())
                return false;
            out.append(miniStream.constData() + at, m_miniSize);
            s = miniFat[s];
        }
        return true;
    }

    QByteArray m_data;
    int m_sectorSize = 512, m_miniSize = 64;
    QList<quint32> m_fat;
};

// The built-in number formats that the workbook need not list.
QString builtinFormat(int index)
{
    switch (index) {
    case 0: return QStringLiteral("General");
    case 1: return QStringLiteral("0");
    case 2: return QStringLiteral("0.00");
    case 3: return QStringLiteral("#,##0");
    case 4: return QStringLiteral("#,##0.00");
    case 9: return QStringLiteral("0%");
    case 10: return QStringLiteral("0.00%");
    case 11: return QStringLiteral("0.00E+00");
    case 14: return QStringLiteral("yyyy/mm/dd");
    case 15: return QStringLiteral("d-mmm-yy");
    case 16: return QStringLiteral("d-mmm");
    case 17: return QStringLiteral("mmm-yy");
    case 18: return QStringLiteral("h:mm AM/PM");
    case 19: return QStringLiteral("h:mm:ss AM/PM");
    case 20: return QStringLiteral("h:mm");
    case 21: return QStringLiteral("h:mm:ss");
    case 22: return QStringLiteral("yyyy/mm/dd h:mm");
    case 37: return QStringLiteral("#,##0 ;(#,##0)");
    case 38: return QStringLiteral("#,##0 ;[Red](#,##0)");
    case 39: return QStringLiteral("#,##0.00;(#,##0.00)");
    case 40: return QStringLiteral("#,##0.00;[Red](#,##0.00)");
    case 45: return QStringLiteral("mm:ss");
    case 46: return QStringLiteral("[h]:mm:ss");
    case 47: return QStringLiteral("mm:ss.0");
    case 48: return QStringLiteral("##0.0E+0");
    case 49: return QStringLiteral("@");
    default: return QStringLiteral("General");
    }
}

// The format's first section without quoted texts, escapes and bracketed parts.
QString formatTokens(const QString& format)
{
    QString out;
    bool quoted = false;
    int bracket = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (quoted) {
            if (c == u'"') quoted = false;
            continue;
        }
        if (c == u'"') { quoted = true; continue; }
        if (c == u'\\' || c == u'_' || c == u'*') { ++i; continue; }
        if (c == u'[') { ++bracket; continue; }
        if (c == u']') { bracket = std::max(0, bracket - 1); continue; }
        if (bracket) continue;
        if (c == u';') break;
        out += c;
    }
    return out;
}

bool hasDatePart(const QString& tokens)
{
    const QString t = tokens.toLower();
    return t.contains(u'y') || t.contains(u'd') || (t.contains(u'm') && !t.contains(u'h') && !t.contains(u's'));
}
bool hasTimePart(const QString& tokens)
{
    const QString t = tokens.toLower();
    return t.contains(u'h') || t.contains(u's');
}

QString dateTimeText(const QDateTime& dt, const QString& format)
{
    const QString tokens = formatTokens(format);
    const bool date = hasDatePart(tokens) || !hasTimePart(tokens);
    const bool time = hasTimePart(tokens) || (dt.time() != QTime(0, 0) && !date);
    if (date && time)
        return dt.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
    if (time)
        return dt.time().toString(QStringLiteral("hh:mm:ss"));
    return dt.date().toString(QStringLiteral("yyyy/MM/dd"));
}

QString generalNumber(double value)
{
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    QString s = QString::number(value, 'g', 10);
    return s;
}

} // namespace

QString XlsWorkbook::columnName(int col)
{
    QString name;
    for (int n = col + 1; n > 0; n = (n - 1) / 26)
        name.prepend(QChar(u'A' + (n - 1) % 26));
    return name;
}

QString XlsWorkbook::rowName(int row)
{
    return QString::number(row + 1);
}

QString XlsWorkbook::formatNumber(double value, const QString& format)
{
    if (format.isEmpty() || format.compare(QStringLiteral("General"), Qt::CaseInsensitive) == 0 || format == u"@")
        return generalNumber(value);
    // Negative numbers take the second section when there is one (without a sign).
    QString section = format;
    {
        QStringList sections;
        QString cur;
        bool quoted = false;
        for (QChar c : format) {
            if (c == u'"') quoted = !quoted;
            if (c == u';' && !quoted) { sections << cur; cur.clear(); continue; }
            cur += c;
        }
        sections << cur;
        section = sections.first();
        if (value < 0 && sections.size() > 1 && !sections[1].isEmpty()) {
            section = sections[1];
            value = -value;
        }
    }
    // Literal text before and after the digits; the digit pattern in between.
    QString prefix, suffix, pattern;
    bool quoted = false, inDigits = false, afterDigits = false;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (quoted) {
            if (c == u'"') { quoted = false; continue; }
            (inDigits || afterDigits ? suffix : prefix) += c;
            continue;
        }
        if (c == u'"') { quoted = true; continue; }
        if (c == u'[') { const qsizetype e = section.indexOf(u']', i); i = e < 0 ? section.size() : e;
            continue; }
        if (c == u'\\') { if (i + 1 < section.size()) (inDigits || afterDigits ? suffix : prefix) += section[++i]; continue; }
        if (c == u'_' || c == u'*') { ++i; if (c == u'_') (inDigits || afterDigits ? suffix : prefix) += u' '; continue; }
        const bool digitChar = c == u'0' || c == u'#' || c == u'?' || c == u'.' || c == u',' || c == u'E' || c == u'e'
                               || ((c == u'+' || c == u'-') && inDigits && pattern.endsWith(u'E', Qt::CaseInsensitive));
        if (digitChar && !afterDigits) {
            inDigits = true;
            pattern += c;
        } else {
            if (inDigits) { afterDigits = true; inDigits = false; }
            (afterDigits ? suffix : prefix) += c;
        }
    }
    if (pattern.isEmpty())
        return prefix + generalNumber(value) + suffix;
    if (prefix.contains(u'%') || suffix.contains(u'%'))
        value *= 100;
    const qsizetype ePos = pattern.indexOf(u'E', 0, Qt::CaseInsensitive);
    const QString mantissa = ePos >= 0 ? pattern.left(ePos) : pattern;
    const qsizetype dot = mantissa.indexOf(u'.');
    const QString fraction = dot >= 0 ? mantissa.mid(dot + 1) : QString();
    int decimals = 0;
    for (QChar c : fraction)
        if (c == u'0' || c == u'#' || c == u'?') ++decimals;
    QString body;
    if (ePos >= 0) {
        body = QString::number(value, 'E', decimals);
    } else {
        const bool thousands = (dot >= 0 ? mantissa.left(dot) : mantissa).contains(u',');
        QLocale c = QLocale::c();
        if (thousands)
            c.setNumberOptions(QLocale::DefaultNumberOptions);
        else
            c.setNumberOptions(QLocale::OmitGroupSeparator);
        body = c.toString(value, 'f', decimals);
    }
    return prefix + body + suffix;
}

void XlsWorkbook::clear()
{
    m_fileName.clear();
    m_sheets.clear();
    m_formats.clear();
}

QString XlsWorkbook::sheetName(int sheet) const
{
    return sheet >= 0 && sheet < m_sheets.size() ? m_sheets[sheet].name : QString();
}
int XlsWorkbook::columnCount(int sheet) const
{
    return sheet >= 0 && sheet < m_sheets.size() ? m_sheets[sheet].columns : 0;
}
int XlsWorkbook::rowCount(int sheet) const
{
    return sheet >= 0 && sheet < m_sheets.size() ? m_sheets[sheet].rows : 0;
}
XlsCell XlsWorkbook::cell(int sheet, int col, int row) const
{
    if (sheet < 0 || sheet >= m_sheets.size())
        return {};
    return m_sheets[sheet].cells.value(key(col, row));
}
QList<XlsRange> XlsWorkbook::mergedAreas(int sheet) const
{
    return sheet >= 0 && sheet < m_sheets.size() ? m_sheets[sheet].merged : QList<XlsRange>();
}
XlsRange XlsWorkbook::mergedAreaAt(int sheet, int col, int row) const
{
    for (const XlsRange& r : mergedAreas(sheet))
        if (r.contains(col, row))
            return r;
    return {};
}

QString XlsWorkbook::formatString(int index) const
{
    return m_formats.contains(index) ? m_formats.value(index) : builtinFormat(index);
}

bool XlsWorkbook::isDateTimeFormat(int index) const
{
    if (index < 0 || index > 255)
        return false;
    if ((index >= 14 && index <= 22) || (index >= 45 && index <= 47))
        return true;
    if (!m_formats.contains(index))
        return false;
    const QString tokens = formatTokens(m_formats.value(index));
    if (tokens.contains(u'0') || tokens.contains(u'#'))
        return tokens.contains(u'h', Qt::CaseInsensitive) || tokens.contains(u's', Qt::CaseInsensitive)
                   ? !tokens.contains(u'#') : false;
    return hasDatePart(tokens) || hasTimePart(tokens);
}

QString XlsWorkbook::displayText(int sheet, int col, int row) const
{
    const XlsCell c = cell(sheet, col, row);
    switch (c.type) {
    case XlsCellType::Empty: return QString();
    case XlsCellType::Text: return c.value.toString();
    case XlsCellType::Error: return c.value.toString();
    case XlsCellType::DateTime: return dateTimeText(c.value.toDateTime(), formatString(c.format));
    case XlsCellType::Number: break;
    }
    if (isDateTimeFormat(c.format)) {
        const double v = c.value.toDouble();
        if (v >= 0 && v < 2958466) {
            const QDateTime dt(QDate(1899, 12, 30).addDays(qint64(std::floor(v))),
                               QTime(0, 0).addMSecs(int(std::llround((v - std::floor(v)) * 86400000.0)) % 86400000));
            return dateTimeText(dt, formatString(c.format));
        }
    }
    return formatNumber(c.value.toDouble(), formatString(c.format));
}

bool XlsWorkbook::readRecords(const QByteArray& s, QList<QList<XlsRange>>& merged, QList<QHash<quint64, int>>& xfOfCell,
                              QList<int>& xfFormat, QString* error)
{
    auto fail = [error](const QString& text) {
        if (error) *error = text;
        return false;
    };
    const QString damaged = QStringLiteral("文件已损坏或不完整, 无法读取。");
    QList<quint32> sheetOffsets;
    qsizetype at = 0;
    bool sawBof = false, sawEof = false;
    while (at + 4 <= s.size()) {
        const quint16 type = u16At(s, at), len = u16At(s, at + 2);
        const qsizetype body = at + 4;
        if (body + len > s.size())
            return fail(damaged);
        const QByteArray b = s.mid(body, len);
        if (!sawBof) {
            if (type != 0x0809)
                return fail(QStringLiteral("文件不是Excel 97-2003工作簿(*.xls), 无法读取。"));
            sawBof = true;
        } else if (type == 0x002F) {
            return fail(QStringLiteral("工作簿受密码保护, 无法读取。"));
        } else if (type == 0x041E && len >= 5) {   // FORMAT
            const int index = u16At(b, 0), count = u16At(b, 2);
            const bool wide = quint8(b.at(4)) & 1;
            QString text;
            if (wide)
                text = QString::fromUtf16(reinterpret_cast<const char16_t*>(b.constData() + 5),
                                          std::min<qsizetype>(count, (len - 5) / 2));
            else
                text = QString::fromLatin1(b.constData() + 5, std::min<qsizetype>(count, len - 5));
            m_formats.insert(index, text);
        } else if (type == 0x00E0 && len >= 4) {   // XF
            xfFormat.append(u16At(b, 2));
        } else if (type == 0x0085 && len >= 6) {   // BOUNDSHEET
            sheetOffsets.append(u32At(b, 0));
        } else if (type == 0x000A) {
            sawEof = true;
            break;
        }
        at = body + len;
    }
    if (!sawEof)
        return fail(damaged);
    for (quint32 offset : sheetOffsets) {
        QList<XlsRange> areas;
        QHash<quint64, int> xfs;
        qsizetype p = offset;
        if (u16At(s, p) != 0x0809)
            return fail(damaged);
        bool ended = false;
        while (p + 4 <= s.size()) {
            const quint16 type = u16At(s, p), len = u16At(s, p + 2);
            const qsizetype body = p + 4;
            if (body + len > s.size())
                return fail(damaged);
            const QByteArray b = s.mid(body, len);
            switch (type) {
            case 0x0006: case 0x0201: case 0x0203: case 0x0204: case 0x0205: case 0x00FD: case 0x027E:
                if (len >= 6)
                    xfs.insert(key(u16At(b, 2), u16At(b, 0)), u16At(b, 4));
                break;
            case 0x00BD:   // MULRK: xf and value per column
                for (int k = 0; 4 + k * 6 + 2 <= len - 2; ++k)
                    xfs.insert(key(u16At(b, 2) + k, u16At(b, 0)), u16At(b, 4 + k * 6));
                break;
            case 0x00BE:   // MULBLANK: xf per column
                for (int k = 0; 4 + k * 2 + 2 <= len - 2; ++k)
                    xfs.insert(key(u16At(b, 2) + k, u16At(b, 0)), u16At(b, 4 + k * 2));
                break;
            case 0x00E5:   // MERGEDCELLS
                for (int k = 0; k < u16At(b, 0) && 2 + k * 8 + 8 <= len; ++k) {
                    const qsizetype q = 2 + k * 8;
                    areas.append({u16At(b, q + 4), u16At(b, q), u16At(b, q + 6), u16At(b, q + 2)});
                }
                break;
            default:
                break;
            }
            p = body + len;
            if (type == 0x000A) {
                ended = true;
                break;
            }
        }
        if (!ended)
            return fail(damaged);
        merged.append(areas);
        xfOfCell.append(xfs);
    }
    return true;
}

bool XlsWorkbook::load(const QString& path, QString* error)
{
    clear();
    auto fail = [this, error](const QString& text) {
        clear();
        if (error) *error = text;
        return false;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("文件\"%1\"不存在或无法打开。").arg(path));
    const QByteArray data = file.readAll();
    file.close();
    const QString notXls = QStringLiteral("文件\"%1\"不是Excel 97-2003工作簿(*.xls), 无法读取。").arg(path);
    if (data.isEmpty())
        return fail(QStringLiteral("文件\"%1\"是空文件, 无法读取。").arg(path));
    if (!data.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1")))
        return fail(notXls);

    // Our own reading first: it tells a protected or damaged file apart before
    // FreeXL reads the values.
    QByteArray stream;
    CompoundFile cf(data);
    if (!cf.stream({QStringLiteral("Workbook"), QStringLiteral("Book")}, stream))
        return fail(QStringLiteral("文件\"%1\"已损坏或不是Excel工作簿, 无法读取。").arg(path));
    QList<QList<XlsRange>> merged;
    QList<QHash<quint64, int>> xfOfCell;
    QList<int> xfFormat;
    QString reason;
    if (!readRecords(stream, merged, xfOfCell, xfFormat, &reason))
        return fail(QStringLiteral("文件\"%1\": %2").arg(path, reason));

    const void* handle = nullptr;
    const QByteArray local = QFile::encodeName(path);
    int rc = freexl_open(local.constData(), &handle);
    if (rc != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        return fail(QStringLiteral("文件\"%1\"已损坏或不是Excel工作簿, 无法读取(错误号: %2)。").arg(path).arg(rc));
    }
    struct Closer {
        const void* h;
        ~Closer() { freexl_close(h); }
    } closer{handle};
    unsigned int info = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
        return fail(QStringLiteral("文件\"%1\": 工作簿受密码保护, 无法读取。").arg(path));
    unsigned int sheetCount = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK)
        return fail(QStringLiteral("文件\"%1\"已损坏, 无法读取工作表。").arg(path));
    for (unsigned int i = 0; i < sheetCount; ++i) {
        Sheet sheet;
        const char* name = nullptr;
        if (freexl_get_worksheet_name(handle, quint16(i), &name) == FREEXL_OK && name)
            sheet.name = QString::fromUtf8(name);
        unsigned int rows = 0;
        unsigned short cols = 0;
        if (freexl_select_active_worksheet(handle, quint16(i)) != FREEXL_OK
            || freexl_worksheet_dimensions(handle, &rows, &cols) != FREEXL_OK)
            return fail(QStringLiteral("文件\"%1\"已损坏, 无法读取工作表\"%2\"。").arg(path, sheet.name));
        const QHash<quint64, int> xfs = xfOfCell.value(int(i));
        sheet.merged = merged.value(int(i));
        for (unsigned int r = 0; r < rows; ++r)
            for (unsigned short c = 0; c < cols; ++c) {
                FreeXL_CellValue v;
                if (freexl_get_cell_value(handle, r, c, &v) != FREEXL_OK)
                    return fail(QStringLiteral("文件\"%1\"已损坏, 无法读取单元格%2%3。")
                                    .arg(path, columnName(c), rowName(int(r))));
                XlsCell cell;
                const int xf = xfs.value(key(c, int(r)), -1);
                cell.format = xf >= 0 && xf < xfFormat.size() ? xfFormat[xf] : 0;
                switch (v.type) {
                case FREEXL_CELL_INT:
                    cell.type = XlsCellType::Number;
                    cell.value = double(v.value.int_value);
                    break;
                case FREEXL_CELL_DOUBLE:
                    cell.type = XlsCellType::Number;
                    cell.value = v.value.double_value;
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                    cell.type = XlsCellType::Text;
                    cell.value = QString::fromUtf8(v.value.text_value);
                    break;
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME: {
                    const QString t = QString::fromUtf8(v.value.text_value);
                    QDateTime dt;
                    if (v.type == FREEXL_CELL_DATE)
                        dt = QDateTime(QDate::fromString(t, QStringLiteral("yyyy-MM-dd")), QTime(0, 0));
                    else if (v.type == FREEXL_CELL_DATETIME)
                        dt = QDateTime::fromString(t, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
                    else
                        dt = QDateTime(QDate(1899, 12, 30), QTime::fromString(t, QStringLiteral("hh:mm:ss")));
                    cell.type = dt.isValid() ? XlsCellType::DateTime : XlsCellType::Text;
                    cell.value = dt.isValid() ? QVariant(dt) : QVariant(t);
                    break;
                }
                default:
                    break;
                }
                if (cell.type == XlsCellType::Empty)
                    continue;
                sheet.columns = std::max(sheet.columns, c + 1);
                sheet.rows = std::max(sheet.rows, int(r) + 1);
                sheet.cells.insert(key(c, int(r)), cell);
            }
        for (const XlsRange& area : sheet.merged) {
            sheet.columns = std::max(sheet.columns, area.right + 1);
            sheet.rows = std::max(sheet.rows, area.bottom + 1);
        }
        m_sheets.append(sheet);
    }
    m_fileName = path;
    return true;
}

} // namespace kvui
