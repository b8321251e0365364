// The view-scheme editor on the demo account set with plan01 logged in: what
// it shows for a scheme, what it writes back, the scheme list with saving and
// deleting, and the save dialog.
#include "SchemeTestSupport.h"
#include "ScriptedMessageBoxes.h"
#include "UCommon.h"
#include "dlgViewScheme.h"
#include "dlgViewSettingSave.h"
#include "FilterControl.h"
#include "famFilter.h"
#include "untCommonUI.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

using namespace schemetest;

namespace {

const QString ViewID = QStringLiteral("TEST.Scheme");

QString params(const char* text)
{
    return QString::fromUtf8(text).replace(QStringLiteral("¶"), ViewSchemeParamSeparator);
}

QString section(const QString& params, const char* name)
{
    return ReadViewSchemeParam(params, QString::fromLatin1(name));
}

QString markCode(TInfoObjectDef*, const QString& code, TADOQuery*)
{
    return u'<' + code + u'>';
}

TInfoFieldDef field(const char* id, const char* name, quint8 type)
{
    TInfoFieldDef f;
    f.ID = QString::fromLatin1(id);
    f.Name = QString::fromUtf8(name);
    f.DataType = type;
    f.SQLExpress = QStringLiteral("t.") + f.ID;
    return f;
}

class ViewSchemeDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DemoLogin::instance();
        DemoLogin::instance().exec("delete QZ_SYS_ViewSchemes");
        enums.Add(QStringLiteral("甲类"), 1);
        namespace ft = FieldTypes;
        def.ID = ViewID;
        def.Name = QStringLiteral("测试对象");
        def.Fields = {field("ID", "编号", ft::ftInteger), field("Nm", "名称", ft::ftWideString), field("Qty", "数量", ft::ftFloat),
                      field("Amt", "金额", ft::ftCurrency), field("Knd", "类别", ft::ftInteger), field("Memo", "备注", ft::ftWideString),
                      field("NoSort", "不排序", ft::ftWideString), field("Secret", "保密", ft::ftWideString)};
        def.Fields[0].IsPrimary = true;
        def.Fields[0].HideList = true;
        def.Fields[3].HideTotal = true;
        def.Fields[4].EnumValues = &enums;
        def.Fields[5].Layout = flDefaultHide;
        def.Fields[6].HideSort = true;
        scheme.ID = ViewID;
        scheme.Mask = QStringLiteral("|Secret|");
        scheme.Supports = voSupportAll;
        savedTranslator = InfoApplication->TranslateFilterCodeToSQLProc;
    }
    void TearDown() override { InfoApplication->TranslateFilterCodeToSQLProc = savedTranslator; }

    bool run(std::function<void(TViewSchemeDlg*)> steps, const QString& caption = QString())
    {
        whenShown<TViewSchemeDlg>(std::move(steps));
        return DoShowViewSchemeDlg(&def, &scheme, GlobalADOQuery, true, caption);
    }
    // A stored scheme of the test view.
    static void store(const char* user, const char* name, int kind, const QString& text, const char* time)
    {
        DemoLogin::instance().exec(QStringLiteral("insert QZ_SYS_ViewSchemes (ViwID, ViwUsrID, ViwName, ViwKind, ViwParams, ViwTime) "
                                                  "values (%1, %2, %3, %4, %5, '%6')")
                                       .arg(QuotedStr(ViewID), QuotedStr(QString::fromUtf8(user)), QuotedStr(QString::fromUtf8(name)))
                                       .arg(kind)
                                       .arg(QuotedStr(text), QString::fromLatin1(time)));
    }

    // Names of the listed fields, "+" in front of those ticked visible.
    static QStringList fieldRows(TViewSchemeDlg* dlg)
    {
        QStringList rows;
        for (int i = 0; i < dlg->trlFields->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = dlg->trlFields->topLevelItem(i);
            rows << (row->checkState(TViewSchemeDlg::fcVisible) == Qt::Checked ? u'+' : u' ') + row->text(TViewSchemeDlg::fcName);
        }
        return rows;
    }
    // Each field's summary kind, "name=kind", for those with one.
    static QStringList summaries(TViewSchemeDlg* dlg)
    {
        QStringList list;
        for (int i = 0; i < dlg->trlFields->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = dlg->trlFields->topLevelItem(i);
            const int kind = dlg->SummaryBox(row)->currentData().toInt();
            if (kind != 0)
                list << row->text(TViewSchemeDlg::fcName) + u'=' + QString::number(kind);
        }
        return list;
    }
    // The sort rows as "name:DG".
    static QStringList sortRows(TViewSchemeDlg* dlg)
    {
        QStringList list;
        for (int i = 0; i < dlg->trlSort->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = dlg->trlSort->topLevelItem(i);
            list << row->text(0) + u':' + (row->checkState(1) == Qt::Checked ? u'1' : u'0')
                    + (row->checkState(2) == Qt::Checked ? u'1' : u'0');
        }
        return list;
    }
    static void focusField(TViewSchemeDlg* dlg, const char* id)
    {
        dlg->trlFields->setCurrentItem(dlg->FieldRow(QString::fromLatin1(id)));
    }
    static void tick(QTreeWidgetItem* row, int column, bool on = true) { row->setCheckState(column, on ? Qt::Checked : Qt::Unchecked); }
    // The chooser's entries as "text/tag".
    static QStringList chooser(TViewSchemeDlg* dlg)
    {
        QStringList list;
        for (int i = 0; i < dlg->cboScheme->count(); ++i)
            list << dlg->cboScheme->itemText(i) + u'/' + dlg->cboScheme->itemData(i, Qt::UserRole + 1).toString();
        return list;
    }

    TSystemEnumList enums;
    TInfoObjectDef def;
    TViewScheme scheme;
    TTranslateFilterCodeToSQLProc savedTranslator = nullptr;
};

// Lets a person look at the dialog under a real display (KORVANE_SHOW_MS).
void showForAWhile()
{
    const int ms = qEnvironmentVariableIntValue("KORVANE_SHOW_MS");
    if (ms > 0)
        QTest::qWait(ms);
}

} // namespace

TEST_F(ViewSchemeDlgTest, AnEmptySchemeOpensWithDefaultFieldsTotalsAndSums)
{
    scheme.IID = 9;
    scheme.Name = "旧";
    scheme.Kind = vkPrivate;
    scheme.PrintSetting = "PS";
    const bool ok = run(
        [](TViewSchemeDlg* dlg) {
            EXPECT_EQ(dlg->windowTitle(), "视图定义 - [生产任务]");
            // Not the key kept out of lists, not the masked field; the field hidden by default unticked.
            EXPECT_EQ(fieldRows(dlg), QStringList({"+名称", "+数量", "+金额", "+类别", " 备注", "+不排序"}));
            EXPECT_TRUE(dlg->chkTotal->isChecked());
            EXPECT_TRUE(dlg->chkSubTotal->isChecked());
            EXPECT_EQ(summaries(dlg), QStringList({"数量=1"}));
            EXPECT_EQ(dlg->SummaryBox(dlg->FieldRow("Qty"))->count(), 4);
            EXPECT_EQ(dlg->SummaryBox(dlg->FieldRow("Amt"))->itemText(1), "计数"); // no sums of a field kept out of totals
            EXPECT_EQ(dlg->SummaryBox(dlg->FieldRow("Knd"))->count(), 2);          // nor of an enumeration
            EXPECT_EQ(chooser(dlg), QStringList({"(最近使用视图)/0", "(默认视图)/4"}));
            EXPECT_FALSE(dlg->btnDeleteScheme->isEnabled());
            EXPECT_EQ(dlg->pgcPages->currentWidget(), dlg->tshFields);
            EXPECT_EQ(dlg->pgcPages->count(), 2); // the filter page, then the fields page asked for first
            EXPECT_EQ(dlg->pgcPages->indexOf(dlg->tshFilter), 0);
            showForAWhile();
            dlg->btnOk->click();
        },
        "生产任务");
    ASSERT_TRUE(ok);
    EXPECT_EQ(section(scheme.Params, "[Fields]"), "|Nm|Qty|Amt|Knd|NoSort|");
    EXPECT_EQ(section(scheme.Params, "[Summaries]"), "Qty:1");
    EXPECT_EQ(section(scheme.Params, "[Total]"), "11");
    EXPECT_EQ(section(scheme.Params, "[Sorts]"), "");
    EXPECT_EQ(scheme.FieldsSQL, "t.Nm as [Nm], t.Qty as [Qty], t.Amt as [Amt], t.Knd as [Knd], t.NoSort as [NoSort]");
    EXPECT_EQ(scheme.OrderBySQL, "");
    EXPECT_EQ(scheme.FilterSQL, "");
    EXPECT_TRUE(scheme.SQLParsed);
    // What identifies the scheme stays the caller's.
    EXPECT_EQ(scheme.IID, 9);
    EXPECT_EQ(scheme.Name, "旧");
    EXPECT_EQ(scheme.Kind, vkPrivate);
    EXPECT_EQ(scheme.Mask, "|Secret|");
    EXPECT_EQ(scheme.PrintSetting, "PS");
    EXPECT_EQ(scheme.Supports, voSupportAll);
}

TEST_F(ViewSchemeDlgTest, SortsPutHiddenFieldsInFrontAndGroupDownToTheLastTickedRow)
{
    scheme.Params = params("[Fields]=|Nm|¶[Total]=11");
    ASSERT_TRUE(run([](TViewSchemeDlg* dlg) {
        EXPECT_EQ(fieldRows(dlg), QStringList({"+名称", " 数量", " 金额", " 类别", " 备注", " 不排序"}));
        for (const char* id : {"Qty", "NoSort", "Memo", "Nm", "Qty", "Knd"}) {
            focusField(dlg, id);
            dlg->btnAddSort->click();
        }
        // Not the field kept out of sorting, and no field twice.
        EXPECT_EQ(sortRows(dlg), QStringList({"数量:00", "备注:00", "名称:00", "类别:00"}));
        EXPECT_EQ(dlg->trlSort->currentItem()->text(0), "类别");
        EXPECT_FALSE(dlg->btnSortDown->isEnabled());
        dlg->btnRemoveSort->click();
        EXPECT_EQ(dlg->FieldRow("Qty")->foreground(TViewSchemeDlg::fcName).color(), TColorToQColor(UIColor13));
        EXPECT_EQ(dlg->FieldRow("Knd")->foreground(TViewSchemeDlg::fcName).style(), Qt::NoBrush);

        dlg->trlSort->setCurrentItem(dlg->trlSort->topLevelItem(2));
        dlg->btnSortUp->click();
        EXPECT_EQ(sortRows(dlg), QStringList({"数量:00", "名称:00", "备注:00"}));
        EXPECT_TRUE(dlg->btnSortDown->isEnabled());
        dlg->btnSortDown->click();
        dlg->trlSort->setCurrentItem(dlg->trlSort->topLevelItem(0));
        EXPECT_FALSE(dlg->btnSortUp->isEnabled());

        tick(dlg->trlSort->topLevelItem(0), TViewSchemeDlg::scDescending);
        tick(dlg->trlSort->topLevelItem(1), TViewSchemeDlg::scGrouped);
        showForAWhile();
        dlg->btnOk->click();
    }));
    EXPECT_EQ(section(scheme.Params, "[Sorts]"), "Qty:11|Memo:01|Nm:00");
    EXPECT_EQ(section(scheme.Params, "[Fields]"), "|Qty|Memo|Nm|");
    EXPECT_EQ(scheme.FieldsSQL, "t.Qty as [Qty], t.Memo as [Memo], t.Nm as [Nm]");
    EXPECT_EQ(scheme.OrderBySQL, "[Qty] desc, [Memo], [Nm]");
    EXPECT_EQ(section(scheme.Params, "[Summaries]"), "");

    // The parser reads back what the editor wrote (the columns in definition order).
    TViewScheme parsed = scheme;
    DoParseViewSchemeSQL(&def, &parsed, GlobalADOQuery);
    EXPECT_EQ(parsed.FieldsSQL, "t.Nm as [Nm], t.Qty as [Qty], t.Memo as [Memo]");
    EXPECT_EQ(parsed.OrderBySQL, scheme.OrderBySQL);
}

TEST_F(ViewSchemeDlgTest, LoadingKeepsOnlySummariesAndSortsTheFieldsAllow)
{
    scheme.Params = params("[Summaries]=Qty:2|Nm:1|Amt:1|Knd:3|Memo:2|Zzz:1|Qty:x¶[Total]=10"
                           "¶[Sorts]=nm:1|Secret:0|ID:1|Zzz:1|Nm:0|Qty:01");
    ASSERT_TRUE(run([](TViewSchemeDlg* dlg) {
        EXPECT_EQ(summaries(dlg), QStringList({"备注=2"}));
        EXPECT_TRUE(dlg->chkTotal->isChecked());
        EXPECT_FALSE(dlg->chkSubTotal->isChecked());
        EXPECT_TRUE(dlg->SummaryBox(dlg->FieldRow("Qty"))->isEnabled());
        EXPECT_EQ(sortRows(dlg), QStringList({"名称:10", "数量:01"}));

        // Summaries are edited only while the grand total is on.
        dlg->chkTotal->click();
        EXPECT_FALSE(dlg->SummaryBox(dlg->FieldRow("Qty"))->isEnabled());
        EXPECT_FALSE(dlg->chkSubTotal->isEnabled());
        dlg->chkTotal->click();
        EXPECT_EQ(summaries(dlg), QStringList({"备注=2"})); // a summary exists: nothing added
        dlg->btnOk->click();
    }));
    EXPECT_EQ(section(scheme.Params, "[Summaries]"), "Memo:2");
    EXPECT_EQ(section(scheme.Params, "[Total]"), "10");
    EXPECT_EQ(section(scheme.Params, "[Sorts]"), "Nm:11|Qty:01"); // grouped down to the last grouped row

    // Ticking the total with no summary at all sums every field that allows it.
    scheme.Params = params("[Total]=00");
    ASSERT_TRUE(run([](TViewSchemeDlg* dlg) {
        EXPECT_TRUE(summaries(dlg).isEmpty());
        EXPECT_FALSE(dlg->chkTotal->isChecked());
        dlg->chkTotal->click();
        EXPECT_EQ(summaries(dlg), QStringList({"数量=1"}));
        dlg->SummaryBox(dlg->FieldRow("Nm"))->setCurrentIndex(1);
        dlg->btnOk->click();
    }));
    EXPECT_EQ(section(scheme.Params, "[Summaries]"), "Nm:2|Qty:1");
    EXPECT_EQ(section(scheme.Params, "[Total]"), "10");
}

TEST_F(ViewSchemeDlgTest, NoVisibleFieldIsRefusedAndTheDialogStaysOpen)
{
    ScriptedMessageBoxes boxes;
    scheme.Params = params("[Fields]=|Nm|Qty|");
    ASSERT_TRUE(run([&boxes](TViewSchemeDlg* dlg) {
        tick(dlg->FieldRow("Nm"), TViewSchemeDlg::fcVisible, false);
        tick(dlg->FieldRow("Qty"), TViewSchemeDlg::fcVisible, false);
        dlg->btnOk->click();
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, "您没有勾选需显示的字段, 请修正!");
        EXPECT_EQ(boxes.shown[0].icon(), kvos::MB_ICONWARNING);
        EXPECT_TRUE(dlg->isVisible());
        tick(dlg->FieldRow("Memo"), TViewSchemeDlg::fcVisible);
        dlg->btnOk->click();
    }));
    EXPECT_EQ(section(scheme.Params, "[Fields]"), "|Memo|");
}

TEST_F(ViewSchemeDlgTest, FilterCombinesWithPermissionsUnlessNoRowIsAllowed)
{
    // a stored filter "名称 = 'x'" made as the filter page makes it
    kvui::FilterCriteria criteria;
    criteria.root.addCriterion(QStringLiteral("$$Nm$$"), kvui::FilterOperator::Equal, {QStringLiteral("x")});
    kvui::FilterControl control;
    control.setCriteria(criteria);
    const QString code = SaveFilterCriteria(&control);
    const QString condition = DoTranslateFilterCodeToSQL(&def, code, GlobalADOQuery);
    ASSERT_TRUE(condition.contains("t.Nm")) << condition.toStdString();

    InfoApplication->TranslateFilterCodeToSQLProc = markCode;
    struct Case {
        const char* permit;
        TViewSupports supports;
        QString filter;
    };
    const Case cases[] = {
        {"1=0", voSupportAll, "1=0"},
        {"", voSupportAll, condition},
        {"P|", voSupportAll, "((<P>)) and (" + condition + ")"},
        {"P|", voSupportAll & ~TViewSupports(voSupportFilter), "(<P>)"}, // no filter page: the permit filter alone
    };
    for (const Case& c : cases) {
        def.PermitCodes = QString::fromLatin1(c.permit);
        scheme.Supports = c.supports;
        scheme.Params = params("[Fields]=|Nm|") + QStringLiteral("\uF8F5\uF8F5[Filter]=") + code;
        ASSERT_TRUE(run([](TViewSchemeDlg* dlg) { dlg->btnOk->click(); })) << c.permit;
        EXPECT_EQ(scheme.FilterSQL, c.filter) << c.permit;
        EXPECT_EQ(section(scheme.Params, "[Filter]"), code) << c.permit; // the filter is kept as it stands
    }
}

TEST_F(ViewSchemeDlgTest, TheFilterPageComesFirstUnlessTheFieldsPageIsAskedFor)
{
    whenShown<TViewSchemeDlg>([](TViewSchemeDlg* dlg) {
        EXPECT_EQ(dlg->pgcPages->currentWidget(), dlg->tshFilter);
        EXPECT_EQ(dlg->pgcPages->tabText(0), " 筛选(&1) ");
        dlg->btnOk->click();
    });
    EXPECT_TRUE(DoShowViewSchemeDlg(&def, &scheme, GlobalADOQuery, false, QString()));
    scheme.Supports = voSupportFilter; // a filter alone
    whenShown<TViewSchemeDlg>([](TViewSchemeDlg* dlg) {
        EXPECT_EQ(dlg->pgcPages->count(), 1);
        EXPECT_EQ(dlg->pgcPages->currentWidget(), dlg->tshFilter);
        dlg->btnOk->click();
    });
    EXPECT_TRUE(DoShowViewSchemeDlg(&def, &scheme, GlobalADOQuery, true, QString()));
}

TEST_F(ViewSchemeDlgTest, SchemeListAndTheLastUsedSchemeRestoredExactly)
{
    store("plan01", "甲", 1, params("[Fields]=|Qty|"), "20260101");
    store("plan01", "乙", 2, params("[Fields]=|Amt|¶[Positions]=Amt:own"), "20260301");
    store("plan01", "", 0, params("[Fields]=|Memo|"), "20260401"); // the last-used row is never listed
    store("buy01", "丙", 2, params("[Fields]=|Nm|"), "20260501");
    store("buy01", "丁", 1, params("[Fields]=|Nm|"), "20260501"); // another user's private scheme
    store("", "", 2, params("[Fields]=|Knd|"), "20260201");
    scheme.Params = params("[Fields]=|Nm|Amt|¶[Positions]=P1¶[Sorts]=Amt:1");
    const TViewScheme before = scheme;

    EXPECT_FALSE(run([&before](TViewSchemeDlg* dlg) {
        EXPECT_EQ(chooser(dlg), QStringList({"(最近使用视图)/0", "乙/2", "甲/1", "丙(李采购)/3", "(默认视图)/4"}));
        EXPECT_FALSE(dlg->cboScheme->itemIcon(1).isNull()); // shared schemes carry a picture
        EXPECT_TRUE(dlg->cboScheme->itemIcon(2).isNull());

        dlg->cboScheme->setCurrentIndex(2);
        EXPECT_EQ(dlg->WorkingScheme().Params, params("[Fields]=|Qty|¶[Positions]=P1")); // the grid keeps its layout
        EXPECT_EQ(fieldRows(dlg).filter("+"), QStringList({"+数量"}));
        EXPECT_TRUE(dlg->btnDeleteScheme->isEnabled());
        dlg->cboScheme->setCurrentIndex(1);
        EXPECT_EQ(section(dlg->WorkingScheme().Params, "[Positions]"), "Amt:own");
        EXPECT_TRUE(dlg->btnDeleteScheme->isEnabled());
        dlg->cboScheme->setCurrentIndex(3);
        EXPECT_FALSE(dlg->btnDeleteScheme->isEnabled());
        dlg->btnDefaultScheme->click();
        EXPECT_EQ(dlg->cboScheme->currentIndex(), 4);
        EXPECT_EQ(fieldRows(dlg).filter("+"), QStringList({"+类别"}));
        EXPECT_EQ(sortRows(dlg), QStringList());

        dlg->cboScheme->setCurrentIndex(0);
        EXPECT_EQ(dlg->WorkingScheme().Params, before.Params);
        EXPECT_EQ(fieldRows(dlg).filter("+"), QStringList({"+名称", "+金额"}));
        EXPECT_EQ(sortRows(dlg), QStringList({"金额:10"}));
        dlg->btnCancel->click();
    }));
    EXPECT_EQ(scheme.Params, before.Params);
    EXPECT_FALSE(scheme.SQLParsed);

    // Without a stored default, the chooser still ends with one (an empty scheme).
    DemoLogin::instance().exec("delete QZ_SYS_ViewSchemes where ViwUsrID=''");
    EXPECT_TRUE(run([](TViewSchemeDlg* dlg) {
        EXPECT_EQ(chooser(dlg).last(), "(默认视图)/4");
        dlg->btnDefaultScheme->click();
        EXPECT_EQ(fieldRows(dlg), QStringList({"+名称", "+数量", "+金额", "+类别", " 备注", "+不排序"}));
        EXPECT_EQ(section(dlg->WorkingScheme().Params, "[Positions]"), "P1");
        dlg->btnOk->click();
    }));
    EXPECT_EQ(section(scheme.Params, "[Fields]"), "|Nm|Qty|Amt|Knd|NoSort|");
    EXPECT_EQ(section(scheme.Params, "[Positions]"), "P1");
}

TEST_F(ViewSchemeDlgTest, SavingAndDeletingThenCancelLeaveTheCallersSchemeUntouched)
{
    store("plan01", "甲", 1, params("[Fields]=|Qty|"), "20260101");
    store("plan01", "乙", 2, params("[Fields]=|Amt|"), "20260301");
    store("buy01", "丙", 2, params("[Fields]=|Nm|"), "20260501");
    scheme.IID = 77;
    scheme.Name = "旧";
    scheme.PrintSetting = "PS";
    scheme.Params = params("[Fields]=|Nm|");
    scheme.FieldsSQL = "old";
    const TViewScheme before = scheme;
    ScriptedMessageBoxes boxes;

    EXPECT_FALSE(run([&boxes](TViewSchemeDlg* dlg) {
        tick(dlg->FieldRow("Memo"), TViewSchemeDlg::fcVisible);
        whenShown<TViewSettingSaveDlg>([](TViewSettingSaveDlg* save) {
            EXPECT_EQ(save->windowTitle(), "保存方案");
            QStringList names;
            for (int i = 0; i < save->edtName->count(); ++i)
                names << save->edtName->itemText(i);
            EXPECT_EQ(names, QStringList({"乙 (共享)", "甲"}));
            save->edtName->setEditText("  新方案 ");
            save->chkShared->setChecked(true);
            save->btnOk->click();
        });
        dlg->btnSaveScheme->click();
        EXPECT_EQ(dlg->cboScheme->currentText(), "新方案");
        EXPECT_EQ(dlg->cboScheme->currentData(Qt::UserRole + 1).toInt(), 2);
        EXPECT_EQ(fieldRows(dlg).filter("+"), QStringList({"+名称", "+备注"}));
        EXPECT_EQ(DemoLogin::value("select count(*) from QZ_SYS_ViewSchemes where ViwName='新方案' and ViwKind=2 and "
                                   "ViwUsrID='plan01' and ViwPSetting is null and ViwParams like '%|Nm|Memo|%'")
                      .toInt(),
                  1);

        // Deleting asks first; Cancel keeps the scheme.
        boxes.answer({kvos::IDCANCEL, kvos::IDOK});
        dlg->btnDeleteScheme->click();
        EXPECT_EQ(DemoLogin::value("select count(*) from QZ_SYS_ViewSchemes where ViwName='新方案'").toInt(), 1);
        dlg->btnDeleteScheme->click();
        ASSERT_EQ(boxes.shown.size(), 2);
        EXPECT_EQ(boxes.shown[1].text, "您所选的项目将被删除, 确定?");
        EXPECT_EQ(boxes.shown[1].defaultButton(), kvos::IDCANCEL);
        EXPECT_EQ(DemoLogin::value("select count(*) from QZ_SYS_ViewSchemes where ViwName='新方案'").toInt(), 0);
        EXPECT_EQ(dlg->cboScheme->currentIndex(), 0);
        EXPECT_EQ(chooser(dlg), QStringList({"(最近使用视图)/0", "乙/2", "甲/1", "丙(李采购)/3", "(默认视图)/4"}));
        dlg->btnCancel->click();
    }));
    EXPECT_EQ(scheme.IID, before.IID);
    EXPECT_EQ(scheme.Name, before.Name);
    EXPECT_EQ(scheme.Kind, before.Kind);
    EXPECT_EQ(scheme.Params, before.Params);
    EXPECT_EQ(scheme.PrintSetting, before.PrintSetting);
    EXPECT_EQ(scheme.FieldsSQL, before.FieldsSQL);
    EXPECT_EQ(scheme.SQLParsed, before.SQLParsed);
}

TEST_F(ViewSchemeDlgTest, TheEditorOffersWhatTheViewSupports)
{
    const QString text = params("[Fields]=|Nm|¶[Sorts]=Qty:11¶[Summaries]=Qty:3¶[Total]=01");
    struct Case {
        const char* what;
        TViewSupports supports;
        bool summaryColumn, total, subTotal, sortEnabled, groupColumn;
        const char* fields; // after OK
        const char* sorts;
        const char* summaries;
        const char* order;
    };
    const TViewSupports fieldsOnly = voSupportFields;
    const Case cases[] = {
        {"everything", voSupportAll, true, true, true, true, true, "|Qty|Nm|", "Qty:11", "Qty:3", "[Qty] desc"},
        {"no groups", voSupportAll & ~TViewSupports(voSupportGroup), true, true, true, true, false, "|Qty|Nm|", "Qty:11", "Qty:3",
         "[Qty] desc"},
        {"no subtotals", voSupportAll & ~TViewSupports(voSupportSubTotal), true, true, false, true, true, "|Qty|Nm|", "Qty:11",
         "Qty:3", "[Qty] desc"},
        {"subtotals need totals", fieldsOnly | voSupportSort | voSupportSubTotal, false, false, false, true, false, "|Qty|Nm|",
         "Qty:11", "Qty:3", "[Qty] desc"},
        {"fields alone: sorts and summaries kept as they stand", fieldsOnly, false, false, false, false, false, "|Nm|", "Qty:11",
         "Qty:3", ""},
    };
    for (const Case& c : cases) {
        scheme.Supports = c.supports;
        scheme.Params = text;
        ASSERT_TRUE(run([&c](TViewSchemeDlg* dlg) {
            EXPECT_EQ(!dlg->trlFields->isColumnHidden(TViewSchemeDlg::fcSummary), c.summaryColumn) << c.what;
            EXPECT_EQ(!dlg->chkTotal->isHidden(), c.total) << c.what;
            EXPECT_EQ(!dlg->chkSubTotal->isHidden(), c.subTotal) << c.what;
            EXPECT_EQ(dlg->grpSort->isEnabled(), c.sortEnabled) << c.what;
            EXPECT_EQ(!dlg->trlSort->isColumnHidden(TViewSchemeDlg::scGrouped), c.groupColumn) << c.what;
            focusField(dlg, "Memo");
            dlg->btnAddSort->click(); // ignored where sorting is not offered
            if (c.sortEnabled)
                dlg->btnRemoveSort->click();
            dlg->btnOk->click();
        })) << c.what;
        EXPECT_EQ(section(scheme.Params, "[Fields]"), QString::fromLatin1(c.fields)) << c.what;
        EXPECT_EQ(section(scheme.Params, "[Sorts]"), QString::fromLatin1(c.sorts)) << c.what;
        EXPECT_EQ(section(scheme.Params, "[Summaries]"), QString::fromLatin1(c.summaries)) << c.what;
        EXPECT_EQ(section(scheme.Params, "[Total]"), "01") << c.what;
        EXPECT_EQ(scheme.OrderBySQL, QString::fromLatin1(c.order)) << c.what;
    }
}

TEST_F(ViewSchemeDlgTest, NothingToEditGivesFalseWithoutADialog)
{
    scheme.Supports = voSupportSort | voSupportTotal;
    EXPECT_FALSE(DoShowViewSchemeDlg(&def, &scheme, GlobalADOQuery, false, QString()));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// ---- the save dialog ------------------------------------------------------

TEST(ViewSettingSaveDlg, TheNameHasTheFocusSoTypingStartsThere)
{
    QString name;
    bool shared = false;
    whenShown<TViewSettingSaveDlg>([](TViewSettingSaveDlg* dlg) {
        // The widget of the dialog that takes the first keystrokes.
        QWidget* first = dlg->focusWidget();
        ASSERT_TRUE(first == dlg->edtName || first == dlg->edtName->lineEdit());
        QTest::keyClicks(first, "Plan A");
        dlg->btnOk->click();
    });
    ASSERT_TRUE(ShowViewSettingSaveDlg("V", {}, name, shared));
    EXPECT_EQ(name, "Plan A");
}

TEST(ViewSettingSaveDlg, OffersOwnSchemesAndChecksTheName)
{
    ScriptedMessageBoxes boxes;
    const TViewSettingItems items{{0, "(最近使用视图)"}, {1, "私"}, {2, "共"}, {3, "他人(李采购)"}, {4, "(默认视图)"}};
    QString name;
    bool shared = false;

    // Blanks are no name; an own shared scheme's name without its suffix still asks.
    boxes.answer({kvos::IDOK, kvos::IDCANCEL, kvos::IDOK});
    whenShown<TViewSettingSaveDlg>([&boxes](TViewSettingSaveDlg* dlg) {
        QStringList names;
        for (int i = 0; i < dlg->edtName->count(); ++i)
            names << dlg->edtName->itemText(i);
        EXPECT_EQ(names, QStringList({"私", "共 (共享)"}));
        EXPECT_EQ(dlg->edtName->currentText(), "");
        dlg->edtName->setEditText("   ");
        dlg->btnOk->click();
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, "名称不能为空, 请输入!");
        EXPECT_TRUE(dlg->isVisible());
        dlg->edtName->setEditText(" 共 ");
        dlg->btnOk->click();
        ASSERT_EQ(boxes.shown.size(), 2);
        EXPECT_EQ(boxes.shown[1].text, "您指定的\"共\"已经存在, 确定覆盖?");
        EXPECT_EQ(boxes.shown[1].defaultButton(), kvos::IDCANCEL);
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(dlg->edtName->currentText(), "共");
        dlg->btnOk->click();
    });
    ASSERT_TRUE(ShowViewSettingSaveDlg("V", items, name, shared));
    EXPECT_EQ(name, "共");
    EXPECT_FALSE(shared);

    // Choosing a shared entry ticks the shared box and drops the suffix; a new name closes at once.
    boxes.shown.clear();
    whenShown<TViewSettingSaveDlg>([](TViewSettingSaveDlg* dlg) {
        dlg->edtName->setCurrentIndex(1);
        emit dlg->edtName->activated(1);
        EXPECT_EQ(dlg->edtName->currentText(), "共");
        EXPECT_TRUE(dlg->chkShared->isChecked());
        dlg->edtName->setEditText("新的");
        dlg->btnOk->click();
    });
    ASSERT_TRUE(ShowViewSettingSaveDlg("V", items, name, shared));
    EXPECT_EQ(name, "新的");
    EXPECT_TRUE(shared);
    EXPECT_TRUE(boxes.shown.isEmpty());

    whenShown<TViewSettingSaveDlg>([](TViewSettingSaveDlg* dlg) {
        dlg->edtName->setEditText("x");
        dlg->btnCancel->click();
    });
    EXPECT_FALSE(ShowViewSettingSaveDlg("V", items, name, shared));
}
