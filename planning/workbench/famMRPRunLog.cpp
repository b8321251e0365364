#include "famMRPRunLog.h"

#include "Ado.h"
#include "UDBComm.h"
#include "untMRPViewUtils.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDateTime>

TMRPRunLogPanel::TMRPRunLogPanel(QWidget* AOwner, QWidget* AParent, QAbstractButton* AToggle)
    : FOwner(AOwner), FParent(AParent), FToggle(AToggle)
{
}

TMRPRunLogPanel::TMRPRunLogPanel(QWidget* AOwner, QWidget* AParent, QAction* AToggle)
    : FOwner(AOwner), FParent(AParent), FToggleAction(AToggle)
{
}

bool TMRPRunLogPanel::Pressed() const
{
    if (FToggleAction)
        return FToggleAction->isChecked();
    return FToggle ? FToggle->isChecked() : FPressed;
}

void TMRPRunLogPanel::SetPressed(bool AValue)
{
    FPressed = AValue;
    if (FToggleAction)
        FToggleAction->setChecked(AValue);
    if (FToggle)
        FToggle->setChecked(AValue);
}

void TMRPRunLogPanel::Relayout()
{
    if (Visible() && Geometry)
        FRunLogFrame->setGeometry(Geometry());
}

bool TMRPRunLogPanel::Visible() const
{
    return FRunLogFrame && !FRunLogFrame->isHidden();
}

void TMRPRunLogPanel::CreatePanel()
{
    FRunLogFrame = new TDoResultFrame(FOwner);
    FRunLogFrame->setObjectName(QStringLiteral("FRunLogFrame"));
    FRunLogFrame->SetTitle(QStringLiteral("运算日志"));
    FRunLogFrame->setParent(FParent);
    FRunLogFrame->hide();
}

void TMRPRunLogPanel::Execute(QObject* ASender, int ASchemeIID, TADOQuery* AQuery)
{
    if (!FRunLogFrame)
        CreatePanel();
    const bool show = Pressed();
    if (show) {
        if (Geometry)
            FRunLogFrame->setGeometry(Geometry());
        FRunLogFrame->show();
        FRunLogFrame->raise();
    } else {
        FRunLogFrame->hide();
    }
    if (UpdateSchemeControls)
        UpdateSchemeControls();
    if (!show)
        return;
    FRunLogFrame->SetFocus();
    if (ASender && LogSchemeIID != ASchemeIID) {
        TMRPWaitCursor wait;
        LogSchemeIID = ASchemeIID;
        LoadLog(ASchemeIID, AQuery);
    }
}

QString RunLogLineText(const QDateTime& ATime, const QString& AText)
{
    return ATime.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss ")) + AText;
}

bool TMRPRunLogPanel::LoadLog(int ASchemeIID, TADOQuery* AQuery)
{
    if (!FRunLogFrame)
        CreatePanel();
    kvui::TreeList* tree = FRunLogFrame->grdResults;
    TMRPTreeUpdate update(tree);
    FRunLogFrame->ClearResultNodes();
    if (!ExecSQLText(AQuery,
                     QStringLiteral("select * from QZ_MRP_RunLog with(nolock) where LogSchIID=%1 order by LogIID").arg(ASchemeIID),
                     true, false, true))
        return false;
    void* lastMain = nullptr;
    for (; !AQuery->Eof(); AQuery->Next()) {
        const auto kind = TMessageKind(AQuery->FieldByName(QStringLiteral("LogKind"))->AsInteger());
        const QString text = RunLogLineText(AQuery->FieldByName(QStringLiteral("LogTime"))->AsDateTime(),
                                            AQuery->FieldByName(QStringLiteral("LogText"))->AsString());
        const bool indent = AQuery->FieldByName(QStringLiteral("LogIndent"))->AsBoolean();
        void* node = FRunLogFrame->AddResultNode(kind, text, QString(), QVariant(), QVariant(), indent ? lastMain : nullptr);
        if (!indent)
            lastMain = node;
    }
    AQuery->Close();
    return true;
}

void TMRPRunLogPanel::Release()
{
    SetPressed(false);
    if (FRunLogFrame)
        FRunLogFrame->hide();
    if (UpdateSchemeControls)
        UpdateSchemeControls();
}
