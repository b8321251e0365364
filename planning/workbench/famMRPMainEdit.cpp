// The main-demand view's editing: text typed or toggled into a period cell,
// which cells of a row edit, a changed item, free needs added and deleted,
// and the keys of the grid.
#include "famMRPMain.h"
#include "famMRPMainShared.h"

#include "untMRPViewUtils.h"
#include "DataSetSource.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "clsPickEdit.h"
#include "untApplication.h"
#include "untMRPCalendar.h"

#include <QKeyEvent>

using untMRPUtils::FloatToText;
using untMRPUtils::PeriodKey;
using untMRPUtils::QuoteSQL;
using namespace famMRPMainShared;

void TMRPMainFrame::SetPeriodText(int ARecord, int APeriodIndex, const QString& AText)
{
    QString text = AText;
    text.remove(u' ');
    if (text.isEmpty())
        text = QStringLiteral("0");
    bool ok = false;
    double q = QLocale().toDouble(text, &ok);
    if (!ok)
        q = untMRPUtils::TextToFloat(text, &ok);
    if (!ok || q < 0)
        return;
    const QString manQty = QStringLiteral("ManQty");
    const int d = PeriodOfRow(ARecord);
    QString h = RowValue(ARecord, QStringLiteral("ManHints")).toString().trimmed();
    double qty = qtyOf(RowValue(ARecord, manQty));
    const double need = qtyOf(RowValue(ARecord, QStringLiteral("ManNeedQty")));
    if (h.isEmpty() && APeriodIndex == d) {
        SetRowValue(ARecord, manQty, q);
        SetRowValue(ARecord, QStringLiteral("ManAdjQty"), q - need);
        Modified = true;
        return;
    }
    std::map<QString, double> spread = readHints(h);
    if (h.isEmpty() && !sameQty(qty, 0) && d >= 0)
        spread[PeriodKey(d)] = qty;
    const QString key = PeriodKey(APeriodIndex);
    const double o = hintValue(spread, key);
    qty += q - o;
    if (sameQty(q, 0))
        spread.erase(key);
    else
        spread[key] = q;
    SetRowValue(ARecord, manQty, qty);
    SetRowValue(ARecord, QStringLiteral("ManAdjQty"), qty - need);
    const QString newHints = d >= 0 && sameQty(hintValue(spread, PeriodKey(d)), qty) ? QString() : writeHints(spread);
    SetRowValue(ARecord, QStringLiteral("ManHints"), newHints);
    Modified = true;
}

void TMRPMainFrame::TogglePeriodCell(int ARecord, int APeriodIndex)
{
    const QString h = RowValue(ARecord, QStringLiteral("ManHints")).toString();
    if (h.count(u'=') > 1 || !sameQty(PeriodQty(ARecord, APeriodIndex), 0))
        return;
    const int d = PeriodOfRow(ARecord);
    const double qty = qtyOf(RowValue(ARecord, QStringLiteral("ManQty")));
    SetRowValue(ARecord, QStringLiteral("ManHints"),
                APeriodIndex == d ? QString() : PeriodKey(APeriodIndex) + u'=' + FloatToText(qty) + CRLF);
    Modified = true;
}

bool TMRPMainFrame::CanEditCell(int ARecord, kvui::Column* AColumn) const
{
    if (!EditMode() || !AColumn || ARecord < 0)
        return false;
    const bool free = intOf(RowValue(ARecord, QStringLiteral("ManBillType")), FreeNeed) == FreeNeed;
    const int tag = AColumn->tag();
    if (tag < -100) {
        const int k = -tag - 100;
        return free && RowValue(ARecord, QStringLiteral("PropMask")).toString().mid(k - 1, 1) == QStringLiteral("1");
    }
    const QString f = AColumn->fieldName();
    for (const char* name : {"ManDate", "ItmNo", "BomNo", "ManOrigTag", "ManOrigSubTag", "ManGroupType"})
        if (f == QLatin1String(name))
            return free;
    if (f == QStringLiteral("ManGroupNo"))
        return free && intOf(RowValue(ARecord, QStringLiteral("ManGroupType"))) != 0;
    return true;
}

void TMRPMainFrame::ItemChanged(int ARecord)
{
    const QString itmNo = RowValue(ARecord, QStringLiteral("ItmNo")).toString();
    const QString sql = QStringLiteral(
        "select i.ItmID, ItmNo, ItmName, ItmSpec, u.UntName, Planner=ep.EmpName, Buyer=eb.EmpName,"
        "PropMask=cast(i.ItmHasProp1 as char(1))+cast(i.ItmHasProp2 as char(1))+cast(i.ItmHasProp3 as char(1))+"
        "cast(i.ItmHasProp4 as char(1))+cast(i.ItmHasProp5 as char(1))+cast(i.ItmHasProp6 as char(1))+"
        "cast(i.ItmHasProp7 as char(1))+cast(i.ItmHasProp8 as char(1))+cast(i.ItmHasProp9 as char(1))+"
        "cast(i.ItmHasProp10 as char(1)) from QZ_Base_ItemMaster as i with(nolock) left join QZ_Base_Unit as u "
        "with(nolock) on ItmUnitID=u.UntID left join QZ_MRP_ItemSetting as t with(nolock) on i.ItmID=t.ItmID "
        "left join QZ_Base_Employee as ep with(nolock) on t.ItmPlannerID=ep.EmpID left join QZ_Base_Employee as eb "
        "with(nolock) on t.ItmBuyerID=eb.EmpID where ItmNo=") + QuoteSQL(itmNo) + QStringLiteral(" and ItmDisabled=0");
    const bool found = ExecSQLText(GlobalADOQuery, sql, true, false, true) && !GlobalADOQuery->Eof();
    const auto take = [&](const char* field) { return found ? GlobalADOQuery->FieldValues(QString::fromLatin1(field)) : QVariant(); };
    const QVariant mask = take("PropMask");
    const QList<std::pair<const char*, QVariant>> copies = {
        {"ManItmID", take("ItmID")}, {"ItmName", take("ItmName")}, {"ItmSpec", take("ItmSpec")},
        {"PropMask", mask}, {"UntName", take("UntName")}, {"ItmPlanner", take("Planner")}, {"ItmBuyer", take("Buyer")}};
    for (const auto& [field, value] : copies)
        if (FDataSource->fieldIndex(QString::fromLatin1(field)) >= 0)
            SetRowValue(ARecord, QString::fromLatin1(field), value);
    if (found)
        SetRowValue(ARecord, QStringLiteral("ItmNo"), take("ItmNo"));
    const QString m = mask.toString();
    for (int k = 1; k <= 10; ++k)
        if (m.mid(k - 1, 1) != QStringLiteral("1"))
            SetRowValue(ARecord, QStringLiteral("ManItmProp%1").arg(k), QVariant());
}

void TMRPMainFrame::AddNeed()
{
    const int record = FDataSource->appendRecord({{QStringLiteral("ManBillType"), FreeNeed},
                                                  {QStringLiteral("ManGroupType"), 0}});
    if (record < 0)
        return;
    Modified = true;
    grdMain->refresh();
    for (int r = 0; r < grdMain->rowCount(); ++r)
        if (grdMain->row(r).kind == kvui::RowRef::Data && grdMain->row(r).record == record) {
            grdMain->setFocusedRow(r);
            break;
        }
    grdMain->setFocusedColumn(FieldColumn(QStringLiteral("ManDate")));
    grdMain->setFocus();
}

void TMRPMainFrame::DelNeed()
{
    if (ShowQuestion(QStringLiteral("您所选的项目将被删除, 确定?"), 257) != 1)
        return;
    QList<int> records;
    for (int r : grdMain->selectedRows())
        if (grdMain->row(r).kind == kvui::RowRef::Data)
            records << grdMain->row(r).record;
    if (records.isEmpty() && grdMain->focusedRow() >= 0 && grdMain->row(grdMain->focusedRow()).kind == kvui::RowRef::Data)
        records << grdMain->row(grdMain->focusedRow()).record;
    for (int record : records) {
        const QVariant iid = RowValue(record, QStringLiteral("ManIID"));
        if (iid.isValid() && !iid.isNull())
            FDeleteIIDs += u',' + iid.toString();
    }
    Modified = true;
    FDataSource->deleteRecords(records);
    grdMain->refresh();
    grdMain->setFocus();
}

bool TMRPMainFrame::eventFilter(QObject* AObject, QEvent* AEvent)
{
    if (AObject == grdMain->viewport() && AEvent->type() == QEvent::ChildAdded) {
        QObject* child = static_cast<QChildEvent*>(AEvent)->child();
        if (child && child->isWidgetType())
            child->installEventFilter(this);
    }
    const bool inEditor = grdMain->activeEditor() && AObject == grdMain->activeEditor();
    if ((AObject == grdMain || inEditor) && AEvent->type() == QEvent::KeyPress && EditMode()) {
        auto* key = static_cast<QKeyEvent*>(AEvent);
        if (key->key() == Qt::Key_Space && !(key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))) {
            // A blank is never typed into this grid: Space drops the open
            // editor's text, toggles the period cell and opens the editor again.
            const bool wasEditing = grdMain->isEditing();
            grdMain->cancelEdit();
            kvui::Column* c = grdMain->focusedColumn();
            const int row = grdMain->focusedRow();
            if (c && c->tag() > 0 && row >= 0 && grdMain->row(row).kind == kvui::RowRef::Data) {
                TogglePeriodCell(grdMain->row(row).record, c->tag() - 1);
                grdMain->viewport()->update();
            }
            if (wasEditing)
                grdMain->startEdit(c);
            return true;
        }
    }
    return TInfoGridView::eventFilter(AObject, AEvent);
}
