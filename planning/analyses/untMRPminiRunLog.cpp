#include "untMRPminiRunLog.h"

#include "famDoResults.h"

#include <QApplication>
#include <QDialog>
#include <QVBoxLayout>

namespace {
TMRPminiRunLog* gCurrent = nullptr;
}

TMRPminiRunLog::TMRPminiRunLog(const QString& ACaption)
    : FOuter(gCurrent)
{
    FWindow = std::make_unique<QDialog>(QApplication::activeWindow());
    FWindow->setObjectName(QStringLiteral("MRPminiRunLog"));
    FWindow->setWindowTitle(ACaption);
    // A window without a close button: the run ends it, or Esc stops the run.
    FWindow->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    FWindow->resize(640, 360);
    auto* layout = new QVBoxLayout(FWindow.get());
    layout->setContentsMargins(0, 0, 0, 0);
    FFrame = new TDoResultFrame(FWindow.get());
    FFrame->setObjectName(QStringLiteral("FRunLogFrame"));
    FFrame->SetTitle(QStringLiteral("运算日志"));
    layout->addWidget(FFrame);
    FWindow->show();
    FWindow->raise();
    FFrame->SetFocus();
    QApplication::processEvents();
    gCurrent = this;
}

TMRPminiRunLog::~TMRPminiRunLog()
{
    if (gCurrent == this)
        gCurrent = FOuter;
    if (FWindow)
        FWindow->hide();
}

void TMRPminiRunLog::Finish(bool ASuccess)
{
    if (gCurrent == this)
        gCurrent = FOuter;
    if (ASuccess || !FWindow)
        return;
    QDialog* window = FWindow.release();
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowFlags(Qt::Dialog);
    window->show();
}

TAddProcessMessageNodeProc TMRPminiRunLog::MessageProc()
{
    TDoResultFrame* frame = FFrame;
    return [frame](TMessageKind AKind, const QString& AText, const QString& APosText, const QVariant& APos1,
                   const QVariant& APos2, void* AParent) {
        return frame->AddResultNode(AKind, AText, APosText, APos1, APos2, AParent);
    };
}

TMRPminiRunLog* TMRPminiRunLog::Current()
{
    return gCurrent;
}
