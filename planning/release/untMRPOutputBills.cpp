#include "untMRPOutputBills.h"

#include "UCommon.h"
#include "untMRPCalendar.h"
#include "untMRPOutputOptions.h"
#include "untMRPUtils.h"

#include <cmath>

using namespace untMRPUtils;

namespace {

// The error block after every write-back statement: a failed statement rolls
// back the ERP's transaction, so the bill is not stored either.
const QString ErrorBlock = QStringLiteral("\rif @@error<>0\rbegin\rrollback\rreturn\rend\r");

const QString SavedLine = QStringLiteral("生成%d行%s保存成功, 单据编号: %s");
const QString FailedLine = QStringLiteral("生成%d行%s保存失败, 原因: %s");
const QString SummaryText = QStringLiteral("共生成%d行单据, 其中%d行成功保存(%d张单据), %d行失败保存, %d行未保存!");
const QString Aborted = QStringLiteral("执行已被中止!");
const QString StoppedText = QStringLiteral("数据库不能再写入, 投放已中止: %s");

double round8(double v)
{
    return std::round(v * 1e8) / 1e8;
}

void setItem(IValueList& AValues, const QString& AItemID, const QString& AItemProps, const QString* AProps)
{
    AValues.SetValue(QStringLiteral("ItemID"), AItemID);
    AValues.SetValue(QStringLiteral("ItemProps"), AItemProps);
    for (int i = 0; i < 10; ++i)
        AValues.SetValue(QStringLiteral("ItemProp%1").arg(i + 1), AProps[i]);
}

} // namespace

QString SupplyWriteBackTemplate(const QString& AUserID, const QDateTime& ANow, int ASchemeIID)
{
    // The user's ID is part of the template: a percent sign in it stays one.
    const QString user = QuoteSQL(AUserID).replace(u'%', QStringLiteral("%%"));
    return QStringLiteral("update QZ_MRP_Supplies set SupDestQty=isnull(SupDestQty,0)+%2:s, SupDester=") + user
        + QStringLiteral(", SupDestTime='") + ANow.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
        + QStringLiteral("', SupNote=(case when %3:s<>'' then %3:s else SupNote end) where SupSchIID=")
        + QString::number(ASchemeIID) + QStringLiteral(" and SupIID=%1:d") + ErrorBlock;
}

QString AlterWriteBackTemplate(int ASchemeIID)
{
    const QString scheme = QString::number(ASchemeIID);
    const QString where = QStringLiteral(" and DstSupIID=%0:d and DstDmdIID=%1:d and DstItmID=%2:s and DstItmProps=%3:s");
    return QStringLiteral("if exists (select * from QZ_MRP_DestAlters where DstSchIID=") + scheme + where + QStringLiteral(")\r")
        + QStringLiteral("update QZ_MRP_DestAlters set DstQty=DstQty+%4:s where DstSchIID=") + scheme + where + QStringLiteral("\r")
        + QStringLiteral("else\r")
        + QStringLiteral("insert QZ_MRP_DestAlters (DstSchIID, DstSupIID, DstDmdIID, DstItmID, DstItmProps, DstQty) values (") + scheme
        + QStringLiteral(", %0:d, %1:d, %2:s, %3:s, %4:s)") + ErrorBlock;
}

QString PlanStateOutputStartedSQL(int ASchemeIID)
{
    return QStringLiteral("update QZ_MRP_Schemes set SchState=9, SchMaxTime=getdate() where SchIID=%1 and SchState=8").arg(ASchemeIID);
}

QVariant OutputDateValue(const QDate& ADate)
{
    if (!ADate.isValid())
        return QVariant();
    return double(DayOfDate(ADate));
}

QString OutputGenerationHeader(int ARows)
{
    return ::FormatMessage(QStringLiteral("投放生成目标单据, 共%d行 ..."), QVariantList{ARows});
}

void SetOutputBillHead(IValueList& AHead, const TMRPOutputRec& ARec, const TMRPOutputOptions& AOptions, const QString& AUserID)
{
    AHead.SetValue(QStringLiteral("Date"), OutputDateValue(ARec.SupBillDate));
    AHead.SetValue(QStringLiteral("SupID"), ARec.SupSuppID);
    AHead.SetValue(QStringLiteral("EmpID"), AOptions.EmployeeID);
    AHead.SetValue(QStringLiteral("DeptID"), AOptions.DepartmentID);
    AHead.SetValue(QStringLiteral("UserID"), AUserID);
    if (ARec.SupType == 24 || ARec.SupType == 26 || ARec.SupType == 28)
        AHead.SetValue(QStringLiteral("CurID"), ARec.SupCurID);
    if (ARec.SupType == obtProduction || ARec.SupType == obtSubcontract)
        AHead.SetValue(QStringLiteral("HasPBom"), AOptions.OutPBoms);
}

void SetOutputBillRow(IBill& ABill, IValueList& ARow, TMRPOutputRec& ARec, const TMRPOutputOptions& AOptions, int ARowNo)
{
    ARow.SetValue(QStringLiteral("OrigType"), BillTypeToOutputSlot(ARec.SupOrigType));
    ARow.SetValue(QStringLiteral("OrigID"), ARec.SupOrigID);
    ARow.SetValue(QStringLiteral("OrigNo"), ARec.SupOrigNo);
    ARow.SetValue(QStringLiteral("OrigEntry"), ARec.SupOrigEntry);
    ARow.SetValue(QStringLiteral("OrigItemID"), ARec.SupOrigItmID);
    ARow.SetValue(QStringLiteral("OrigCustID"), ARec.SupOrigCustID);
    ARow.SetValue(QStringLiteral("OrigCustPO"), ARec.SupOrigCustPO);
    ARow.SetValue(QStringLiteral("OrigTag"), ARec.SupOrigTag);
    ARow.SetValue(QStringLiteral("OrigSubTag"), ARec.SupOrigSubTag);
    ARow.SetValue(QStringLiteral("MRPGroupType"), ARec.SupGroupType);
    ARow.SetValue(QStringLiteral("MRPGroupNo"), ARec.SupGroupNo);
    ARow.SetValue(QStringLiteral("SupID"), ARec.SupSuppID);
    setItem(ARow, ARec.SupItmID, ARec.SupItmProps, ARec.SupItmProp);
    ARow.SetValue(QStringLiteral("BomType"), ARec.SupBomType);
    ARow.SetValue(QStringLiteral("BomID"), ARec.SupBomID);

    if (AOptions.LotRule) {
        ARec.SupQty = ApplyOutputLotRule(ARec.SupQty, ARec.SupMinQty, ARec.SupLotQty);
        ARec.SupStdQty = ARec.SupQty.ToDouble();
    }

    // The quantity goes as its exact decimal text: beyond fifteen digits a
    // number would not carry it.
    ARow.SetValue(QStringLiteral("StdQty"), ARec.SupQty.ToText());
    ARow.SetValue(QStringLiteral("UnitID"), ARec.SupUnitID);
    ARow.SetValue(QStringLiteral("UnitRate"), ARec.SupUnitRate);
    ARow.SetValue(QStringLiteral("Date"), OutputDateValue(ARec.SupDate));
    ARow.SetValue(QStringLiteral("DrawDate"), OutputDateValue(ARec.SupDrawDate));
    ARow.SetValue(QStringLiteral("Note"), ARec.SupNote);
    ARow.SetValue(QStringLiteral("WriteBackSQL"), ARec.SupUpdateSQL);

    if (ARec.SupType != obtPurchase)
        return;
    ARow.SetValue(QStringLiteral("SubGroups"), int(ARec.SupSubItems.size()));
    int group = 0;
    for (const TMRPOutputSub& sub : ARec.SupSubItems) {
        ++group;
        IRowListPtr list = ABill.Details(QStringLiteral("%1/%2").arg(ARowNo).arg(group));
        IValueListPtr main = list->Add();
        setItem(*main, ARec.SupItmID, ARec.SupItmProps, ARec.SupItmProp);
        main->SetValue(QStringLiteral("MRPGroupType"), ARec.SupGroupType);
        main->SetValue(QStringLiteral("MRPGroupNo"), ARec.SupGroupNo);
        main->SetValue(QStringLiteral("SupID"), ARec.SupSuppID);
        main->SetValue(QStringLiteral("SubRate"), 0.0);
        main->SetValue(QStringLiteral("StdQty"), sub.Qty);
        for (const TMRPOutputSubItem& item : sub.Items) {
            IValueListPtr row = list->Add();
            setItem(*row, item.ItemID, item.ItemProps, item.ItemProp);
            row->SetValue(QStringLiteral("MRPGroupType"), item.MRPGroupType);
            row->SetValue(QStringLiteral("MRPGroupNo"), item.MRPGroupNo);
            row->SetValue(QStringLiteral("SupID"), item.SuppID);
            row->SetValue(QStringLiteral("SubRate"), item.SubRate);
            row->SetValue(QStringLiteral("StdQty"), round8(sub.Qty * item.SubRate));
        }
    }
}

bool OutputSaveErrorEndsRun(const QString& AError)
{
    // SQL Server's and SQLite's own words for a database that takes no more
    // writes, and the ERP library's for a lost login.
    static const char* const texts[] = {
        "filegroup is full", "Could not allocate space", "The transaction log for database", "database or disk is full",
        "disk I/O error", "read-only", "readonly", "Communication link failure", "General network error", "TCP Provider",
        "connection is broken", "connection was closed", "Connection failure", "not connected",
    };
    for (const char* t : texts)
        if (AError.contains(QLatin1String(t), Qt::CaseInsensitive))
            return true;
    // the embedded database's own texts for a full disk, a failing or damaged file,
    // a lack of memory and a log another program removed
    static const QStringList ownTexts = {
        QStringLiteral("尚未登录ERP账套"), QStringLiteral("磁盘空间不足"), QStringLiteral("磁盘已满"),
        QStringLiteral("操作系统在读写文件"), QStringLiteral("页已损坏"), QStringLiteral("没有足够的系统内存"),
        QStringLiteral("The log for database"),
    };
    for (const QString& t : ownTexts)
        if (AError.contains(t))
            return true;
    return false;
}

TMRPOutputBillResult WriteOutputBills(TMRPOutputRun& ARun, IERPAccess& AERP, const QString& AUserID,
                                      const TMRPOutputBillEvents& AEvents)
{
    TMRPOutputBillResult result;
    result.Rows = int(ARun.Records().size());
    const auto typeName = [&](int ABillType) { return AEvents.TypeName ? AEvents.TypeName(ABillType) : QString::number(ABillType); };
    const auto line = [&](TMessageKind AKind, const QString& AText) {
        if (AEvents.Line)
            AEvents.Line(AKind, AText);
    };

    const std::vector<std::vector<int>> bills = ARun.CutIntoBills();
    for (size_t b = 0; b < bills.size(); ++b) {
        if (AEvents.Escape && AEvents.Escape()) {
            result.Aborted = true;
            line(mkWarning, Aborted);
            break;
        }
        const std::vector<int>& records = bills[b];
        TMRPOutputRec& first = ARun.Record(records.front());
        const int billType = first.SupType;
        const TMRPOutputOptions& options = ARun.GetOutputOptions(billType);

        IBillPtr bill = AERP.NewBill(BillTypeToOutputSlot(billType));
        if (!bill)
            throw Exception(QStringLiteral("ERP接口未能创建%1!").arg(typeName(billType)));
        SetOutputBillHead(*bill->Head(), first, options, AUserID);
        int rowNo = 0;
        for (int index : records) {
            TMRPOutputRec& rec = ARun.Record(index);
            IValueListPtr row = bill->Details(QStringLiteral("Rows"))->Add();
            ++rowNo;
            SetOutputBillRow(*bill, *row, rec, options, rowNo);
            if ((billType == obtProduction || billType == obtSubcontract) && options.OutPBoms && AEvents.LoadBOM)
                AEvents.LoadBOM(rec, bill, rowNo);
        }

        const int k = int(records.size());
        QString error;
        if (bill->Save(error)) {
            if (result.BillsSaved == 0 && AEvents.FirstSaved)
                AEvents.FirstSaved();
            ++result.BillsSaved;
            result.RowsSaved += k;
            line(mkInformation, ::FormatMessage(SavedLine, QVariantList{k, typeName(billType), bill->Head()->GetValue(QStringLiteral("BillNo")).toString()}));
            if (AEvents.Saved)
                for (int index : records)
                    AEvents.Saved(ARun.Record(index));
        } else {
            result.RowsFailed += k;
            line(mkError, ::FormatMessage(FailedLine, QVariantList{k, typeName(billType), error}));
            if (OutputSaveErrorEndsRun(error)) {
                // Every bill left would fail the same way: the run ends here.
                result.Stopped = true;
                result.StopReason = error;
                break;
            }
        }
    }

    result.Summary = ::FormatMessage(SummaryText, QVariantList{result.Rows, result.RowsSaved, result.BillsSaved, result.RowsFailed,
                                                 result.Rows - result.RowsSaved - result.RowsFailed});
    if (result.Stopped)
        result.Summary = ::FormatMessage(StoppedText, QVariantList{result.StopReason}) + QStringLiteral("\r\r") + result.Summary;
    result.Kind = result.RowsFailed == 0 ? mkInformation : result.RowsSaved == 0 ? mkError : mkWarning;
    return result;
}

const void* ApplyOutputToNode(TMRPOutputTreeAccess& A, const void* ANode, double AQty)
{
    const auto num = [&](const void* n, TMRPOutputQtyField f) {
        const QVariant v = A.Get(n, f);
        return v.isNull() ? 0.0 : v.toDouble();
    };
    if (A.Level(ANode) == 1)
        if (const void* parent = A.Parent(ANode))
            for (int i = 0; i < A.ChildCount(parent); ++i) {
                const void* other = A.Child(parent, i);
                if (other == ANode || A.ChildCount(other) > 0)
                    continue;
                A.Set(other, oqDestQty, OutputRound8(num(other, oqDestQty) + AQty));
                A.Set(other, oqUnDestQty, OutputRound8(num(other, oqUnDestQty) - AQty));
            }
    double q = AQty;
    for (const void* n = ANode; n; n = A.Parent(n)) {
        A.Set(n, oqDestQty, OutputRound8(num(n, oqDestQty) + q));
        const double left = OutputRound8(num(n, oqDoDestQty) - q);
        A.Set(n, oqDoDestQty, left);
        QVariant inUnit;
        OutputQtyInUnit(left, A.Get(n, oqUnitRate), inUnit);
        A.Set(n, oqDoDestQtyU, inUnit);
        if (A.Level(n) == 0)
            return n;
        if (A.Level(n) == 2) {
            const double own = num(n, oqQty);
            q = own != 0 ? OutputRound8(q * num(A.Parent(n), oqQty) / own) : 0;
        }
    }
    return nullptr;
}
