#pragma once
// A result view of the workbench in a window of its own, bound to a plan
// scheme as the workbench binds its tabs, its view scheme parsed as on the
// tab's first refresh.
#include "untDllCommon.h"
#include "untMRP.h"

#include <QSize>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

namespace kvtest {

template <typename Frame>
struct SchemeTab {
    SchemeTab(const QString& ADefID, TPlanScheme* AScheme, QSize ASize)
    {
        window.resize(ASize);
        window.setLayout(new QVBoxLayout);
        def = InfoApplication->GetInfoObjectDef(ADefID);
        view = CreateInfoView<Frame>(nullptr, def);
        view->SetParentControl(&window);
        view->InitializeView(QString(), nullptr);
        view->SetPlanScheme(AScheme, GlobalADOConnection);
        InfoApplication->ParseViewSchemeSQL(def, view->GetViewScheme(), GlobalADOQuery);
    }
    ~SchemeTab() { view.reset(); }
    SchemeTab(const SchemeTab&) = delete;
    SchemeTab& operator=(const SchemeTab&) = delete;

    QWidget window;
    TInfoObjectDef* def = nullptr;
    std::shared_ptr<Frame> view;
};

} // namespace kvtest
