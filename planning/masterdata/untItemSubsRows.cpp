#include "untItemSubsRows.h"

#include "Exceptions.h"
#include "UCommon.h"
#include "untApplication.h"
#include "untInfoObjectDef.h"

namespace ItemSubsRows {

namespace {

const QString SaveFailed = QStringLiteral("保存过程中出现意外错误, 操作被中止!\r\r原因: %s");
const QString NoERPAccess = QStringLiteral("尚未连接ERP接口!");
constexpr int BomBillKind = 16;

} // namespace

const QString PropMaskSQL = QStringLiteral("PropMask=cast(i.ItmHasProp1 as char(1))+cast(i.ItmHasProp2 as char(1))+"
                                           "cast(i.ItmHasProp3 as char(1))+cast(i.ItmHasProp4 as char(1))+"
                                           "cast(i.ItmHasProp5 as char(1))+cast(i.ItmHasProp6 as char(1))+"
                                           "cast(i.ItmHasProp7 as char(1))+cast(i.ItmHasProp8 as char(1))+"
                                           "cast(i.ItmHasProp9 as char(1))+cast(i.ItmHasProp10 as char(1))");

const QString PickCondition = QStringLiteral("i.ItmNo like '%%'+%0:s+'%%' or i.ItmName like "
                                             "'%%'+%0:s+'%%' or i.ItmSpec like '%%'+%0:s+'%%'");

QString ItemSubsListCreateSQL()
{
    return QStringLiteral("if exists (select * from tempdb.dbo.sysobjects where "
                          "id=object_id('tempdb..#QZ_MRP_GetItemSubsList'))\rdrop table "
                          "#QZ_MRP_GetItemSubsList\rcreate table #QZ_MRP_GetItemSubsList (BomLevel "
                          "tinyint,BomType tinyint null,BomID nvarchar(50) "
                          "null,BomNo nvarchar(80) null,BomEntry int null,BomRowHook varchar(50) "
                          "null,BomItmID nvarchar(50) null,BomSubSeq int "
                          "null,BomSubItmID nvarchar(50) null,BomSubReplace bit null,BomProps "
                          "nvarchar(100) null,BomProp1 nvarchar(80) "
                          "null,BomProp2 nvarchar(80) null,BomProp3 nvarchar(80) null,BomProp4 "
                          "nvarchar(80) null,BomProp5 nvarchar(80) "
                          "null,BomProp6 nvarchar(80) null,BomProp7 nvarchar(80) null,BomProp8 "
                          "nvarchar(80) null,BomProp9 nvarchar(80) "
                          "null,BomProp10 nvarchar(80) null,BomFixed bit null,BomUntID "
                          "nvarchar(50) null,BomUQty decimal(28,8) null,BomQty "
                          "decimal(28,8) null,BomBaseQty decimal(28,8) null,BomBeginDate datetime "
                          "null,BomEndDate datetime null,BomPosNo "
                          "nvarchar(500) null,BomOperSeq nvarchar(50) null,BomOperID nvarchar(50) "
                          "null,BomPosition nvarchar(500) null,BomNote "
                          "nvarchar(500) null)\r");
}

QString ItemSubsListSelectSQL(const QString& AExtraSelect, const QString& AItemSource, const QString& AExtraJoin)
{
    return QStringLiteral("select s.*, ItmMrpType=(case when t.ItmMrpType<>0 then t.ItmMrpType else i.ItmType end), i.ItmID, i.ItmNo, "
                          "i.ItmName, i.ItmSpec,i.ItmTypeName, u.UntName, UntFactor=isnull(u.UntFactor,1), ItmUntName=ub.UntName,") +
        PropMaskSQL + AExtraSelect + QStringLiteral(" from #QZ_MRP_GetItemSubsList as s with(nolock) left join ") + AItemSource +
        QStringLiteral(" on BomItmID=ri.ItmID"
                       " left join QZ_Base_ItemMaster as i with(nolock) on (case when BomLevel>=2 then BomSubItmID else BomItmID end)=i.ItmID"
                       " left join QZ_Base_Unit as u with(nolock) on BomUntID=u.UntID left join QZ_Base_Unit as ub with(nolock) on "
                       "i.ItmUnitID=ub.UntID left join QZ_MRP_ItemSetting as t with(nolock) on i.ItmID=t.ItmID") +
        AExtraJoin +
        QStringLiteral(" order by s.BomType, s.BomNo, s.BomID, s.BomEntry, ri.ItmNo, s.BomLevel, s.BomSubSeq\r"
                       "drop table #QZ_MRP_GetItemSubsList");
}

void AddBomTypeNames(kvui::ImageComboProperties& ATypes, TInfoObjectDef* ADef)
{
    if (!ADef || !InfoApplication)
        return;
    if (PInfoFieldDef field = ADef->GetFieldDef(QStringLiteral("BomType")); field && field->ValueType == vtSysEnum)
        for (int v = 0; v < 10; ++v) {
            const QString name = InfoApplication->GetSystemEnumName(field->ValueSource, v);
            if (!name.isEmpty())
                ATypes.addItem(v, name);
        }
}

IBillPtr NewSubstituteBill(const QVariant& ABomType, const QString& ABomID)
{
    IERPAccess* erp = InfoApplication ? InfoApplication->ERPAccess.get() : nullptr;
    if (!erp)
        throw Exception(NoERPAccess);
    IBillPtr bill = erp->NewBill(BomBillKind);
    IValueListPtr head = bill->Head();
    head->SetValue(QStringLiteral("BomType"), ABomType);
    head->SetValue(QStringLiteral("BomID"), ABomID);
    head->SetValue(QStringLiteral("UserID"), InfoApplication->LoginInfo.UserID);
    return bill;
}

void AddRowWithoutSubstitutes(const IRowListPtr& AList, const QString& AItemID, const QString& ARowHook)
{
    IValueListPtr r = AList->Add();
    r->SetValue(QStringLiteral("ItemID"), AItemID);
    r->SetValue(QStringLiteral("SubItemID"), QString());
    r->SetValue(QStringLiteral("RowHook"), ARowHook);
}

void AddSubstituteRow(const IRowListPtr& AList, const QString& AItemID, const QString& ARowHook, kvui::TreeNode* ASub,
                      const ItemSubsEdit::TSubsColumns& ACols)
{
    using ItemSubsEdit::DateOf;
    using ItemSubsEdit::Num;
    IValueListPtr r = AList->Add();
    r->SetValue(QStringLiteral("ItemID"), AItemID);
    r->SetValue(QStringLiteral("SubItemID"), ASub->value(ACols.ItmID).toString());
    r->SetValue(QStringLiteral("SubItemProps"), ASub->value(ACols.Props).toString());
    for (int i = 0; i < 10; ++i)
        r->SetValue(QStringLiteral("SubItemProp%1").arg(i + 1), ASub->value(ACols.Prop[i]).toString());
    r->SetValue(QStringLiteral("RowHook"), ARowHook);
    r->SetValue(QStringLiteral("Qty"), Num(ASub->value(ACols.BaseQty)));
    r->SetValue(QStringLiteral("RQty"), Num(ASub->value(ACols.CurrQty)));
    r->SetValue(QStringLiteral("BeginDate"), DateOf(ASub->value(ACols.BeginDate)));
    r->SetValue(QStringLiteral("EndDate"), DateOf(ASub->value(ACols.EndDate)));
    r->SetValue(QStringLiteral("Note"), ASub->value(ACols.Note).toString());
}

void SaveSubstituteBill(const IBillPtr& ABill)
{
    QString error;
    if (!ABill->Save(error))
        throw Exception(error);
}

bool RunSubstituteSave(const std::function<void()>& ASave)
{
    try {
        ASave();
        return true;
    } catch (const Exception& e) {
        ShowError(FormatMessage(SaveFailed, {e.Message}));
    } catch (const std::exception& e) {
        ShowError(FormatMessage(SaveFailed, {QString::fromUtf8(e.what())}));
    }
    return false;
}

} // namespace ItemSubsRows
