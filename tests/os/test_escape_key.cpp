// The Esc latch in a running event loop: a press made before a long run
// starts is forgotten by the run's start, whether it was released or its
// release never arrived; a press during the run counts, once.
#include "EscapeKey.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// The loop delivers the key events, as it does the user's.
void postEscape(QWidget* target, bool release)
{
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    if (release)
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier));
}

} // namespace

TEST(EscapeKeyLatch, OnlyAnEscPressedDuringTheRunCounts)
{
    kvos::installEscapeKeyLatch();
    for (const bool released : {true, false}) {
        QWidget target;
        short atStart = -1, during = -1, again = -1;
        QEventLoop loop;
        postEscape(&target, released); // before the run: to cancel a cell edit
        QTimer::singleShot(0, &loop, [&] {
            kvos::startEscapeKeyWatch(); // the run starts
            atStart = kvos::asyncEscapeKeyState();
            postEscape(&target, true); // pressed during the run
            QCoreApplication::processEvents(); // the run lets pending input in between steps
            during = kvos::asyncEscapeKeyState();
            again = kvos::asyncEscapeKeyState();
            loop.quit();
        });
        loop.exec();
        EXPECT_EQ(atStart, 0) << "released " << released;
        EXPECT_NE(during, 0) << "released " << released;
        EXPECT_EQ(again, 0) << "released " << released;
    }
}
