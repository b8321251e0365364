// A stand-in planning library for the window tests: frames, editors and
// actions whose answers the test sets through ShellProbe().
#include "untApplication.h"
#include "untInfoObjectDef.h"

#include <QLabel>
#include <QLayout>
#include <QWidget>

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

struct TShellProbe {
    TEditMode EditMode = emNone;
    QString EditCaption = QStringLiteral("预测单");
    bool RefuseClose = false;
    int ActionCalls = 0;
    bool ActionRefresh = false;
    QString LastActionID;
    QString LastOpenedKeys;
    int FrameStateQueries = 0;
};

PROBE_EXPORT TShellProbe* ShellProbe()
{
    static TShellProbe probe;
    return &probe;
}

namespace {

QLabel* placeIn(QWidget* AParent, const QString& AText)
{
    auto* label = new QLabel(AText, AParent);
    if (AParent->layout())
        AParent->layout()->addWidget(label);
    return label;
}

class TProbeFrame : public IInfoFrame {
public:
    void ProcessIdle() override {}
    void RefreshMainUI() override {}
    void SetParentControl(QWidget* AParent) override { placeIn(AParent, QStringLiteral("frame")); }
    bool QueryClose() override { return !ShellProbe()->RefuseClose; }
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override
    {
        ++ShellProbe()->FrameStateQueries;
        if (ACommandIndex != Commands::Refresh)
            return false;
        AState = csEnabled;
        return true;
    }
    bool ExecCommand(int) override { throw std::runtime_error("frame failed"); }
};

class TProbeEdit : public IInfoEdit {
public:
    explicit TProbeEdit(TInfoObjectDef* ADef) : FDef(ADef) {}
    void ProcessIdle() override {}
    void SetParentControl(QWidget* AParent) override { placeIn(AParent, QStringLiteral("editor")); }
    void OpenData(const QString& AKeyValues, const QString&) override
    {
        FKeys = AKeyValues;
        ShellProbe()->LastOpenedKeys = AKeyValues;
    }
    TInfoObjectDef* GetObjectDef() override { return FDef; }
    QString GetCaption() override { return ShellProbe()->EditCaption; }
    TEditMode GetEditMode() override { return ShellProbe()->EditMode; }
    bool DataInEdit(const QString& AKeyValues) override { return AKeyValues == FKeys; }
    bool QueryClose() override { return !ShellProbe()->RefuseClose; }
    bool QueryCommandState(int, TCommandState&) override { return false; }
    bool ExecCommand(int) override { return false; }

private:
    TInfoObjectDef* FDef;
    QString FKeys;
};

} // namespace

PROBE_EXPORT void LoadInfoFrame(IInfoFramePtr& AFrame, TInfoApplication*, TInfoObjectDef* AObjectDef)
{
    AFrame.reset();
    if (AObjectDef && AObjectDef->ID.compare(QLatin1String("Probe.None"), Qt::CaseInsensitive) != 0)
        AFrame = std::make_shared<TProbeFrame>();
}

PROBE_EXPORT void LoadInfoEdit(IInfoEditPtr& AEdit, TInfoApplication*, TInfoObjectDef* AObjectDef)
{
    AEdit.reset();
    if (AObjectDef && AObjectDef->ID.compare(QLatin1String("Probe.None"), Qt::CaseInsensitive) != 0)
        AEdit = std::make_shared<TProbeEdit>(AObjectDef);
}

PROBE_EXPORT void LoadInfoAction(TInfoApplication*, TInfoObjectDef*, const QString& AActionID, const IInfoViewPtr&,
                                 bool& ARefresh)
{
    ++ShellProbe()->ActionCalls;
    ShellProbe()->LastActionID = AActionID;
    ARefresh = ShellProbe()->ActionRefresh;
}
