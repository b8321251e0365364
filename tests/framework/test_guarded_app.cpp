// The application object's guard around every event: an exception that
// escapes a slot inside the running event loop is shown as the error box and
// the loop goes on. Its own main, since the guard is the application object.
#include "untGuardedApp.h"

#include "Exceptions.h"
#include "ScriptedMessageBoxes.h"

#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <stdexcept>

TEST(GuardedApplication, AnExceptionFromASlotIsShownAndTheLoopGoesOn)
{
    struct Case {
        const char* name;
        std::function<void()> raise;
        QString shown; // empty: no box
    };
    const Case cases[] = {
        {"Exception", [] { throw Exception(QStringLiteral("对象名 'QZ_NoSuchTable' 无效。")); },
         QStringLiteral("程序执行出现错误!\r\r原因: 对象名 'QZ_NoSuchTable' 无效。")},
        {"std::exception", [] { throw std::runtime_error("lost connection"); },
         QStringLiteral("程序执行出现错误!\r\r原因: lost connection")},
        {"EAbort", [] { throw EAbort(QStringLiteral("按下[Esc]键中止操作")); }, QString()},
    };
    for (const Case& c : cases) {
        ScriptedMessageBoxes boxes;
        QPushButton button;
        QObject::connect(&button, &QPushButton::clicked, &button, c.raise);
        int later = 0;
        QEventLoop loop;
        // The click is delivered by the loop, as a user's click would be; the
        // events after it still arrive.
        QMetaObject::invokeMethod(&button, "click", Qt::QueuedConnection);
        QTimer::singleShot(0, &loop, [&] { ++later; });
        QTimer::singleShot(20, &loop, [&] {
            ++later;
            loop.quit();
        });
        loop.exec();
        EXPECT_EQ(later, 2) << c.name;
        if (c.shown.isEmpty()) {
            EXPECT_TRUE(boxes.shown.isEmpty()) << c.name;
        } else {
            ASSERT_EQ(boxes.shown.size(), 1) << c.name;
            EXPECT_EQ(boxes.shown[0].text, c.shown) << c.name;
            EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("错误")) << c.name;
        }
    }
}

TEST(GuardedApplication, AFailedHandlersWaitCursorIsTakenAway)
{
    ScriptedMessageBoxes boxes;
    QEventLoop loop;
    QTimer::singleShot(0, &loop, [] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        throw Exception(QStringLiteral("失败"));
    });
    QTimer::singleShot(20, &loop, [&] { loop.quit(); });
    loop.exec();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(boxes.shown.size(), 1);
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TGuardedApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
