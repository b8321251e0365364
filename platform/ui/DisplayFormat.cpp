#include "DisplayFormat.h"

#include <QDateTime>
#include <QStringList>
#include <cmath>

namespace kvui {

namespace {

// Splits a picture into its sections at ';' outside quotes.
QStringList splitSections(const QString& picture)
{
    QStringList out;
    QString cur;
    QChar quote;
    for (QChar c : picture) {
        if (!quote.isNull()) {
            cur += c;
            if (c == quote) quote = QChar();
        } else if (c == '"' || c == '\'') {
            quote = c;
            cur += c;
        } else if (c == ';') {
            out << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    out << cur;
    return out;
}

// The value rounded half away from zero to a number of decimals, as plain digits
// with a point. Works on the value's 15 significant digits, so 1234567.005 rounds
// up as written instead of down as its binary form would.
QString roundedDigits(double absValue, int decimals)
{
    QString e = QString::number(absValue, 'e', 14);   // d.dddddddddddddde±xx
    int ePos = e.indexOf('e');
    QString mant = e.left(ePos);
    mant.remove('.');
    int exp = e.mid(ePos + 1).toInt();
    // value = 0.mant * 10^(exp+1)
    int intDigits = exp + 1;
    int keep = intDigits + decimals;  // digits of mant to keep
    QString digits;
    if (keep < 0) {
        digits = QString();
    } else {
        bool up = keep < mant.size() && mant[keep] >= '5';
        digits = mant.left(keep);
        while (digits.size() < keep) digits += '0';
        if (up) {
            int i = int(digits.size()) - 1;
            while (i >= 0 && digits[i] == '9') { digits[i] = '0'; --i; }
            if (i >= 0) digits[i] = QChar(digits[i].unicode() + 1);
            else { digits.prepend('1'); ++intDigits; }
        }
    }
    // digits holds intDigits + decimals digits (intDigits may be <= 0).
    QString intPart, frac;
    if (intDigits > 0) {
        intPart = digits.left(intDigits);
        frac = digits.mid(intDigits);
    } else {
        intPart = "0";
        frac = QString(-intDigits, '0') + digits;
        frac = frac.left(decimals);
    }
    while (frac.size() < decimals) frac += '0';
    while (intPart.size() > 1 && intPart[0] == '0') intPart.remove(0, 1);
    if (intPart.isEmpty()) intPart = "0";
    return decimals > 0 ? intPart + '.' + frac : intPart;
}

QString applySection(const QString& section, double absValue)
{
    // Literal text before the first and after the last digit placeholder,
    // digit counts before and after the decimal point.
    int firstPh = -1;
    int intZeros = 0, fracZeros = 0, fracMax = 0;
    bool thousands = false, point = false;
    QString prefix, suffix;
    QChar quote;
    for (int i = 0; i < section.size(); ++i) {
        QChar c = section[i];
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            else (firstPh < 0 ? prefix : suffix) += c;
            continue;
        }
        if (c == '"' || c == '\'') { quote = c; continue; }
        bool ph = (c == '0' || c == '#' || c == ',' || (c == '.' && !point));
        if (ph) {
            if (firstPh < 0) firstPh = i;
            suffix.clear();
            if (c == '.') point = true;
            else if (c == ',') { if (!point) thousands = true; }
            else if (point) { ++fracMax; if (c == '0') fracZeros = fracMax; }
            else if (c == '0') ++intZeros;
        } else {
            (firstPh < 0 ? prefix : suffix) += c;
        }
    }
    if (firstPh < 0)
        return prefix + suffix;

    QString digits = roundedDigits(absValue, fracMax);
    QString intPart = digits, fracPart;
    int dot = digits.indexOf('.');
    if (dot >= 0) { intPart = digits.left(dot); fracPart = digits.mid(dot + 1); }
    while (fracPart.size() > fracZeros && fracPart.endsWith('0')) fracPart.chop(1);
    if (intPart == "0" && intZeros == 0) intPart.clear();
    while (intPart.size() < intZeros) intPart.prepend('0');
    if (thousands) {
        for (int pos = intPart.size() - 3; pos > 0; pos -= 3) intPart.insert(pos, ',');
    }
    QString number = intPart;
    if (!fracPart.isEmpty()) number += '.' + fracPart;
    return prefix + number + suffix;
}

} // namespace

QString formatFloat(const QString& picture, double value)
{
    if (std::isnan(value) || std::isinf(value))
        return QString::number(value);
    if (picture.isEmpty())
        return QString::number(value, 'g', 15);
    QStringList sections = splitSections(picture);
    // Round first so that a value that shows as zero takes the zero section.
    if (value == 0.0 && sections.size() >= 3 && !sections[2].isEmpty())
        return applySection(sections[2], 0.0);
    if (value < 0 && sections.size() >= 2 && !sections[1].isEmpty())
        return applySection(sections[1], -value);
    QString s = applySection(sections[0], std::fabs(value));
    if (value < 0) {
        // A negative value in a one-section picture gets its minus sign in front of
        // the digits, unless it rounds to zero.
        bool anyDigit = false;
        for (QChar c : s) if (c.isDigit() && c != '0') { anyDigit = true; break; }
        if (anyDigit) {
            int i = 0;
            while (i < s.size() && !s[i].isDigit()) ++i;
            s.insert(i, '-');
        }
    }
    return s;
}

bool isNumeric(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Double: case QMetaType::Float: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Long: case QMetaType::ULong: case QMetaType::Char: case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

QString formatValue(const QString& picture, const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    if (isNumeric(value))
        return formatFloat(picture, value.toDouble());
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString("yyyy/MM/dd");
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toString("yyyy/MM/dd hh:mm:ss");
    return value.toString();
}

int compareValues(const QVariant& a, const QVariant& b)
{
    bool na = !a.isValid() || a.isNull(), nb = !b.isValid() || b.isNull();
    if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
    if ((isNumeric(a) || a.typeId() == QMetaType::Bool) && (isNumeric(b) || b.typeId() == QMetaType::Bool)) {
        double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    auto isDate = [](const QVariant& v) { return v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime; };
    if (isDate(a) && isDate(b)) {
        QDateTime x = a.toDateTime(), y = b.toDateTime();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    int c = a.toString().compare(b.toString(), Qt::CaseInsensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

QVariant convertEditedValue(const QVariant& v, int metaType, bool* ok)
{
    *ok = true;
    if (!v.isValid() || v.isNull()) return QVariant();
    if (v.typeId() != QMetaType::QString) {
        if (metaType == QMetaType::UnknownType || v.typeId() == metaType) return v;
    }
    QString s = v.toString().trimmed();
    if (s.isEmpty() && metaType != QMetaType::QString) return QVariant();
    switch (metaType) {
    case QMetaType::Int: case QMetaType::LongLong: case QMetaType::Short: case QMetaType::UInt:
    case QMetaType::ULongLong: case QMetaType::UShort: case QMetaType::UChar: case QMetaType::Char: {
        QString t = s;
        t.remove(',');
        qlonglong n = t.toLongLong(ok);
        if (!*ok) {
            double d = t.toDouble(ok);
            if (*ok && d == std::floor(d)) n = qlonglong(d);
            else *ok = false;
        }
        return *ok ? QVariant::fromValue(n) : QVariant();
    }
    case QMetaType::Double: case QMetaType::Float: {
        QString t = s;
        t.remove(',');
        double d = t.toDouble(ok);
        return *ok ? QVariant(d) : QVariant();
    }
    case QMetaType::Bool:
        if (v.typeId() == QMetaType::Bool) return v;
        return QVariant(!(s == "0" || s.compare("false", Qt::CaseInsensitive) == 0));
    case QMetaType::QDate: case QMetaType::QDateTime: {
        if (v.typeId() == QMetaType::QDate || v.typeId() == QMetaType::QDateTime) return v;
        for (const char* f : {"yyyy/M/d", "yyyy-M-d", "yyyyMMdd"}) {
            QDate d = QDate::fromString(s, f);
            if (d.isValid()) return metaType == QMetaType::QDate ? QVariant(d) : QVariant(QDateTime(d, QTime(0, 0)));
        }
        for (const char* f : {"yyyy/M/d h:m:s", "yyyy-M-d h:m:s", "yyyy/M/d h:m"}) {
            QDateTime d = QDateTime::fromString(s, f);
            if (d.isValid()) return metaType == QMetaType::QDate ? QVariant(d.date()) : QVariant(d);
        }
        *ok = false;
        return QVariant();
    }
    default:
        return v;
    }
}

} // namespace kvui
