#pragma once
// The pick editor: a button edit whose button opens a lookup window listing the
// rows of a lookup statement, optionally narrowed by a search text, from which
// the user picks one or several rows.
#include "untCommonUI.h"

#include <QDialog>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TADOQuery;
namespace kvui { class DataSetSource; }

// Record indexes of the lookup query's selected rows.
using TBookmarks = QList<int>;
using TAfterDataPickedEvent = std::function<void(TCustomADODataSet* DataSet, const TBookmarks& SelRecords)>;

class TPickEditProperties : public TExButtonEditProperties {
public:
    TPickEditProperties();
    TPickEditProperties(const TPickEditProperties& other);
    TPickEditProperties& operator=(const TPickEditProperties& other);
    // Copies everything but AfterDataPicked.
    void Assign(const TPickEditProperties& ASource);

    TADOQuery* RefQuery = nullptr;
    QString Caption;
    QString SQL;          // in search mode a format text whose %0:s is the quoted search text
    QString WhereOrder;   // put after " where "; in search mode formatted like SQL
    QString FixedFields;  // fields of the fixed band, in vertical bars or square brackets
    QString TextField;
    QString Text;
    bool MultiSelect = false;
    TAfterDataPickedEvent AfterDataPicked;

    // True when the user confirmed with OK.
    bool ShowPicker(bool AFormatSQL);
    QWidget* createEditor(QWidget* parent) const override;

private:
    void bindButton();
    // Lives as long as this object (each copy has its own): the button
    // handler that edits copy from here looks at it before touching this object.
    std::shared_ptr<const bool> FAlive = std::make_shared<const bool>(true);
};
using TPickEdit = kvui::ButtonEdit;

// Sets a pick editor up from a field's ValueSource; nothing for other properties.
void SetupPickEditProperties(const TInfoFieldDef& AField, kvui::EditorProperties* AProperties, bool AInFilter = false);

// Formats a text with "%0:s" (or "%s") arguments and "%%" for a percent sign.
QString FormatPositional(const QString& APattern, const QStringList& AArgs);

class TPickPopupDlg : public QDialog {
    Q_OBJECT
public:
    TPickPopupDlg(TPickEditProperties* AProperties, bool ASearchMode, QWidget* parent = nullptr);
    ~TPickPopupDlg() override;
    // Runs the dialog; tests answer it through ExecHook instead of a window.
    int Run();
    static std::function<int(TPickPopupDlg&)> ExecHook;

    void OpenData();            // runs the statement for the current text
    void Search();              // the search button
    kvui::BandedGrid* grvPickData;
    TADOQuery* qryPickData;
    QLabel* lblPrompt;
    QLabel* lblSearch;
    QLineEdit* edtSearch;
    QToolButton* btnSearch;
    QLabel* lblCount;
    QPushButton* btnOk;
    QPushButton* btnCancel;
    void UpdateCount();

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void BuildColumns();
    void FitWidth();
    void LocateText();
    QString StatementFor(const QString& AText) const;
    TPickEditProperties* FPickEditProperties;
    bool FSearchMode;
    kvui::DataSetSource* FSource;
};
