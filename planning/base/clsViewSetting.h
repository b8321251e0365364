#pragma once
// The base of the modal dialogs in which a user sets the options of an
// analysis and keeps them as named setting schemes (view-scheme rows of the
// analysis's object whose parameter text holds the options). The base owns the
// scheme row at the top: the list of the user's, shared and default schemes,
// and the default, save and delete buttons; subclasses show and check the
// options in LoadScheme and SaveScheme.
#include "Ado.h"
#include "clsDialog.h"
#include "untInfoObjectDef.h"

class QComboBox;
class QLabel;
class QToolButton;

class TViewSettingDlg : public TDialog {
    Q_OBJECT
public:
    explicit TViewSettingDlg(QWidget* parent = nullptr);
    ~TViewSettingDlg() override;

    // Kinds of the scheme list's items (the item's tag).
    enum { ikLastUsed = 0, ikPrivate = 1, ikOwnShared = 2, ikOtherShared = 3, ikDefault = 4 };

    QLabel* lblScheme;
    QComboBox* cboScheme;
    QToolButton* btnSchemeNew;
    QToolButton* btnSchemeSave;
    QToolButton* btnSchemeDelete;
    // The options area under the scheme row; subclasses fill it.
    QWidget* OptionsArea;

    TInfoObjectDef* ObjectDef = nullptr;
    PViewScheme OrigScheme = nullptr;
    TViewScheme ViewScheme;
    TADOQuery* ByQuery;

    // Called by the subclass's show routine before showing; fills the list.
    virtual void Prepare();
    // Shows the working scheme's options. Empty here.
    virtual void LoadScheme();
    // Checks the options and writes them into the working scheme; False keeps
    // the dialog open.
    virtual bool SaveScheme();

    void LoadSchemes();
    // The kind and value of a list item.
    int ItemKind(int AIndex) const;
    int ItemValue(int AIndex) const;

    void cboSchemePropertiesChange();
    void btnSchemeNewOnClick();
    void btnSchemeSaveOnClick();
    void btnSchemeDeleteOnClick();

public slots:
    void done(int r) override;

private:
    void addItem(int AKind, int AValue, const QString& AText);
    bool FLoading = false;
};
