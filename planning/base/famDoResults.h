#pragma once
// The result list of a long operation (an MRP run, a release of planned
// orders): one line per message with an information, warning or error icon,
// an optional position text that lets the owner jump to the record concerned,
// and export and print commands. Each added line is painted at once while the
// operation goes on.
#include "TreeList.h"
#include "untApplication.h"

#include <QFrame>
#include <QIcon>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>

// Called with the line and its two position values when the user opens a
// line's position.
using TOnTrackPositionEvent =
    std::function<void(kvui::TreeNode* AResultNode, const QVariant& APosition1, const QVariant& APosition2)>;

class TDoResultFrame : public QFrame {
    Q_OBJECT
public:
    explicit TDoResultFrame(QWidget* AOwner = nullptr);

    kvui::TreeList* grdResults;
    kvui::Column* colText;
    kvui::Column* colPosition;
    kvui::Column* colPosition1;
    kvui::Column* colPosition2;
    // Information, warning and error, 16 x 16.
    QList<QIcon> ImageList;

    virtual void SetFocus();

    // Adds a line under AParentNode (a main line when it is null) and shows it
    // at once unless the tree list is inside a begin/end-update bracket. Its
    // shape is that of the engine's message callback.
    void* AddResultNode(TMessageKind AKind, const QString& AText, const QString& APositionText,
                        const QVariant& APositionData1, const QVariant& APositionData2, void* AParentNode);
    // The text is replaced; the icon only ever escalates (information, warning, error).
    void ChangeResultNode(kvui::TreeNode* AResultNode, TMessageKind AKind, const QString& AText);
    TMessageKind GetResultNodeKind(kvui::TreeNode* ANode) const;
    TMessageKind ResultNodeKind(kvui::TreeNode* ANode) const { return GetResultNodeKind(ANode); }
    void ClearResultNodes();
    // The grey (read-only) look: position links are drawn grey and cannot be opened.
    void ShowAsGrayStyle(bool AValue);
    bool GrayStyle() const { return FGrayStyle; }
    void ShowTrackPosition(bool AValue);

    QString Title() const { return FTitle; }
    void SetTitle(const QString& AValue) { FTitle = AValue; }
    TOnTrackPositionEvent OnTrackPosition() const { return FOnTrackPosition; }
    void SetOnTrackPosition(TOnTrackPositionEvent AValue) { FOnTrackPosition = std::move(AValue); }

    // Export (5) and the print commands (6-9); the owning frame forwards to these.
    bool QueryCommandState(int ACommandIndex, TCommandState& AState);
    bool ExecCommand(int ACommandIndex);

    // Opens the position of the line at a point of the tree list's viewport
    // (what a double click or a click on a position link does).
    void TrackPositionAt(const QPoint& AViewportPos, bool AFromLink);

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;

private:
    void CustomDrawCell(kvui::CellDraw& ACell) const;

    QString FPrintSetting;
    QString FTitle;
    bool FGrayStyle = false;
    TOnTrackPositionEvent FOnTrackPosition;
};
