#pragma once
// Base of the planning library's work frames: a frame that the host parents
// into one of its MDI windows and drives through IInfoFrame. Every operation
// has a neutral default; concrete frames override what they need.
#include "untApplication.h"

#include <QFrame>
#include <QPointer>
#include <memory>

class TCustomInfoFrame : public QFrame, public IInfoFrame {
    Q_OBJECT
public:
    explicit TCustomInfoFrame(QWidget* AOwner = nullptr);

    // IInfoFrame
    void ProcessIdle() override;
    void RefreshMainUI() override;
    void SetParentControl(QWidget* AParent) final;
    bool QueryClose() override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;

    // The designed name followed by the tick count, so that several frames of
    // one class can live under one owner.
    void MakeNameUnique(const QString& ADesignedName);
};

// Makes the frame a child of the parent, filling it (through the parent's
// layout when it has one), and shows it.
void PlaceInParent(QWidget* AFrame, QWidget* AParent);

// The designed name of a class: its class name without the leading T.
QString DesignedName(const QObject* AObject);

// Hands out the interface of a new frame. The pointer does not own a frame
// that has a parent (the host's window frees it); a frame that was never
// placed goes with its last interface pointer.
template <typename T, typename... A>
IInfoFramePtr CreateInfoFrame(A&&... args)
{
    T* frame = new T(std::forward<A>(args)...);
    frame->MakeNameUnique(DesignedName(frame));
    QPointer<QObject> guard(frame);
    return IInfoFramePtr(static_cast<IInfoFrame*>(frame), [guard](IInfoFrame*) {
        if (guard && !guard->parent())
            delete guard.data();
    });
}
