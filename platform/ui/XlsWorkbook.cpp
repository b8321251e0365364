#include "XlsWorkbook.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include "XlsCompoundFile.h"

#include <cmath>

namespace kvui {

namespace {

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
    m_1904 = false;
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
    if (data.isEmpty())
        return fail(QStringLiteral("文件\"%1\"是空文件, 无法读取。").arg(path));
    if (!data.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1")))
        return fail(QStringLiteral("文件\"%1\"不是Excel 97-2003工作簿(*.xls), 无法读取。").arg(path));
    QByteArray stream;
    if (!readCompoundStream(data, {QStringLiteral("Workbook"), QStringLiteral("Book")}, stream))
        return fail(QStringLiteral("文件\"%1\"已损坏或不是Excel工作簿, 无法读取。").arg(path));
    QString reason;
    if (!readStream(stream, &reason))
        return fail(QStringLiteral("文件\"%1\": %2").arg(path, reason));
    m_fileName = path;
    return true;
}

QDateTime XlsWorkbook::serialDateTime(double serial, int format) const
{
    if (m_1904)
        serial += 1462;
    if (!std::isfinite(serial) || serial < 0 || serial >= 2958466)
        return {};
    const QString tokens = formatTokens(formatString(format));
    const bool date = hasDatePart(tokens) || !hasTimePart(tokens), time = hasTimePart(tokens);
    const double day = std::floor(serial);
    const int ms = int(std::llround((serial - day) * 86400000.0) % 86400000);
    if (!time)
        return QDateTime(QDate(1899, 12, 30).addDays(qint64(day)), QTime(0, 0));
    if (!date)
        return QDateTime(QDate(1899, 12, 30), QTime(0, 0).addMSecs(ms));
    return QDateTime(QDate(1899, 12, 30).addDays(qint64(day)), QTime(0, 0).addMSecs(ms));
}

} // namespace kvui
