#pragma once
// The view-scheme editor: which fields a view shows, how it sorts and groups,
// which summaries it totals and which filter it applies, kept as named view
// schemes; and the parser that turns a scheme's text into the SELECT list,
// WHERE condition and ORDER BY list of a view.
#include "clsDialog.h"
#include "dlgViewSettingSave.h"
#include "untInfoObjectDef.h"

#include <QString>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TADOQuery;
class TInfoApplication;

// The editor of one view's scheme: fields shown, summaries, totals, sorts and
// groups, and the named schemes of the view to choose, save and delete.
class TFilterFrame;

class TViewSchemeDlg : public TDialog {
    Q_OBJECT
public:
    // Summary kinds as the scheme text keeps them.
    enum TSummaryKind { skNone = 0, skSum = 1, skCount = 2, skMax = 3, skMin = 4 };
    // Entry tags of the scheme chooser.
    enum TSchemeTag { stLastUsed = 0, stOwnPrivate = 1, stOwnShared = 2, stOthersShared = 3, stDefault = 4 };
    // Columns of the two lists.
    enum { fcVisible = 0, fcName = 1, fcSummary = 2 };
    enum { scName = 0, scDescending = 1, scGrouped = 2 };

    TViewSchemeDlg(TInfoObjectDef* AObjectDef, PViewScheme AOrigScheme, TADOQuery* AByQuery, QWidget* parent = nullptr);

    // Sets the editors up for the scheme's features, fills the scheme list
    // and shows the first page.
    void Prepare(bool AInitActiveFieldsPage, const QString& AExtCaption);
    // Builds the working copy from the editors; False (after a warning) when
    // no field is ticked.
    bool BuildScheme();
    const TViewScheme& WorkingScheme() const { return FViewScheme; }
    // Whether a field may be summed, maximised or minimised (else only counted).
    static bool FieldAllowsSum(const TInfoFieldDef& AField);

    QComboBox* cboScheme;
    QPushButton* btnDefaultScheme;
    QPushButton* btnSaveScheme;
    QPushButton* btnDeleteScheme;
    QTabWidget* pgcPages;
    QWidget* tshFilter;
    TFilterFrame* famFilter = nullptr; // made when the scheme supports a filter
    QWidget* tshFields;
    QGroupBox* grpFields;
    QTreeWidget* trlFields;
    QCheckBox* chkTotal;
    QGroupBox* grpSort;
    QTreeWidget* trlSort;
    QCheckBox* chkSubTotal;
    QPushButton* btnAddSort;
    QPushButton* btnRemoveSort;
    QPushButton* btnSortUp;
    QPushButton* btnSortDown;

    // The summary chooser of a field row (a combo box in its summary cell).
    QComboBox* SummaryBox(QTreeWidgetItem* AFieldRow) const;
    // The field row of a field ID, or nullptr.
    QTreeWidgetItem* FieldRow(const QString& AFieldID) const;

public slots:
    void accept() override;

private:
    void InitEditors();
    void LoadSchemeList();
    void SchemeChosen(int AIndex);
    void LoadEditors();
    void AddSort();
    void RemoveSort();
    void MoveSort(int ADelta);
    void TotalToggled(bool AChecked);
    void UpdateStates();
    void SaveScheme();
    void DeleteScheme();
    void SetSummary(QTreeWidgetItem* AFieldRow, int AKind);
    int Summary(QTreeWidgetItem* AFieldRow) const;
    const TInfoFieldDef& FieldOf(QTreeWidgetItem* ARow) const;
    QTreeWidgetItem* AddSortRow(QTreeWidgetItem* AFieldRow, bool ADescending, bool AGrouped);
    bool FieldsPageShown() const { return FFieldsShown; }
    bool FilterPageShown() const { return FFilterShown; }
    bool SummaryShown() const;
    bool SortEnabled() const;

    TADOQuery* FByQuery;
    TInfoObjectDef* FObjectDef;
    PViewScheme FOrigScheme;
    TViewScheme FViewScheme;
    bool FFieldsShown = false;
    bool FFilterShown = false;
    bool FFilling = false;
};

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
