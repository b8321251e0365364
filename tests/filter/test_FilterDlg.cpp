// The filter frame and dialog, driven as a user would through a timer while
// the dialog runs modally on the offscreen platform.
#include "ScratchDatabase.h"
#include "Ado.h"
#include "FilterControl.h"
#include "FilterTestSupport.h"
#include "ScriptedMessageBoxes.h"
#include "dlgFilter.h"
#include "famFilter.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

#include <gtest/gtest.h>

using kvui::FilterCriteria;
using kvui::FilterOperator;

namespace {

// Runs the step on the modal dialog once it is shown.
void whenDialogShows(std::function<void(TFilterDlg*)> step)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, step] {
        auto* dlg = qobject_cast<TFilterDlg*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        timer->stop();
        timer->deleteLater();
        step(dlg);
        if (dlg->isVisible())
            dlg->reject(); // never leave a test waiting on the window
    });
    timer->start();
}

QString codeOf(const FilterCriteria& criteria)
{
    kvui::FilterControl control;
    control.setCriteria(criteria);
    return SaveFilterCriteria(&control);
}

QString itemNoCode(const char* value)
{
    FilterCriteria criteria;
    criteria.root.addCriterion(QStringLiteral("$$ItmNo$$"), FilterOperator::Equal, {QString::fromUtf8(value)});
    return codeOf(criteria);
}

TEST(FilterDlg, UserAddsACriterionAndConfirms)
{
    TInfoObjectDef def = filterTestObject();
    QString text = QStringLiteral("old"), code;
    QString caption;
    whenDialogShows([&](TFilterDlg* dlg) {
        caption = dlg->windowTitle();
        auto* control = dlg->famFilter->fltCriteria;
        control->findChild<QPushButton*>(QStringLiteral("btnAddCriterion"))->click();
        QTreeWidget* tree = control->tree();
        QTreeWidgetItem* row = tree->topLevelItem(0)->child(0);
        ASSERT_NE(row, nullptr);
        auto* field = qobject_cast<QComboBox*>(tree->itemWidget(row, 0));
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->currentText(), QStringLiteral("物料编号"));
        auto* value = qobject_cast<QComboBox*>(tree->itemWidget(row, 2));
        ASSERT_NE(value, nullptr);
        value->setEditText(QStringLiteral("A'1"));
        dlg->btnOk->click();
    });
    ASSERT_TRUE(DoShowFilterDlg(&def, text, code, nullptr, QString(), false));
    EXPECT_EQ(caption, QStringLiteral("物料"));
    EXPECT_EQ(text, QStringLiteral("物料编号 等于 A'1"));
    EXPECT_EQ(DoTranslateFilterCodeToSQL(&def, code, nullptr), QStringLiteral("(ISNULL(s.ItmNo, '') = 'A''1')"));
}

TEST(FilterDlg, ShowsTheGivenFilterAndCancelKeepsIt)
{
    TInfoObjectDef def = filterTestObject();
    QString text = QStringLiteral("物料编号 等于 B"), code = itemNoCode("B");
    const QString originalCode = code;
    QString shownText, caption;
    whenDialogShows([&](TFilterDlg* dlg) {
        caption = dlg->windowTitle();
        shownText = dlg->famFilter->memCriteriaText->toPlainText();
        dlg->famFilter->fltCriteria->findChild<QPushButton*>(QStringLiteral("btnAddCriterion"))->click();
        dlg->btnCancel->click();
    });
    EXPECT_FALSE(DoShowFilterDlg(&def, text, code, nullptr, QStringLiteral("行权限"), false));
    EXPECT_EQ(caption, QStringLiteral("行权限"));
    EXPECT_EQ(shownText, QStringLiteral("物料编号 等于 B"));
    EXPECT_EQ(text, QStringLiteral("物料编号 等于 B"));
    EXPECT_EQ(code, originalCode);
}

TEST(FilterDlg, ReadOnlyOnlyLooks)
{
    TInfoObjectDef def = filterTestObject();
    QString text = QStringLiteral("t"), code = itemNoCode("C");
    const QString originalCode = code;
    bool okEnabled = true, controlEnabled = true;
    whenDialogShows([&](TFilterDlg* dlg) {
        okEnabled = dlg->btnOk->isEnabled();
        controlEnabled = dlg->famFilter->fltCriteria->isEnabled();
        dlg->btnOk->click(); // disabled: nothing happens
        EXPECT_TRUE(dlg->isVisible());
        dlg->btnCancel->click();
    });
    EXPECT_FALSE(DoShowFilterDlg(&def, text, code, nullptr, QString(), true));
    EXPECT_FALSE(okEnabled);
    EXPECT_FALSE(controlEnabled);
    EXPECT_EQ(text, QStringLiteral("t"));
    EXPECT_EQ(code, originalCode);
}

TEST(FilterDlg, UnreadableCodeIsReportedAndReplacedOnlyOnOk)
{
    TInfoObjectDef def = filterTestObject();
    ScriptedMessageBoxes boxes;
    QString text = QStringLiteral("t"), code = QStringLiteral("ABCDEF");
    whenDialogShows([&](TFilterDlg* dlg) { dlg->btnCancel->click(); });
    EXPECT_FALSE(DoShowFilterDlg(&def, text, code, nullptr, QString(), false));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("保存的筛选条件无法识别, 请重新设置!"));
    EXPECT_EQ(code, QStringLiteral("ABCDEF"));
}

TEST(FilterFrame, TextFollowsFocusAndCodeRoundTrips)
{
    TInfoObjectDef def = filterTestObject();
    TFilterFrame frame;
    frame.LoadFilterItems(&def, nullptr);
    EXPECT_EQ(frame.fltCriteria->items().size(), 6);
    frame.SetFilterCode(itemNoCode("X"));
    EXPECT_EQ(frame.memCriteriaText->toPlainText(), QStringLiteral("物料编号 等于 X"));
    // A change made behind the editor's back shows when the editor gets the focus.
    frame.fltCriteria->criteria().root.addCriterion(QStringLiteral("$$Qty$$"), FilterOperator::IsEmpty);
    QFocusEvent focusIn(QEvent::FocusIn);
    QApplication::sendEvent(frame.fltCriteria, &focusIn);
    EXPECT_EQ(frame.memCriteriaText->toPlainText(), QStringLiteral("物料编号 等于 X 并且 数量 为空"));
    EXPECT_EQ(frame.FilterSQL(), QStringLiteral("((ISNULL(s.ItmNo, '') = 'X') AND (s.Qty IS NULL OR s.Qty = 0))"));
    const QString code = frame.FilterCode();
    TFilterFrame other;
    other.LoadFilterItems(&def, nullptr);
    other.SetFilterCode(code);
    EXPECT_EQ(other.FilterCode(), code);
    EXPECT_EQ(other.FilterText(), frame.FilterText());
    other.SetFilterCode(QString());
    EXPECT_TRUE(other.FilterCode().isEmpty());
    EXPECT_TRUE(other.memCriteriaText->toPlainText().isEmpty());
}

TEST(FilterFrame, BindsThroughTheTypedNullQuery)
{
    TInfoObjectDef def = filterTestObject();
    def.Fields[1].HideFilter = true;
    QTemporaryDir dir;
    TADOConnection connection;
    connection.SetConnectionString(
        QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1;Initial Catalog=f").arg(scratchDatabase(dir.filePath(QStringLiteral("f.db")))));
    TADOQuery query;
    query.SetConnection(&connection);
    TFilterFrame frame;
    frame.LoadFilterItems(&def, &query);
    ASSERT_EQ(frame.fltCriteria->items().size(), 5);
    EXPECT_EQ(frame.fltCriteria->items().at(0).caption, QStringLiteral("物料编号"));
    EXPECT_EQ(frame.fltCriteria->items().at(2).choices.size(), 2); // 有效: 是 / 否
    EXPECT_TRUE(frame.fltCriteria->items().at(4).specialValues.contains(QStringLiteral("<我>")));
    EXPECT_NE(frame.fltCriteria->items().at(4).editor, nullptr); // 制单人: the user picker
    EXPECT_EQ(query.FieldCount(), 5);
    EXPECT_NE(query.FindField(QStringLiteral("$$ItmNo$$")), nullptr);

    // A query that cannot run is reported and leaves the editor without fields.
    ScriptedMessageBoxes boxes;
    TADOQuery broken;
    frame.LoadFilterItems(&def, &broken);
    EXPECT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(frame.fltCriteria->items().isEmpty());
}

TEST(FilterUnits, StartUpInstallsTheHooks)
{
    ScopedUserName user(QStringLiteral("u"));
    InfoApplication->TranslateFilterCodeToSQLProc = nullptr;
    InfoApplication->ShowFilterDlgProc = nullptr;
    InitFilterFrameUnit();
    InitFilterDlgUnit();
    EXPECT_EQ(InfoApplication->TranslateFilterCodeToSQLProc, &DoTranslateFilterCodeToSQL);
    EXPECT_EQ(InfoApplication->ShowFilterDlgProc, &DoShowFilterDlg);
    TInfoObjectDef def = filterTestObject();
    EXPECT_EQ(InfoApplication->TranslateFilterCodeToSQL(&def, itemNoCode("Z"), nullptr),
              QStringLiteral("(ISNULL(s.ItmNo, '') = 'Z')"));
}

} // namespace
