#include "clsInfoView.h"

#include "UCommon.h"

#include <QLocale>
#include <QStringList>

namespace {

// Master values as (name, value) pairs in line order; blank lines are skipped.
QList<QPair<QString, QString>> masterLines(const QString& values)
{
    QList<QPair<QString, QString>> lines;
    const QStringList raw = values.split(u'\n');
    for (QString line : raw) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        line.remove(u'\r');
        if (line.trimmed().isEmpty())
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            lines.append({line, QString()});
        else
            lines.append({line.left(eq), line.mid(eq + 1)});
    }
    return lines;
}

bool isQuotedLiteral(const QString& v)
{
    return v.size() >= 2 && v.startsWith(u'\'') && v.endsWith(u'\'');
}

// A master date value: the local date-time text of the grid, or a quoted
// 'yyyymmdd' / 'yyyymmdd hh:nn:ss' literal.
QDateTime masterDate(const QString& value)
{
    QString v = value.trimmed();
    if (isQuotedLiteral(v))
        v = v.mid(1, v.size() - 2).trimmed();
    QDateTime dt = StrToDateTime(v);
    if (dt.isValid())
        return dt;
    for (const char* format : {"yyyyMMdd", "yyyyMMdd hh:mm:ss", "yyyyMMdd hh:mm:ss.zzz", "yyyy-MM-dd", "yyyy-MM-dd hh:mm:ss",
                               "yyyy-MM-ddThh:mm:ss", "yyyy/MM/dd hh:mm:ss.zzz"}) {
        dt = QDateTime::fromString(v, QLatin1String(format));
        if (dt.isValid())
            return dt;
    }
    return QDateTime();
}

} // namespace

QString BuildMasterValueCondition(TInfoObjectDef* AObjectDef, const QString& AFieldID, const QString& AValue)
{
    const PInfoFieldDef field = AObjectDef ? AObjectDef->GetFieldDef(AFieldID) : nullptr;
    if (!field)
        return QStringLiteral("1=0");
    const QString& e = field->SQLExpress;
    if (AValue.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0)
        return e + QStringLiteral(" is null");
    const int type = field->DataType;
    if (FieldTypes::IsStringType(type)) {
        const QString v = AValue.trimmed();
        if (v.isEmpty())
            return u'(' + e + QStringLiteral("='' or ") + e + QStringLiteral(" is null)");
        // Values come as SQL literals; anything else is quoted here, never pasted as SQL.
        return e + u'=' + (isQuotedLiteral(v) ? v : QuotedSQLText(AValue));
    }
    if (FieldTypes::IsNumericType(type)) {
        if (AValue.isEmpty() || AValue == QLatin1String("''") || AValue == QLatin1String("0"))
            return u'(' + e + QStringLiteral("=0 or ") + e + QStringLiteral(" is null)");
        // Numbers come in the C locale; anything else cannot match a number.
        bool ok = false;
        QLocale::c().toDouble(AValue.trimmed(), &ok);
        if (!ok)
            return QStringLiteral("1=0");
        return e + u'=' + AValue.trimmed();
    }
    if (type == FieldTypes::ftBoolean) {
        if (AValue == QLatin1String("1") || AValue.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return e + QStringLiteral("=1");
        return u'(' + e + QStringLiteral("=0 or ") + e + QStringLiteral(" is null)");
    }
    if (FieldTypes::IsDateType(type)) {
        if (AValue.isEmpty() || AValue == QLatin1String("''"))
            return e + QStringLiteral(" is null");
        const QDateTime dt = masterDate(AValue);
        if (!dt.isValid())
            return QStringLiteral("1=0");
        QString text;
        if (!FieldTypes::IsDateTimeType(type))
            text = dt.date().toString(QStringLiteral("yyyyMMdd"));
        else if (dt.time().msec() != 0)
            text = dt.toString(QStringLiteral("yyyyMMdd hh:mm:ss.zzz"));
        else
            text = dt.toString(QStringLiteral("yyyyMMdd hh:mm:ss"));
        return e + QStringLiteral("='") + text + u'\'';
    }
    return QStringLiteral("1=0");
}

QString BuildMasterValuesCondition(TInfoObjectDef* AObjectDef, const QString& AMasterValues, const QString& AFieldID)
{
    const auto lines = masterLines(AMasterValues);
    if (!AFieldID.isEmpty()) {
        QString value;
        for (const auto& line : lines)
            if (line.first.compare(AFieldID, Qt::CaseInsensitive) == 0) {
                value = line.second;
                break;
            }
        return BuildMasterValueCondition(AObjectDef, AFieldID, value);
    }
    if (lines.isEmpty())
        return QStringLiteral("1=0");
    QStringList parts;
    for (const auto& line : lines)
        parts.append(BuildMasterValueCondition(AObjectDef, line.first, line.second));
    return parts.join(QStringLiteral(" and "));
}
