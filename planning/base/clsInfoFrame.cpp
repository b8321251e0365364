#include "clsInfoFrame.h"

#include "clsInfoView.h"

#include <QLayout>

QString DesignedName(const QObject* AObject)
{
    QString name = AObject->objectName();
    if (name.isEmpty()) {
        name = QString::fromLatin1(AObject->metaObject()->className());
        if (name.startsWith(u'T'))
            name.remove(0, 1);
    }
    return name;
}

TCustomInfoFrame::TCustomInfoFrame(QWidget* AOwner)
    : QFrame(AOwner)
{
    resize(451, 304);
    setFrameShape(QFrame::NoFrame);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TCustomInfoFrame::MakeNameUnique(const QString& ADesignedName)
{
    setObjectName(ADesignedName + QString::number(CurrentTickCount()));
}

void TCustomInfoFrame::ProcessIdle() {}

void TCustomInfoFrame::RefreshMainUI() {}

void TCustomInfoFrame::SetParentControl(QWidget* AParent)
{
    PlaceInParent(this, AParent);
}

void PlaceInParent(QWidget* AFrame, QWidget* AParent)
{
    // Fills the parent as the views do: through its layout when it has one.
    AFrame->setParent(AParent);
    if (!AParent)
        return;
    if (AParent->layout())
        AParent->layout()->addWidget(AFrame);
    else
        AFrame->resize(AParent->size());
    AFrame->show();
}

bool TCustomInfoFrame::QueryClose()
{
    return true;
}

bool TCustomInfoFrame::QueryCommandState(int, TCommandState&)
{
    return false;
}

bool TCustomInfoFrame::ExecCommand(int)
{
    return false;
}
