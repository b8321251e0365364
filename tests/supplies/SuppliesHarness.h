#pragma once
// What the workbench's supplies tab does with the view, until the workbench
// itself lands: the view in a window of its own, bound to one plan scheme,
// with the owner's callbacks (state check, state refresh, MRP run) counted.
#include "famMRPSupplies.h"
#include "untMRP.h"

#include <QVBoxLayout>
#include <QWidget>
#include <memory>

namespace suppliestest {

class SuppliesHarness {
public:
    explicit SuppliesHarness(TPlanScheme* AScheme)
        : scheme(AScheme)
    {
        window.resize(1380, 860);
        auto* box = new QVBoxLayout(&window);
        box->setContentsMargins(0, 0, 0, 0);
        def = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.MRP.Supplies"));
        view = CreateInfoView<TMRPSuppliesFrame>(nullptr, def);
        view->SetParentControl(&window);
        view->SetViewCaption(QStringLiteral("MRP供应计划"));
        view->InitializeView(QString(), nullptr);
        TPlanSchemeUIEvents events;
        events.CheckState = [this](bool) {
            ++checks;
            return scheme->CheckState();
        };
        events.RefreshState = [this](QObject*) {
            ++refreshes;
            scheme->LoadState();
            view->RefreshPlanState();
        };
        events.RunMRP = [this](QObject*) { ++mrpRuns; };
        view->SetPlanScheme(AScheme, GlobalADOConnection, events);
        // A first refresh of a workbench tab has its view scheme parsed.
        InfoApplication->ParseViewSchemeSQL(def, view->GetViewScheme(), GlobalADOQuery);
    }
    ~SuppliesHarness() { view.reset(); }

    // The command number of an action of the definition, -1 when none.
    int action(const QString& AID) const
    {
        for (int i = 0; i < int(def->Actions.size()); ++i)
            if (def->Actions[size_t(i)].ID.compare(AID, Qt::CaseInsensitive) == 0)
                return Commands::FirstAction + i;
        return -1;
    }
    TCommandState state(int ACommand) const
    {
        TCommandState s;
        view->QueryCommandState(ACommand, s);
        return s;
    }
    // The record of a supply, -1 when the view does not show it.
    int recordOf(int ASupIID) const
    {
        for (int r = 0; r < view->SupplyRowCount(); ++r)
            if (view->SupplyValue(r, QStringLiteral("SupIID")).toInt() == ASupIID)
                return r;
        return -1;
    }
    // Edits a cell as the user does: the editing check, then the value.
    bool edit(int ASupIID, kvui::Column* AColumn, const QVariant& AValue)
    {
        kvui::BandedGrid* g = view->grdSupplies;
        const int record = recordOf(ASupIID);
        if (record < 0 || !g->setFocusedRecordIndex(record))
            return false;
        g->setFocusedColumn(AColumn);
        if (!g->startEdit(AColumn))
            return false;
        auto* props = AColumn->effectiveEditor(g->row(g->focusedRow())).get();
        props->setEditorValue(g->activeEditor(), AValue);
        if (auto* combo = dynamic_cast<kvui::ImageComboProperties*>(props); combo && combo->indexOfValue(AValue) < 0) {
            g->cancelEdit();
            return false;
        }
        if (!dynamic_cast<kvui::ImageComboProperties*>(props)) {
            if (auto* line = qobject_cast<QLineEdit*>(g->activeEditor()))
                line->setText(AValue.toString());
        }
        return g->postEdit();
    }

    QWidget window;
    TPlanScheme* scheme;
    TInfoObjectDef* def = nullptr;
    std::shared_ptr<TMRPSuppliesFrame> view;
    int checks = 0;
    int refreshes = 0;
    int mrpRuns = 0;
};

} // namespace suppliestest
