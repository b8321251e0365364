#pragma once
// The view every host window shows for an info object: the object's own view
// as the master and, for each of its relations, a detail view on a tab page
// under a splitter. Detail views are made when first shown and follow the
// master's focused record through the relation's field map.
#include "clsInfoView.h"
#include "untLibraryExports.h"

#include <QPointer>
#include <functional>
#include <vector>

class QTabWidget;
class TDetailSplitter;

// The view of a relation's object: the named library's "LoadInfoView" for
// object type 10, the host's automatic grid view for every other type. Nil
// when the library or its export is missing.
IInfoViewPtr CreateRelationView(TInfoObjectDef* AObjectDef);

// The height of the detail area on first showing: the stored fraction of the
// client height; nothing stored (or 0): half the height less 10; above 99
// pixels: that height, at most the client height less 50; otherwise 100.
int DetailAreaHeight(int AClientHeight, const QString& ADetailHeight);

// The master values a detail gets through a relation's field map (pairs
// master=detail separated by "|"; a side in braces is a constant): lines
// detail field=value joined by CR LF, values from AFocusedValue. A constant on
// the detail side that differs from the left value (ignoring case) gives no
// values at all.
QString RelationMasterValues(const QString& AFieldMaps, const std::function<QString(const QString&)>& AFocusedValue);

class TInfoMasterDetailView : public TCustomInfoView {
    Q_OBJECT
public:
    // Raises the silent abort when the object's own view cannot be had.
    TInfoMasterDetailView(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TInfoMasterDetailView() override;

private:
    std::vector<IInfoViewPtr> FViewFrames; // 0: master; i + 1: the view of relation i
    IInfoViewPtr FActiveView;
    QPointer<QWidget> FActiveControl;
    QTabWidget* FDetailPages = nullptr;
    TDetailSplitter* FSplitter = nullptr;
    bool FRelationOpening = false;
    QWidget* FMasterHost = nullptr;

public:
    // While set, a change of the master's focused record relinks no detail
    // view (the main window sets it around a refresh of its own).
    bool FSyncRelationDisabled = false;

    void LinkRelationView(int AIndex);
    void RefreshRelations();
    void ShowRelation(int AIndex, bool AInitializing);
    // Shows the page of the relation with that ID and gives its view the
    // focus, so that the window's actions become the detail's; False when the
    // object has no such relation.
    bool FocusRelation(const QString& ARelID);

    void InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView) override;
    void SetViewID(const QString& AID) override;
    void SetViewCaption(const QString& ACaption) override;
    void SetDataFilter(const QString& AFilterSQL, bool ARefrehData) override;
    void SetMasterValues(const QString& AValues, bool ARefrehData) override;
    void MakeFocus() override;
    void RefreshData(bool ARebuild) override;
    void CloseData() override;
    bool GetEditMode() override;
    IInfoViewPtr GetActiveView() override;
    IInfoViewPtr GetRelationView(const QString& ARelID) override;
    QString GetFocusedRecordString(const QString& AFieldID) override;
    bool DataRefreshed() override;
    bool NeedSave() override;
    bool QueryClose() override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;

    // What the window and tests look at.
    IInfoViewPtr MasterView() const { return FViewFrames.empty() ? IInfoViewPtr() : FViewFrames[0]; }
    IInfoViewPtr DetailView(int AIndex) const;
    QTabWidget* DetailPages() const { return FDetailPages; }
    bool DetailAreaExists() const { return FSplitter != nullptr; }
    bool DetailAreaOpen() const;
    void CloseDetailArea();
    int DetailAreaHeightNow() const;

private:
    int relationCount() const;
    void pageChanged(int AIndex);
    IInfoViewPtr activePageView() const;
    void lockUpdates();
    void unlockUpdates();
    int FUpdateLocks = 0;
};
