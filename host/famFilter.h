#pragma once
// The filter frame: the criteria editor bound to an info object's fields, with
// the readable text of the criteria under it; and the translation of a saved
// filter code (hex text of the editor's criteria stream) into an SQL condition.
#include <QString>
#include <QWidget>

class QGroupBox;
class QPlainTextEdit;
class QSplitter;
class TADOQuery;
class TInfoObjectDef;
struct TInfoFieldDef;

namespace kvui {
class FilterControl;
}

// "$$" + field ID + "$$": the name of a field inside the filter control.
QString FilterFieldToken(const QString& AFieldID);
// The SQL type of a field's typed NULL in the binding query; empty for types
// that cannot be filtered on.
QString FilterFieldSQLType(const TInfoFieldDef& AField);
// The binding query: one row of typed NULLs, one column per filterable field;
// empty when no field is filterable.
QString FilterBindingSQL(TInfoObjectDef* AObjectDef);

// Binds the control to the object's filterable fields through the typed-null
// query opened on AByQuery (a failure is shown and leaves the control without
// fields). Without a query the fields are bound from the definition alone.
void BindFilterFields(kvui::FilterControl* AFilterControl, TInfoObjectDef* AObjectDef, TADOQuery* AByQuery);
// Clears the control's criteria and loads the code; False when a non-empty code
// is not a criteria stream (the control is then left without criteria).
bool LoadFilterCriteria(kvui::FilterControl* AFilterControl, const QString& AFilterCode);
// The control's criteria as a filter code (empty without criteria).
QString SaveFilterCriteria(const kvui::FilterControl* AFilterControl);
// Rewrites the control's expression text into a T-SQL condition.
void FilterTextToSQL(TInfoObjectDef* AObjectDef, const QString& AFilterText, QString& ASQL);
QString FilterTextToSQL(TInfoObjectDef* AObjectDef, const QString& AFilterText);
// A filter code as an SQL condition: empty for an empty code, "1=0" (no row)
// for a code that cannot be read.
QString DoTranslateFilterCodeToSQL(TInfoObjectDef* AObjectDef, const QString& AFilterCode, TADOQuery* AByQuery);
// The administrator's row condition as an SQL condition, translated on a
// definition that holds the fields hidden from the user too: empty for an
// empty code, "1=0" (no row) for a code that cannot be read or that names a
// field the definition lacks. Never widened, never shown.
QString DoTranslatePermitCodeToSQL(TInfoObjectDef* AObjectDef, const QString& AFilterCode, TADOQuery* AByQuery);
// A user's filter code without its criteria on fields the definition lacks
// (fields his permissions hide); the number left out in ALeftOut. A code that
// is no criteria stream comes back as it was.
QString FilterCodeWithoutHiddenFields(TInfoObjectDef* AObjectDef, const QString& AFilterCode, int* ALeftOut = nullptr);
// The notice that criteria on hidden fields were left out.
QString HiddenFieldCriteriaNotice(int ALeftOut);

class TFilterFrame : public QWidget {
    Q_OBJECT
public:
    explicit TFilterFrame(QWidget* parent = nullptr);

    QGroupBox* gbxCriteriaText;
    QPlainTextEdit* memCriteriaText;
    QSplitter* cxSplitter1;
    QGroupBox* gbxCriteria;
    kvui::FilterControl* fltCriteria;

    void LoadFilterItems(TInfoObjectDef* AObjectDef, TADOQuery* AByQuery);
    QString FilterText() const;
    QString FilterSQL() const;
    QString FilterCode() const;
    void SetFilterCode(const QString& AValue);

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;

private:
    void RefreshCriteriaText();
    TInfoObjectDef* FObjectDef = nullptr;
};

// Installs the translation in the application object.
void InitFilterFrameUnit();
