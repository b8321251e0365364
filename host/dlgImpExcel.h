#pragma once
// The Excel import source: rows of a sheet of an .xls workbook, its whole
// content or a selected range, with or without a header row; and its definer
// dialog, which shows the workbook so that the user picks file, sheet and range.
#include "clsDialog.h"
#include "untImportSource.h"

#include <QRect>
#include <memory>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kvui {
class SpreadSheetBook;
struct XlsRange;
}

class TImportExcelDlg : public TDialog {
    Q_OBJECT
public:
    explicit TImportExcelDlg(QWidget* parent = nullptr);

    QLineEdit* edtFileName;
    QPushButton* btnFileName;
    kvui::SpreadSheetBook* ssbContent;
    QLineEdit* edtSheetName;
    QLineEdit* edtCellRange;
    QCheckBox* chkSelection;
    QCheckBox* chkHeader;
    // The last selection seen: Left, Top, Right, Bottom as zero-based column and row.
    QRect FSelection;

    // Asks for a file and loads it; False when cancelled or unreadable.
    bool ChooseFile();
    // Loads a workbook file into the book (the reader's message when it cannot).
    bool LoadFile(const QString& AFileName);
    // Shows the active sheet, the range and the boxes as they now are.
    void UpdateRange();
    // The range the source reads, and the header offset.
    kvui::XlsRange ImportRange() const;
    int HeaderOffset() const;
    int Sheet() const;

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;

private:
    void SelectionChanged(Qt::KeyboardModifiers AModifiers);
    void OkClick();
    bool FReacting = true;
};

class TImportExcel : public TImportSource {
public:
    TImportExcel();
    ~TImportExcel() override;

    QString SourceName() const override;
    int ColCount() const override;
    int RowCount() const override;
    QString GetHeaders(int ACol) const override;
    QVariant GetCells(int ACol, int ARow) const override;
    QString GetPosition(int ACol, int ARow) const override;
    bool ShowDefiner() override;
    static QString SourceType() { return QStringLiteral("Excel格式文件"); }

    TImportExcelDlg* Definer() const { return FDefiner.get(); }

private:
    bool Loaded() const;
    std::unique_ptr<TImportExcelDlg> FDefiner;
};

// Registers the Excel source with the import dialog.
void InitImpExcelUnit();
