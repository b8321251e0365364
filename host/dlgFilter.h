#pragma once
// The filter dialog: edits a filter of an info object in the filter frame.
#include "clsDialog.h"

#include <QString>

class TADOQuery;
class TInfoObjectDef;
class TFilterFrame;

class TFilterDlg : public TDialog {
    Q_OBJECT
public:
    explicit TFilterDlg(QWidget* parent = nullptr);
    TFilterFrame* famFilter;
};

// Shows the dialog for the object's filter; on OK the text and code are
// replaced and the result is True. Read-only: the user can only look and cancel.
bool DoShowFilterDlg(TInfoObjectDef* AObjectDef, QString& AFilterText, QString& AFilterCode, TADOQuery* AByQuery,
                     const QString& ACaption, bool AReadOnly);

// Installs the dialog in the application object.
void InitFilterDlgUnit();
