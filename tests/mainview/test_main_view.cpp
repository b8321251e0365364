// The main-demand view bound to the demo scheme after a real main-demand
// build: period cells, typing into them, free needs, the save with its state,
// the due-date rule and the import of per-period quantities from a workbook
// through the host's import dialog.
#include "DemoLogin.h"
#include "DemoPlanning.h"
#include "DialogDriver.h"
#include "RowLimitCases.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "clsPickEdit.h"
#include "dlgImpExcel.h"
#include "dlgImport.h"
#include "dlgMRPMainAdj.h"
#include "ExportWriter.h"
#include "untCommonUI.h"
#include "dlgViewScheme.h"
#include "famMRPMain.h"
#include "untMRPCalendar.h"
#include "untMRPUtils.h"
#include "Editors.h"
#include "SpreadSheetBook.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QDate>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

using kvtest::DemoLogin;

namespace {

QString one(const QString& sql)
{
    TADOQuery q;
    q.SetConnection(GlobalADOConnection);
    EXPECT_TRUE(ExecSQLText(&q, sql, true, false, false)) << sql.toStdString();
    return q.Active() && !q.Eof() ? q.Fields()->Field(0)->AsString() : QString();
}

TPlanScheme* scheme()
{
    static std::unique_ptr<TPlanScheme> s;
    if (!s) {
        kvtest::demoPlanningLogin();
        s = std::make_unique<TPlanScheme>(GlobalADOConnection);
        EXPECT_TRUE(s->Load(1));
        EXPECT_TRUE(s->RunMPS(false, false));
        EXPECT_TRUE(s->Load(1));
    }
    return s.get();
}

struct Harness {
    Harness()
    {
        def = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.MRP.Main"));
        view = CreateInfoView<TMRPMainFrame>(nullptr, def);
        view->SetParentControl(&window);
        view->InitializeView(QString(), nullptr);
        TPlanSchemeUIEvents events;
        events.CheckState = [this](bool) { ++checks; return checkAnswer; };
        events.RefreshState = [this](QObject*) { scheme()->LoadState(); ++refreshes; };
        view->SetPlanScheme(scheme(), GlobalADOConnection, events);
        InfoApplication->ParseViewSchemeSQL(def, view->GetViewScheme(), GlobalADOQuery);
        view->RefreshData(true);
    }
    ~Harness()
    {
        view.reset();
    }
    int rowOfIID(int iid) const
    {
        for (int r = 0; r < view->RowCount(); ++r)
            if (view->RowValue(r, QStringLiteral("ManIID")).toInt() == iid)
                return r;
        return -1;
    }
    QWidget window;
    TInfoObjectDef* def = nullptr;
    std::shared_ptr<TMRPMainFrame> view;
    bool checkAnswer = true;
    int checks = 0;
    int refreshes = 0;
};

// A row of its own for each test: bill, item of the demo and quantity, due in a period.
int addRow(const QString& billNo, double qty, int period, int entry = 1)
{
    TPlanScheme* s = scheme();
    const QString iid = one(QStringLiteral("select isnull(max(ManIID),0)+1 from QZ_MRP_Main where ManSchIID=1"));
    const QString item = one(QStringLiteral("select top 1 ItmID from QZ_Base_ItemMaster where ItmDisabled=0 and ItmHasProp1=0 order by ItmNo"));
    const QString day = untMRPUtils::DayToDateStr(std::int64_t(s->MpsPeriods[size_t(period)].DateBegin));
    DemoLogin::instance().exec(QStringLiteral("insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManBillNo, ManBillEntry, "
                                              "ManDate, ManItmID, ManNeedQty, ManAdjQty, ManQty) values (1, %1, %2, 2, '%3', %4, '%5', '%6', %7, 0, %7)")
                                   .arg(iid)
                                   .arg(period)
                                   .arg(billNo)
                                   .arg(entry)
                                   .arg(day, item)
                                   .arg(qty));
    return iid.toInt();
}

QString itemNo()
{
    return one(QStringLiteral("select top 1 ItmNo from QZ_Base_ItemMaster where ItmDisabled=0 and ItmHasProp1=0 order by ItmNo"));
}

} // namespace

TEST(MainView, ShowsTheSchemesMainDemandWithOneColumnPerPeriod)
{
    ASSERT_GE(scheme()->MpsPeriods.size(), size_t(6));
    const int iid = addRow(QStringLiteral("SHOW-1"), 100, 3);
    Harness h;
    EXPECT_EQ(h.view->PeriodCols().size(), scheme()->MpsPeriods.size());
    const int r = h.rowOfIID(iid);
    ASSERT_GE(r, 0);
    for (int p = 0; p < int(scheme()->MpsPeriods.size()); ++p)
        EXPECT_DOUBLE_EQ(h.view->PeriodQty(r, p), p == 3 ? 100.0 : 0.0) << p;
    TCommandState state;
    h.view->QueryCommandState(100 + 4, state);  // Update
    EXPECT_TRUE(state & csEnabled);
}

// The source bill's state as the bills stand now colours each row, though
// the state column is not among the fields shown: a line whose need changed
// magenta, a line that is gone red, a free need as it was.
TEST(MainView, TheSourceBillsStateColoursItsRows)
{
    const int gone = addRow(QStringLiteral("GONE-1"), 5, 2);
    const QString soLine = one(QStringLiteral("select top 1 cast(ManIID as varchar(9))+'|'+ManBillID+'|'+cast(ManBillEntry as varchar(9)) "
                                              "from QZ_MRP_Main where ManSchIID=1 and ManBillType=2 and ManBillID is not null "
                                              "order by ManIID"));
    const QStringList so = soLine.split(u'|');
    ASSERT_EQ(so.size(), 3) << soLine.toStdString();
    const QString changeNeed = QStringLiteral("update QZ_MRP_SO set SOQty=SOQty%1 where SOID='%2' and SOEntry=%3");
    DemoLogin::instance().exec(changeNeed.arg(QStringLiteral("+1"), so[1], so[2]));
    const int free = addRow(QStringLiteral("FREE-COLOUR"), 5, 2);
    DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_Main set ManBillType=12 where ManSchIID=1 and ManIID=%1").arg(free));
    Harness h;
    DemoLogin::instance().exec(changeNeed.arg(QStringLiteral("-1"), so[1], so[2]));
    EXPECT_FALSE(h.view->FieldColumn(QStringLiteral("LastStatus"))->isVisible());
    const auto textColour = [&h](int iid) {
        const int r = h.rowOfIID(iid);
        EXPECT_GE(r, 0) << iid;
        kvui::RowRef row;
        row.record = r;
        QColor brush, text(Qt::black);
        QFont font;
        h.view->FetchCustomDrawFormat(row, h.view->FieldColumn(QStringLiteral("ItmNo")), false, false, brush, font, text);
        return text;
    };
    EXPECT_EQ(textColour(so[0].toInt()), QColor(255, 0, 255));
    EXPECT_EQ(textColour(gone), QColor(255, 0, 0));
    EXPECT_EQ(textColour(free), QColor(Qt::black));
}

TEST(MainView, TypingIntoPeriodCellsSpreadsThePlannedQuantityAndSaves)
{
    const int iid = addRow(QStringLiteral("TYPE-1"), 100, 3);
    Harness h;
    h.view->SetEditing(true);
    ASSERT_TRUE(h.view->EditMode());
    EXPECT_TRUE(scheme()->Editing);
    const int r = h.rowOfIID(iid);
    ASSERT_GE(r, 0);
    h.view->SetPeriodText(r, 5, QStringLiteral("30"));
    EXPECT_DOUBLE_EQ(h.view->RowValue(r, QStringLiteral("ManQty")).toDouble(), 130);
    EXPECT_DOUBLE_EQ(h.view->RowValue(r, QStringLiteral("ManAdjQty")).toDouble(), 30);
    EXPECT_EQ(h.view->RowValue(r, QStringLiteral("ManHints")).toString(), QStringLiteral("03=100\r\n05=30\r\n"));
    // Text that is no number or negative is ignored.
    for (const char* text : {"abc", "-5"}) {
        h.view->SetPeriodText(r, 5, QString::fromLatin1(text));
        EXPECT_DOUBLE_EQ(h.view->RowValue(r, QStringLiteral("ManQty")).toDouble(), 130) << text;
    }
    ASSERT_TRUE(h.view->SaveData());
    EXPECT_EQ(one(QStringLiteral("select ManQty from QZ_MRP_Main where ManSchIID=1 and ManIID=%1").arg(iid)).toDouble(), 130);
    const int st = one(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=1")).toInt();
    EXPECT_TRUE(st == 2 || st == 3) << st;
    EXPECT_TRUE(h.view->EditMode());
    // Typing 0 into the only explicit line brings the row back to its due period.
    const int r2 = h.rowOfIID(iid);
    h.view->SetPeriodText(r2, 5, QStringLiteral("0"));
    EXPECT_EQ(h.view->RowValue(r2, QStringLiteral("ManHints")).toString(), QString());
    EXPECT_DOUBLE_EQ(h.view->RowValue(r2, QStringLiteral("ManQty")).toDouble(), 100);
}

// A scheme changed on the server refuses the save. The typed rows may no
// longer be the rows of the rebuilt main demand, so the view leaves edit mode
// and shows the rows as stored: a later save has nothing stale to write.
TEST(MainView, AFailedStateCheckAtSaveLeavesEditModeAndReloads)
{
    const int iid = addRow(QStringLiteral("CHK-1"), 40, 3);
    Harness h;
    h.view->SetEditing(true);
    const int r = h.rowOfIID(iid);
    h.view->SetPeriodText(r, 3, QStringLiteral("45"));
    h.checkAnswer = false;
    EXPECT_FALSE(h.view->SaveData());
    EXPECT_FALSE(h.view->EditMode());
    EXPECT_FALSE(scheme()->Editing);
    EXPECT_FALSE(h.view->NeedSave());
    const int again = h.rowOfIID(iid);
    ASSERT_GE(again, 0);
    EXPECT_DOUBLE_EQ(h.view->RowValue(again, QStringLiteral("ManQty")).toDouble(), 40);
    // The check passes now (the state was reloaded): the second save writes nothing.
    h.checkAnswer = true;
    EXPECT_FALSE(h.view->SaveData());
    EXPECT_EQ(one(QStringLiteral("select ManQty from QZ_MRP_Main where ManSchIID=1 and ManIID=%1").arg(iid)).toDouble(), 40);
    // Editing again starts from the stored rows.
    h.view->SetEditing(true);
    ASSERT_TRUE(h.view->EditMode());
    EXPECT_DOUBLE_EQ(h.view->RowValue(h.rowOfIID(iid), QStringLiteral("ManQty")).toDouble(), 40);
    // A view destroyed in edit mode gives the scheme free.
    h.view->setParent(nullptr);
    h.view.reset();
    EXPECT_FALSE(scheme()->Editing);
}

TEST(MainView, FreeNeedsAreCheckedAddedAndDeleted)
{
    const int gone = addRow(QStringLiteral("DEL-1"), 10, 2);
    Harness h;
    h.view->SetEditing(true);
    ScriptedMessageBoxes boxes;
    h.view->AddNeed();
    const int r = h.view->RowCount() - 1;
    EXPECT_EQ(h.view->RowValue(r, QStringLiteral("ManBillType")).toInt(), 12);
    // A date before the first normal period is refused with both bounds named.
    const double before = scheme()->MpsPeriods[1].DateBegin - 1;
    h.view->SetRowValue(r, QStringLiteral("ManDate"), QDate(1899, 12, 30).addDays(qint64(before)).startOfDay());
    EXPECT_FALSE(h.view->SaveData());
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("没有介于"))) << boxes.shown[0].text.toStdString();
    // A valid need.
    const double day = scheme()->MpsPeriods[2].DateBegin;
    h.view->SetRowValue(r, QStringLiteral("ManDate"), QDate(1899, 12, 30).addDays(qint64(day)).startOfDay());
    h.view->SetRowValue(r, QStringLiteral("ItmNo"), itemNo());
    h.view->SetRowValue(r, QStringLiteral("ManItmID"), one(QStringLiteral("select ItmID from QZ_Base_ItemMaster where ItmNo='%1'").arg(itemNo())));
    h.view->SetRowValue(r, QStringLiteral("PropMask"), QStringLiteral("0000000000"));
    h.view->SetRowValue(r, QStringLiteral("ManQty"), 25);
    h.view->SetRowValue(r, QStringLiteral("ManAdjQty"), 25);
    // And a deleted row.
    const int d = h.rowOfIID(gone);
    h.view->grdMain->refresh();
    for (int row = 0; row < h.view->grdMain->rowCount(); ++row)
        if (h.view->grdMain->row(row).record == d)
            h.view->grdMain->setFocusedRow(row);
    boxes.answer({1});
    h.view->DelNeed();
    EXPECT_EQ(h.view->DeleteIIDs(), QStringLiteral(",%1").arg(gone));
    ASSERT_TRUE(h.view->SaveData());
    // The deleted row is gone (its number may be taken again by the new need).
    EXPECT_EQ(one(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=1 and ManBillNo='DEL-1'")), QStringLiteral("0"));
    EXPECT_EQ(one(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=1 and ManBillType=12 and ManQty=25")), QStringLiteral("1"));
}

// Space inside an open period-cell editor types no blank: it toggles the cell
// (the whole quantity moves there, or back to its due period) and the editor
// opens again on the same cell with the new quantity.
TEST(MainView, SpaceInAnOpenEditorTogglesThePeriodCell)
{
    const int iid = addRow(QStringLiteral("SPACE-1"), 100, 3);
    Harness h;
    h.view->SetEditing(true);
    const int r = h.rowOfIID(iid);
    ASSERT_GE(r, 0);
    kvui::BandedGrid* g = h.view->grdMain;
    auto periodColumn = [&](int p) {
        for (kvui::Column* c : g->columns())
            if (c->tag() == p + 1)
                return c;
        return static_cast<kvui::Column*>(nullptr);
    };
    for (int row = 0; row < g->rowCount(); ++row)
        if (g->row(row).kind == kvui::RowRef::Data && g->row(row).record == r)
            g->setFocusedRow(row);
    auto space = [&] {
        QWidget* editor = g->activeEditor();
        EXPECT_NE(editor, nullptr);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QApplication::sendEvent(editor, &press);
        EXPECT_TRUE(press.isAccepted());
    };
    ASSERT_TRUE(g->startEdit(periodColumn(5), QStringLiteral("7")));
    space();
    EXPECT_EQ(h.view->RowValue(r, QStringLiteral("ManHints")).toString(), QStringLiteral("05=100\r\n"));
    EXPECT_DOUBLE_EQ(h.view->RowValue(r, QStringLiteral("ManQty")).toDouble(), 100);  // the typed 7 was dropped
    auto* edit = qobject_cast<QLineEdit*>(g->activeEditor());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(g->focusedColumn(), periodColumn(5));
    EXPECT_FALSE(edit->text().contains(u' '));
    EXPECT_EQ(edit->text().toDouble(), 100);
    // Space on the due period's empty cell brings the quantity back there.
    g->cancelEdit();
    g->setFocusedColumn(periodColumn(3));
    ASSERT_TRUE(g->startEdit());
    space();
    EXPECT_EQ(h.view->RowValue(r, QStringLiteral("ManHints")).toString(), QString());
    EXPECT_NE(g->activeEditor(), nullptr);
    g->cancelEdit();
    h.view->Modified = false;
    h.view->SetEditing(false);
}

// The planner picks a free need's item in the grid: the typed text narrows the
// enabled items by number, name or size and model, and the picked number fills
// the row as a typed one does. The grouping cell offers the two groupings.
TEST(MainView, AFreeNeedsItemIsPickedInTheGrid)
{
    Harness h;
    h.view->SetEditing(true);
    h.view->AddNeed();
    const int r = h.view->RowCount() - 1;
    kvui::BandedGrid* g = h.view->grdMain;
    kvui::Column* itmNo = h.view->FieldColumn(QStringLiteral("ItmNo"));
    const QString wanted = itemNo();
    const QString typed = wanted.right(3);
    int listed = -1;
    TPickPopupDlg::ExecHook = [&](TPickPopupDlg& dlg) {
        listed = dlg.grvPickData->recordCount();
        for (int i = 0; i < listed; ++i) {
            dlg.qryPickData->SetRecNo(i + 1);
            if (dlg.qryPickData->FieldByName(QStringLiteral("物料代码"))->AsString() == wanted)
                dlg.grvPickData->setFocusedRecordIndex(i);
        }
        return int(QDialog::Accepted);
    };
    for (int row = 0; row < g->rowCount(); ++row)
        if (g->row(row).kind == kvui::RowRef::Data && g->row(row).record == r)
            g->setFocusedRow(row);
    ASSERT_TRUE(g->startEdit(itmNo, typed));
    auto* edit = qobject_cast<kvui::ButtonEdit*>(g->activeEditor());
    ASSERT_NE(edit, nullptr);
    h.view->PickEditProperties()->onButtonClick(edit, 0);
    TPickPopupDlg::ExecHook = nullptr;
    g->postEdit();
    EXPECT_EQ(listed, one(QStringLiteral("select count(*) from QZ_Base_ItemMaster where ItmDisabled=0 and (ItmNo like '%%1%' or "
                                         "ItmName like '%%1%' or ItmSpec like '%%1%')").arg(typed)).toInt());
    EXPECT_EQ(h.view->RowValue(r, QStringLiteral("ItmNo")).toString(), wanted);
    EXPECT_EQ(h.view->RowValue(r, QStringLiteral("ManItmID")).toString(),
              one(QStringLiteral("select ItmID from QZ_Base_ItemMaster where ItmNo='%1'").arg(wanted)));
    EXPECT_FALSE(h.view->RowValue(r, QStringLiteral("ItmName")).toString().isEmpty());
    EXPECT_TRUE(h.view->Modified);

    const kvui::ImageComboProperties* groups = h.view->GroupTypeProperties();
    ASSERT_EQ(groups->items.size(), 2);
    EXPECT_EQ(groups->items[0].value.toInt(), 0);
    EXPECT_EQ(groups->items[1].value.toInt(), 9);
    EXPECT_EQ(groups->items[1].description, InfoApplication->GetSystemEnumName(QStringLiteral("MrpGroupType"), 9));
    EXPECT_EQ(h.view->FieldColumn(QStringLiteral("ManGroupType"))->editor().get(), groups);
    h.view->Modified = false;
    h.view->SetEditing(false);
}

TEST(MainView, DueDateRule)
{
    // Periods 0 .. 5, one day each from day 100.
    TPlanPeriods periods = {{ppkDelay, 0, 99}};
    for (int i = 1; i <= 4; ++i)
        periods.push_back({ppkNormal, 99.0 + i, 99.0 + i});
    periods.push_back({ppkExceed, 104, 2958465});
    struct Case {
        const char* name;
        int target;
        bool onlyPast;
        double date;
        QString hints;
        bool changed;
        QString result;
    } cases[] = {
        {"later row keeps its spread when only earlier ones move", 2, true, 103, QString(), false, QString()},
        {"later row moves without only-earlier", 2, false, 103, QString(), true, QStringLiteral("02=50\r\n")},
        {"earlier row moves", 3, true, 101, QString(), true, QStringLiteral("03=50\r\n")},
        {"own period clears a spread", 2, false, 101, QStringLiteral("04=50\r\n"), true, QString()},
        {"own period leaves an empty spread", 2, true, 101, QString(), false, QString()},
        {"earlier lines join the target", 3, true, 101, QStringLiteral("01=20\r\n02=10\r\n04=20\r\n"), true,
         QStringLiteral("03=30\r\n04=20\r\n")},
    };
    for (const Case& c : cases) {
        QString hints = c.hints;
        EXPECT_EQ(TMRPMainFrame::AdjustRowHints(periods, c.target, c.onlyPast, c.date, 50, hints), c.changed) << c.name;
        if (c.changed) {
            EXPECT_EQ(hints, c.result) << c.name;
        }
    }
}

namespace {
// Runs steps on a dialog of the class once it is the active modal window (it
// may open only after another dialog closed); gives up after ten seconds.
template <typename Dlg>
void WhenOpened(std::function<void(Dlg*)> steps)
{
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, steps] {
        auto* dlg = qobject_cast<Dlg*>(QApplication::activeModalWidget());
        if (!dlg && ++*tries < 2000)
            return;
        timer->stop();
        timer->deleteLater();
        if (!dlg) {
            ADD_FAILURE() << "the dialog is not shown";
            return;
        }
        steps(dlg);
        if (dlg->isVisible())
            dlg->reject();
    });
    timer->start(5);
}

TVariantArray periodRow(const QString& bill, const QString& item, int period, double qty)
{
    TVariantArray row = {bill, QVariant(), item, QVariant(), QVariant()};
    for (size_t i = 0; i < scheme()->MpsPeriods.size(); ++i)
        row << (int(i) == period ? QVariant(qty) : QVariant(QMetaType::fromType<double>()));
    return row;
}

struct SpreadLine {
    QString bill, item;
    int period;
    double qty;
};

// A workbook as our own export writes it: bill number, item number and one
// quantity column per MPS period, captioned as the view captions them.
void writeSpread(const QString& path, const Harness& h, const QList<SpreadLine>& lines)
{
    const TPlanPeriods& periods = scheme()->MpsPeriods;
    auto p = kvui::ExportProvider::create(kvui::ExportXls, path);
    p->setRange(2 + int(periods.size()), 1 + int(lines.size()));
    p->setCellValue(0, 0, h.view->FieldColumn(QStringLiteral("ManBillNo"))->caption());
    p->setCellValue(1, 0, h.view->FieldColumn(QStringLiteral("ItmNo"))->caption());
    for (int i = 0; i < int(periods.size()); ++i)
        p->setCellValue(2 + i, 0, BuildPlanPeriodCaptions(periods, i));
    for (int r = 0; r < lines.size(); ++r) {
        p->setCellValue(0, r + 1, lines[r].bill);
        p->setCellValue(1, r + 1, lines[r].item);
        p->setCellValue(2 + lines[r].period, r + 1, lines[r].qty);
    }
    p->commit();
}
} // namespace

TEST(MainView, ImportLaysTheQuantitiesOverTheDemandsRows)
{
    struct Case {
        const char* bill;
        QList<std::pair<int, double>> lines;   // period, quantity
        QString first, second, message;
    } cases[] = {
        {"IMP-50", {{2, 50}}, QStringLiteral("02=30\r\n"), QStringLiteral("02=20\r\n04=50\r\n"), QString()},
        {"IMP-120", {{2, 120}}, QStringLiteral("02=30\r\n"), QStringLiteral("02=70\r\n"),
         QStringLiteral("导入的计划数量大于相应需求单实际的计划数量, 超出的计划数量(20.000000)忽略导入。 (源数据行2)")},
        // Two lines of one demand build one spread.
        {"IMP-2L", {{1, 10}, {3, 25}}, QStringLiteral("01=10\r\n03=20\r\n"), QStringLiteral("03=5\r\n04=65\r\n"), QString()},
    };
    scheme();
    ClearImportSources();
    InitImportDlgUnit();
    InitImpExcelUnit();
    QTemporaryDir dir;
    for (const Case& c : cases) {
        const int a = addRow(QString::fromLatin1(c.bill), 30, 4, 1);
        const int b = addRow(QString::fromLatin1(c.bill), 70, 4, 2);
        Harness h;
        const QString path = dir.filePath(QString::fromLatin1(c.bill) + QStringLiteral(".xls"));
        QList<SpreadLine> lines;
        for (auto [period, qty] : c.lines)
            lines.append({QString::fromLatin1(c.bill), itemNo(), period, qty});
        writeSpread(path, h, lines);
        SetOpenFileDialogHook([path](const QString&, const QString&, const QString&, QString& chosen) {
            chosen = path;
            return true;
        });
        QStringList log;
        kvtest::WhenShown<TMRPMainAdjustDlg>([&log](TMRPMainAdjustDlg* dlg) {
            EXPECT_FALSE(dlg->btnOk->isEnabled());
            dlg->chkAdjImport->setChecked(true);
            WhenOpened<TImportDlg>([&log](TImportDlg* imp) {
                kvtest::WhenShown<TImportExcelDlg>([](TImportExcelDlg* xls) { xls->btnOk->click(); });
                imp->Define();
                // Bill and item find their columns by caption, the quantities their periods.
                EXPECT_TRUE(imp->chkPivot->isChecked());
                EXPECT_GE(imp->FieldPartner(0), 0);
                EXPECT_GE(imp->FieldPartner(2), 0);
                imp->btnOk->click();
                log = imp->LogLines();
                imp->btnCancel->click();
            });
            dlg->btnOk->click();
        });
        {
            ScriptedMessageBoxes boxes;
            h.view->AdjustDueDates();
        }
        SetOpenFileDialogHook({});
        EXPECT_EQ(one(QStringLiteral("select ManHints from QZ_MRP_Main where ManSchIID=1 and ManIID=%1").arg(a)), c.first) << c.bill;
        EXPECT_EQ(one(QStringLiteral("select ManHints from QZ_MRP_Main where ManSchIID=1 and ManIID=%1").arg(b)), c.second) << c.bill;
        QStringList expected;
        if (!c.message.isEmpty())
            expected << c.message;
        expected << QStringLiteral("执行完成。");
        EXPECT_EQ(log, expected) << c.bill;
        EXPECT_GE(h.refreshes, 1);
    }
    // Empty bill and item numbers are refused in one message naming both.
    Harness h;
    TMessageKind kind = mkNone;
    QString text;
    int field = 0;
    h.view->ImportAdjustments(periodRow(QString(), QString(), 2, 5), kind, text, field);
    EXPECT_EQ(kind, mkWarning);
    EXPECT_EQ(text, QStringLiteral("字段[%1][%2]导入内容为空, 忽略导入!").arg(h.view->FieldColumn(QStringLiteral("ManBillNo"))->caption(), h.view->FieldColumn(QStringLiteral("ItmNo"))->caption()));
}

TEST(MainView, ImportsDatedLinesFromAWorkbookOfAnotherProgram)
{
    // data/main_spread.xls: saved by LibreOffice from main_spread.fods; bill
    // LO-2L merged down two lines of FG-1001, dates as YYYY-MM-DD, quantities
    // as #,##0.00 (10.00 on 2027-01-12 and 1,025.00 on 2027-01-19).
    const QString path = QStringLiteral(MAINVIEW_DATA_DIR "/main_spread.xls");
    ASSERT_EQ(itemNo(), QStringLiteral("FG-1001"));
    const TPlanPeriods& periods = scheme()->MpsPeriods;
    const auto day = [](int y, int m, int d) { return TDateTime(QDate(1899, 12, 30).daysTo(QDate(y, m, d))); };
    ASSERT_EQ(FindPlanPeriodIndex(periods, day(2027, 1, 12)), 2);
    ASSERT_EQ(FindPlanPeriodIndex(periods, day(2027, 1, 19)), 3);
    const int a = addRow(QStringLiteral("LO-2L"), 30, 4, 1);
    const int b = addRow(QStringLiteral("LO-2L"), 70, 4, 2);
    ClearImportSources();
    InitImportDlgUnit();
    InitImpExcelUnit();
    Harness h;
    SetOpenFileDialogHook([path](const QString&, const QString&, const QString&, QString& chosen) {
        chosen = path;
        return true;
    });
    QStringList log;
    kvtest::WhenShown<TMRPMainAdjustDlg>([&log](TMRPMainAdjustDlg* dlg) {
        dlg->chkAdjImport->setChecked(true);
        WhenOpened<TImportDlg>([&log](TImportDlg* imp) {
            kvtest::WhenShown<TImportExcelDlg>([](TImportExcelDlg* xls) {
                xls->chkSelection->setChecked(true);
                xls->ssbContent->setSelection(kvui::XlsRange{0, 1, 3, 3});   // A2:D4 under the title
                xls->UpdateRange();
                xls->btnOk->click();
            });
            imp->Define();
            // One line per date: the quantities by date, not by period column.
            imp->chkPivot->setChecked(false);
            for (int f : {0, 2, 3, 4}) {
                EXPECT_GE(imp->FieldPartner(f), 0) << f;
            }
            imp->btnOk->click();
            log = imp->LogLines();
        });
        dlg->btnOk->click();
    });
    {
        ScriptedMessageBoxes boxes;
        h.view->AdjustDueDates();
    }
    SetOpenFileDialogHook({});
    EXPECT_EQ(one(QStringLiteral("select ManHints from QZ_MRP_Main where ManSchIID=1 and ManIID=%1").arg(a)),
              QStringLiteral("02=10\r\n03=20\r\n"));
    EXPECT_EQ(one(QStringLiteral("select ManHints from QZ_MRP_Main where ManSchIID=1 and ManIID=%1").arg(b)), QStringLiteral("03=70\r\n"));
    EXPECT_EQ(log, QStringList({QStringLiteral("导入的计划数量大于相应需求单实际的计划数量, 超出的计划数量(935.000000)忽略导入。 (源数据行4)"),
                                QStringLiteral("执行完成。")}));
}

TEST(MainView, ACutListIsTold)
{
    addRow(QStringLiteral("CUT-1"), 5, 2);
    addRow(QStringLiteral("CUT-2"), 6, 3);
    Harness h;
    kvtest::expectCutListIsTold([&] { h.view->RefreshData(true); }, [&] { return h.view->RowCount(); });
}
