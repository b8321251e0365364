#pragma once
// The user presses and releases Esc on a widget; with none named, on a widget
// of its own, which the application's Esc watch sees all the same.
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace kvtest {

inline void pressEscape(QWidget* target)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

inline void pressEscape()
{
    QWidget target;
    pressEscape(&target);
}

} // namespace kvtest
