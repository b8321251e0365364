#pragma once
// A view's actions by their ID, as the host's action bar sends them: the
// command number, whether the view enables it, and running it.
#include <QLatin1String>
#include <gtest/gtest.h>

namespace kvtest {

template <typename View>
int actionCommand(View* view, const char* action)
{
    for (size_t i = 0; i < view->ObjectDef->Actions.size(); ++i)
        if (view->ObjectDef->Actions[i].ID == QLatin1String(action))
            return Commands::FirstAction + int(i);
    ADD_FAILURE() << "no action " << action;
    return -1;
}

template <typename View>
bool actionEnabled(View* view, const char* action)
{
    TCommandState state;
    view->QueryCommandState(actionCommand(view, action), state);
    return state & csEnabled;
}

template <typename View>
void runAction(View* view, const char* action)
{
    view->ExecCommand(actionCommand(view, action));
}

} // namespace kvtest
