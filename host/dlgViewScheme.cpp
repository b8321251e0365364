#include "dlgViewScheme.h"

#include "UCommon.h"
#include "untApplication.h"

#include <QStringList>

namespace {

const QString Bar = QStringLiteral("|");
const QString FieldsSection = QStringLiteral("[Fields]");
const QString SortsSection = QStringLiteral("[Sorts]");
const QString FilterSection = QStringLiteral("[Filter]");
const QString NoRowsFilter = QStringLiteral("1=0");

// One "ID:value" entry of a "|"-joined list such as "[Sorts]" or "[Summaries]".
struct TSchemeEntry {
    QString Name;
    QString Value;
};

// The entries of such a list in order; an entry without ":" has no name.
QList<TSchemeEntry> schemeEntries(const QString& text)
{
    QList<TSchemeEntry> entries;
    if (text.isEmpty())
        return entries;
    for (const QString& item : text.split(u'|')) {
        const qsizetype colon = item.indexOf(u':');
        if (colon < 0)
            entries.append({QString(), item});
        else
            entries.append({item.left(colon), item.mid(colon + 1)});
    }
    return entries;
}

// "|ID|" occurs in a "|"-enclosed field list (IDs compare as the views compare them).
bool fieldListHas(const QString& list, const QString& id)
{
    return list.contains(Bar + id + Bar, Qt::CaseInsensitive);
}

QString selectItem(const TInfoFieldDef& field)
{
    return field.SQLExpress + QStringLiteral(" as [") + field.ID + u']';
}

} // namespace

void DoParseViewSchemeSQL(TInfoObjectDef* AObjectDef, PViewScheme AViewScheme, TADOQuery* AByQuery)
{
    if (!AViewScheme)
        return;
    QStringList selects, extras, orders;
    if (AObjectDef && (AViewScheme->Supports & voSupportFields)) {
        const QString fields = ReadViewSchemeParam(AViewScheme->Params, FieldsSection);
        for (const TInfoFieldDef& field : AObjectDef->Fields)
            if (fieldListHas(fields, field.ID))
                selects.append(selectItem(field));
        if (AViewScheme->Supports & voSupportSort) {
            QStringList sorted; // a field sorted twice would make the ORDER BY list invalid
            for (const TSchemeEntry& entry : schemeEntries(ReadViewSchemeParam(AViewScheme->Params, SortsSection))) {
                const PInfoFieldDef field = entry.Name.isEmpty() ? nullptr : AObjectDef->GetFieldDef(entry.Name);
                if (!field || sorted.contains(field->ID, Qt::CaseInsensitive))
                    continue;
                sorted.append(field->ID);
                orders.append(u'[' + field->ID + u']' + (entry.Value.startsWith(u'1') ? QStringLiteral(" desc") : QString()));
                if (!fieldListHas(fields, field->ID))
                    extras.append(selectItem(*field));
            }
        }
    }

    QString filter = AObjectDef ? AObjectDef->GetPermitFilter(AByQuery) : QString();
    if ((AViewScheme->Supports & voSupportFilter) && filter != NoRowsFilter && InfoApplication) {
        const QString code = ReadViewSchemeParam(AViewScheme->Params, FilterSection);
        if (!code.trimmed().isEmpty())
            filter = CombineConditions(filter, InfoApplication->TranslateFilterCodeToSQL(AObjectDef, code, AByQuery),
                                       QStringLiteral("and"));
    }

    AViewScheme->FieldsSQL = (extras + selects).join(QStringLiteral(", "));
    AViewScheme->OrderBySQL = orders.join(QStringLiteral(", "));
    AViewScheme->FilterSQL = filter;
    AViewScheme->SQLParsed = true;
}

bool DoShowViewSchemeDlg(TInfoObjectDef* AObjectDef, PViewScheme AViewScheme, TADOQuery* AByQuery, bool, const QString&)
{
    if (!AViewScheme || !(AViewScheme->Supports & (voSupportFilter | voSupportFields)))
        return false;
    // Until the editor is built, the scheme is confirmed as it stands.
    DoParseViewSchemeSQL(AObjectDef, AViewScheme, AByQuery);
    return true;
}

void InitViewSchemeDlgUnit(TInfoApplication* AApplication)
{
    if (!AApplication)
        return;
    AApplication->ShowViewSchemeDlgProc = DoShowViewSchemeDlg;
    AApplication->ParseViewSchemeSQLProc = DoParseViewSchemeSQL;
}
