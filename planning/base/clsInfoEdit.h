#pragma once
// Base of the planning library's editors of one record of an info object: the
// title bar with the object's caption and a state text, the record's query on
// the library's connection, the save-or-discard prompt, the commands save (2),
// cancel edits (3), expand and collapse (47, 48), refresh (49) and the
// object's actions (100 and up), the SELECT over the definition, and the
// binding of detail tree-list columns to field names.
//
// Create editors with CreateInfoEdit<T>(owner, definition): the caption and
// InitializeEdit are virtual, so they run once the derived object exists.
#include "DataSetSource.h"
#include "TreeList.h"
#include "untApplication.h"
#include "untInfoObjectDef.h"

#include <QFrame>
#include <QLabel>
#include <QList>
#include <QPair>
#include <QPointer>
#include <memory>

class TCustomInfoEdit : public QFrame, public IInfoEdit {
    Q_OBJECT
public:
    TCustomInfoEdit(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TCustomInfoEdit() override;

    QFrame* gbxTitle;
    QLabel* lblTitle;
    QLabel* lblState;
    TADOQuery* qryMain;
    std::unique_ptr<kvui::DataSetSource> dsMain;
protected:
    // field name -> detail tree-list column, in registration order
    QList<QPair<QString, kvui::Column*>> FColumnFieldNames;
public:
    TInfoObjectDef* ObjectDef; // not owned
    TViewScheme ViewScheme;
    TEditMode EditMode = emNone;
    QString KeyValues;         // lines ID=value of the record shown
    bool Modified = false;

    // Called last in construction: the derived editor lays out its controls
    // and binds its detail columns.
    virtual void InitializeEdit();
    virtual void FocusEditor();
    // The derived editor validates and saves; True on success.
    virtual bool SaveData();
    // The complete SELECT of the editor's main query (see the .cpp).
    virtual QString BuildFieldSelectList(const QString& AFieldList, const QString& AExtraFields, const QString& AWhere,
                                         const QString& AOrderBy);

    // IInfoEdit
    void ProcessIdle() override;
    void SetParentControl(QWidget* AParent) final;
    void OpenData(const QString& AKeyValues, const QString& AActionID) override;
    TInfoObjectDef* GetObjectDef() final;
    QString GetCaption() override;
    TEditMode GetEditMode() final;
    bool DataInEdit(const QString& AKeyValues) override;
    bool QueryClose() override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;

    // Detail helpers
    kvui::Column* FindFieldColumn(const QString& AFieldName) const;
    void BindFieldColumn(kvui::Column* AColumn, const QString& AFieldName);
    void LoadDetailRows(kvui::TreeList* ATreeList, TCustomADODataSet* ADataSet);

    // The construction steps that call virtual operations (CreateInfoEdit).
    void AfterConstruction();

protected:
    bool eventFilter(QObject* AWatched, QEvent* AEvent) override;
    void resizeEvent(QResizeEvent* AEvent) override;

private:
    // The Yes/No/Cancel question before leaving unsaved edits: False when the
    // user cancels or the save fails.
    bool askSaveBeforeLeaving();
    void placeStateLabel();
    void placeTitleBar();
};

template <typename T>
IInfoEditPtr CreateInfoEdit(QWidget* AOwner, TInfoObjectDef* AObjectDef)
{
    T* edit = new T(AOwner, AObjectDef);
    QPointer<QObject> guard(edit);
    IInfoEditPtr result(static_cast<IInfoEdit*>(edit), [guard](IInfoEdit*) {
        if (guard && !guard->parent())
            delete guard.data();
    });
    edit->AfterConstruction();
    return result;
}
