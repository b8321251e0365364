// The demo's definitions of the planning views against the columns their
// frames build: every column a user can be offered (bound to a field, with a
// caption, governed by the view scheme) has a field definition, or the scheme
// can never show it.
#include "BandedView.h"
#include "DemoPlanning.h"
#include "clsInfoView.h"
#include "clsTreeView.h"
#include "famBOMExpand.h"
#include "famDeduction.h"
#include "famInvAge.h"
#include "famItemSetting.h"
#include "famItemSubs.h"
#include "famMRPAllot.h"
#include "famMRPBalance.h"
#include "famMRPBills.h"
#include "famMRPMain.h"
#include "famMRPOutput.h"
#include "famMRPReplaces.h"
#include "famMRPSupplies.h"
#include "untApplication.h"
#include "untDllCommon.h"

#include <functional>

#include <QStringList>

namespace {

// The field a column is bound to: a grid column names it, a tree list keeps it
// in the view's own list.
QString boundField(TCustomInfoView* view, kvui::Column* column)
{
    if (auto* tree = dynamic_cast<TInfoTreeView*>(view))
        return tree->GetColumnFieldName(column);
    return column->fieldName();
}

using ViewMaker = std::function<IInfoViewPtr(TInfoObjectDef*)>;

template <typename Frame>
ViewMaker maker()
{
    return [](TInfoObjectDef* def) -> IInfoViewPtr { return CreateInfoView<Frame>(nullptr, def); };
}

QStringList undefinedColumns(const QString& objectID, const ViewMaker& make)
{
    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(objectID);
    if (!def)
        return {QStringLiteral("<no definition>")};
    IInfoViewPtr view = make(def);
    auto* custom = dynamic_cast<TCustomInfoView*>(view.get());
    if (!custom)
        return {QStringLiteral("<no view>")};
    auto* grid = qobject_cast<kvui::BandedView*>(custom->ViewComponent);
    if (!grid)
        return {QStringLiteral("<no grid>")};
    QStringList missing;
    for (kvui::Column* column : grid->columns()) {
        const QString field = boundField(custom, column);
        if (column->tag() > 0 || field.isEmpty() || column->caption().isEmpty())
            continue;
        if (!def->GetFieldDef(field))
            missing << field + u'(' + column->caption() + u')';
    }
    return missing;
}

TEST(PlanningViewDefinitions, EveryColumnAFrameBuildsHasAField)
{
    kvtest::demoPlanningLogin();
    // the planning library's views, made as the library makes them
    const std::pair<const char*, ViewMaker> views[] = {
        {"QZ_MRP.MRP.Main", maker<TMRPMainFrame>()},         {"QZ_MRP.MRP.Supplies", maker<TMRPSuppliesFrame>()},
        {"QZ_MRP.MRP.Replaces", maker<TMRPReplacesFrame>()}, {"QZ_MRP.MRP.Allot", maker<TMRPAllotFrame>()},
        {"QZ_MRP.MRP.Balance", maker<TMRPBalanceFrame>()},   {"QZ_MRP.MRP.Bills", maker<TMRPBillsFrame>()},
        {"QZ_MRP.MRPOutput", maker<TMRPOutputFrame>()},      {"QZ_MRP.Deduct", maker<TMRPDeductFrame>()},
        {"QZ_MRP.Items", maker<TItemSettingFrame>()},        {"QZ_MRP.ItemSubs", maker<TItemSubsFrame>()},
        {"QZ_MRP.BOMExpand", maker<TBOMExpandFrame>()},      {"QZ_MRP.AgeAnalyze", maker<TInvAgeFrame>()},
    };
    for (const auto& [id, make] : views)
        EXPECT_EQ(undefinedColumns(QString::fromLatin1(id), make).join(u' ').toStdString(), "") << id;
}

} // namespace
