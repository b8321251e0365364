#pragma once
// What the parts of the main-demand view share and nothing else uses: values
// of a row read as quantities, whole numbers and days, a row's spread over the
// periods as text ("key=quantity" lines) and back, and the error text of a
// failed statement. Its parts:
//   famMRPMain.cpp        the frame, its columns and rows, refresh, commands, edit mode, colours
//   famMRPMainEdit.cpp    the period cells, which cells edit, item changes, free needs, keys
//   famMRPMainSave.cpp    the checks of pending rows and the save in one transaction
//   famMRPMainAdjust.cpp  the due-date adjustment and the import of per-period quantities
#include "untMRPUtils.h"

#include <QDate>
#include <QString>
#include <QVariant>
#include <cmath>
#include <exception>
#include <map>

namespace famMRPMainShared {

using untMRPUtils::FloatToText;

inline const QString CRLF = QStringLiteral("\r\n");
constexpr int FreeNeed = 12;

inline bool sameQty(double a, double b)
{
    return std::fabs(a - b) < 1e-9;
}

inline double qtyOf(const QVariant& v)
{
    return !v.isValid() || v.isNull() ? 0.0 : v.toDouble();
}

inline int intOf(const QVariant& v, int ANull = 0)
{
    return !v.isValid() || v.isNull() ? ANull : v.toInt();
}

inline TDateTime dayOf(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return 0;
    static const QDate base(1899, 12, 30);
    if (v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate)
        return double(base.daysTo(v.toDateTime().date()));
    if (v.typeId() == QMetaType::QString) {
        QDate d = QDate::fromString(v.toString().left(10), Qt::ISODate);
        if (!d.isValid())
            d = QDate::fromString(v.toString().left(8), QStringLiteral("yyyyMMdd"));
        return d.isValid() ? double(base.daysTo(d)) : std::floor(v.toDouble());
    }
    return std::floor(v.toDouble());
}

// A spread text as key -> quantity, in key order.
inline std::map<QString, double> readHints(const QString& AHints)
{
    std::map<QString, double> out;
    for (const QString& line : AHints.split(CRLF, Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        out[line.left(eq).trimmed().toUpper()] += untMRPUtils::TextToFloat(line.mid(eq + 1));
    }
    return out;
}

inline QString writeHints(const std::map<QString, double>& AHints)
{
    QString out;
    for (const auto& [key, qty] : AHints)
        if (!sameQty(qty, 0))
            out += key + u'=' + FloatToText(qty) + CRLF;
    return out;
}

inline double hintValue(const std::map<QString, double>& AHints, const QString& AKey)
{
    const auto it = AHints.find(AKey);
    return it == AHints.end() ? 0.0 : it->second;
}

inline QString errorText(const std::exception& e)
{
    return QStringLiteral("程序执行出现错误!\r\r原因: %1").arg(QString::fromUtf8(e.what()));
}

} // namespace famMRPMainShared
