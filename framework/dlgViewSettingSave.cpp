#include "dlgViewSettingSave.h"

#include "MessageBox.h"
#include "UCommon.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

const QString SharedSuffix = QStringLiteral(" (共享)");

} // namespace

TViewSettingSaveDlg::TViewSettingSaveDlg(QWidget* parent) : TDialog(parent)
{
    setObjectName(QStringLiteral("TViewSettingSaveDlg"));
    setWindowTitle(QStringLiteral("保存方案"));
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setSizeGripEnabled(false);

    edtName = new QComboBox(ClientArea());
    edtName->setObjectName(QStringLiteral("edtName"));
    edtName->setEditable(true);
    edtName->setInsertPolicy(QComboBox::NoInsert);
    edtName->setMaxVisibleItems(20);
    edtName->setCompleter(nullptr); // no incremental search, no drop-down while typing
    edtName->lineEdit()->setMaxLength(80);
    auto* label = new QLabel(QStringLiteral("名称(&N):"), ClientArea());
    label->setBuddy(edtName);
    chkShared = new QCheckBox(QStringLiteral("共享给其他人使用(&S)"), ClientArea());
    chkShared->setObjectName(QStringLiteral("chkShared"));

    auto* grid = new QGridLayout(ClientArea());
    grid->addWidget(label, 0, 0);
    grid->addWidget(edtName, 0, 1);
    grid->addWidget(chkShared, 1, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);

    connect(edtName, &QComboBox::activated, this, &TViewSettingSaveDlg::nameChosen);
    setFixedSize(360, 130);
}

void TViewSettingSaveDlg::SetItems(const TViewSettingItems& AItems)
{
    edtName->clear();
    for (const TViewSettingItem& item : AItems) {
        if (item.Kind == 1)
            edtName->addItem(item.Text);
        else if (item.Kind == 2)
            edtName->addItem(item.Text + SharedSuffix);
    }
    edtName->setCurrentIndex(-1);
    edtName->setEditText(QString());
}

void TViewSettingSaveDlg::nameChosen(int AIndex)
{
    QString text = edtName->itemText(AIndex);
    const qsizetype at = text.indexOf(SharedSuffix);
    if (at < 0)
        return;
    chkShared->setChecked(true);
    text.remove(at, SharedSuffix.size());
    edtName->setEditText(text);
}

void TViewSettingSaveDlg::accept()
{
    const QString name = edtName->currentText().trimmed();
    edtName->setEditText(name);
    if (name.isEmpty()) {
        ShowWarning(UCommonText::EmptyName);
        edtName->setFocus();
        return;
    }
    // Scheme names compare as the database compares them: without regard to case.
    bool exists = false;
    for (int i = 0; i < edtName->count() && !exists; ++i) {
        const QString entry = edtName->itemText(i);
        exists = entry.compare(name, Qt::CaseInsensitive) == 0 || entry.compare(name + SharedSuffix, Qt::CaseInsensitive) == 0;
    }
    if (exists
        && ShowQuestion(FormatMessage(QStringLiteral("您指定的\"%s\"已经存在, 确定覆盖?"), {name}),
                        int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2))
            != kvos::IDOK) {
        edtName->setFocus();
        return;
    }
    TDialog::accept();
}

bool ShowViewSettingSaveDlg(const QString& /*ASchemeID*/, const TViewSettingItems& AItems, QString& AName, bool& AShared)
{
    TViewSettingSaveDlg dlg(QApplication::activeWindow());
    dlg.SetItems(AItems);
    // The name is what the user came to type: it has the focus when the dialog shows.
    dlg.edtName->setFocus();
    if (dlg.exec() != QDialog::Accepted)
        return false;
    AName = dlg.edtName->currentText().trimmed();
    AShared = dlg.chkShared->isChecked();
    return true;
}
