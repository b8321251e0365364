#include "untImportSource.h"

#include "UCommon.h"

#include <QDateTime>
#include <cmath>
#include <limits>

namespace {

QList<TImportSourceClass>& registry()
{
    static QList<TImportSourceClass> classes;
    return classes;
}

bool isEmptyValue(const QVariant& v)
{
    return !v.isValid() || v.isNull();
}

bool isOrdinal(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

bool isFloating(const QVariant& v)
{
    return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float;
}

bool isText(const QVariant& v)
{
    return v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray || v.typeId() == QMetaType::QChar;
}

bool isDate(const QVariant& v)
{
    return v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate;
}

bool isIntegerType(quint16 t)
{
    using namespace ImportTypes;
    return t == SmallInt || t == Integer || t == Word || t == LongWord || t == Int64;
}

bool isFloatType(quint16 t)
{
    using namespace ImportTypes;
    return t == Single || t == Double || t == Currency;
}

// The range a whole number must lie in to be stored in the type.
void integerRange(quint16 t, double& lo, double& hi)
{
    using namespace ImportTypes;
    switch (t) {
    case SmallInt: lo = -32768; hi = 32767; break;
    case Integer: lo = -2147483648.0; hi = 2147483647.0; break;
    case Word: lo = 0; hi = 65535; break;
    case LongWord: lo = 0; hi = 4294967295.0; break;
    default: lo = -9223372036854775808.0; hi = 9223372036854775807.0; break;
    }
}

// A whole number of the source as a 64-bit integer; False when the value has
// a fraction, is no number or lies outside the type's range.
bool wholeNumber(const QVariant& v, quint16 t, qint64& out)
{
    double lo = 0, hi = 0;
    integerRange(t, lo, hi);
    if (isOrdinal(v)) {
        if (v.typeId() == QMetaType::ULongLong || v.typeId() == QMetaType::ULong) {
            const quint64 u = v.toULongLong();
            if (double(u) > hi)
                return false;
            out = qint64(u);
            return true;
        }
        out = v.toLongLong();
        return double(out) >= lo && double(out) <= hi;
    }
    if (isFloating(v)) {
        const double d = v.toDouble();
        if (!std::isfinite(d) || d != std::trunc(d) || d < lo || d > hi)
            return false;
        out = qint64(d);
        return true;
    }
    if (isText(v)) {
        bool ok = false;
        out = v.toString().trimmed().toLongLong(&ok);
        return ok && double(out) >= lo && double(out) <= hi;
    }
    return false;
}

bool floatingNumber(const QVariant& v, double& out)
{
    if (isOrdinal(v) || isFloating(v)) {
        out = v.toDouble();
        return true;
    }
    if (isText(v)) {
        bool ok = false;
        out = v.toString().trimmed().toDouble(&ok);
        return ok && std::isfinite(out);
    }
    return false;
}

QVariant integerVariant(qint64 n, quint16 t)
{
    if (t == ImportTypes::LongWord || t == ImportTypes::Int64)
        return QVariant(qlonglong(n));
    return QVariant(int(n));
}

} // namespace

void RegisterImportSource(const TImportSourceClass& AClass)
{
    for (const TImportSourceClass& c : registry())
        if (c.SourceType == AClass.SourceType)
            return;
    registry().append(AClass);
}

const QList<TImportSourceClass>& ImportSourceClasses()
{
    return registry();
}

void ClearImportSources()
{
    registry().clear();
}

QVariant ImportNull()
{
    return QVariant(QMetaType::fromType<QString>(), nullptr);
}

bool ImportValueFits(const QVariant& v, quint16 t)
{
    if (isEmptyValue(v) || (isText(v) && v.toString().trimmed().isEmpty()))
        return true;
    if (isIntegerType(t)) {
        qint64 n = 0;
        return wholeNumber(v, t, n);
    }
    if (isFloatType(t)) {
        double d = 0;
        return floatingNumber(v, d);
    }
    if (t == ImportTypes::Date)
        return isDate(v) || (isText(v) && StrToDateTime(v.toString()).isValid());
    if (t == ImportTypes::Boolean)
        return isOrdinal(v) || isFloating(v) || isText(v);
    return t == ImportTypes::String;
}

bool ConvertImportValue(const QVariant& v, quint16 t, QVariant& r)
{
    r = ImportNull();
    if (isEmptyValue(v))
        return true;
    const bool blank = isText(v) && v.toString().trimmed().isEmpty();
    if (isIntegerType(t)) {
        if (blank)
            return true;
        qint64 n = 0;
        if (!wholeNumber(v, t, n))
            return false;
        r = integerVariant(n, t);
        return true;
    }
    if (isFloatType(t)) {
        if (blank)
            return true;
        double d = 0;
        if (!floatingNumber(v, d))
            return false;
        r = d;
        return true;
    }
    if (t == ImportTypes::Date) {
        if (isDate(v)) {
            r = v;
            return true;
        }
        if (!isText(v))
            return false;
        if (blank)
            return true;
        const QDateTime dt = StrToDateTime(v.toString());
        if (!dt.isValid())
            return false;
        r = dt;
        return true;
    }
    if (t == ImportTypes::Boolean) {
        if (isOrdinal(v) || isFloating(v))
            r = v.toDouble() != 0;
        else if (isText(v))
            r = !QStringLiteral("||N|F|NO|FALSE|否|").contains(u'|' + v.toString().trimmed().toUpper() + u'|');
        else
            r = false;
        return true;
    }
    if (t == ImportTypes::String) {
        r = ImportValueText(v);
        return true;
    }
    // A type no rule is known for: the record's element stays unassigned.
    r = QVariant();
    return true;
}

QString ImportValueText(const QVariant& v)
{
    if (isEmptyValue(v))
        return QString();
    if (isDate(v))
        return DateTimeToStr(v.toDateTime());
    if (isFloating(v))
        return QString::number(v.toDouble(), 'g', 15);
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return v.toString();
}
