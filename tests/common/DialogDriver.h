#pragma once
// Runs steps on the modal dialog that opens next; a dialog left open is
// cancelled so that no test ever waits on a window.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace kvtest {

template <typename Dlg>
void WhenShown(std::function<void(Dlg*)> steps)
{
    QTimer::singleShot(0, [steps] {
        auto* dlg = qobject_cast<Dlg*>(QApplication::activeModalWidget());
        if (!dlg) {
            ADD_FAILURE() << "the dialog is not shown";
            if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                other->reject();
            return;
        }
        steps(dlg);
        if (dlg->isVisible())
            dlg->reject();
    });
}

} // namespace kvtest
