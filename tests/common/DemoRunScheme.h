#pragma once
// The demo scheme (1) after one main-demand build and one MRP run on the demo
// account set, with plan01 logged in: made once per test program, on first use.
// Test programs using it link qz_mrp_planning, korvane_host and kv_demo.
#include "DemoLogin.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "dlgViewScheme.h"
#include "untMRP.h"

#include <gtest/gtest.h>
#include <memory>

namespace kvtest {

inline TPlanScheme* demoSchemeAfterRun()
{
    static std::unique_ptr<TPlanScheme> scheme;
    if (!scheme) {
        DemoLogin::instance();
        // The host's view-scheme routines, as its start-up installs them.
        InitViewSchemeDlgUnit(InfoApplication);
        kvdemo::registerStandInProcedures();
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
