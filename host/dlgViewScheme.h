#pragma once
// The view-scheme editor: which fields a view shows, how it sorts and groups,
// which summaries it totals and which filter it applies, kept as named view
// schemes; and the parser that turns a scheme's text into the SELECT list,
// WHERE condition and ORDER BY list of a view.
#include "untInfoObjectDef.h"

#include <QString>

class TADOQuery;
class TInfoApplication;

// The three SQL fragments of a scheme from its "[Fields]", "[Sorts]" and
// "[Filter]" sections and the user's row permissions; sets SQLParsed.
void DoParseViewSchemeSQL(TInfoObjectDef* AObjectDef, PViewScheme AViewScheme, TADOQuery* AByQuery);

// The scheme editor. True when the user confirmed: the caller's scheme then
// has new Params, FieldsSQL, FilterSQL, OrderBySQL and SQLParsed; its identity,
// name, kind, mask, print setting and supports stay as they were. False at
// once when the scheme supports neither a filter nor fields.
bool DoShowViewSchemeDlg(TInfoObjectDef* AObjectDef, PViewScheme AViewScheme, TADOQuery* AByQuery, bool AInitActiveFieldsPage,
                         const QString& AExtCaption);

// Unit start-up: installs the editor and the parser in the application object.
void InitViewSchemeDlgUnit(TInfoApplication* AApplication);
