#include "untInfoObjectSQL.h"

#include "untApplication.h"
#include "untInfoObjectDef.h"

#include <QStringList>

#include <vector>

bool SQLRefersToAlias(const QString& AAlias, const QString& ASQL)
{
    const QString p1 = AAlias + u'.';
    const QString p2 = u'[' + AAlias + QStringLiteral("].");
    const qsizetype last = ASQL.size() - p1.size(); // a reference must leave room after the dot
    QChar quote;
    for (qsizetype i = 0; i < last; ++i) {
        const QChar c = ASQL.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
            continue;
        }
        const QStringView here = QStringView(ASQL).mid(i);
        const bool match = here.left(p1.size()).compare(p1, Qt::CaseInsensitive) == 0
            || here.left(p2.size()).compare(p2, Qt::CaseInsensitive) == 0;
        if (!match)
            continue;
        if (i == 0)
            return true;
        const QChar before = ASQL.at(i - 1).toUpper();
        const bool wordChar = before == u'_' || (before >= u'0' && before <= u'9') || (before >= u'A' && before <= u'Z');
        if (!wordChar)
            return true;
    }
    return false;
}

namespace {

// The sources that the texts need, in index order: a source is taken when it
// is the main one or its alias is named by the texts or by the join and filter
// of a source already taken (sources may name sources of lower index only).
std::vector<int> includedSources(const TInfoObjectDef* def, const QStringList& texts)
{
    std::vector<int> taken;
    QString refs;
    for (int i = int(def->DataSources.size()) - 1; i >= 0; --i) {
        const TInfoDataSourceDef& ds = def->DataSources[size_t(i)];
        bool take = ds.IsMain || SQLRefersToAlias(ds.ID, refs);
        for (qsizetype t = 0; !take && t < texts.size(); ++t)
            take = SQLRefersToAlias(ds.ID, texts.at(t));
        if (!take)
            continue;
        taken.insert(taken.begin(), i);
        refs += u' ' + ds.Filter + u' ' + ds.Join;
    }
    return taken;
}

QString sourceCore(const TInfoDataSourceDef& ds)
{
    if (ds.DataType == dsTable)
        return ds.SQLData + QStringLiteral(" as ") + ds.ID + QStringLiteral(" with(nolock)");
    return u'(' + ds.SQLData + QStringLiteral(") as ") + ds.ID;
}

QString onClause(const TInfoDataSourceDef& ds)
{
    if (!ds.Join.isEmpty() && !ds.Filter.isEmpty())
        return QStringLiteral(" on (") + ds.Filter + QStringLiteral(") and (") + ds.Join + u')';
    if (!ds.Join.isEmpty())
        return QStringLiteral(" on ") + ds.Join;
    if (!ds.Filter.isEmpty())
        return QStringLiteral(" on ") + ds.Filter;
    return QStringLiteral(" on 1=1");
}

// The FROM text of the taken sources: the first without an on-clause (its
// filter goes to mainFilter), then mainJoin, then each later one left-joined.
QString fromText(const TInfoObjectDef* def, const std::vector<int>& taken, const QString& mainJoin, QString& mainFilter)
{
    mainFilter.clear();
    QString text;
    for (size_t k = 0; k < taken.size(); ++k) {
        const TInfoDataSourceDef& ds = def->DataSources[size_t(taken[k])];
        if (k == 0) {
            text = sourceCore(ds);
            mainFilter = ds.Filter;
            if (!mainJoin.isEmpty())
                text += u' ' + mainJoin;
        } else {
            text += QStringLiteral(" left join ") + sourceCore(ds) + onClause(ds);
        }
    }
    return text;
}

} // namespace

QString DoGetInfoObjectDataSourceSQL(TInfoObjectDef* AObjectDef, const QString& AReferedSQL, QString& AMainFilter)
{
    AMainFilter.clear();
    if (!AObjectDef)
        return QString();
    return fromText(AObjectDef, includedSources(AObjectDef, {AReferedSQL}), QString(), AMainFilter);
}

QString DoGetInfoObjectSelectSQL(TInfoObjectDef* AObjectDef, const QString& AFieldsSQL, const QString& AFilterSQL,
    const QString& AOrderBySQL, const QString& AReferedSQL, const QString& AMainJoinSQL, const QString& AExtJoinSQL)
{
    QString from;
    QString mainFilter;
    if (AObjectDef)
        from = fromText(AObjectDef, includedSources(AObjectDef, {AFieldsSQL, AFilterSQL, AOrderBySQL, AReferedSQL}),
                        AMainJoinSQL, mainFilter);
    QString where;
    if (!mainFilter.isEmpty() && !AFilterSQL.isEmpty())
        where = u'(' + mainFilter + QStringLiteral(") and (") + AFilterSQL + u')';
    else
        where = mainFilter.isEmpty() ? AFilterSQL : mainFilter;
    QString sql = QStringLiteral("select ") + AFieldsSQL + QStringLiteral("\rfrom ") + from + u' ' + AExtJoinSQL;
    if (!where.isEmpty())
        sql += QStringLiteral("\rwhere ") + where;
    if (!AOrderBySQL.isEmpty())
        sql += QStringLiteral("\rorder by ") + AOrderBySQL;
    sql += u'\r';
    return sql;
}

void InstallInfoObjectSQLHooks(TInfoApplication* AApplication)
{
    AApplication->GetInfoObjectSelectSQLProc = DoGetInfoObjectSelectSQL;
    AApplication->GetInfoObjectDataSourceSQLProc = DoGetInfoObjectDataSourceSQL;
}
