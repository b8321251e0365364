#include "EscapeKey.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>

namespace kvos {

namespace {

class EscapeKeyFilter : public QObject {
public:
    using QObject::QObject;
    bool down = false;
    bool pressed = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease
            || event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape) {
                if (event->type() == QEvent::KeyRelease) {
                    if (!key->isAutoRepeat())
                        down = false;
                } else {
                    down = true;
                    pressed = true;
                }
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

QPointer<EscapeKeyFilter> gFilter;

} // namespace

void installEscapeKeyLatch()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || gFilter)
        return;
    gFilter = new EscapeKeyFilter(app);
    app->installEventFilter(gFilter);
}

short asyncEscapeKeyState()
{
    installEscapeKeyLatch();
    if (!gFilter)
        return 0;
    short state = 0;
    if (gFilter->down)
        state |= short(0x8000);
    if (gFilter->pressed)
        state |= 0x0001;
    gFilter->pressed = false;
    return state;
}

void resetEscapeKeyLatch()
{
    if (gFilter) {
        gFilter->pressed = false;
        gFilter->down = false;
    }
}

void startEscapeKeyWatch()
{
    installEscapeKeyLatch();
    resetEscapeKeyLatch();
}

void bringEscapeKeyLatchToFront()
{
    installEscapeKeyLatch();
    // Installing a filter again moves it to the front of the list.
    if (gFilter)
        QCoreApplication::instance()->installEventFilter(gFilter);
}

} // namespace kvos
