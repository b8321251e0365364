#pragma once
// The view contract IInfoView and its base implementation TCustomInfoView:
// scheme loading, master-value conditions, the SELECT builder, command state
// and execution, and closing. Grid, tree and master-detail views derive from it.
#include "untApplication.h"
#include "untInfoObjectDef.h"

#include <QFrame>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <memory>

// The text that stands for the master condition in a detail view's stored
// SELECT: U+F8F5 "[Master]" U+F8F5.
inline const QString MasterPlaceholder = QChar(0xF8F5) + QStringLiteral("[Master]") + QChar(0xF8F5);

// The condition on one master value of a field of the definition: "1=0" when
// the definition lacks the field or the value cannot stand for its type.
QString BuildMasterValueCondition(TInfoObjectDef* AObjectDef, const QString& AFieldID, const QString& AValue);
// Master values as (field ID, value) pairs in their order; a value is an SQL
// literal, a number, a date text or "null".
using TMasterValues = QList<QPair<QString, QString>>;
// Reads master values given as lines field=value. A quoted value runs to its
// closing quote, so a line break inside it belongs to the value; blank lines
// are skipped.
TMasterValues ReadMasterValues(const QString& AText);
// The condition for master values. With a field ID: that field's condition (an
// absent field counts as an empty value). Without: every value's condition
// joined by " and "; no values give "1=0" (no master row, no detail rows).
QString BuildMasterValuesCondition(TInfoObjectDef* AObjectDef, const TMasterValues& AMasterValues, const QString& AFieldID);
QString BuildMasterValuesCondition(TInfoObjectDef* AObjectDef, const QString& AMasterValues, const QString& AFieldID);

// Milliseconds since system start, as the views stamp their data and names.
quint32 CurrentTickCount();

// The view contract between a view and whoever hosts it; both deliverables
// call each other's views through it.
class IInfoView {
public:
    static constexpr const char* IID = "{53E2B281-5F7A-4B10-82D5-7885598BEECF}";
    virtual ~IInfoView() = default;
    virtual void InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView) = 0;
    virtual void NotifyDetailCreated(const IInfoViewPtr& ADetailFrame) = 0;
    virtual void SetViewID(const QString& AID) = 0;
    virtual void SetViewCaption(const QString& ACaption) = 0;
    virtual void SetParentControl(QWidget* AParent) = 0;
    virtual void SetOnFocusedRecordChanged(TNotifyEvent AValue) = 0;
    virtual void SetDataFilter(const QString& AFilterSQL, bool ARefrehData) = 0;
    virtual void SetMasterValues(const QString& AValues, bool ARefrehData) = 0;
    virtual void SetSelectedRecordValue(int AIndex, const QString& AFieldID, const QVariant& AValue) = 0;
    virtual void SetViewPosition(const QString& AValue) = 0;
    virtual void MakeFocus() = 0;
    virtual void RefreshData(bool ARebuild) = 0;
    virtual void CloseData() = 0;
    virtual TInfoObjectDef* GetObjectDef() = 0;
    virtual QString GetViewCaption() = 0;
    virtual PViewScheme GetViewScheme() = 0;
    virtual QString GetViewPosition() = 0;
    virtual bool GetEditMode() = 0;
    virtual IInfoViewPtr GetActiveView() = 0;
    virtual IInfoViewPtr GetRelationView(const QString& ARelID) = 0;
    virtual QString GetFocusedRecordString(const QString& AFieldID) = 0;
    virtual int GetSelectedRecordCount() = 0;
    virtual QVariant GetSelectedRecordValue(int AIndex, const QString& AFieldID) = 0;
    virtual bool IsFocused() = 0;
    virtual bool DataRefreshed() = 0;
    virtual bool NeedSave() = 0;
    virtual bool QueryClose() = 0;
    virtual bool QueryCommandState(int ACommandIndex, TCommandState& AState) = 0;
    virtual bool ExecCommand(int ACommandIndex) = 0;
};

// Base of every view: a frame placed inside a host window. Create views with
// CreateInfoView<T>(owner, definition), which hands out the interface pointer.
class TCustomInfoView : public QFrame, public IInfoView {
    Q_OBJECT
public:
    TCustomInfoView(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TCustomInfoView() override;

protected:
    bool FEditMode = false;
    quint32 FDataTimeStamp = 0;
    TNotifyEvent FOnFocusedRecordChanged;

public:
    TInfoObjectDef* ObjectDef;  // not owned
    IInfoViewPtr MasterView;
    QString MasterValues;       // lines field=value
    bool AsDetail = false;
    QString AsDetailID;
    QString BuiltSQL;
    TViewScheme ViewScheme;
    QString ViewCaption;
    QObject* ViewComponent = nullptr;
    bool Modified = false;
    bool DataIsFresh = false;
    QString DataFilter;
    QString DetailSQLPattern;

    // Descendants move the scheme's sections into and out of their controls.
    virtual void ApplyViewScheme();
    virtual void StoreViewScheme();
    // The view-scheme dialog of commands 42-45 and of the first refresh: the
    // scheme is stored from the controls, edited, applied and the data reread.
    bool ShowSchemeDialog(bool AFieldsPageFirst);
    // Before the first read: a detail parses its scheme silently, a master asks
    // for it in the scheme dialog and applies it. False when the user cancelled.
    bool EnsureViewSchemeParsed();
    // The commands every grid and tree view answers alike: export, the print
    // commands, the scheme commands and refresh. False for any other command.
    bool QueryViewCommandState(int ACommandIndex, TCommandState& AState);
    bool ExecViewSchemeCommand(int ACommandIndex);

    // IInfoView
    void InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView) override;
    void NotifyDetailCreated(const IInfoViewPtr& ADetailFrame) override;
    void SetViewID(const QString& AID) override;
    void SetViewCaption(const QString& ACaption) override;
    void SetParentControl(QWidget* AParent) final;
    void SetOnFocusedRecordChanged(TNotifyEvent AValue) final;
    void SetDataFilter(const QString& AFilterSQL, bool ARefrehData) override;
    void SetMasterValues(const QString& AValues, bool ARefrehData) override;
    void SetSelectedRecordValue(int AIndex, const QString& AFieldID, const QVariant& AValue) override;
    void SetViewPosition(const QString& AValue) override;
    void MakeFocus() override;
    void RefreshData(bool ARebuild) override;
    void CloseData() override;
    TInfoObjectDef* GetObjectDef() final;
    QString GetViewCaption() override;
    // What heads a printout of the view when its print settings name no title:
    // the view's caption, else the info object's name.
    QString PrintTitle() const;
    PViewScheme GetViewScheme() final;
    QString GetViewPosition() override;
    bool GetEditMode() override;
    IInfoViewPtr GetActiveView() override;
    IInfoViewPtr GetRelationView(const QString& ARelID) override;
    QString GetFocusedRecordString(const QString& AFieldID) override;
    int GetSelectedRecordCount() override;
    QVariant GetSelectedRecordValue(int AIndex, const QString& AFieldID) override;
    bool IsFocused() final;
    bool DataRefreshed() override;
    bool NeedSave() override;
    bool QueryClose() override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;
    virtual bool SaveData();
    // Asks whether the unsaved edits are to be saved, and saves them on Yes:
    // false when the user cancels or the save fails. ADiscarded (when given)
    // tells that the user chose not to save.
    bool AskSaveEdits(bool* ADiscarded = nullptr);
    // Focuses the control that shows the rows (the frame itself here).
    virtual void SetFocus();

    bool EditMode() const { return FEditMode; }
    void SetEditMode(bool AValue);
    quint32 DataTimeStamp() const { return FDataTimeStamp; }
    int SelectedRecordCount() { return GetSelectedRecordCount(); }
    QVariant SelectedRecordValue(int AIndex, const QString& AFieldID) { return GetSelectedRecordValue(AIndex, AFieldID); }
    QString ViewPosition() { return GetViewPosition(); }
    void SetViewPositionValue(const QString& AValue) { SetViewPosition(AValue); }
    TNotifyEvent OnFocusedRecordChanged() const { return FOnFocusedRecordChanged; }

    // Opens the object's editor for the action (new: no key values; otherwise
    // the focused row's key fields as lines ID=value).
    IInfoEditPtr ShowEditor(const QString& AActionID);
    void DoFocusedRecordChanged();
    // The "[Fields]" list of the scheme, or the definition's default fields
    // (written back into the scheme).
    QString GetSchemeFieldList();
    QString BuildMasterCondition(const QString& AFieldID);
    QString BuildSelectSQL(const QString& ARequiredFields, const QString& AExtSelect, const QString& AExtFilter,
                           const QString& ADefaultOrder, bool ARowLimit);

    // The interface pointer of this view (empty when it was not made by CreateInfoView).
    IInfoViewPtr Self() const { return FSelf.lock(); }
    // The designed name followed by the tick count, so several views of one
    // kind can live under one owner.
    void MakeNameUnique(const QString& ADesignedName);

    // Remembers the interface pointer that owns this view (CreateInfoView).
    void SetSelf(const IInfoViewPtr& ASelf) { FSelf = ASelf; }

private:
    std::weak_ptr<IInfoView> FSelf;
    // The definition's default field list: not hidden from lists, not hidden
    // by default, not masked for this view.
    QString defaultFieldList() const;
};

// Frees a view that nothing else owns when its last interface pointer goes;
// a view placed in a parent control is freed with that control.
struct TInfoViewDeleter {
    QPointer<QObject> View;
    void operator()(IInfoView*) const
    {
        if (View && !View->parent())
            delete View.data();
    }
};

template <typename T, typename... A>
std::shared_ptr<T> CreateInfoView(A&&... args)
{
    T* view = new T(std::forward<A>(args)...);
    std::shared_ptr<T> result(view, [d = TInfoViewDeleter{QPointer<QObject>(view)}](T* v) { d(v); });
    view->SetSelf(result);
    QString designed = view->objectName();
    if (designed.isEmpty()) {
        designed = QString::fromLatin1(view->metaObject()->className());
        if (designed.startsWith(u'T'))
            designed.remove(0, 1);
    }
    view->MakeNameUnique(designed);
    return result;
}
