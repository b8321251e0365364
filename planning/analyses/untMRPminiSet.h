#pragma once
// What the two quick-analysis settings dialogs (kit availability and
// production shortage) share: the planning option controls with their words
// in the settings text, the daily plan periods up to the latest demand, the
// insert of one main-demand line, and the write of the private scheme together
// with its main demand.
#include "untMRP.h"

#include <QDate>
#include <QGroupBox>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <initializer_list>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class TADOQuery;
class TInfoObjectDef;
class TMRPminiOptionsBox;
namespace kvui {
class TreeList;
class BandedGrid;
class Column;
class DataSetSource;
} // namespace kvui

// Days since 1899-12-30, the date part of the engine's TDateTime.
TDateTime MiniDateToDateTime(const QDate& ADate);
QDate MiniDateTimeToDate(TDateTime ADateTime);

// A control's caption without its accelerator and colon: "截止交货日期(&D):"
// gives "截止交货日期".
QString MiniCaptionText(QString ACaption);
// A line's date value as a date: a date-time, a date, or its text (ISO or the
// locale's); invalid when empty or unreadable.
QDate MiniValueToDate(const QVariant& AValue);

// The select items of the named fields of an info object as its definition
// builds them, each led by a blank and ended by a comma; a field without an
// item is left out.
QString MiniFieldItemsSQL(const QString& AObjectID, std::initializer_list<const char*> AFields);

// The plan periods of a quick analysis, from yesterday to the latest demand:
// a delay period up to yesterday, one period per day from today (at most 30),
// one more period up to the latest demand when it lies further ahead, and the
// exceed period after it.
TPlanPeriods BuildMiniPlanPeriods(const QDate& AToday, const QDate& AMaxDate);

// The analyses' MRP filter tree: the supply bill types that take part (those
// the value list "MrpBillType" must hold only when it does), then inventory
// with its stocks; the first node focused.
void LoadMiniMRPFilters(kvui::TreeList* ATree, const QString& ADataFilters);
// Whether a bill-type node other than inventory is checked, and whether the
// node of production tasks (22) or subcontract orders (24) is.
void MiniMRPFiltersChecked(const kvui::TreeList* ATree, bool& AAnySource, bool& AOrders);

// The options page of both dialogs: the label "参与范围(&C):" over the filter
// tree and the button of actSetMRPFilter (" 条件(&L)...", owned by AOwner),
// beside the option group. The caller wires the tree and the action.
struct TMiniOptionsPage {
    kvui::TreeList* Filters;
    QAction* SetFilter;
    TMRPminiOptionsBox* Options;
};
TMiniOptionsPage BuildMiniOptionsPage(QWidget* ATab, QObject* AOwner, bool AWithMainGross);

// The group " 选项: " of both dialogs. The kit analysis has the extra box
// chkMainGross ("主需求自身只计算毛需求").
class TMRPminiOptionsBox : public QGroupBox {
    Q_OBJECT
public:
    TMRPminiOptionsBox(bool AWithMainGross, QWidget* parent = nullptr);

    QCheckBox* chkMainGross = nullptr;
    QCheckBox* chkCurrentBOM;
    QCheckBox* chkCareSafety;
    QCheckBox* chkCareAlloted;
    QLabel* lblCareItemReplace;
    QComboBox* cboCareItemReplace;
    QLabel* lblCareItemSuites;
    QComboBox* cboCareItemSuites;
    QLabel* lblCareMRPTrackMode;
    QComboBox* cboCareMRPTrackMode;
    QCheckBox* chkCareItemMRPTrack;
    QCheckBox* chkCareLossRate;
    QCheckBox* chkCareLotRule;

    // Applies "[CareOptions]", "[CareReplace]", "[CareSuites]" and
    // "[CareMRPTrack]" of a settings text to the controls.
    void LoadOptions(const QString& AParams);
    // Writes the same sections from the controls into a settings text.
    QString SaveOptions(const QString& AParams) const;
    // The "MrpTrackType" ID of the chosen track mode; the first item's when
    // none is chosen (a stored ID that the list lacks), 0 for an empty list.
    int TrackModeID() const;
    // The options the engine reads from the scheme, all but PlanNeedScope.
    void ApplyToScheme(TPlanScheme& AScheme) const;
};

// The grid column bound to a field (names compared without case), or null.
kvui::Column* MiniGridColumn(const kvui::BandedGrid* AGrid, const QString& AFieldName);
// The field of the main demand's definition that a column of the lines shows:
// ManGroupType and ManGroupNo show MRPGroupType and MRPGroupNo, every other
// "Man..." field the field without its prefix.
QString MiniMainFieldID(const QString& AField);
// A column that takes caption, visibility and editor from a field of the main
// demand's definition; hidden when the definition lacks the field.
void SetupMiniColumnFromDefinition(TInfoObjectDef* AMainDef, kvui::Column* AColumn, const QString& AFieldID);
// Opens the lines' query and shows its rows in the grid through ASource
// (made on first use, reset after).
void OpenMiniLines(TADOQuery* AQuery, const QString& ASQL, kvui::DataSetSource*& ASource, kvui::BandedGrid* AGrid);

// The scheme's plan and MPS periods (daily up to AMaxDate, both on calendar 1)
// and its state: changed, to be run again.
void ApplyMiniPeriods(TPlanScheme& AScheme, const QDate& AToday, const QDate& AMaxDate);
// The MPS period of a line's date; a line without a date falls on today.
int MiniLinePeriod(const TPlanScheme& AScheme, const QVariant& ADate, const QDate& AToday);

// One line of a main demand as the settings dialogs hold it: field values by
// name (the columns of QZ_MRP_Main and the display columns).
using TMiniLineValue = std::function<QVariant(const QString& AFieldName)>;

// The insert of one main-demand line of a quick analysis, followed by the
// "@@error" guard. ABillEntry is the line number written; ABomFromLine False
// writes no bill of materials (type 0, no ID).
QString BuildMiniMainInsertSQL(int ASchemeIID, int AManIID, int APeriod, int ABillEntry, bool ABomFromLine,
                               const TMiniLineValue& AValue);

// Saves the scheme (its periods also as MPS periods) and replaces its main
// demand by the inserts, in batches of about 65000 characters, all in one
// transaction on the scheme's connection: when any step fails nothing of it
// stays. A failed save or MPS update answers False (each has shown its error
// box); an error of a main-demand batch is raised.
bool SaveMiniSchemeAndMain(TPlanScheme& AScheme, const QStringList& AInserts);
