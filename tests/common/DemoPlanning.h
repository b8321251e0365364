#pragma once
// The demo account set ready for planning tests, once per test program: plan01
// logged in with the host's view-scheme routines and the stand-in procedures
// installed; and on it the demo scheme (1) after one main-demand build and one
// MRP run. Test programs using it link qz_mrp_planning, korvane_host and kv_demo.
#include "DemoLogin.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "dlgViewScheme.h"
#include "untMRP.h"

#include <gtest/gtest.h>
#include <memory>

namespace kvtest {

inline void demoPlanningLogin()
{
    static bool done = false;
    DemoLogin::instance();
    if (done)
        return;
    done = true;
    // The host's view-scheme routines, as its start-up installs them.
    InitViewSchemeDlgUnit(InfoApplication);
    kvdemo::registerStandInProcedures();
}

inline TPlanScheme* demoSchemeAfterRun()
{
    static std::unique_ptr<TPlanScheme> scheme;
    if (!scheme) {
        demoPlanningLogin();
        scheme = std::make_unique<TPlanScheme>(GlobalADOConnection);
        EXPECT_TRUE(scheme->Load(1));
        EXPECT_TRUE(scheme->RunMPS(false, false));
        EXPECT_TRUE(scheme->Load(1));
        ScriptedMessageBoxes boxes;
        EXPECT_TRUE(scheme->RunMRP(false, false, false));
        EXPECT_TRUE(scheme->Load(1));
    }
    return scheme.get();
}

} // namespace kvtest
