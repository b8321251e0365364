#pragma once
// What the settings dialogs of the two quick analyses are alike in: the two
// pages (the demand lines and the parameters), the grid of lines over its
// query, the options page with the filter tree, the private scheme the dialog
// writes and the OK that checks and writes it before the dialog closes.
#include "clsViewSetting.h"
#include "untMRP.h"

#include <QDate>
#include <QSet>
#include <QVariant>
#include <functional>
#include <memory>

class QAction;
class QBoxLayout;
class QCheckBox;
class QTabWidget;
class TCustomADODataSet;
class TInfoObjectDef;
class TMRPminiOptionsBox;
class TPickEditProperties;
namespace kvui {
class TreeList;
class BandedGrid;
class Column;
class DataSetSource;
class ImageComboProperties;
} // namespace kvui

class TMRPminiSetDlgBase : public TViewSettingDlg {
    Q_OBJECT
public:
    explicit TMRPminiSetDlgBase(QWidget* parent = nullptr);
    ~TMRPminiSetDlgBase() override;

    QTabWidget* Pages = nullptr;
    QWidget* tabMain = nullptr;
    QWidget* tabOptions = nullptr;
    QCheckBox* chkShowFilter = nullptr;
    kvui::BandedGrid* grdMain = nullptr;
    TADOQuery* qryMain = nullptr;
    kvui::DataSetSource* FMainSource = nullptr;
    QAction* actNeedDelete = nullptr;
    QAction* actNeedClear = nullptr;
    kvui::TreeList* trlMRPFilters = nullptr;
    QAction* actSetMRPFilter = nullptr;
    TMRPminiOptionsBox* gbxOptions = nullptr;

    TPlanScheme* FPlanScheme = nullptr;
    QDate FMaxDate;

    kvui::Column* Column(const QString& AFieldName) const;
    QVariant LineValue(int ALine, const QString& AField) const;
    void SetLineValue(int ALine, const QString& AField, const QVariant& AValue);
    int LineCount() const;
    // The lines in grid order (record indexes of the buffer).
    QList<int> Lines() const;
    // Removes the selected lines, or the focused one when none is selected.
    void NeedDelete();
    void NeedClear();
    // Adds a line for each chosen row of a pick list: ALine makes the line's
    // values from the list's current row.
    void AppendPickedLines(TCustomADODataSet* ADataSet, const QList<int>& ASelRecords,
                           const std::function<QVariantMap()>& ALine);

    virtual void ActionListUpdate() = 0;
    // The option boxes follow the checks of the filter tree.
    void UpdateCareAlloted();
    void actSetMRPFilterExecute();
    // The checks and writes of OK; False keeps the dialog open.
    virtual bool CloseWithOk() = 0;

public slots:
    // OK saves the settings, then checks and writes with the lines locked;
    // an error or a failed check keeps the dialog open.
    void done(int r) override;

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;
    // The pages " <AMainCaption> " and " 参数(&2) " in the options area.
    void BuildPages(const QString& AMainCaption);
    // The lines' query and grid (on the lines page).
    void BuildLinesGrid();
    // Opens an update of the lines' grid for its columns: a fixed band and a
    // scrolling one, row indicators, editing, several lines selectable.
    kvui::BandedGrid* BeginLinesGridColumns();
    // The options page with its filter tree and option group, wired to this
    // dialog; the scheme's group shows only on that page.
    void BuildOptionsPage(bool AWithMainGross);
    // An action of the lines page that calls ASlot.
    QAction* MakeAction(const char* AName, const QString& AText, const std::function<void()>& ASlot);
    // The actions "移除" and "全部移除" of the lines.
    void MakeRemoveActions();
    // A push button for each action, following its state and text.
    void AddActionButtons(QBoxLayout* ALayout, std::initializer_list<QAction*> AActions);
    // The filter action is open on a focused filter node with a filter.
    void UpdateFilterAction();
    // When wished, asks for the filter of a pick list's source and remembers
    // it in the settings ("[Src.<object>]"); False when the user cancels.
    bool AskSourceFilter(TInfoObjectDef* ADef, const QString& AObjectID, QString& ACode);
    // Shows the multi-select pick list of bill lines; APicked gets the
    // chosen rows. A database error is shown.
    void ShowLinesPicker(const QString& ACaption, const QString& ASQL,
                         const std::function<void(TCustomADODataSet*, const QList<int>&)>& APicked);
    // Shows a warning on the lines page with AFocus focused.
    void Warn(QWidget* AFocus, const QString& AText);
    // Warns about a line: switches to the lines, focuses the cell.
    void LineWarning(int ALine, const QString& AField, const QString& AText);
    // A line whose key was seen before gets AMessage (type, bill number,
    // bill line and item code filled in); False then.
    bool CheckLineKey(int ALine, const QString& AKey, QSet<QString>& AKeys, const QString& AMessage);
    // A line's date: one before today may become today after asking once
    // (AAsked keeps the answer, AQuestion is asked), one after ALimit is
    // refused; FMaxDate follows the latest. False stops the check.
    bool CheckLineDate(int ALine, const QDate& AToday, const QDate& ALimit, const QString& AQuestion, int& AAsked);
    // Applies the filter tree, the options and "[NeedFilter]" of the
    // settings; the option boxes then follow the tree.
    void LoadSharedSettings();
    // The settings with the filter tree, the options and "[NeedFilter]"
    // written into them.
    QString SharedSettings() const;

    std::shared_ptr<TPickEditProperties> FPickEditProperties;
    std::shared_ptr<kvui::ImageComboProperties> FBillTypeProperties;
    QWidget* FSchemeGroup = nullptr;
};

// Makes a settings dialog for the analysis's view scheme and private scheme,
// prepares it under the hourglass and shows it; True on OK (AScheme.Params
// then holds the new settings). An error on the way is shown as a failed
// read of the data.
bool ShowMiniSetDlg(const std::function<std::unique_ptr<TMRPminiSetDlgBase>()>& AMake, TViewScheme& AScheme,
                    TPlanScheme* APlanScheme);
