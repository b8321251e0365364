#pragma once
// A view driven as the user drives it: its actions by their ID, as the host's
// action bar sends them (the command number, whether the view enables it,
// running it), and its save.
#include "ScriptedMessageBoxes.h"

#include <QLatin1String>
#include <QStringList>
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

// Saves with every box recorded: a success only when the save succeeds and
// shows no box; the boxes shown go into the failure text.
template <typename View>
::testing::AssertionResult saveWithoutBoxes(View* view)
{
    ScriptedMessageBoxes boxes;
    const bool ok = view->SaveData();
    QStringList texts;
    for (const auto& b : boxes.shown)
        texts << b.text;
    if (ok && texts.isEmpty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << texts.join('\n').toStdString();
}

} // namespace kvtest
