// The main-demand view's save: every pending free need checked before
// anything is written (a failing row focused with its column), then the rows,
// their spreads and the deleted needs written in one transaction.
#include "famMRPMain.h"
#include "famMRPMainShared.h"

#include "EscapeKey.h"
#include "untMRPViewUtils.h"
#include "DataSetSource.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untApplication.h"
#include "untMRPCalendar.h"

using untMRPUtils::FloatToText;
using untMRPUtils::QuoteSQL;
using untMRPUtils::SQLQty;
using namespace famMRPMainShared;

namespace {

QString dayText(TDateTime day, const QString& format)
{
    return QDate(1899, 12, 30).addDays(qint64(day)).toString(format);
}

} // namespace

void TMRPMainFrame::FocusCell(int ARecord, kvui::Column* AColumn)
{
    for (int r = 0; r < grdMain->rowCount(); ++r)
        if (grdMain->row(r).kind == kvui::RowRef::Data && grdMain->row(r).record == ARecord) {
            grdMain->setFocusedRow(r);
            break;
        }
    if (AColumn) {
        grdMain->setFocusedColumn(AColumn);
        grdMain->startEdit(AColumn);
    }
}

// Checks every pending free need before anything is written; a failing row
// is focused with its column and the user told why.
bool TMRPMainFrame::CheckPendingRows()
{
    const TPlanPeriods& periods = FPlanScheme->MpsPeriods;
    const auto caption = [this](const char* f) { return FieldColumn(QString::fromLatin1(f))->caption(); };
    for (int record = 0; record < RowCount(); ++record) {
        const kvui::RecordStatus status = FDataSource->recordStatus(record);
        if (status != kvui::RecordStatus::Inserted && status != kvui::RecordStatus::Modified)
            continue;
        if (intOf(RowValue(record, QStringLiteral("ManBillType")), FreeNeed) != FreeNeed)
            continue;
        QString message;
        kvui::Column* column = nullptr;
        const auto fail = [&](const QString& text, const QString& field) {
            message = text;
            column = FieldColumn(field);
        };
        const QVariant date = RowValue(record, QStringLiteral("ManDate"));
        const TDateTime day = dayOf(date);
        const TDateTime begin = GetPlanBeginDate(periods), end = GetPlanEndDate(periods);
        const QString itmNo = RowValue(record, QStringLiteral("ItmNo")).toString().trimmed();
        const QString mask = RowValue(record, QStringLiteral("PropMask")).toString();
        const int groupType = intOf(RowValue(record, QStringLiteral("ManGroupType")));
        const double qty = qtyOf(RowValue(record, QStringLiteral("ManQty")));
        if (date.isNull() || day < std::floor(begin) || day > std::floor(end)) {
            fail(QStringLiteral("[%1]的值(%2)没有介于%3与%4之间!")
                     .arg(caption("ManDate"), date.isNull() ? QString() : dayText(day, QStringLiteral("yyyy-MM-dd")),
                          dayText(begin, QStringLiteral("yyyy-MM-dd")), dayText(end, QStringLiteral("yyyy-MM-dd"))),
                 QStringLiteral("ManDate"));
        } else if (itmNo.isEmpty()) {
            fail(QStringLiteral("[%1]的内容不能为空!").arg(caption("ItmNo")), QStringLiteral("ItmNo"));
        } else if (RowValue(record, QStringLiteral("ManItmID")).toString().isEmpty()) {
            fail(QStringLiteral("[%1]的值(%2)不存在!").arg(caption("ItmNo"), itmNo), QStringLiteral("ItmNo"));
        } else if (!mask.contains(u'1')) {
            SetRowValue(record, QStringLiteral("ManItmProps"), QString());
        } else {
            QStringList args = {QuoteSQL(RowValue(record, QStringLiteral("ManItmID")).toString())};
            for (int k = 1; k <= 10 && message.isEmpty(); ++k) {
                const QString field = QStringLiteral("ManItmProp%1").arg(k);
                const QString value = RowValue(record, field).toString();
                if (mask.mid(k - 1, 1) == QStringLiteral("1") && value.trimmed().isEmpty())
                    fail(QStringLiteral("[%1]的内容不能为空!").arg(FieldColumn(field)->caption()), field);
                args << QuoteSQL(value);
            }
            if (message.isEmpty()) {
                const bool ran = ExecSQLText(GlobalADOQuery, QStringLiteral("exec QZ_MRP_GetItemPropsID ") + args.join(QStringLiteral(", ")),
                                             true, false, true);
                const bool row = ran && GlobalADOQuery->Active() && !GlobalADOQuery->Eof();
                const QString id = row ? GlobalADOQuery->FieldValues(QStringLiteral("ID")).toString() : QString();
                const int err = row ? intOf(GlobalADOQuery->FieldValues(QStringLiteral("ErrNum"))) : 0;
                if (err > 0 && err <= 10) {
                    const QString field = QStringLiteral("ManItmProp%1").arg(err);
                    fail(QStringLiteral("[%1]的值(%2)无效!").arg(FieldColumn(field)->caption(), RowValue(record, field).toString()), field);
                } else if (id.trimmed().isEmpty())
                    fail(QStringLiteral("[%1]的内容不能为空!").arg(caption("ManItmProps")), QStringLiteral("ManItmProp1"));
                else
                    SetRowValue(record, QStringLiteral("ManItmProps"), id);
            }
        }
        if (message.isEmpty()) {
            if (groupType == 0)
                SetRowValue(record, QStringLiteral("ManGroupNo"), QString());
            else {
                const QString groupNo = RowValue(record, QStringLiteral("ManGroupNo")).toString().trimmed();
                SetRowValue(record, QStringLiteral("ManGroupNo"), groupNo);
                if (groupNo.isEmpty())
                    fail(QStringLiteral("[%1]的内容不能为空!").arg(caption("ManGroupNo")), QStringLiteral("ManGroupNo"));
                else if (!FieldColumn(QStringLiteral("ManOrigTag"))->isVisible())
                    SetRowValue(record, QStringLiteral("ManOrigTag"), groupNo);
            }
        }
        if (message.isEmpty() && !(qty > 0))
            fail(QStringLiteral("[%1]的值(%2)没有大于%3 !").arg(caption("ManQty"), FloatToText(qty), QStringLiteral("0")),
                 QStringLiteral("ManQty"));
        if (!message.isEmpty()) {
            FocusCell(record, column);
            ShowWarning(message);
            return false;
        }
    }
    return true;
}

bool TMRPMainFrame::SaveData()
{
    if (!FPlanScheme || !EditMode())
        return false;
    // A scheme changed on the server: its rows may have been rebuilt, so the edits go with the edit mode.
    if (!CheckSchemeState(false)) {
        SetEditing(false);
        return false;
    }
    const QString position = GetViewPosition();
    grdMain->postEdit();
    try {
        if (!CheckPendingRows())
            return false;
        if (FDataSource->pendingCount() == 0 && FDeleteIIDs.isEmpty())
            return true;
        const int sch = FPlanScheme->SchemeIID;
        const TPlanPeriods& periods = FPlanScheme->MpsPeriods;
        const auto q = [](const QVariant& v) { return QuoteSQL(v.toString()); };
        QString failure;
        const auto run = [&](const QString& sql) {
            if (ExecSQLText(GlobalADOQuery, sql, false, false, true))
                return true;
            failure = QStringLiteral("保存过程中出现意外错误, 操作被中止!");
            return false;
        };
        const kvui::DataSetSource::ApplyResult result = FDataSource->applyUpdates(
            GlobalADOConnection, [&](const QList<kvui::PendingRecord>& records) {
                if (!FDeleteIIDs.isEmpty()
                    && !run(QStringLiteral("delete QZ_MRP_Main where ManSchIID=%1 and ManIID in (%2)").arg(sch).arg(FDeleteIIDs.mid(1))))
                    return false;
                const QString tail = QStringLiteral("\rif @@error<>0\rreturn\r");
                QString batch;
                for (const kvui::PendingRecord& r : records) {
                    const auto v = [&](const char* f) { return r.value(QString::fromLatin1(f)); };
                    QStringList props;
                    for (int k = 1; k <= 10; ++k)
                        props << q(r.value(QStringLiteral("ManItmProp%1").arg(k)));
                    const TDateTime day = dayOf(v("ManDate"));
                    const QString period = QString::number(FindPlanPeriodIndex(periods, day));
                    if (r.status() == kvui::RecordStatus::Inserted) {
                        batch += QStringLiteral("select @iid=isnull(max(ManIID),0)+1 from QZ_MRP_Main with(nolock) where ManSchIID=%1\r").arg(sch)
                            + QStringLiteral("insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManDate, ManPriority, ManItmID, "
                                             "ManBomType, ManBomID, ManAdjQty, ManQty, ManHints, ManBillID, ManBillNo, ManBillEntry, ManNote,"
                                             "ManOrigTag, ManOrigSubTag, ManGroupType, ManGroupNo, ManItmProps, ManItmProp1, ManItmProp2, "
                                             "ManItmProp3, ManItmProp4, ManItmProp5, ManItmProp6, ManItmProp7, ManItmProp8, ManItmProp9, "
                                             "ManItmProp10)\r")
                            + QStringLiteral("select %1, @iid, %2, %3, '%4', %5, %6, 0, %7, %8, %9, ")
                                  .arg(QString::number(sch), period, QString::number(FreeNeed), dayText(day, QStringLiteral("yyyyMMdd")),
                                       QString::number(intOf(v("ManPriority"))), q(v("ManItmID")), q(v("ManBomID")),
                                       SQLQty(qtyOf(v("ManAdjQty"))), SQLQty(qtyOf(v("ManQty"))))
                            + q(v("ManHints")) + QStringLiteral(", '', '', isnull(max(ManBillEntry),0)+1, ") + q(v("ManNote")) + u','
                            + q(v("ManOrigTag")) + QStringLiteral(", ") + q(v("ManOrigSubTag")) + QStringLiteral(", ")
                            + QString::number(intOf(v("ManGroupType"))) + QStringLiteral(", ") + q(v("ManGroupNo")) + u','
                            + q(v("ManItmProps")) + QStringLiteral(", ") + props.join(QStringLiteral(", "))
                            + QStringLiteral(" from QZ_MRP_Main with(nolock) where ManSchIID=%1 and ManBillType=%2").arg(sch).arg(FreeNeed)
                            + tail;
                    } else if (r.status() == kvui::RecordStatus::Modified) {
                        if (intOf(v("ManBillType"), FreeNeed) == FreeNeed)
                            batch += QStringLiteral("update QZ_MRP_Main set ManPeriod=%1, ManDate='%2', ManPriority=%3, ManItmID=%4, "
                                                    "ManBomType=%5, ManBomID=%6, ManAdjQty=%7, ManQty=%8, ")
                                         .arg(period, dayText(day, QStringLiteral("yyyyMMdd")), QString::number(intOf(v("ManPriority"))),
                                              q(v("ManItmID")), QString::number(intOf(v("ManBomType"))), q(v("ManBomID")),
                                              SQLQty(qtyOf(v("ManAdjQty"))), SQLQty(qtyOf(v("ManQty"))))
                                + QStringLiteral("ManHints=") + q(v("ManHints")) + QStringLiteral(", ManNote=") + q(v("ManNote"))
                                + QStringLiteral(",ManOrigTag=") + q(v("ManOrigTag")) + QStringLiteral(", ManOrigSubTag=")
                                + q(v("ManOrigSubTag")) + QStringLiteral(", ManGroupType=") + QString::number(intOf(v("ManGroupType")))
                                + QStringLiteral(", ManGroupNo=") + q(v("ManGroupNo")) + QStringLiteral(", ManItmProps=")
                                + q(v("ManItmProps"));
                        else
                            batch += QStringLiteral("update QZ_MRP_Main set ManPriority=%1, ManAdjQty=%2, ManQty=%3, ManHints=")
                                         .arg(QString::number(intOf(v("ManPriority"))), SQLQty(qtyOf(v("ManAdjQty"))),
                                              SQLQty(qtyOf(v("ManQty"))))
                                + q(v("ManHints")) + QStringLiteral(", ManNote=") + q(v("ManNote"));
                        if (intOf(v("ManBillType"), FreeNeed) == FreeNeed)
                            for (int k = 1; k <= 10; ++k)
                                batch += QStringLiteral(", ManItmProp%1=").arg(k) + props[k - 1];
                        batch += QStringLiteral(" where ManSchIID=%1 and ManIID=%2").arg(sch).arg(v("ManIID").toString()) + tail;
                    } else {
                        continue;
                    }
                    if (batch.size() > 65000) {
                        if (!run(QStringLiteral("declare @iid int\r") + batch))
                            return false;
                        batch.clear();
                    }
                }
                if (!batch.isEmpty() && !run(QStringLiteral("declare @iid int\r") + batch))
                    return false;
                return run(QStringLiteral("update QZ_MRP_Schemes set SchState=(case when SchMrpRunTime is null then %1 else %2 end), "
                                          "SchMpsUpdTime=getdate(), SchMaxTime=getdate() where SchIID=%3")
                               .arg(2)
                               .arg(3)
                               .arg(sch));
            });
        if (!result.ok) {
            ShowError(failure.isEmpty() ? errorText(std::runtime_error(result.error.toStdString())) : failure);
            return false;
        }
        FDeleteIIDs.clear();
        Modified = false;
        RefreshSchemeState();
        RefreshData(false);
        SetViewPosition(position);
        return true;
    } catch (const std::exception& e) {
        ShowError(errorText(e));
        return false;
    }
}
