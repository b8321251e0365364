#include "untDeductActions.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "clsInfoView.h"
#include "clsPickEdit.h"
#include "dlgDeductAuto.h"
#include "untMRPDeduct.h"

#include <QApplication>

namespace {

const QString SelectFirst = QStringLiteral("请选择待处理数据后重试!");
const QString ConfirmDisable = QStringLiteral("您所选的单据行将被禁止自动冲销, 确定?");
const QString ConfirmAdmit = QStringLiteral("您所选的单据行将被重新允许自动冲销, 确定?");

// The hourglass until released or the scope ends.
struct ReleasableWait {
    ReleasableWait() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~ReleasableWait() { release(); }
    void release()
    {
        if (active)
            QApplication::restoreOverrideCursor();
        active = false;
    }
    bool active = true;
};

bool isNull(const QVariant& v) { return !v.isValid() || v.isNull(); }

bool sameID(const QString& a, const char* b) { return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0; }

const QString ErrorReturn = QStringLiteral("\rif @@error<>0\rreturn\r");
const QString ErrorRollback = QStringLiteral("\rif @@error<>0\rbegin\rrollback\rreturn\rend");

// The tables and fields of one bill kind's extension flag.
struct KindNames {
    const char* ext;
    const char* lines;
    const char* prefix;
};
KindNames kindNames(int AKind)
{
    if (AKind == 8)
        return {"QZ_MRP_ForcastExt", "QZ_MRP_Forcast", "For"};
    if (AKind == 2)
        return {"QZ_MRP_SOExt", "QZ_MRP_SO", "SO"};
    return {"QZ_MRP_SIExt", "QZ_MRP_SI", "SI"};
}

// A failed batch never leaves the connection inside a transaction.
void rollbackOpenTransaction()
{
    ExecSQLText(GlobalADOQuery, QStringLiteral("if @@trancount>0\rrollback"), false, false, false);
}

QString clearBatch(const QString& AIDs)
{
    const QString sql = QStringLiteral(
        "\rbegin tran\rdeclare @saveerror int, @saverowcount int\r"
        "update x set ForDedAQty=isnull(ForDedAQty,0)-DedAQty, ForDedMQty=isnull(ForDedMQty,0)-DedMQty from (select "
        "DedForID, DedForEntry, DedAQty=sum(case when DedManual=1 then 0 else DedForQty end), DedMQty=sum(case when "
        "DedManual=1 then DedForQty else 0 end) from QZ_MRP_Deduction where DedIID in (%0:s) group by DedForID, "
        "DedForEntry) as d join QZ_MRP_ForcastExt as x on DedForID=ForID and DedForEntry=ForEntry") +
        ErrorRollback +
        QStringLiteral("\rupdate x set SODedAQty=isnull(SODedAQty,0)-DedAQty, SODedMQty=isnull(SODedMQty,0)-DedMQty from "
                       "(select DedOrdID, DedOrdEntry, DedAQty=sum(case when DedManual=1 then 0 else DedOrdQty end), "
                       "DedMQty=sum(case when DedManual=1 then DedOrdQty else 0 end) from QZ_MRP_Deduction where DedIID in "
                       "(%0:s) and DedOrdType=%1:s group by DedOrdID, DedOrdEntry) as d join QZ_MRP_SOExt as x on "
                       "DedOrdID=SOID and DedOrdEntry=SOEntry") +
        ErrorRollback +
        QStringLiteral("\rupdate x set SIDedAQty=isnull(SIDedAQty,0)-DedAQty, SIDedMQty=isnull(SIDedMQty,0)-DedMQty from "
                       "(select DedOrdID, DedOrdEntry, DedAQty=sum(case when DedManual=1 then 0 else DedOrdQty end), "
                       "DedMQty=sum(case when DedManual=1 then DedOrdQty else 0 end) from QZ_MRP_Deduction where DedIID in "
                       "(%0:s) and DedOrdType=%2:s group by DedOrdID, DedOrdEntry) as d join QZ_MRP_SIExt as x on "
                       "DedOrdID=SIID and DedOrdEntry=SIEntry") +
        ErrorRollback + QStringLiteral("\rdelete QZ_MRP_Deduction where DedIID in (%0:s)") + ErrorRollback +
        QStringLiteral("\r\rcommit");
    return FormatPositional(sql, {AIDs, QStringLiteral("2"), QStringLiteral("4")});
}

} // namespace

void ExecAutoDeductAction(const IInfoViewPtr&, bool& ARefresh)
{
    ARefresh = false;
    TAuotDeductOptions options;
    if (!ShowDeductAutoDlg(options))
        return;
    bool done = false;
    {
        ReleasableWait wait;
        done = RunAutoDeduction(options);
    }
    if (done)
        ShowInfo(UCommonText::Finished);
    else
        ShowError(UCommonText::StoppedByErrors);
    ARefresh = true;
}

void SetAutoDeductDisabled(const IInfoViewPtr& AView, int AKind, bool ADisable, bool& ARefresh)
{
    ARefresh = false;
    const int n = AView ? AView->GetSelectedRecordCount() : 0;
    if (n == 0) {
        ShowInfo(SelectFirst);
        return;
    }
    if (ShowQuestion(ADisable ? ConfirmDisable : ConfirmAdmit, int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2)) != kvos::IDOK)
        return;

    const KindNames names = kindNames(AKind);
    const QString prefix = QLatin1String(names.prefix);
    const QString pattern =
        QStringLiteral("if exists (select * from %3:s where %5:sID=%0:s and %5:sEntry=%1:s)\r"
                       "update %3:s set %5:sDedADis=%2:s where %5:sID=%0:s and %5:sEntry=%1:s\r"
                       "else\r"
                       "insert %3:s (%5:sID, %5:sEntry, %5:sItmID, %5:sDedADis)\r"
                       "select %5:sID, %5:sEntry, %5:sItmID, %2:s from %4:s with(nolock) where %5:sID=%0:s and %5:sEntry=%1:s");
    ReleasableWait wait;
    try {
        QString batch;
        for (int i = 0; i < n; ++i) {
            const QVariant key = AView->GetSelectedRecordValue(i, prefix + QStringLiteral("ID"));
            if (isNull(key))
                continue;
            const QVariant entry = AView->GetSelectedRecordValue(i, prefix + QStringLiteral("Entry"));
            batch += FormatPositional(pattern, {QuotedStr(key.toString()), QString::number(entry.toInt()),
                                                ADisable ? QStringLiteral("1") : QStringLiteral("0"),
                                                QLatin1String(names.ext), QLatin1String(names.lines), prefix}) +
                     ErrorReturn;
            if (batch.size() > DeductBatchLimit) {
                ExecSQLText(GlobalADOQuery, batch, false, true, true);
                batch.clear();
            }
        }
        if (!batch.isEmpty())
            ExecSQLText(GlobalADOQuery, batch, false, true, true);
        wait.release();
        ShowInfo(UCommonText::Finished);
    } catch (const std::exception&) {
        wait.release();
        ShowError(UCommonText::StoppedByErrors);
    }
    ARefresh = true;
}

void ClearDeductions(const IInfoViewPtr& AView, bool& ARefresh)
{
    ARefresh = false;
    const int n = AView ? AView->GetSelectedRecordCount() : 0;
    if (n == 0) {
        ShowInfo(SelectFirst);
        return;
    }
    if (ShowQuestion(UCommonText::ConfirmDelete, int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2)) != kvos::IDOK)
        return;

    ReleasableWait wait;
    try {
        QString ids;
        for (int i = 0; i < n; ++i) {
            const QVariant id = AView->GetSelectedRecordValue(i, QStringLiteral("DedIID"));
            if (isNull(id))
                continue;
            ids += u',' + QString::number(id.toLongLong());
            // Each batch names the list four times.
            if (4 * ids.size() > DeductBatchLimit) {
                ExecSQLText(GlobalADOQuery, clearBatch(ids.mid(1)), false, true, true);
                ids.clear();
            }
        }
        if (!ids.isEmpty())
            ExecSQLText(GlobalADOQuery, clearBatch(ids.mid(1)), false, true, true);
        wait.release();
        ShowInfo(UCommonText::Finished);
    } catch (const std::exception&) {
        rollbackOpenTransaction();
        wait.release();
        ShowError(UCommonText::StoppedByErrors);
    }
    ARefresh = true;
}

namespace {

void execOrderDeductAction(const IInfoViewPtr& AView, int AKind, const QString& AActionID, bool& ARefresh)
{
    if (sameID(AActionID, "AutoDed"))
        ExecAutoDeductAction(AView, ARefresh);
    else if (sameID(AActionID, "NoAutoDed"))
        SetAutoDeductDisabled(AView, AKind, true, ARefresh);
    else if (sameID(AActionID, "CanAutoDed"))
        SetAutoDeductDisabled(AView, AKind, false, ARefresh);
}

} // namespace

void ExecSODeductAction(const IInfoViewPtr& AView, const QString& AActionID, bool& ARefresh)
{
    execOrderDeductAction(AView, 2, AActionID, ARefresh);
}

void ExecSIDeductAction(const IInfoViewPtr& AView, const QString& AActionID, bool& ARefresh)
{
    execOrderDeductAction(AView, 4, AActionID, ARefresh);
}

void ExecDeductLogAction(const IInfoViewPtr& AView, const QString& AActionID, bool& ARefresh)
{
    if (sameID(AActionID, "AutoDed"))
        ExecAutoDeductAction(AView, ARefresh);
    else if (sameID(AActionID, "ClearDed"))
        ClearDeductions(AView, ARefresh);
}

bool ExecForcastDeductAction(const IInfoViewPtr& AView, const QString& AActionID, bool& ARefresh)
{
    if (!sameID(AActionID, "AutoDed") && !sameID(AActionID, "NoAutoDed") && !sameID(AActionID, "CanAutoDed"))
        return false;
    execOrderDeductAction(AView, 8, AActionID, ARefresh);
    return true;
}
