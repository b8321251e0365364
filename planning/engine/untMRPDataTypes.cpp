#include "untMRPDataTypes.h"

namespace untMRPDataTypes {

QString SReleaseMissingBOM() { return QStringLiteral("所选方案存在%d条非采购性质的MRP供应计划缺少BOM, 这意味着MRP数据可能不完整, 确定发布?"); }
QString SSchemeStateChanged() { return QStringLiteral("计划方案[%s]最新状态已被改变, 不能执行本操作!"); }
QString SCopyingMainDemand() { return QStringLiteral("正在从计划方案[%s]复制主需求数据至[%s], 请稍候..."); }
QString SCopyingScheme() { return QStringLiteral("正在从计划方案[%s]复制全部数据至[%s], 请稍候..."); }
QString SMRPRunning() { return QStringLiteral("正在进行MRP运算, 按[Esc]键可以取消..."); }
QString SObjectAccessRestricted() { return QStringLiteral("访问信息对象\"%s\"受到限制!"); }
QString SGatheringData() { return QStringLiteral("获取物料最新需求及可供应数据..."); }
QString SLowLevelCodes() { return QStringLiteral("分析物料之间的依赖关系, 确定运算顺序..."); }
QString SPlanningLevel() { return QStringLiteral("运算第%d层（共%d层）物料需求计划..."); }
QString SLoadingLevel() { return QStringLiteral("分析物料需求及可供应数据..."); }
QString SAllotting() { return QStringLiteral("分配即时库存及预计入库量..."); }
QString SWritingAllots() { return QStringLiteral("生成物料供需分配记录..."); }
QString SPlannedSupplies() { return QStringLiteral("生成MRP计划供应单据..."); }
QString SExplodingBOM() { return QStringLiteral("展开BOM, 准备下层物料毛需求..."); }
QString SBuildingBalance() { return QStringLiteral("生成物料供需平衡表..."); }
QString SKitQuantities() { return QStringLiteral("计算各层需求的齐套数量..."); }
QString SCheckingResult() { return QStringLiteral("检查需求运算结果数据..."); }
QString SSavingResult() { return QStringLiteral("保存物料需求运算结果数据..."); }
QString SMissingBOM() { return QStringLiteral("发现缺少BOM的物料: %s (%s%s)%s"); }
QString SRunAborted() { return QStringLiteral("MRP运算过程被中止（原因: %s）, 本次运算结果已取消!"); }
QString SDefaultCondition() { return QStringLiteral("(默认条件)"); }
QString SStocksNode() { return QStringLiteral("参与仓库"); }
QString SAllItems() { return QStringLiteral("全部物料考虑"); }
QString SPeriodsEmpty() { return QStringLiteral("展望期间不能为空, 请设置!"); }
QString SNoPeriodsConfirm() { return QStringLiteral("您没有设置任何展望期间, 确认?"); }
QString SPeriodsGap() { return QStringLiteral("展望期间需要连续出现, 而日期%s至%s间未设置展望期, 请修正!"); }
QString SCalendarLoadFailed() { return QStringLiteral("工厂日历装载失败!"); }
QString SBOMCycle() { return QStringLiteral("以下物料涉及BOM循环嵌套, 必须修正后才能继续!"); }
QString SFetchingMainDemand() { return QStringLiteral("正在获取主需求数据, 请稍候..."); }
QString SPeriodDelay() { return QStringLiteral("前期"); }
QString SPeriodExceed() { return QStringLiteral("后期"); }
QString SReleased() { return QStringLiteral("已发布"); }
QString SReleaseWithdrawn() { return QStringLiteral("已取消发布"); }
QString SOutputStarted() { return QStringLiteral("已投放"); }
QString SOutputClosed() { return QStringLiteral("已关闭投放"); }

QString PlanStateText(int state)
{
    switch (state) {
    case 0: return QStringLiteral("待获取主需求数据");
    case 1: return QStringLiteral("方案参数有变, 需重取主需求");
    case 2: return QStringLiteral("主需求就绪, 可以运算MRP");
    case 3: return QStringLiteral("主需求有变, 需重新运算MRP");
    case 4: return QStringLiteral("方案参数有变, 需重新运算MRP");
    case 5: return QStringLiteral("MRP结果有变, 需重新运算MRP");
    case 6: return QStringLiteral("MRP运算完成");
    case 7: return QStringLiteral("计划方案已取消发布");
    case 8: return QStringLiteral("计划方案已发布");
    case 9: return QStringLiteral("计划方案已有投放");
    case 10: return QStringLiteral("计划方案已关闭投放");
    default: return QString();
    }
}

QString SBadBomBaseQty() { return QStringLiteral("物料[%s]的BOM[%s]存在基础数量为0的子件行, 无法计算下层需求, 请修正BOM后重新运算!"); }
QString SBadBomYield() { return QStringLiteral("物料[%s]的BOM[%s]成品率为0或未设置, 无法计算下层需求, 请修正BOM后重新运算!"); }
QString SBadBomLossRate() { return QStringLiteral("物料[%s]的BOM[%s]存在损耗率不小于100的子件行, 无法计算下层需求, 请修正BOM后重新运算!"); }
QString SBadSubstituteRatio() { return QStringLiteral("物料[%s]的替代料[%s]替代比例为0, 无法计算替代数量, 请修正替代关系后重新运算!"); }

} // namespace untMRPDataTypes
