// The main demand of a scheme whose main demand is imported, on the demo
// account set: sales-order lines picked through the source dialog and the
// pick list, free needs and bill rows read by a stand-in of the host's import
// wizard, the carry-over of write type 0 and the replace in one transaction.
#include "SchemeCommandsHarness.h"

#include "DemoLogin.h"
#include "DemoPlanning.h"
#include "DialogDriver.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "UCommon.h"
#include "dlgCheckOptions.h"
#include "dlgMRPMainSrc.h"
#include "dlgViewScheme.h"
#include "untInfoObjectDef.h"
#include "untMRPCalendar.h"
#include "untMRPUtils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <sqlite3.h>

using kvtest::DemoLogin;
using mrpcommandstest::SchemeCommandsHarness;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

QString one(const QString& sql)
{
    const QVariant v = DemoLogin::value(sql);
    return v.isNull() ? QStringLiteral("<none>") : v.toString();
}

int count(const QString& sql)
{
    return DemoLogin::count(sql);
}

// A main-demand row already in the scheme (bill KEEP-1), which a failed write must keep.
void addKeptRow(TPlanScheme* s)
{
    DemoLogin::instance().exec(
        QStringLiteral("insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, "
                       "ManDate, ManItmID, ManNeedQty, ManAdjQty, ManQty) values (%1, 1, 2, 2, 'KEEP-ID', 'KEEP-1', 1, '20270120', "
                       "'IFG-1001', 5, 0, 5)")
            .arg(s->SchemeIID));
}

// A scheme of its own for each test, its main demand imported, its periods
// those of the demo scheme.
TPlanScheme* importScheme(const QString& AName, int ASource = 3)
{
    static std::vector<std::unique_ptr<TPlanScheme>> schemes;
    kvtest::demoPlanningLogin();
    DemoLogin::instance().exec(
        QStringLiteral("insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchMpsSource, SchNeedScope, "
                       "SchCareSafety, SchCareReplace, SchCareSuites, SchTrackMode, SchItemTrack, SchCareLoss, SchCareLot, "
                       "SchFilters, SchUsrID, SchState, SchNewTime, SchUpdTime, SchMpsCalIID, SchMpsPeriods) select 0, '%1', "
                       "SchCalIID, SchPeriods, 3, SchNeedScope, SchCareSafety, SchCareReplace, SchCareSuites, SchTrackMode, "
                       "SchItemTrack, SchCareLoss, SchCareLot, SchFilters, SchUsrID, 0, SchNewTime, SchUpdTime, SchCalIID, "
                       "SchPeriods from QZ_MRP_Schemes where SchIID=1")
            .arg(AName));
    if (ASource != 3)
        DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_Schemes set SchMpsSource=%1, SchState=2, SchMpsRunTime=getdate(), "
                                                  "SchMpsUpdTime=getdate() where SchIID=(select max(SchIID) from QZ_MRP_Schemes)")
                                       .arg(ASource));
    const int iid = count(QStringLiteral("select max(SchIID) from QZ_MRP_Schemes"));
    schemes.push_back(std::make_unique<TPlanScheme>(GlobalADOConnection));
    EXPECT_TRUE(schemes.back()->Load(iid));
    EXPECT_EQ(schemes.back()->PlanSource, ASource);
    EXPECT_GT(schemes.back()->MpsPeriods.size(), size_t(3));
    return schemes.back().get();
}

// The item number of an item ID.
QString itemNo(const QString& AItemID)
{
    return one(QStringLiteral("select ItmNo from QZ_Base_ItemMaster where ItmID='%1'").arg(AItemID));
}

QString dayText(TDateTime ADay)
{
    return untMRPUtils::DayToDateStr(untMRPUtils::DateToDay(ADay));
}

// The host's import wizard, standing in: hands each row to the callback and
// keeps the messages of the rows it refused.
TVariantArray gRows;
QStringList gMessages;
QList<TMessageKind> gKinds;
TExchangeFieldRecs gFields;
std::function<void()> gAfterRows;

bool importStandIn(const TExchangeFieldRecs& AFields, TImportDataCallBackProc AProc, TOnBeginImportEvent, TNotifyEvent)
{
    gFields = AFields;
    gMessages.clear();
    gKinds.clear();
    for (const QVariant& row : gRows) {
        TMessageKind kind = mkNone;
        QString text;
        int field = -1;
        AProc(row.toList(), kind, text, field);
        if (kind != mkNone) {
            gMessages << text;
            gKinds << kind;
        }
    }
    if (gAfterRows)
        gAfterRows();
    return true;
}

// The optional columns of the records a test hands the import (free needs
// have them, bill rows do not).
int gOptionalColumns = 0;

struct ImportWizard {
    ImportWizard()
    {
        previous = InfoApplication->ShowImportDataProc;
        InfoApplication->ShowImportDataProc = importStandIn;
    }
    ~ImportWizard()
    {
        InfoApplication->ShowImportDataProc = previous;
        gAfterRows = nullptr;
        gOptionalColumns = 0;
    }
    TShowImportDataProc previous;
};

// The optional columns a free-need import offers between the item and the
// date: each of the ten item properties, the two demand classifications and
// the MRP group number that the main demand's definition shows.
int freeNeedOptionalColumns()
{
    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.MRP.Main"));
    QStringList ids{QStringLiteral("ManOrigTag"), QStringLiteral("ManOrigSubTag"), QStringLiteral("ManGroupNo")};
    for (int k = 1; k <= 10; ++k)
        ids << QStringLiteral("ManItmProp%1").arg(k);
    int n = 0;
    for (const QString& id : ids)
        if (PInfoFieldDef f = def ? def->GetFieldDef(id) : nullptr; f && !f->HideList)
            ++n;
    return n;
}

// One record: bill number, line, item number, the optional columns (left
// empty), the date and quantity (and adjustment) columns, then one value per
// main-demand period.
QVariant record(const TPlanScheme* s, const QVariant& bill, const QVariant& line, const QVariant& item, const QVariant& date,
                const QVariant& qty, std::map<int, double> periods = {}, bool withAdj = false, const QVariant& adj = QVariant())
{
    QVariantList r{bill, line, item};
    for (int i = 0; i < gOptionalColumns; ++i)
        r << QVariant();
    r << date << qty;
    if (withAdj)
        r << adj;
    for (int p = 0; p < int(s->MpsPeriods.size()); ++p)
        r << (periods.count(p) ? QVariant(periods[p]) : QVariant());
    return r;
}

QString periodDate(const TPlanScheme* s, int p)
{
    return QDate(1899, 12, 30).addDays(qint64(s->MpsPeriods[size_t(p)].DateBegin)).toString(Qt::ISODate);
}

QString rowOf(int scheme, const QString& where, const QString& cols)
{
    return one(QStringLiteral("select %1 from QZ_MRP_Main where ManSchIID=%2 and %3").arg(cols).arg(scheme).arg(where));
}

} // namespace

TEST(MainImport, ADateGoesToItsPeriodOrToTheDelayOrExceedPeriod)
{
    // Delay period, two normal weeks with a gap of a week, the exceed period.
    TPlanPeriods periods(4);
    periods[0] = {ppkDelay, 0, 46390};
    periods[1] = {ppkNormal, 46391, 46397};
    periods[2] = {ppkNormal, 46405, 46411};
    periods[3] = {ppkExceed, 46412, double(untMRPUtils::MaxDay)};
    const struct {
        double date;
        int period;
    } cases[] = {{46391, 1}, {46397, 1}, {46400, 2}, {46411, 2}, {46412, 3}, {46390, 0}, {0, 0}, {-5, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(MainDemandPeriodIndex(periods, c.date), c.period) << c.date;
    // Without the delay and exceed periods a date outside still finds one.
    TPlanPeriods normal{periods[1], periods[2]};
    EXPECT_EQ(MainDemandPeriodIndex(normal, 46000), 0);
    EXPECT_EQ(MainDemandPeriodIndex(normal, 47000), 1);
    EXPECT_EQ(MainDemandPeriodIndex(TPlanPeriods(), 46400), 0);
}

// Sales-order lines picked through the source dialog and the pick list: the
// lines of items that skip MRP are not offered; the picked lines become the
// scheme's rows with their bill values; the options go into the frame's text.
TEST(MainImport, PickedSalesOrderLinesBecomeTheMainDemand)
{
    TPlanScheme* s = importScheme(QStringLiteral("导入-选单"));
    DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_ItemSetting set ItmMrpSkip=1 where ItmID='IFG-2001'"));
    SchemeCommandsHarness h(s);
    kvtest::WhenShown<TMRPMainSourceDlg>([](TMRPMainSourceDlg* dlg) {
        dlg->rdbBills->setChecked(true);
        dlg->cboBills->setCurrentIndex(dlg->cboBills->findData(int(itSelectSO)));
        dlg->cboWriteType->setCurrentIndex(1);
        dlg->UpdateControls();
        dlg->btnOk->click();
    });
    QStringList offered;
    QString title;
    TPickPopupDlg::ExecHook = [&](TPickPopupDlg& dlg) {
        title = dlg.windowTitle();
        for (int i = 0; i < dlg.grvPickData->recordCount(); ++i) {
            dlg.qryPickData->SetRecNo(i + 1);
            offered << dlg.qryPickData->FieldByName(QStringLiteral("单据编号"))->AsString() + u'/' +
                           dlg.qryPickData->FieldByName(QStringLiteral("单据行"))->AsString();
            dlg.grvPickData->selectRecord(i, true);
        }
        return int(QDialog::Accepted);
    };
    ScriptedMessageBoxes boxes;
    const bool ok = h.fetch->Execute();
    TPickPopupDlg::ExecHook = nullptr;
    DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_ItemSetting set ItmMrpSkip=0 where ItmID='IFG-2001'"));
    ASSERT_TRUE(ok);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("执行完成。"));
    EXPECT_TRUE(title.contains(QStringLiteral("销售订单"))) << title.toStdString();
    EXPECT_EQ(offered.size(), count(QStringLiteral("select count(*) from QZ_MRP_SO where CanMRP<>0 and SOItmID<>'IFG-2001'")));
    EXPECT_FALSE(offered.contains(QStringLiteral("SO-202612-001/2")));
    EXPECT_FALSE(offered.contains(QStringLiteral("SO-202612-001/3")));  // not to be planned
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(s->SchemeIID)), offered.size());
    EXPECT_EQ(s->PlanState, int(psMainDemandReady));
    EXPECT_TRUE(SchemeTimeIsSet(s->MpsRunTime));
    const QString& sep = ViewSchemeParamSeparator;
    EXPECT_EQ(ReadDelimitedValue(h.params, QStringLiteral("[SrcImportType]"), sep), QStringLiteral("0"));
    EXPECT_EQ(ReadDelimitedValue(h.params, QStringLiteral("[SrcWriteType]"), sep), QStringLiteral("1"));
    EXPECT_EQ(ReadDelimitedValue(h.params, QStringLiteral("[SrcShowFilter]"), sep), QString());
    // One line as the bill has it: 200 to deliver of 300, 100 delivered, due
    // on 2027-01-15, in the period holding that day.
    const int period = MainDemandPeriodIndex(s->MpsPeriods, QDate(1899, 12, 30).daysTo(QDate(2027, 1, 15)));
    EXPECT_EQ(rowOf(s->SchemeIID, QStringLiteral("ManBillNo='SO-202612-001' and ManBillEntry=1"),
                    QStringLiteral("cast(ManBillType as varchar(5))+'|'+ManBillID+'|'+cast(ManPeriod as varchar(5))+'|'+"
                                   "convert(varchar(8), ManDate, 112)+'|'+cast(cast(ManQty as int) as varchar(9))+'|'+"
                                   "cast(cast(ManNeedQty as int) as varchar(9))+'|'+cast(cast(ManExeQty as int) as varchar(9))+'|'+"
                                   "cast(cast(ManBillQty as int) as varchar(9))+'|'+ManItmID+'|'+ManOrigID")),
              QStringLiteral("2|SO2612001|%1|20270115|200|200|100|300|IFG-1001|SO2612001").arg(period));
}

// Write type 0 keeps the rows of other bill lines and free needs no imported
// row stands for; write type 1 keeps only the imported rows. A free need is
// never matched on its empty bill ID.
TEST(MainImport, WriteTypesDecideWhichEarlierRowsStay)
{
    for (const int writeType : {0, 1}) {
        TPlanScheme* s = importScheme(QStringLiteral("导入-写入%1").arg(writeType));
        const QString day = dayText(s->MpsPeriods[2].DateBegin);
        DemoLogin::instance().exec(
            QStringLiteral("insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, "
                           "ManDate, ManItmID, ManNeedQty, ManAdjQty, ManQty) values (%1, 1, 2, 2, 'OLD-ID', 'OLD-1', 1, '%2', "
                           "'IFG-1001', 5, 0, 5)\r"
                           "insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, "
                           "ManDate, ManItmID, ManNeedQty, ManAdjQty, ManQty) values (%1, 2, 2, 12, '', 'FREE-OLD', 1, '%2', "
                           "'IFG-1002', 7, 0, 7)")
                .arg(s->SchemeIID)
                .arg(day));
        SchemeCommandsHarness h(s);
        h.fetch->FImportType = itImportFreeNeed;
        h.fetch->FImportWriteType = TMPSOverwriteType(writeType);
        ImportWizard wizard;
        gOptionalColumns = freeNeedOptionalColumns();
        gRows = {record(s, QStringLiteral("FREE-NEW"), 1, itemNo(QStringLiteral("IFG-1001")), periodDate(s, 3), 9)};
        ScriptedMessageBoxes boxes;
        ASSERT_TRUE(h.fetch->ImportFromExternalData()) << writeType;
        EXPECT_TRUE(boxes.shown.isEmpty());
        EXPECT_TRUE(gMessages.isEmpty()) << gMessages.join(u'\n').toStdString();
        const QString rows = QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1 and ManBillNo='%2'");
        EXPECT_EQ(count(rows.arg(s->SchemeIID).arg(QStringLiteral("FREE-NEW"))), 1);
        EXPECT_EQ(count(rows.arg(s->SchemeIID).arg(QStringLiteral("OLD-1"))), writeType == 0 ? 1 : 0);
        EXPECT_EQ(count(rows.arg(s->SchemeIID).arg(QStringLiteral("FREE-OLD"))), writeType == 0 ? 1 : 0);
        EXPECT_EQ(count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(s->SchemeIID)),
                  int(psMainDemandReady));
    }
}

// Free needs read from a file: quantities by date or by period, two records
// of one line added up, items kept apart, refusals with their messages.
TEST(MainImport, FreeNeedsAreReadRecordByRecord)
{
    TPlanScheme* s = importScheme(QStringLiteral("导入-自由需求"));
    const int iid = s->SchemeIID;
    DemoLogin::instance().exec(QStringLiteral("update QZ_Base_ItemMaster set ItmHasProp2=1 where ItmID='IPT-102'"));
    const QString plain = itemNo(QStringLiteral("IFG-1001"));
    const QString withProp = one(QStringLiteral("select ItmNo from QZ_Base_ItemMaster where ItmID='IPT-102'"));
    const int last = int(s->MpsPeriods.size()) - 1;
    SchemeCommandsHarness h(s);
    h.fetch->FImportType = itImportFreeNeed;
    h.fetch->FImportWriteType = wtOverwriteAll;
    ImportWizard wizard;
    const int optional = gOptionalColumns = freeNeedOptionalColumns();
    gRows = {
        // by date: the whole quantity in its own period, no hints
        record(s, QStringLiteral("F-DATE"), 1, plain, periodDate(s, 2), 10),
        // by periods: zero and negative values left out
        record(s, QStringLiteral("F-PER"), 1, plain, QVariant(), QVariant(), {{1, 0}, {2, 4}, {3, -2}, {4, 6}}),
        // two records of one line add up into one row dated by the later record
        record(s, QStringLiteral("F-TWO"), 1, plain, periodDate(s, 2), 3),
        record(s, QStringLiteral("F-TWO"), 1, plain, periodDate(s, 4), 5),
        // the same number and line for another item is a row of its own
        record(s, QStringLiteral("F-TWO"), 1, itemNo(QStringLiteral("IFG-1002")), periodDate(s, 2), 8),
        // empty bill number accepted
        record(s, QString(), 0, itemNo(QStringLiteral("IFG-2001")), periodDate(s, 3), 2),
        // a date after the horizon goes to the exceed period
        record(s, QStringLiteral("F-LATE"), 1, plain, QStringLiteral("2099-01-01"), 1),
        // refusals
        record(s, QStringLiteral("F-NOITEM"), 1, QString(), periodDate(s, 2), 1),
        record(s, QStringLiteral("F-BAD"), 1, QStringLiteral("NO-SUCH-ITEM"), periodDate(s, 2), 1),
        record(s, QStringLiteral("F-ZERO"), 1, plain, QVariant(), QVariant(), {{2, 0}, {3, -1}}),
        record(s, QStringLiteral("F-PROP"), 1, withProp, periodDate(s, 2), 1),
    };
    ScriptedMessageBoxes boxes;
    const bool ok = h.fetch->ImportFromExternalData();
    DemoLogin::instance().exec(QStringLiteral("update QZ_Base_ItemMaster set ItmHasProp2=0 where ItmID='IPT-102'"));
    ASSERT_TRUE(ok);
    EXPECT_TRUE(boxes.shown.isEmpty());
    // The fields offered: number, line, item, the item properties, demand
    // classifications and MRP group number, date, quantity, one per period.
    EXPECT_EQ(optional, 13);
    ASSERT_EQ(gFields.size(), 5 + optional + int(s->MpsPeriods.size()));
    EXPECT_EQ(gFields[0].Group, 0);
    EXPECT_EQ(gFields[3].Name, QStringLiteral("辅助项1"));
    EXPECT_EQ(gFields[3 + optional].Kind, fkPivotH);
    EXPECT_EQ(gFields[4 + optional].Name, QStringLiteral("计划数量"));
    EXPECT_EQ(gFields[5 + optional].Kind, fkPivotV);
    EXPECT_EQ(gFields[5 + optional].Name, BuildPlanPeriodCaptions(s->MpsPeriods, 0));

    const QString cols = QStringLiteral("cast(ManBillType as varchar(3))+'|'+cast(ManPeriod as varchar(3))+'|'+"
                                        "convert(varchar(8), ManDate, 112)+'|'+cast(cast(ManQty as int) as varchar(9))+'|'+"
                                        "isnull(ManHints,'')");
    auto row = [&](const QString& where) { return rowOf(iid, where, cols); };
    EXPECT_EQ(row(QStringLiteral("ManBillNo='F-DATE'")), QStringLiteral("12|0|%1|10|02=10\r\n").arg(dayText(s->MpsPeriods[2].DateBegin)));
    EXPECT_EQ(row(QStringLiteral("ManBillNo='F-PER'")),
              QStringLiteral("12|0|%1|10|02=4\r\n04=6\r\n").arg(dayText(s->MpsPeriods[2].DateBegin)));
    EXPECT_EQ(row(QStringLiteral("ManBillNo='F-TWO' and ManItmID='IFG-1001'")),
              QStringLiteral("12|0|%1|8|02=3\r\n04=5\r\n").arg(dayText(s->MpsPeriods[4].DateBegin)));
    EXPECT_EQ(row(QStringLiteral("ManBillNo='F-TWO' and ManItmID='IFG-1002'")),
              QStringLiteral("12|0|%1|8|02=8\r\n").arg(dayText(s->MpsPeriods[2].DateBegin)));
    EXPECT_EQ(row(QStringLiteral("ManBillNo='' and ManItmID='IFG-2001'")),
              QStringLiteral("12|0|%1|2|03=2\r\n").arg(dayText(s->MpsPeriods[3].DateBegin)));
    EXPECT_EQ(row(QStringLiteral("ManBillNo='F-LATE'")), QStringLiteral("12|0|20990101|1|%1=1\r\n").arg(untMRPUtils::PeriodKey(last)));
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(iid)), 6);

    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.MRP.Main"));
    const QString itemField = def->GetFieldDef(QStringLiteral("ItmNo"))->Name;
    // the second property of the item is a column of the import: its empty value is named
    const QString propField = def->GetFieldDef(QStringLiteral("ManItmProp2"))->Name;
    EXPECT_EQ(gMessages, (QStringList{
                             QStringLiteral("字段[%1]导入内容为空, 忽略导入!").arg(itemField),
                             QStringLiteral("[%1]的值(NO-SUCH-ITEM)不存在!").arg(itemField),
                             QStringLiteral("导入内容无计划数量, 或计划数量不大于0, 忽略导入。"),
                             QStringLiteral("[%1]的内容不能为空!").arg(propField),
                         }));
    EXPECT_EQ(gKinds, (QList<TMessageKind>{mkWarning, mkWarning, mkWarning, mkWarning}));
}

// Rows tied to sales-order lines: looked up by number, line and item; the
// adjustment column; a number without line that fits two lines is refused.
TEST(MainImport, BillRowsAreLookedUpAndCarryTheirAdjustment)
{
    TPlanScheme* s = importScheme(QStringLiteral("导入-订单"));
    const int iid = s->SchemeIID;
    DemoLogin::instance().exec(QStringLiteral(
        "insert QZ_MRP_SO (SOID, SONo, SOEntry, SODate, SOCustID, SOCustPO, SODeptID, SOEmpID, SOItmID, SOUntID, SOBillQty, "
        "SOQty, SOOkQty, SODelivDate, SOBomType, SOBomID, Checked, Closed, CanMRP, SONote) values ('SOX1', 'SO-X-1', 1, "
        "'20270104', 'C001', null, 'D01', 'E03', 'IFG-1001', 'PCS', 50, 50, 0, '20270120', 0, 'B-FG-1001', 1, 0, 1, null)\r"
        "insert QZ_MRP_SO (SOID, SONo, SOEntry, SODate, SOCustID, SOCustPO, SODeptID, SOEmpID, SOItmID, SOUntID, SOBillQty, "
        "SOQty, SOOkQty, SODelivDate, SOBomType, SOBomID, Checked, Closed, CanMRP, SONote) values ('SOX1', 'SO-X-1', 2, "
        "'20270104', 'C001', null, 'D01', 'E03', 'IFG-1001', 'PCS', 60, 60, 0, '20270127', 0, 'B-FG-1001', 1, 0, 1, null)"));
    SchemeCommandsHarness h(s);
    h.fetch->FImportType = itImportSOorForcast;
    h.fetch->FImportWriteType = wtOverwriteAll;
    ImportWizard wizard;
    gRows = {
        record(s, QStringLiteral("SO-X-1"), 2, itemNo(QStringLiteral("IFG-1001")), QVariant(), QVariant(), {{2, 30}, {3, 40}}, true, 10),
        record(s, QStringLiteral("SO-X-1"), 0, itemNo(QStringLiteral("IFG-1001")), periodDate(s, 2), 5, {}, true),
        record(s, QStringLiteral("SO-X-1"), 3, itemNo(QStringLiteral("IFG-1001")), periodDate(s, 2), 5, {}, true),
    };
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(h.fetch->ImportFromExternalData());
    ASSERT_EQ(gFields.size(), 6 + int(s->MpsPeriods.size()));
    EXPECT_EQ(gFields[4].Name, QStringLiteral("需求数量"));
    EXPECT_EQ(gFields[5].Name, QStringLiteral("调整数量"));
    // Q = 70 of which 10 adjusted: need 60, executed 60 - 60 = 0.
    EXPECT_EQ(rowOf(iid, QStringLiteral("ManBillNo='SO-X-1'"),
                    QStringLiteral("ManBillID+'|'+cast(ManBillEntry as varchar(3))+'|'+cast(cast(ManQty as int) as varchar(9))+'|'+"
                                   "cast(cast(ManNeedQty as int) as varchar(9))+'|'+cast(cast(ManAdjQty as int) as varchar(9))+'|'+"
                                   "cast(cast(ManExeQty as int) as varchar(9))+'|'+ManHints")),
              QStringLiteral("SOX1|2|70|60|10|0|02=30\r\n03=40\r\n"));
    ASSERT_EQ(gMessages.size(), 2);
    EXPECT_TRUE(gMessages[0].startsWith(QStringLiteral("导入的需求单据因未指定行号而存在重复内容"))) << gMessages[0].toStdString();
    EXPECT_TRUE(gMessages[1].startsWith(QStringLiteral("导入的需求单据不存在, 或不符合计划运算条件!"))) << gMessages[1].toStdString();
    EXPECT_TRUE(gMessages[1].contains(QStringLiteral("需求行: 3")));
}

// More rows than one text of 65000 characters holds all arrive.
TEST(MainImport, LongImportsArriveWhole)
{
    TPlanScheme* s = importScheme(QStringLiteral("导入-大量"));
    SchemeCommandsHarness h(s);
    h.fetch->FImportType = itImportFreeNeed;
    h.fetch->FImportWriteType = wtOverwriteAll;
    ImportWizard wizard;
    gOptionalColumns = freeNeedOptionalColumns();
    gRows.clear();
    for (int i = 0; i < 250; ++i)
        gRows << record(s, QStringLiteral("BULK-%1").arg(i), 1, itemNo(QStringLiteral("IFG-1001")), periodDate(s, 1 + i % 5), 1 + i);
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(h.fetch->ImportFromExternalData());
    EXPECT_TRUE(gMessages.isEmpty());
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(s->SchemeIID)), 250);
    EXPECT_EQ(count(QStringLiteral("select cast(sum(ManQty) as int) from QZ_MRP_Main where ManSchIID=%1").arg(s->SchemeIID)),
              250 * 251 / 2);
}

// A replace that fails half-way leaves the scheme's rows and state as they
// were: the delete, the state and the insert are one transaction.
TEST(MainImport, AFailedReplaceKeepsTheEarlierRows)
{
    TPlanScheme* s = importScheme(QStringLiteral("导入-失败"));
    addKeptRow(s);
    SchemeCommandsHarness h(s);
    h.fetch->FImportType = itImportFreeNeed;
    h.fetch->FImportWriteType = wtOverwriteAll;
    ImportWizard wizard;
    gOptionalColumns = freeNeedOptionalColumns();
    gRows = {record(s, QStringLiteral("GONE"), 1, itemNo(QStringLiteral("IFG-1001")), periodDate(s, 2), 1)};
    // Each gathered row twice before the replace: its insert breaks the
    // scheme's unique key after its delete ran.
    gAfterRows = [] {
        ExecSQLText(GlobalADOQuery,
                    QStringLiteral("select * into #QZ_MRP_Dup from #QZ_MRP_Main\rdrop table #QZ_MRP_Main\r"
                                   "select * into #QZ_MRP_Main from (select * from #QZ_MRP_Dup union all select * from "
                                   "#QZ_MRP_Dup) as u\rdrop table #QZ_MRP_Dup"),
                    false, true, false);
    };
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(h.fetch->ImportFromExternalData());
    EXPECT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1 and ManBillNo='KEEP-1'").arg(s->SchemeIID)), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(s->SchemeIID)), 1);
    EXPECT_EQ(count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(s->SchemeIID)), int(psWaitMainDemand));
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Schemes where SchIID=%1 and SchMpsRunTime is null").arg(s->SchemeIID)), 1);
}

// The kept bill lookups belong to one login: a text kept under an earlier
// login is never used after a new one.
TEST(MainImport, KeptLookupsFollowTheLogin)
{
    TPlanScheme* s = importScheme(QStringLiteral("导入-登录"));
    SchemeCommandsHarness h(s);
    h.fetch->FImportType = itImportSOorForcast;
    h.fetch->FImportWriteType = wtOverwriteAll;
    const int tick = InfoApplication->LoginTick;
    MainImportLookupCache().Store(tick - 1, QStringLiteral("QZ_MRP.SO"), QStringLiteral("select broken from nowhere"));
    ImportWizard wizard;
    gRows = {record(s, QStringLiteral("SO-202612-001"), 1, itemNo(QStringLiteral("IFG-1001")), periodDate(s, 2), 5, {}, true)};
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(h.fetch->ImportFromExternalData());
    EXPECT_TRUE(gMessages.isEmpty()) << gMessages.join(u'\n').toStdString();
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(s->SchemeIID)), 1);
    EXPECT_FALSE(MainImportLookupCache().Find(tick, QStringLiteral("QZ_MRP.SO")).isEmpty());
}

// A new fetch that keeps free needs keeps each one's own spread over the
// periods: free needs have no bill ID and are never matched on it.
TEST(MainImport, AFetchKeepingFreeNeedsKeepsEachOnesSpread)
{
    TPlanScheme* s = importScheme(QStringLiteral("获取-自由需求"), 0);
    const QString day = dayText(s->MpsPeriods[2].DateBegin);
    const QString insert = QStringLiteral(
        "insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, ManDate, ManItmID, "
        "ManNeedQty, ManAdjQty, ManQty, ManHints) values (%1, %2, 2, 12, '', '%3', 0, '%4', '%5', %6, 0, %6, '%7')\r");
    DemoLogin::instance().exec(insert.arg(s->SchemeIID).arg(1).arg(QStringLiteral("N-1"), day, QStringLiteral("IFG-1001"))
                                   .arg(10).arg(QStringLiteral("02=4\r\n03=6\r\n")) +
                               insert.arg(s->SchemeIID).arg(2).arg(QStringLiteral("N-2"), day, QStringLiteral("IFG-1002"))
                                   .arg(20).arg(QStringLiteral("04=5\r\n05=15\r\n")));
    ASSERT_TRUE(s->Load(s->SchemeIID));
    SchemeCommandsHarness h(s);
    kvtest::WhenShown<TCheckOptionsDlg>([](TCheckOptionsDlg* dlg) {
        dlg->Items[1]->setChecked(false);
        dlg->btnOk->click();
    });
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(h.fetch->Execute());
    auto spread = [&](const QString& bill) {
        QStringList lines = rowOf(s->SchemeIID, QStringLiteral("ManBillNo='%1'").arg(bill), QStringLiteral("ManHints"))
                                .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        lines.sort();
        return lines.join(u' ');
    };
    EXPECT_EQ(spread(QStringLiteral("N-1")), QStringLiteral("02=4 03=6"));
    EXPECT_EQ(spread(QStringLiteral("N-2")), QStringLiteral("04=5 05=15"));
    EXPECT_GT(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1 and ManBillType<>12").arg(s->SchemeIID)), 0);
}

// Another scheme's main demand copied row for row with write type 0: its bill
// rows replace the same bill lines, and the scheme's own free needs stay
// beside the copied ones instead of being matched on their empty bill IDs.
TEST(MainImport, CopyingAnotherSchemesMainDemandKeepsOwnFreeNeeds)
{
    TPlanScheme* source = importScheme(QStringLiteral("复制-来源"), 0);
    TPlanScheme* s = importScheme(QStringLiteral("复制-目标"));
    const QString day = dayText(s->MpsPeriods[2].DateBegin);
    const QString insert = QStringLiteral(
        "insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, ManDate, ManItmID, "
        "ManNeedQty, ManAdjQty, ManQty) values (%1, %2, 2, %3, '%4', '%5', %6, '%7', '%8', %9, 0, %9)\r");
    auto row = [&](int scheme, int iid, int type, const QString& id, const QString& no, int entry, const QString& item, int qty) {
        return insert.arg(scheme).arg(iid).arg(type).arg(id, no).arg(entry).arg(day, item).arg(qty);
    };
    DemoLogin::instance().exec(row(s->SchemeIID, 1, 12, QString(), QStringLiteral("OWN"), 0, QStringLiteral("IFG-1001"), 4) +
                               row(s->SchemeIID, 2, 2, QStringLiteral("X1"), QStringLiteral("SO-X"), 1, QStringLiteral("IFG-1001"), 5) +
                               row(source->SchemeIID, 1, 12, QString(), QStringLiteral("OTHER"), 0, QStringLiteral("IFG-1002"), 6) +
                               row(source->SchemeIID, 2, 2, QStringLiteral("X1"), QStringLiteral("SO-X"), 1, QStringLiteral("IFG-1001"), 9));
    SchemeCommandsHarness h(s);
    const int sourceIID = source->SchemeIID;
    kvtest::WhenShown<TMRPMainSourceDlg>([sourceIID](TMRPMainSourceDlg* dlg) {
        dlg->rdbScheme->setChecked(true);
        dlg->cboMrpType->setCurrentIndex(0);
        dlg->cboScheme->setCurrentIndex(dlg->cboScheme->findData(sourceIID));
        dlg->cboWriteType->setCurrentIndex(0);
        dlg->UpdateControls();
        dlg->btnOk->click();
    });
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(h.fetch->Execute());
    EXPECT_EQ(boxes.shown.last().text, QStringLiteral("执行完成。"));
    const QString rows = QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1 and %2").arg(s->SchemeIID);
    EXPECT_EQ(count(rows.arg(QStringLiteral("ManBillNo='OWN'"))), 1);
    EXPECT_EQ(count(rows.arg(QStringLiteral("ManBillNo='OTHER'"))), 1);
    EXPECT_EQ(count(rows.arg(QStringLiteral("ManBillNo='SO-X'"))), 1);
    EXPECT_EQ(rowOf(s->SchemeIID, QStringLiteral("ManBillNo='SO-X'"), QStringLiteral("cast(cast(ManQty as int) as varchar(9))")),
              QStringLiteral("9"));
}

// Without the host's import wizard a file import says so and changes nothing.
TEST(MainImport, WithoutTheImportWizardNothingIsImported)
{
    TPlanScheme* s = importScheme(QStringLiteral("导入-无向导"));
    SchemeCommandsHarness h(s);
    h.fetch->FImportType = itImportFreeNeed;
    auto* previous = InfoApplication->ShowImportDataProc;
    InfoApplication->ShowImportDataProc = nullptr;
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(h.fetch->ImportFromExternalData());
    InfoApplication->ShowImportDataProc = previous;
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("很抱歉, 此功能处于内部测试阶段, 暂时不开放使用!"));
    EXPECT_EQ(count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(s->SchemeIID)), int(psWaitMainDemand));
}

namespace {
QString gNextFilterCode;
bool gFilterAccepted = true;
bool filterStandIn(TInfoObjectDef*, QString& text, QString& code, TADOQuery*, const QString&, bool)
{
    if (!gFilterAccepted)
        return false;
    code = gNextFilterCode;
    text = code;
    return true;
}
// Filter codes here are plain conditions.
QString codeAsSQL(TInfoObjectDef*, const QString& code, TADOQuery*)
{
    return code;
}
} // namespace

// The filter of a pick source: asked only with show-filter, stored in the
// scheme's own section for the source; without show-filter a stored filter
// does not narrow the pick list. Cancelling the filter or the pick list
// writes nothing.
TEST(MainImport, TheSourceFilterIsAskedAndKeptOnlyWhenWanted)
{
    TPlanScheme* s = importScheme(QStringLiteral("导入-筛选"));
    const QString section = QStringLiteral("[Src.QZ_MRP.SO]");
    const QString stored = QStringLiteral("s.SOItmID='IFG-1001'");
    DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_Schemes set SchFilters=%1 where SchIID=%2")
                                   .arg(QuotedStr(WriteDelimitedValue(s->DataFilters, section, stored, ViewSchemeParamSeparator)))
                                   .arg(s->SchemeIID));
    ASSERT_TRUE(s->Load(s->SchemeIID));
    auto* previousFilter = InfoApplication->ShowFilterDlgProc;
    auto* previousTranslate = InfoApplication->TranslateFilterCodeToSQLProc;
    InfoApplication->ShowFilterDlgProc = filterStandIn;
    InfoApplication->TranslateFilterCodeToSQLProc = codeAsSQL;
    SchemeCommandsHarness h(s);
    h.fetch->FImportType = itSelectSO;
    h.fetch->FImportWriteType = wtOverwriteAll;
    int offered = -1;
    bool accept = false;
    TPickPopupDlg::ExecHook = [&](TPickPopupDlg& dlg) {
        offered = dlg.grvPickData->recordCount();
        for (int i = 0; i < offered; ++i)
            dlg.grvPickData->selectRecord(i, true);
        return accept ? int(QDialog::Accepted) : int(QDialog::Rejected);
    };
    const int all = count(QStringLiteral("select count(*) from QZ_MRP_SO as s left join QZ_MRP_ItemSetting as mt on s.SOItmID=mt.ItmID "
                                         "where s.CanMRP<>0 and (mt.ItmMrpSkip=0 or mt.ItmMrpSkip is null)"));
    const int of1002 = count(QStringLiteral("select count(*) from QZ_MRP_SO where CanMRP<>0 and SOItmID='IFG-1002'"));
    ASSERT_GT(all, of1002);
    ASSERT_GT(of1002, 0);
    const QString rows = QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(s->SchemeIID);
    auto storedCode = [&] {
        return ReadDelimitedValue(one(QStringLiteral("select SchFilters from QZ_MRP_Schemes where SchIID=%1").arg(s->SchemeIID)), section,
                                  ViewSchemeParamSeparator);
    };
    ScriptedMessageBoxes boxes;
    // Without show-filter: every line, the stored filter untouched; the pick cancelled.
    EXPECT_FALSE(h.fetch->ImportFromBusinessData(s->SchemeIID, false));
    EXPECT_EQ(offered, all);
    EXPECT_EQ(count(rows), 0);
    // The filter dialog cancelled: no pick list, nothing stored.
    offered = -1;
    gFilterAccepted = false;
    EXPECT_FALSE(h.fetch->ImportFromBusinessData(s->SchemeIID, true));
    EXPECT_EQ(offered, -1);
    EXPECT_EQ(storedCode(), stored);
    // With show-filter: the new filter narrows the list and is kept for the source.
    gFilterAccepted = true;
    gNextFilterCode = QStringLiteral("s.SOItmID='IFG-1002'");
    accept = true;
    EXPECT_TRUE(h.fetch->ImportFromBusinessData(s->SchemeIID, true));
    EXPECT_EQ(offered, of1002);
    EXPECT_EQ(storedCode(), gNextFilterCode);
    EXPECT_EQ(count(rows), of1002);
    EXPECT_TRUE(boxes.shown.isEmpty());
    TPickPopupDlg::ExecHook = nullptr;
    InfoApplication->ShowFilterDlgProc = previousFilter;
    InfoApplication->TranslateFilterCodeToSQLProc = previousTranslate;
}

// A pick import whose replace fails: the command reports the database's
// reason, the scheme keeps its rows and state, and the work table is gone.
TEST(MainImport, AFailingPickImportKeepsTheSchemeAndSaysWhy)
{
    TPlanScheme* s = importScheme(QStringLiteral("导入-选单失败"));
    addKeptRow(s);
    // The account set refuses new main-demand rows of this scheme.
    sqlite3* db = nullptr;
    sqlite3_open(DemoLogin::instance().file().toUtf8().constData(), &db);
    const QByteArray trigger = QStringLiteral("create trigger kv_test_refuse before insert on QZ_MRP_Main when new.ManSchIID=%1 "
                                              "begin select raise(abort, 'refused by test'); end")
                                   .arg(s->SchemeIID)
                                   .toUtf8();
    ASSERT_EQ(sqlite3_exec(db, trigger.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    SchemeCommandsHarness h(s);
    kvtest::WhenShown<TMRPMainSourceDlg>([](TMRPMainSourceDlg* dlg) {
        dlg->rdbBills->setChecked(true);
        dlg->cboBills->setCurrentIndex(dlg->cboBills->findData(int(itSelectSO)));
        dlg->cboWriteType->setCurrentIndex(1);
        dlg->UpdateControls();
        dlg->btnOk->click();
    });
    TPickPopupDlg::ExecHook = [](TPickPopupDlg& dlg) {
        dlg.grvPickData->selectRecord(0, true);
        return int(QDialog::Accepted);
    };
    ScriptedMessageBoxes boxes;
    const bool ok = h.fetch->Execute();
    TPickPopupDlg::ExecHook = nullptr;
    sqlite3_exec(db, "drop trigger kv_test_refuse", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_FALSE(ok);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("保存过程中出现意外错误, 操作被中止!\r\r原因: ")));
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("refused by test"))) << boxes.shown[0].text.toStdString();
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(s->SchemeIID)), 1);
    EXPECT_EQ(count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(s->SchemeIID)), int(psWaitMainDemand));
    EXPECT_TRUE(DemoLogin::value(QStringLiteral("select object_id('tempdb..#QZ_MRP_Main')")).isNull());
    EXPECT_EQ(h.refreshes, 0);
}

// Supplies of another scheme picked as main demand: the offered ones are the
// production, outsourcing and planned supplies with a quantity; each keeps
// its supply type, and a planned supply without a bill is named after its
// scheme and identified by it.
TEST(MainImport, AnotherSchemesSuppliesBecomeMainDemand)
{
    {
        TPlanScheme demo(GlobalADOConnection);
        importScheme(QStringLiteral("导入-供应准备"));  // the login and stand-ins
        ASSERT_TRUE(demo.Load(1));
        ASSERT_TRUE(demo.RunMPS(false, false));
        ASSERT_TRUE(demo.Load(1));
        ScriptedMessageBoxes boxes;
        ASSERT_TRUE(demo.RunMRP(false, false, false));
    }
    TPlanScheme* s = importScheme(QStringLiteral("导入-供应"));
    SchemeCommandsHarness h(s);
    h.fetch->FImportType = itMRPSupplies;
    h.fetch->FImportWriteType = wtOverwriteAll;
    int offered = -1;
    TPickPopupDlg::ExecHook = [&](TPickPopupDlg& dlg) {
        offered = dlg.grvPickData->recordCount();
        for (int i = 0; i < offered; ++i)
            dlg.grvPickData->selectRecord(i, true);
        return int(QDialog::Accepted);
    };
    ScriptedMessageBoxes boxes;
    const bool ok = h.fetch->ImportFromBusinessData(1, false);
    TPickPopupDlg::ExecHook = nullptr;
    ASSERT_TRUE(ok);
    const QString types = QStringLiteral("SupBillType in (22, 34, 42, 44, 24, 36, 52, 54, 62, 64, 66) and SupQty>0");
    const int supplies = count(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=1 and %1").arg(types));
    ASSERT_GT(supplies, 0);
    EXPECT_EQ(offered, supplies);
    const int iid = s->SchemeIID;
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(iid)), supplies);
    // A planned supply (no bill yet).
    const QString planned = one(QStringLiteral("select top 1 cast(SupIID as varchar(9))+'|'+SupBillNo+'|'+cast(SupBillType as varchar(3)) "
                                               "from QZ_MRP_Supplies where SupSchIID=1 and isnull(SupBillID,'')='' and %1 order by SupIID")
                                    .arg(types));
    const QStringList p = planned.split(u'|');
    ASSERT_EQ(p.size(), 3) << planned.toStdString();
    EXPECT_EQ(rowOf(iid, QStringLiteral("ManBillEntry=%1 and ManBillID='1'").arg(p[0]),
                    QStringLiteral("ManBillNo+'|'+cast(ManBillType as varchar(3))")),
              p[1] + QStringLiteral("@2027年第一季度MRP|") + p[2]);
}

// Rows tied to production orders keep the order's origin from its fields and
// its own bill type.
TEST(MainImport, ProductionOrderRowsAreLookedUp)
{
    TPlanScheme* s = importScheme(QStringLiteral("导入-生产任务"));
    SchemeCommandsHarness h(s);
    h.fetch->FImportType = itImportMOorOO;
    h.fetch->FImportWriteType = wtOverwriteAll;
    ImportWizard wizard;
    gRows = {record(s, QStringLiteral("MO-202612-001"), 1, itemNo(QStringLiteral("IFG-1001")), periodDate(s, 2), 30),
             record(s, QStringLiteral("MO-202612-001"), 1, itemNo(QStringLiteral("IFG-1002")), periodDate(s, 2), 30)};
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(h.fetch->ImportFromExternalData());
    ASSERT_EQ(gFields.size(), 5 + int(s->MpsPeriods.size()));
    EXPECT_EQ(gFields[4].Name, QStringLiteral("计划数量"));
    ASSERT_EQ(gMessages.size(), 1);  // the item is not the order's
    EXPECT_TRUE(gMessages[0].startsWith(QStringLiteral("导入的需求单据不存在")));
    EXPECT_EQ(rowOf(s->SchemeIID, QStringLiteral("ManBillNo='MO-202612-001'"),
                    QStringLiteral("cast(ManBillType as varchar(3))+'|'+ManBillID+'|'+cast(cast(ManQty as int) as varchar(9))+'|'+"
                                   "isnull(ManOrigID,'')+'|'+cast(cast(ManBillQty as int) as varchar(9))")),
              QStringLiteral("22|MO2612001|30|%1|200")
                  .arg(one(QStringLiteral("select isnull(MOOrigID,'') from QZ_MRP_MO where MOID='MO2612001' and MOEntry=1"))));
}
