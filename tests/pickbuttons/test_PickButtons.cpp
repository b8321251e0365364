// Every pick button of the planning views and dialogs that have one, clicked
// as the user clicks it in the running event loop: each click opens exactly
// one pick list (cancelled by the user), shows no error and ends nothing. The
// views are opened long enough before the click that whatever the building of
// the view left on the stack is gone.
#include "DemoPlanning.h"
#include "DialogDriver.h"
#include "ScriptedMessageBoxes.h"
#include "ViewActions.h"
#include "clsPickEdit.h"
#include "dlgAddItemSubs.h"
#include "dlgCopyItemSubs.h"
#include "dlgInvAgeSet.h"
#include "famBOMExpand.h"
#include "famInvAge.h"
#include "famItemSetting.h"
#include "famItemSubs.h"
#include "famMRPMain.h"
#include "FilterControl.h"
#include "UCommon.h"
#include "dlgFilter.h"
#include "famFilter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QBuffer>
#include <QEventLoop>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The pick lists opened while it lives: each is answered by the user's Esc
// once its window is up in the event loop.
class PickListWatch {
public:
    PickListWatch()
    {
        connect();
    }
    ~PickListWatch() { m_timer.stop(); }
    QStringList opened;   // the titles of the lists, in order

private:
    void connect()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* dlg = qobject_cast<TPickPopupDlg*>(QApplication::activeModalWidget());
            if (!dlg || !dlg->isVisible() || m_answered.contains(dlg))
                return;
            m_answered << dlg;
            opened << dlg->windowTitle();
            QTest::keyClick(dlg, Qt::Key_Escape);
        });
        m_timer.start();
    }
    QTimer m_timer;
    QList<QObject*> m_answered;
};

// Clicks a button in the running event loop and waits until the click and
// what it opened are over.
void clickInLoop(QAbstractButton* button)
{
    QEventLoop loop;
    QTimer::singleShot(0, [&loop, button] {
        QTest::mouseClick(button, Qt::LeftButton);
        loop.quit();
    });
    loop.exec();
    QTest::qWait(20);
}

// The pick buttons of a button edit (those shown).
QList<QToolButton*> buttonsOf(kvui::ButtonEdit* edit)
{
    QList<QToolButton*> out;
    for (QToolButton* b : edit->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        if (b->isVisible())
            out << b;
    return out;
}

// Clicks every shown button of an edit: one pick list each, no box.
void clickEveryButton(kvui::ButtonEdit* edit, const std::string& where)
{
    ASSERT_TRUE(edit->isVisible()) << where;
    const QList<QToolButton*> buttons = buttonsOf(edit);
    ASSERT_FALSE(buttons.isEmpty()) << where;
    for (QToolButton* b : buttons) {
        ScriptedMessageBoxes boxes;
        PickListWatch lists;
        clickInLoop(b);
        EXPECT_EQ(lists.opened.size(), 1) << where << ": " << lists.opened.join(", ").toStdString();
        EXPECT_TRUE(boxes.shown.isEmpty()) << where << ": " << (boxes.shown.isEmpty() ? "" : boxes.shown[0].text.toStdString());
    }
}

// The pick editors of a grid or tree list's columns: each opened on the
// focused row and its button clicked. The number of columns so clicked.
int clickEveryPickColumn(kvui::BandedView* view, const std::string& where)
{
    int clicked = 0;
    const int row = view->focusedRow();
    if (row < 0)
        return 0;
    for (kvui::Column* c : view->visibleColumns()) {
        if (!dynamic_cast<TPickEditProperties*>(c->effectiveEditor(view->row(row)).get()) || !view->canEditCell(row, c))
            continue;
        view->setFocusedColumn(c);
        if (!view->startEdit(c))
            continue;
        auto* edit = qobject_cast<kvui::ButtonEdit*>(view->activeEditor());
        if (!edit)
            continue;
        clickEveryButton(edit, where + " column " + c->caption().toStdString());
        view->cancelEdit();
        ++clicked;
    }
    return clicked;
}

// A view in a window of its own, shown.
template <typename Frame>
struct Shown {
    QWidget window;
    std::shared_ptr<Frame> frame;
    Shown(std::shared_ptr<Frame> f) : frame(std::move(f))
    {
        window.resize(1300, 700);
        window.setLayout(new QVBoxLayout);
        frame->SetParentControl(&window);
        window.show();
    }
    ~Shown() { frame.reset(); }
};

TInfoObjectDef* def(const char* id)
{
    kvtest::demoPlanningLogin();
    TInfoObjectDef* d = InfoApplication->GetInfoObjectDef(QLatin1String(id));
    EXPECT_NE(d, nullptr) << id;
    return d;
}

} // namespace

TEST(PickButtons, ItemSubstitutesFilterGridAndDialogs)
{
    TInfoObjectDef* d = def("QZ_MRP.ItemSubs");
    ASSERT_NE(d, nullptr);
    Shown<TItemSubsFrame> v(CreateInfoView<TItemSubsFrame>(nullptr, d));
    v.frame->InitializeView(QString(), IInfoViewPtr());
    v.frame->ViewScheme.SQLParsed = true;
    v.frame->ApplyViewScheme();
    for (int kind = 0; kind < v.frame->cboFilterKind->count(); ++kind) {
        v.frame->cboFilterKind->setCurrentIndex(kind);
        v.frame->edtFilterText->setText(QStringLiteral("PT-13"));
        QTest::qWait(20);
        clickEveryButton(v.frame->edtFilterText, "filter kind " + std::to_string(kind));
    }
    // The item of a substitute in edit mode.
    v.frame->edtFilterText->setText(QStringLiteral("PT-141"));
    v.frame->cboFilterKind->setCurrentIndex(0);
    v.frame->RefreshData(true);
    kvtest::runAction(v.frame.get(), "Update");
    kvui::TreeNode* row = nullptr;
    for (kvui::TreeNode* n : v.frame->grdExpand->allNodes())
        if (v.frame->CanEditCell(n, v.frame->colBomItmNo)) {
            row = n;
            break;
        }
    if (row) {
        for (kvui::TreeNode* p = row->parent(); p; p = p->parent())
            p->setExpanded(true);
        v.frame->grdExpand->setFocusedNode(row);
        EXPECT_GT(clickEveryPickColumn(v.frame->grdExpand, "substitutes"), 0);
    }
    // The add-substitute dialog's item.
    kvtest::WhenShown<TAddItemSubsDlg>([](TAddItemSubsDlg* dlg) {
        QTest::qWait(20);
        clickEveryButton(dlg->edtItmNo, "add-substitute dialog");
        dlg->btnCancel->click();
    });
    quint8 pos = 0;
    QString id, note;
    double q = 0, bq = 0;
    QDate b, e;
    ShowAddItemSubsDlg(pos, id, note, q, bq, b, e, false, v.frame->GetItemPropFieldNames());
}

TEST(PickButtons, CopySubstitutesDialogOfTheBomExpansion)
{
    TInfoObjectDef* d = def("QZ_MRP.BOMExpand");
    ASSERT_NE(d, nullptr);
    Shown<TBOMExpandFrame> v(CreateInfoView<TBOMExpandFrame>(nullptr, d));
    v.frame->InitializeView(QString(), IInfoViewPtr());
    InfoApplication->ParseViewSchemeSQL(d, &v.frame->ViewScheme, GlobalADOQuery);
    v.frame->ApplyViewScheme();
    const QString item = kvtest::DemoLogin::value(QStringLiteral("select BomItmID from QZ_MRP_ItemBOMs where BomID='B-FG-1002'")).toString();
    {
        const QSignalBlocker block(v.frame->chkSubItems);
        v.frame->chkSubItems->setChecked(true);
    }
    v.frame->SetMasterValues(QStringLiteral("BomItmID='%1'\r\nBomType=0\r\nBomID='B-FG-1002'").arg(item), false);
    v.frame->RefreshData(true);
    kvtest::runAction(v.frame.get(), "Update");
    // A new substitute of the first material row: its item is picked.
    for (kvui::TreeNode* n : v.frame->grdExpand->allNodes())
        if (n->level() == 1) {
            v.frame->grdExpand->setFocusedNode(n);
            break;
        }
    {
        ScriptedMessageBoxes boxes;
        kvtest::runAction(v.frame.get(), "AddSubs");
        EXPECT_TRUE(boxes.shown.isEmpty());
    }
    EXPECT_GT(clickEveryPickColumn(v.frame->grdExpand, "bom expansion"), 0);
    bool shown = false;
    kvtest::WhenShown<TCopyItemSubsDlg>([&shown](TCopyItemSubsDlg* dlg) {
        shown = true;
        QTest::qWait(20);
        clickEveryButton(dlg->edtItmNo, "copy-substitutes dialog");
        dlg->btnCancel->click();
    });
    for (kvui::TreeNode* n : v.frame->grdExpand->allNodes())
        if (n->level() == 1) {
            v.frame->grdExpand->setFocusedNode(n);
            break;
        }
    kvtest::runAction(v.frame.get(), "CopySubs");
    EXPECT_TRUE(shown);
}

TEST(PickButtons, InventoryAgeFilter)
{
    TInfoObjectDef* d = def("QZ_MRP.AgeAnalyze");
    ASSERT_NE(d, nullptr);
    ScriptedMessageBoxes boxes;
    kvtest::WhenShown<TInvAgeSetDlg>([](TInvAgeSetDlg* dlg) {
        dlg->rdbEndDate->setChecked(true);
        dlg->dteEndDate->setDate(QDate(2026, 11, 30));
        dlg->btnOk->click();
    });
    IInfoViewPtr view = CreateInvAgeFrame(d);
    auto frame = std::dynamic_pointer_cast<TInvAgeFrame>(view);
    ASSERT_TRUE(frame);
    view.reset();
    Shown<TInvAgeFrame> v(frame);
    frame.reset();
    v.frame->InitializeView(QString(), nullptr);
    v.frame->RefreshData(true);
    int clicked = 0;
    for (int kind = 0; kind < v.frame->cboFilterKind->count(); ++kind) {
        v.frame->cboFilterKind->setCurrentIndex(kind);
        QTest::qWait(20);
        if (buttonsOf(v.frame->edtFilterText).isEmpty())
            continue;
        v.frame->edtFilterText->setText(QStringLiteral("1"));
        clickEveryButton(v.frame->edtFilterText, "filter kind " + std::to_string(kind));
        ++clicked;
    }
    EXPECT_EQ(clicked, 4);   // the customer and the demand's item number, name and model (规格型号)
}

TEST(PickButtons, ItemSettingsColumns)
{
    TInfoObjectDef* d = def("QZ_MRP.Items");
    ASSERT_NE(d, nullptr);
    Shown<TItemSettingFrame> v(CreateInfoView<TItemSettingFrame>(nullptr, d));
    v.frame->InitializeView(QString(), nullptr);
    InfoApplication->ParseViewSchemeSQL(d, v.frame->GetViewScheme(), GlobalADOQuery);
    v.frame->ViewScheme.SQLParsed = true;
    v.frame->ApplyViewScheme();
    v.frame->RefreshData(true);
    kvtest::runAction(v.frame.get(), "Update");
    v.frame->grdItemSetting->setFocusedRecordIndex(0);
    EXPECT_GT(clickEveryPickColumn(v.frame->grdItemSetting, "item settings"), 0);
}

TEST(PickButtons, MainDemandItemOfAFreeNeed)
{
    TInfoObjectDef* d = def("QZ_MRP.MRP.Main");
    ASSERT_NE(d, nullptr);
    TPlanScheme* scheme = kvtest::demoSchemeAfterRun();
    Shown<TMRPMainFrame> v(CreateInfoView<TMRPMainFrame>(nullptr, d));
    v.frame->InitializeView(QString(), nullptr);
    TPlanSchemeUIEvents events;
    events.CheckState = [](bool) { return true; };
    events.RefreshState = [scheme](QObject*) { scheme->LoadState(); };
    v.frame->SetPlanScheme(scheme, GlobalADOConnection, events);
    InfoApplication->ParseViewSchemeSQL(d, v.frame->GetViewScheme(), GlobalADOQuery);
    v.frame->RefreshData(true);
    v.frame->SetEditing(true);
    v.frame->AddNeed();
    kvui::BandedGrid* g = v.frame->grdMain;
    const int record = v.frame->RowCount() - 1;
    for (int row = 0; row < g->rowCount(); ++row)
        if (g->row(row).kind == kvui::RowRef::Data && g->row(row).record == record)
            g->setFocusedRow(row);
    EXPECT_GT(clickEveryPickColumn(g, "main demand"), 0);
    v.frame->Modified = false;
    v.frame->SetEditing(false);
}

// The filter dialog's value of a user field picks a user name.
TEST(PickButtons, FilterDialogUserField)
{
    TInfoObjectDef* d = def("QZ_MRP.Forcast");
    ASSERT_NE(d, nullptr);
    InitFilterFrameUnit();
    InitFilterDlgUnit();
    kvui::FilterCriteria criteria;
    criteria.root.addCriterion(FilterFieldToken(QStringLiteral("Creater")), kvui::FilterOperator::Equal, {QString()});
    QBuffer b;
    b.open(QIODevice::ReadWrite);
    b.write(criteria.save());
    QString text, code = StreamToHexText(b, -1);
    int edits = 0;
    kvtest::WhenShown<TFilterDlg>([&edits](TFilterDlg* dlg) {
        QTest::qWait(20);
        for (kvui::ButtonEdit* edit : dlg->findChildren<kvui::ButtonEdit*>()) {
            clickEveryButton(edit, "filter value");
            ++edits;
        }
        dlg->btnCancel->click();
    });
    InfoApplication->ShowFilterDlg(d, text, code, GlobalADOQuery, QString(), false);
    EXPECT_EQ(edits, 1);
}
