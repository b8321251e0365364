#pragma once
// What the workbench frame gives its scheme commands, until the frame hosts
// them: one plan scheme, the frame's view-scheme text, a run-log toggle and
// panel in a window of its own, and a refresh that reloads the scheme.
#include "famMRPRunLog.h"
#include "untMRPCommandHost.h"
#include "untMRPFetch.h"
#include "untMRPRunCmd.h"

#include <QToolButton>
#include <QWidget>
#include <memory>

namespace mrpcommandstest {

class SchemeCommandsHarness {
public:
    explicit SchemeCommandsHarness(TPlanScheme* AScheme) : scheme(AScheme)
    {
        window.resize(900, 600);
        btnRunLog = new QToolButton(&window);
        btnRunLog->setCheckable(true);
        log = std::make_unique<TMRPRunLogPanel>(&window, &window, btnRunLog);
        log->Geometry = [] { return QRect(0, 40, 880, 540); };
        host.Scheme = AScheme;
        host.ViewSchemeParams = &params;
        host.RunMRPSender = &runSender;
        host.CheckPlanState = [this](bool) {
            ++checks;
            return checkAnswer && scheme->CheckState();
        };
        host.Refresh = [this](QObject* ASender) {
            ++refreshes;
            scheme->Load(scheme->SchemeIID);
            if (ASender != &runSender)
                log->LogSchemeIID = -1;
        };
        host.CloseResultViews = [this](bool AIncludeMain) { closedMain = closedMain || AIncludeMain; };
        host.ActivateSchemeTab = [this] { ++tabActivations; };
        fetch = std::make_unique<TMRPMainFetch>(host);
    }

    bool runMRP() { return ExecuteRunMRP(host, *log); }

    TPlanScheme* scheme;
    QWidget window;
    QToolButton* btnRunLog;
    std::unique_ptr<TMRPRunLogPanel> log;
    QObject runSender;
    QString params;
    TMRPCommandHost host;
    std::unique_ptr<TMRPMainFetch> fetch;
    bool checkAnswer = true;
    bool closedMain = false;
    int checks = 0;
    int refreshes = 0;
    int tabActivations = 0;
};

} // namespace mrpcommandstest
