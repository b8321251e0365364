#include "ERPBillNumbers.h"

#include "Ado.h"
#include "untApplication.h"

#include <QHash>

namespace {

// The stem as a LIKE pattern: its own wildcard characters match themselves.
QString likeStem(const QString& AStem)
{
    QString p;
    for (const QChar c : AStem) {
        if (c == u'%' || c == u'_' || c == u'[')
            p += u'[' + QString(c) + u']';
        else
            p += c;
    }
    return p;
}

} // namespace

qint64 DayBillSequence(const QString& ABillNo, const QString& AStem)
{
    if (!ABillNo.startsWith(AStem, Qt::CaseInsensitive))
        return 0;
    const QString digits = ABillNo.mid(AStem.size());
    if (digits.isEmpty() || digits.size() > 18)
        return 0;
    for (const QChar c : digits)
        if (c < u'0' || c > u'9')
            return 0;
    return digits.toLongLong();
}

namespace {

// The highest number of a stem each connection has seen taken, so that the
// next number is found by looking up single numbers instead of scanning the
// day's bills for every bill of a long release.
QHash<QString, qint64>& lastSeen()
{
    static QHash<QString, qint64> seen;
    return seen;
}

bool numberTaken(TADOConnection* AConnection, const QString& ATable, const QString& AColumn, const QString& AWhere,
                 const QString& ABillNo)
{
    TADOQuery q;
    q.SetConnection(AConnection);
    q.SQL.Add(QStringLiteral("select top 1 %1 from %2 with(nolock) where %3%1=%4")
                  .arg(AColumn, ATable, AWhere.isEmpty() ? QString() : AWhere + QStringLiteral(" and "), QuotedStr(ABillNo)));
    q.Open();
    const bool taken = !q.IsEmpty();
    q.Close();
    return taken;
}

QString numbered(const QString& AStem, qint64 ANumber)
{
    return AStem + QStringLiteral("%1").arg(ANumber, 4, 10, QLatin1Char('0'));
}

} // namespace

QString NextDayBillNo(TADOConnection* AConnection, const QString& ATable, const QString& AColumn, const QString& AWhere,
                      const QString& AStem)
{
    const QString key = QStringLiteral("%1|%2|%3|%4|%5")
                            .arg(quintptr(AConnection))
                            .arg(AConnection->ConnectionString(), ATable, AWhere, AStem.toUpper());
    // The numbers after the last one seen, as long as they are taken one after
    // another (this program's own bills); a gap or a number another program
    // took out of turn sends it to the day's highest number.
    if (auto it = lastSeen().find(key); it != lastSeen().end())
        for (int tries = 0; tries < 8; ++tries) {
            const QString candidate = numbered(AStem, it.value() + 1);
            if (!numberTaken(AConnection, ATable, AColumn, AWhere, candidate))
                return candidate;
            ++it.value();
        }

    // The widest numbers are the highest: the longest all-digit suffix first,
    // then the highest of that length.
    const QString stem = likeStem(AStem);
    TADOQuery q;
    q.SetConnection(AConnection);
    q.SQL.Add(QStringLiteral("select top 1 [No]=%1 from %2 with(nolock) where %3%1 like %4 and %1 not like %5 "
                             "order by len(%1) desc, %1 desc")
                  .arg(AColumn, ATable, AWhere.isEmpty() ? QString() : AWhere + QStringLiteral(" and "),
                       QuotedStr(stem + QStringLiteral("[0-9]%")), QuotedStr(stem + QStringLiteral("%[^0-9]%"))));
    q.Open();
    const qint64 last = q.IsEmpty() ? 0 : DayBillSequence(q.Fields()->Field(0)->AsString(), AStem);
    q.Close();
    lastSeen().insert(key, last);
    return numbered(AStem, last + 1);
}
