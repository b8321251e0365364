// TBOMExpandFrame's loading: one level of the bill unfolded from the stand-in
// procedures into temporary tables and read into rows (materials, substitutes,
// the rows' own bills), and the usages and trial usages worked out from the
// top down with loss and the parents' yield.
#include "famBOMExpand.h"
#include "famBOMExpandPrivate.h"

#include "UDBComm.h"
#include "untDllCommon.h"
#include "untItemSubsEdit.h"
#include "untItemSubsRows.h"
#include "untLossRate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRegularExpression>

using namespace ItemSubsEdit;
using namespace ItemSubsRows;

namespace {

const QString CRLF = QStringLiteral("\r\n");
const QString GlobalSubRole = QStringLiteral("全局替代料");
const QString ExistsTest = QStringLiteral("if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..%1'))\rdrop table %1\r");
const QString PropColumnsSQL = QStringLiteral("BomProp1 nvarchar(80) null,BomProp2 nvarchar(80) null,BomProp3 nvarchar(80) null,"
                                              "BomProp4 nvarchar(80) null,BomProp5 nvarchar(80) null,BomProp6 nvarchar(80) null,"
                                              "BomProp7 nvarchar(80) null,BomProp8 nvarchar(80) null,BomProp9 nvarchar(80) null,"
                                              "BomProp10 nvarchar(80) null");

bool isFixed(const QVariant& v)
{
    return kvui::CheckBoxProperties::isChecked(v);
}

QString tempTable(const QString& AName, const QString& AColumns, const QString& AIndexColumns)
{
    return ExistsTest.arg(AName) + QStringLiteral("create table %1 (%2)\rcreate index %1Idx on %1 (%3)\r").arg(AName, AColumns, AIndexColumns);
}

QString refGetBomSQL()
{
    return tempTable(QStringLiteral("#QZ_MRP_RefGetBOM"), QStringLiteral("PrdID nvarchar(50) null,BomType tinyint null,BomID nvarchar(50) null"),
                     QStringLiteral("PrdID, BomType, BomID"));
}

QString bomHeadSQL()
{
    return tempTable(QStringLiteral("#QZ_MRP_BOMHead"),
                     QStringLiteral("BomType tinyint null,BomID nvarchar(50) null,BomNo nvarchar(80) null,BomItmID nvarchar(50) not null,"
                                    "BomProps nvarchar(100) not null default(''),") +
                         PropColumnsSQL +
                         QStringLiteral(",BomQty decimal(28,8) null,BomUntID nvarchar(50) null,BomUQty decimal(28,8) null,"
                                        "BomOkRate decimal(28,8) null,BomSkip bit null,BomNote nvarchar(500) null"),
                     QStringLiteral("BomType, BomID"));
}

QString bomSQL()
{
    return tempTable(QStringLiteral("#QZ_MRP_BOM"),
                     QStringLiteral("BomType tinyint null,BomID nvarchar(50) null,BomNo nvarchar(80) null,BomPrdID nvarchar(50) null,"
                                    "BomPrdOkRate decimal(28,8) null,BomEntry int null,BomItmID nvarchar(50) not null,"
                                    "BomProps nvarchar(100) not null default(''),") +
                         PropColumnsSQL +
                         QStringLiteral(",BomFixed bit null,BomQty decimal(28,8) null,BomBaseQty decimal(28,8) null,"
                                        "BomLossRate decimal(28,8) null,BomPutLossRate varchar(500) null,BomUntID nvarchar(50) null,"
                                        "BomUQty decimal(28,8) null,BomUBaseQty decimal(28,8) null,BomPercent decimal(28,8) null,"
                                        "BomRowHook varchar(50) null,BomBeginDate datetime null,BomEndDate datetime null,"
                                        "BomOffsetDay int null,BomPosition nvarchar(500) null,BomPosNo nvarchar(500) null,"
                                        "BomStkID nvarchar(50) null,BomOperSeq nvarchar(50) null,BomOperID nvarchar(50) null,"
                                        "BomDrawType nvarchar(80) null,BomRole tinyint null,BomRoleName nvarchar(80) null,"
                                        "BomItmBomType tinyint null,BomItmBomID nvarchar(50) null,BomItmBomNo nvarchar(80) null,"
                                        "BomItmBomOkRate decimal(28,8) null,BomItmBomLocked bit null,BomItmBomSkip tinyint null,"
                                        "BomNote nvarchar(500) null,BomNote1 nvarchar(500) null,BomNote2 nvarchar(500) null,"
                                        "BomNote3 nvarchar(500) null"),
                     QStringLiteral("BomType, BomID"));
}

QString bomRefItemsSQL()
{
    return tempTable(QStringLiteral("#QZ_MRP_BomRefItems"), QStringLiteral("BomItmID nvarchar(50) null,BomRowHook varchar(50) null"),
                     QStringLiteral("BomItmID, BomRowHook"));
}

QString itemSubsSQL()
{
    return tempTable(QStringLiteral("#QZ_MRP_ItemSubs"),
                     QStringLiteral("BomRowHook varchar(50) null,BomProps nvarchar(100) not null default(''),") + PropColumnsSQL +
                         QStringLiteral(",SubGlobal bit null,SubPriority int null,SubRItmID nvarchar(50) null,SubQty decimal(18,8) null,"
                                        "SubRQty decimal(18,8) null,SubReplace bit null,SubBeginDate datetime null,"
                                        "SubEndDate datetime null,SubNote nvarchar(500) null"),
                     QStringLiteral("SubRItmID"));
}

} // namespace

QString MasterValueLiteral(const QString& AValue, bool& AOk)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)$"));
    static const QRegularExpression text(QStringLiteral("^[Nn]?'([^']|'')*'$"));
    const QString v = AValue.trimmed();
    AOk = v.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0 || number.match(v).hasMatch() || text.match(v).hasMatch();
    return AOk ? v : QString();
}

// ---- loading --------------------------------------------------------------

void TBOMExpandFrame::fillItemProps(kvui::TreeNode* ANode, TCustomADODataSet* AData)
{
    for (int i = 0; i < 10; ++i)
        ANode->setValue(colBomProp[i], GetFieldValue(AData, QStringLiteral("BomProp%1").arg(i + 1)));
    ANode->setValue(colBomProps, GetFieldValue(AData, QStringLiteral("BomProps")));
    for (int i = FStaticColumnCount; i < FColumnFieldNames.size(); ++i)
        ANode->setValue(FColumns[i], GetFieldValue(AData, FColumnFieldNames[i]));
}

void TBOMExpandFrame::LoadBOMLevel(kvui::TreeNode* ANode)
{
    WaitCursor wait;
    UpdateBracket bracket(grdExpand);
    QString itemSelect, itemJoin;
    GetItemPropSelectSQL(itemSelect, itemJoin);
    const auto v = [](const char* field) { return GetFieldValue(GlobalADOQuery, QLatin1String(field)); };

    if (!ANode) {
        grdExpand->clear();
        FBomNoEditNode = nullptr;
        bool okItem = false, okType = false, okID = false;
        const QString item = MasterValueLiteral(ReadDelimitedValue(MasterValues, QStringLiteral("BomItmID"), CRLF), okItem);
        const QString type = MasterValueLiteral(ReadDelimitedValue(MasterValues, QStringLiteral("BomType"), CRLF), okType);
        const QString id = MasterValueLiteral(ReadDelimitedValue(MasterValues, QStringLiteral("BomID"), CRLF), okID);
        // Values that are no SQL literals never reach the statement.
        if (!okItem || !okType || !okID || SameText(item, QStringLiteral("null")))
            return;
        const QString sql = refGetBomSQL() + bomHeadSQL() +
            QStringLiteral("insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values (%1, %2, %3)\r").arg(item, type, id) +
            QStringLiteral("exec QZ_MRP_GetBOMHead\r"
                           "select s.*, ItmMrpType=(case when t.ItmMrpType<>0 then t.ItmMrpType else i.ItmType end),"
                           "i.ItmNo, i.ItmName, i.ItmSpec, i.ItmTypeName, u.UntName, u.UntFactor, ItmUntName=ub.UntName") +
            itemSelect +
            QStringLiteral(" from #QZ_MRP_BOMHead as s with(nolock) left join QZ_Base_ItemMaster as i with(nolock) on s.BomItmID=i.ItmID"
                           " left join QZ_Base_Unit as u with(nolock) on s.BomUntID=u.UntID left join QZ_Base_Unit as ub with(nolock) "
                           "on i.ItmUnitID=ub.UntID left join QZ_MRP_ItemSetting as t with(nolock) on s.BomItmID=t.ItmID") +
            itemJoin + QStringLiteral("\rdrop table #QZ_MRP_BOMHead\rdrop table #QZ_MRP_RefGetBOM");
        if (!ExecSQLText(GlobalADOQuery, sql, true, false, true))
            return;
        if (GlobalADOQuery->Eof()) {
            GlobalADOQuery->Close();
            return;
        }
        kvui::TreeNode* root = grdExpand->addNode();
        root->setValue(colBomItmID, v("BomItmID"));
        root->setValue(colBomItmNo, v("ItmNo"));
        root->setValue(colBomItmName, v("ItmName"));
        root->setValue(colBomItmSpec, v("ItmSpec"));
        root->setValue(colBomItmTypeName, v("ItmTypeName"));
        root->setValue(colBomItmMrpType, v("ItmMrpType").isNull() ? QVariant() : QVariant(v("ItmMrpType").toInt()));
        root->setValue(colBomPercent, 100.0);
        root->setValue(colBomUnit, v("UntName"));
        root->setValue(colBomUnitFactor, v("UntFactor").isNull() ? 1.0 : Num(v("UntFactor")));
        for (kvui::Column* c : {colBomUCurrQty, colBomUFullQty, colBomUTestQty})
            root->setValue(c, Num(v("BomUQty")));
        root->setValue(colBomUBaseQty, 1.0);
        root->setValue(colBomBaseQty, 1.0);
        root->setValue(colBomNote, v("BomNote"));
        root->setValue(colBomBaseUnit, v("ItmUntName"));
        for (kvui::Column* c : {colBomCurrQty, colBomFullQty, colBomTestQty})
            root->setValue(c, Num(v("BomQty")));
        root->setValue(colBomItmBomType, v("BomType").toInt());
        root->setValue(colBomItmBomID, v("BomID"));
        root->setValue(colBomItmBomNo, v("BomNo"));
        root->setValue(colBomItmOkRate, v("BomOkRate"));
        fillItemProps(root, GlobalADOQuery);
        GlobalADOQuery->Close();
        root->setImageIndex(bkBom);
        setLevelNotLoaded(root, true);
        root->setHasChildren(true);
        ANode = root;
    }

    // The next level of ANode.
    const bool withSubs = chkSubItems->isChecked();
    const QString fields = QStringLiteral(
        "ItmNo|ItmMrpType|BomUQty|BomUBaseQty|BomQty|BomBaseQty|BomPercent|BomLossRate|BomPutLossRate|BomItmBomOkRate|BomBeginDate|"
        "BomEndDate|BomNote|BomProp1|BomProp2|BomProp3|BomProp4|BomProp5|BomProp6|BomProp7|BomProp8|BomProp9|BomProp10|"
        "BomEntry|ItmName|ItmSpec|ItmTypeName|BomRoleName|BomFixed|UntName|ItmUntName|BomItmBomNo");
    QString selectList = BuildFieldSelectList(this, fields).trimmed();
    if (selectList.startsWith(u','))
        selectList = selectList.mid(1).trimmed();
    selectList += QStringLiteral(", s.BomItmID, s.BomProps, s.BomRowHook, s.BomItmBomType, s.BomItmBomID, u.UntFactor, "
                                 "ItmBomCount=(case when s.BomItmBomLocked=1 then 1 else m.ItmBomCount end)");
    QString mainFilter;
    const QString from = InfoApplication ? InfoApplication->GetInfoObjectDataSourceSQL(ObjectDef, selectList, mainFilter) : QString();
    const QString sql = refGetBomSQL() + bomSQL() +
        QStringLiteral("insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values (%1, %2, %3)\r")
            .arg(QuotedStr(ANode->value(colBomItmID).toString()))
            .arg(ANode->value(colBomItmBomType).toInt())
            .arg(QuotedStr(ANode->value(colBomItmBomID).toString())) +
        QStringLiteral("exec QZ_MRP_GetBOM @ForceOneLevel=%1\rexec QZ_MRP_SetBOMForBomItem\r").arg(withSubs ? 0 : 1) +
        QStringLiteral("select ") + selectList + QStringLiteral(" from ") + from +
        QStringLiteral(" left join (select s.BomItmID, ItmBomCount=count(*) from (select distinct BomItmID from #QZ_MRP_BOM with(nolock)) as s "
                       "join QZ_MRP_ItemBOMs as m with(nolock) on s.BomItmID=m.BomItmID where BomStandalone=1 group by s.BomItmID) as m "
                       "on s.BomItmID=m.BomItmID order by s.BomEntry\rdrop table #QZ_MRP_RefGetBOM");
    int rows = 0;
    if (ExecSQLText(GlobalADOQuery, sql, true, false, true)) {
        const double parentFactor = Num(ANode->value(colBomUnitFactor)) == 0 ? 1 : Num(ANode->value(colBomUnitFactor));
        for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
            ++rows;
            kvui::TreeNode* n = grdExpand->addNode(ANode);
            n->setValue(colBomEntry, v("BomEntry").toInt());
            n->setValue(colBomItmID, v("BomItmID"));
            n->setValue(colBomItmNo, v("ItmNo"));
            n->setValue(colBomItmName, v("ItmName"));
            n->setValue(colBomItmSpec, v("ItmSpec"));
            n->setValue(colBomItmTypeName, v("ItmTypeName"));
            const int mrpType = v("ItmMrpType").toInt();
            n->setValue(colBomItmMrpType, v("ItmMrpType").isNull() ? QVariant() : QVariant(mrpType));
            n->setValue(colBomRole, v("BomRoleName"));
            n->setValue(colBomPercent, Num(v("BomPercent")));
            n->setValue(colBomBaseUnit, v("ItmUntName"));
            n->setValue(colBomCurrQty, Num(v("BomQty")));
            n->setValue(colBomBaseQty, Num(v("BomBaseQty")));
            n->setValue(colBomUnit, v("UntName"));
            n->setValue(colBomUnitFactor, v("UntFactor").isNull() ? 1.0 : Num(v("UntFactor")));
            n->setValue(colBomFixed, v("BomFixed"));
            n->setValue(colBomUCurrQty, Num(v("BomUQty")));
            n->setValue(colBomUBaseQty, Round8(Num(v("BomBaseQty")) / parentFactor));
            n->setValue(colBomLossRate, Num(v("BomLossRate")));
            n->setValue(colBomPutLossRate, v("BomPutLossRate"));
            n->setValue(colBomBeginDate, v("BomBeginDate"));
            n->setValue(colBomEndDate, v("BomEndDate"));
            n->setValue(colBomNote, v("BomNote"));
            n->setValue(colBomRowHook, v("BomRowHook"));
            fillItemProps(n, GlobalADOQuery);
            if (mrpType >= 2 && mrpType <= 4) {
                n->setValue(colBomItmBomType, v("BomItmBomType").toInt());
                n->setValue(colBomItmBomID, v("BomItmBomID"));
                n->setValue(colBomItmBomNo, v("BomItmBomNo"));
                n->setValue(colBomItmOkRate, v("BomItmBomOkRate"));
            } else {
                n->setValue(colBomItmBomType, 0);
                n->setValue(colBomItmBomID, QString());
                n->setValue(colBomItmBomNo, QString());
                n->setValue(colBomItmOkRate, QVariant());
            }
            const int bomCount = v("ItmBomCount").toInt();
            const bool unfolds = !n->value(colBomItmBomID).toString().isEmpty();
            n->setHasChildren(unfolds);
            setLevelNotLoaded(n, unfolds);
            if (unfolds)
                n->setImageIndex(bomCount > 1 && v("BomItmBomType").toInt() == 0 ? bkBomChoice : bkBom);
            else
                n->setImageIndex(bomCount == 0 ? bkMaterial : bkBomUnnamed);
        }
        GlobalADOQuery->Close();
    }

    if (withSubs && rows > 0) {
        const QString subsSql = bomRefItemsSQL() + itemSubsSQL() +
            QStringLiteral("insert #QZ_MRP_BomRefItems (BomItmID, BomRowHook) select BomItmID, BomRowHook from #QZ_MRP_BOM with(nolock)\r") +
            QStringLiteral("exec QZ_MRP_GetItemSubstitutes %1, %2\r")
                .arg(ANode->value(colBomItmBomType).toInt())
                .arg(QuotedStr(ANode->value(colBomItmBomID).toString())) +
            QStringLiteral("select s.*, ItmMrpType=(case when t.ItmMrpType<>0 then t.ItmMrpType else i.ItmType end),"
                           "i.ItmNo, i.ItmName, i.ItmSpec, i.ItmTypeName, u.UntName, u.UntFactor, ItmUntName=ub.UntName,") +
            PropMaskSQL + itemSelect +
            QStringLiteral(" from #QZ_MRP_ItemSubs as s with(nolock) left join QZ_Base_ItemMaster as i with(nolock) on s.SubRItmID=i.ItmID"
                           " left join QZ_Base_Unit as u with(nolock) on i.ItmInvUnitID=u.UntID left join QZ_Base_Unit as ub with(nolock) "
                           "on i.ItmUnitID=ub.UntID left join QZ_MRP_ItemSetting as t with(nolock) on s.SubRItmID=t.ItmID") +
            itemJoin +
            QStringLiteral(" order by s.BomRowHook, s.SubGlobal, s.SubPriority\rdrop table #QZ_MRP_BomRefItems\r"
                           "drop table #QZ_MRP_ItemSubs\rdrop table #QZ_MRP_BOM");
        if (ExecSQLText(GlobalADOQuery, subsSql, true, false, true)) {
            QString hook;
            bool first = true;
            kvui::TreeNode* row = nullptr;
            int lastLocal = -1;
            for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
                const QString rowHook = v("BomRowHook").toString();
                if (first || rowHook != hook) {
                    first = false;
                    hook = rowHook;
                    row = nullptr;
                    lastLocal = -1;
                    for (kvui::TreeNode* c : ANode->children())
                        if (Kind(c) >= bkMaterial && SameText(c->value(colBomRowHook).toString(), rowHook)) {
                            row = c;
                            break;
                        }
                }
                if (!row)
                    continue;
                kvui::TreeNode* s = grdExpand->addNode(row);
                const int position = s->index();
                if (v("SubGlobal").toBool()) {
                    s->setValue(colBomRole, GlobalSubRole);
                    s->setValue(colBomEntry, GlobalSubEntryBase + (position - lastLocal - 1));
                    s->setImageIndex(bkGlobalSub);
                } else {
                    lastLocal = position;
                    s->setValue(colBomRole, LocalSubRole);
                    s->setValue(colBomEntry, LocalSubEntryBase + position);
                    s->setImageIndex(bkLocalSub);
                }
                s->setValue(colBomItmID, v("SubRItmID"));
                s->setValue(colBomItmNo, v("ItmNo"));
                s->setValue(colBomItmName, v("ItmName"));
                s->setValue(colBomItmSpec, v("ItmSpec"));
                s->setValue(colBomItmTypeName, v("ItmTypeName"));
                s->setValue(colBomItmMrpType, v("ItmMrpType").isNull() ? QVariant() : QVariant(v("ItmMrpType").toInt()));
                s->setValue(colBomPercent, 100.0);
                s->setValue(colBomBaseUnit, v("ItmUntName"));
                s->setValue(colBomBaseQty, Num(v("SubQty")));
                s->setValue(colBomCurrQty, Num(v("SubRQty")));
                s->setValue(colBomUnit, v("UntName"));
                const double factor = v("UntFactor").isNull() || Num(v("UntFactor")) == 0 ? 1.0 : Num(v("UntFactor"));
                s->setValue(colBomUnitFactor, factor);
                const double rowFactor = Num(row->value(colBomUnitFactor)) == 0 ? 1 : Num(row->value(colBomUnitFactor));
                s->setValue(colBomUBaseQty, Round8(Num(v("SubQty")) / rowFactor));
                s->setValue(colBomUCurrQty, Round8(Num(v("SubRQty")) / factor));
                s->setValue(colBomBeginDate, v("SubBeginDate"));
                s->setValue(colBomEndDate, v("SubEndDate"));
                s->setValue(colBomNote, v("SubNote"));
                s->setValue(colBomPropMask, v("PropMask"));
                s->setValue(colBomLossRate, 0.0);
                fillItemProps(s, GlobalADOQuery);
            }
            GlobalADOQuery->Close();
        }
    }

    ANode->setHasChildren(ANode->childCount() > 0);
    setLevelNotLoaded(ANode, false);
    if (ANode->childCount() > 0) {
        RecalcQtys(ANode, false);
        if (ANode != FExpanding)
            ANode->setExpanded(true);
    }
}

// ---- quantities -----------------------------------------------------------

void TBOMExpandFrame::CalcNodeQtys(kvui::TreeNode* ANode)
{
    kvui::TreeNode* p = ANode ? ANode->parent() : nullptr;
    if (!p)
        return;
    const bool fixed = isFixed(ANode->value(colBomFixed));
    const double curr = Num(ANode->value(colBomCurrQty));
    const double percent = Num(ANode->value(colBomPercent));
    const double base = Num(ANode->value(colBomBaseQty));
    const double factor = Num(ANode->value(colBomUnitFactor));
    if (base == 0 || factor == 0) {
        // A usage without a base or unit factor has no defined result.
        for (kvui::Column* c : {colBomFullQty, colBomUFullQty, colBomTestQty, colBomUTestQty})
            ANode->setValue(c, QVariant());
        return;
    }
    const double s = fixed ? 1 : Num(p->value(colBomFullQty));
    ANode->setValue(colBomFullQty, Round8(s * curr * percent / 100 / base));
    ANode->setValue(colBomUFullQty, Round8(s * curr * percent / 100 / base / factor));

    const int mode = cboLossRate->currentIndex();
    double yield = 100;
    if (mode != 0) {
        yield = Num(p->value(colBomItmOkRate));
        if (!(yield > 0))
            yield = 100;
    }
    const double t = fixed ? 1 : Num(p->value(colBomTestQty)) * 100 / yield;
    double q = t * curr * percent / 100 / base;
    if (!FBomQtyUseStdQty)
        q = Round8(q / factor);
    const double rate = Num(ANode->value(colBomLossRate));
    if (mode == 1)
        q = q + CalcStepLossRateQty(q, rate);
    else if (mode == 2)
        q = q + ParseLossRateSteps(ANode->value(colBomPutLossRate).toString(), q, rate);
    if (FBomQtyUseStdQty) {
        ANode->setValue(colBomTestQty, Round8(q));
        ANode->setValue(colBomUTestQty, Round8(q / factor));
    } else {
        ANode->setValue(colBomUTestQty, Round8(q));
        ANode->setValue(colBomTestQty, Round8(q * factor));
    }
}

void TBOMExpandFrame::RecalcQtys(kvui::TreeNode* ANode, bool AWithSelf)
{
    if (!ANode)
        return;
    UpdateBracket bracket(grdExpand);
    if (AWithSelf)
        CalcNodeQtys(ANode);
    for (kvui::TreeNode* child : ANode->children()) {
        CalcNodeQtys(child);
        if (child->childCount() > 0)
            RecalcQtys(child, false);
    }
}
