#pragma once
// The import dialog: takes rows from an outside source, maps the source's
// columns onto the fields the caller describes, checks and converts every value
// to its field's type and hands the rows one by one to the caller, logging what
// happens. It knows nothing of databases: the caller writes the rows.
#include "clsDialog.h"
#include "untApplication.h"
#include "untImportSource.h"

#include <QList>
#include <QStringList>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QAction;
class QMimeData;

namespace kvui {
class TreeList;
class Column;
struct CellDraw;
}

class TImportDlg : public TDialog {
    Q_OBJECT
public:
    explicit TImportDlg(const TExchangeFieldRecs& AExchangeFieldRecs, QWidget* parent = nullptr);
    ~TImportDlg() override;

    QComboBox* cboSourceType;
    QLineEdit* edtSourceName;
    QPushButton* btnDefine;
    QAction* actDefine;
    QTabWidget* pgcMain;
    QWidget* tabDefine;
    QWidget* tabLog;
    kvui::TreeList* trlSourceData;
    kvui::TreeList* trlFieldMaps;
    QCheckBox* chkPivot;
    QPushButton* btnMapAdd;
    QPushButton* btnMapRemove;
    QAction* actMapAdd;
    QAction* actMapRemove;
    kvui::TreeList* trlLog;
    kvui::Column* colText;
    QProgressBar* pgbProgress;

    TImportDataCallBackProc FImportDataProc;
    TOnBeginImportEvent FOnBeginImport;
    TNotifyEvent FOnEndImport;
    bool FImported = false;

    // The source object of the chosen kind (made on its first use).
    TImportSource* Source() const;
    // Loads the chosen source into the grids and maps what it can.
    void LoadImportSource();
    // Maps a field onto a source column (both 0-based).
    void MapImportColumn(int AField, int ASourceCol);
    void UnmapField(int AField);
    // The partner of a field (source column) or of a source column (field); -1 none.
    int FieldPartner(int AField) const { return FFieldPartner.value(AField, -1); }
    int SourcePartner(int ASourceCol) const { return FSourcePartner.value(ASourceCol, -1); }
    bool FieldInvalid(int AField) const { return FInvalidMaps.value(AField); }
    bool FieldShown(int AField) const;
    kvui::Column* FieldColumn(int AField) const { return FFieldCols.value(AField); }
    kvui::Column* SourceColumn(int ASourceCol) const { return FSourceCols.value(ASourceCol); }
    // Focuses a column of either grid (and answers what follows from it).
    void FocusSourceColumn(int ASourceCol);
    void FocusFieldColumn(int AField);
    // The texts of the log, one per line.
    QStringList LogLines() const;
    QList<TMessageKind> LogKinds() const;

    void Define();
    void MapAdd();
    void MapRemove();
    void btnOkClick();
    void AddImportLog(TMessageKind AKind, const QString& AText);
    // While rows are imported the dialog stays open: Esc asks to stop instead.
    void reject() override;

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;
    void showEvent(QShowEvent* AEvent) override;

private:
    void SourceTypeChanged();
    void PivotChanged();
    void UpdateActions();
    void SyncFocus();
    void ClearGrids();
    void AutoMap(const QList<int>& AFields);
    void SetFieldPreview(int AField, int ASourceCol);
    bool FieldOffered(int AField) const;
    int FocusedField() const;
    int FocusedSourceCol() const;
    void DrawSourceCell(kvui::CellDraw& ACell) const;
    void DrawFieldCell(kvui::CellDraw& ACell) const;
    void StartDrag(kvui::TreeList* AGrid, kvui::Column* AColumn);
    // A column dragged from one grid over the other at a point: whether it may
    // drop there, and with ADrop the mapping it makes or removes.
    bool DropColumn(kvui::TreeList* ATarget, const QMimeData* AData, const QPoint& APos, bool ADrop);
    void ImportRows();

    TExchangeFieldRecs FExchangeFieldRecs;
    QList<kvui::Column*> FFieldCols;
    QList<int> FFieldBands;
    QList<kvui::Column*> FSourceCols;
    QList<int> FFieldPartner;
    QList<int> FSourcePartner;
    QStringList FLastMaps;
    QList<bool> FInvalidMaps;
    std::vector<std::unique_ptr<TImportSource>> FSources;  // one per registered kind
    kvui::Column* FDragColumn = nullptr;   // the column being dragged
    QPoint FDragStart;
    kvui::Column* FLastSourceFocus = nullptr;
    bool FImporting = false;
};

// The routine behind the application object's import hook: shows the dialog for
// the fields and callbacks, returns whether any row reached the caller.
bool DoShowImportData(const TExchangeFieldRecs& AExchangeFieldRecs, TImportDataCallBackProc AImportDataProc,
                      TOnBeginImportEvent AOnBeginImport, TNotifyEvent AOnEndImport);

// Installs the dialog in the application object.
void InitImportDlgUnit();
