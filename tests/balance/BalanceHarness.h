#pragma once
// What the workbench's balance tab does with the two views, until the
// workbench itself lands: the balance view above, its bills view below as the
// detail of the relation "Bills", both bound to one plan scheme; a change of
// the focused item line hands the bills view the line's values and refreshes
// it, as the host's master-detail view does.
#include "clsMasterDetailView.h"
#include "famMRPBalance.h"
#include "famMRPBills.h"
#include "untMRP.h"

#include <QSplitter>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

namespace balancetest {

class BalanceHarness {
public:
    explicit BalanceHarness(TPlanScheme* AScheme)
    {
        window.resize(1380, 860);
        auto* box = new QVBoxLayout(&window);
        box->setContentsMargins(0, 0, 0, 0);
        auto* split = new QSplitter(Qt::Vertical, &window);
        box->addWidget(split);
        auto* top = new QWidget(split);
        top->setLayout(new QVBoxLayout);
        top->layout()->setContentsMargins(0, 0, 0, 0);
        auto* bottom = new QWidget(split);
        bottom->setLayout(new QVBoxLayout);
        bottom->layout()->setContentsMargins(0, 0, 0, 0);
        split->setSizes({480, 380});

        balanceDef = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.MRP.Balance"));
        billsDef = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.MRP.Bills"));
        balance = CreateInfoView<TMRPBalanceFrame>(nullptr, balanceDef);
        bills = CreateInfoView<TMRPBillsFrame>(nullptr, billsDef);
        balance->SetParentControl(top);
        bills->SetParentControl(bottom);
        balance->SetOnFocusedRecordChanged([this](QObject*) { linkBills(); });
        balance->NotifyDetailCreated(bills);
        balance->InitializeView(QString(), nullptr);
        bills->InitializeView(QStringLiteral("Bills"), balance);
        balance->SetPlanScheme(AScheme, GlobalADOConnection);
        // A first refresh of a workbench tab has its view scheme parsed.
        InfoApplication->ParseViewSchemeSQL(balanceDef, balance->GetViewScheme(), GlobalADOQuery);
    }
    ~BalanceHarness()
    {
        // The window frees the views; the pointers must not outlive it.
        balance.reset();
        bills.reset();
    }

    // The bills of the focused item line, as the relation's field map gives them.
    void linkBills()
    {
        ++links;
        const PInfoRelationDef relation = balanceDef ? balanceDef->GetRelationDef(QStringLiteral("Bills")) : nullptr;
        const QString values = relation ? RelationMasterValues(relation->FieldMaps, [this](const QString& field) {
            return balance->GetFocusedRecordString(field);
        })
                                        : QString();
        bills->SetMasterValues(values, true);
    }

    kvui::TreeList* tree() const { return balance->grdBalance; }
    // The top-level line of an item, nullptr when none.
    kvui::TreeNode* itemLine(const QString& AItmNo) const
    {
        for (kvui::TreeNode* n : tree()->topNodes())
            if (n->value(balance->colBalItmNo).toString() == AItmNo)
                return n;
        return nullptr;
    }

    QWidget window;
    TInfoObjectDef* balanceDef = nullptr;
    TInfoObjectDef* billsDef = nullptr;
    std::shared_ptr<TMRPBalanceFrame> balance;
    std::shared_ptr<TMRPBillsFrame> bills;
    int links = 0;
};

} // namespace balancetest
