#include "clsViewSetting.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "dlgViewSettingSave.h"
#include "untApplication.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString LastUsedText = QStringLiteral("(最近使用方案)");
const QString DefaultText = QStringLiteral("(默认方案)");
constexpr int KindRole = Qt::UserRole + 1;

const QString SchemeListSQL = QStringLiteral(
    "select v.*, UsrName from QZ_SYS_ViewSchemes as v with(nolock) left join QZ_SYS_Users with (nolock) on ViwUsrID=UsrID "
    "where ViwID=%0:s and (ViwUsrID=%1:s and ViwKind<>%2:d or ViwKind=%3:d) order by (case when ViwUsrID=%1:s then 0 "
    "when ViwUsrID='' then 2 else 1 end), ViwTime desc, ViwKind");

} // namespace

TViewSettingDlg::TViewSettingDlg(QWidget* parent)
    : TDialog(parent)
    , ByQuery(new TADOQuery(this))
{
    setWindowTitle(QStringLiteral("视图定义"));
    setMinimumSize(550, 400);
    SetupADOQuery(ByQuery);
    ByQuery->SetConnection(GlobalADOConnection);

    auto* top = new QGroupBox(ClientArea());
    lblScheme = new QLabel(QStringLiteral("方案名称(&N):"), top);
    cboScheme = new QComboBox(top);
    cboScheme->setObjectName(QStringLiteral("cboScheme"));
    cboScheme->setMaxVisibleItems(20);
    cboScheme->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    lblScheme->setBuddy(cboScheme);
    const auto makeButton = [top](const char* name, const QString& hint, QStyle::StandardPixmap icon) {
        auto* b = new QToolButton(top);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(hint);
        b->setIcon(QApplication::style()->standardIcon(icon));
        return b;
    };
    btnSchemeNew = makeButton("btnSchemeNew", QStringLiteral("默认方案"), QStyle::SP_FileIcon);
    btnSchemeSave = makeButton("btnSchemeSave", QStringLiteral("保存方案"), QStyle::SP_DialogSaveButton);
    btnSchemeDelete = makeButton("btnSchemeDelete", QStringLiteral("删除方案"), QStyle::SP_TrashIcon);
    btnSchemeDelete->setEnabled(false);
    auto* row = new QHBoxLayout(top);
    row->addWidget(lblScheme);
    row->addWidget(cboScheme, 1);
    row->addWidget(btnSchemeNew);
    row->addWidget(btnSchemeSave);
    row->addWidget(btnSchemeDelete);
    OptionsArea = new QWidget(ClientArea());
    auto* layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(top);
    layout->addWidget(OptionsArea, 1);

    connect(cboScheme, &QComboBox::currentIndexChanged, this, [this] {
        if (!FLoading)
            cboSchemePropertiesChange();
    });
    connect(btnSchemeNew, &QToolButton::clicked, this, [this] { btnSchemeNewOnClick(); });
    connect(btnSchemeSave, &QToolButton::clicked, this, [this] { btnSchemeSaveOnClick(); });
    connect(btnSchemeDelete, &QToolButton::clicked, this, [this] { btnSchemeDeleteOnClick(); });
}

TViewSettingDlg::~TViewSettingDlg() = default;

void TViewSettingDlg::Prepare()
{
    LoadSchemes();
}

void TViewSettingDlg::LoadScheme() {}

bool TViewSettingDlg::SaveScheme()
{
    return true;
}

int TViewSettingDlg::ItemKind(int AIndex) const
{
    return cboScheme->itemData(AIndex, KindRole).toInt();
}

int TViewSettingDlg::ItemValue(int AIndex) const
{
    return cboScheme->itemData(AIndex, Qt::UserRole).toInt();
}

void TViewSettingDlg::addItem(int AKind, int AValue, const QString& AText)
{
    const bool shared = AKind == ikOwnShared || AKind == ikOtherShared;
    if (shared)
        cboScheme->addItem(QApplication::style()->standardIcon(QStyle::SP_DirLinkIcon), AText, AValue);
    else
        cboScheme->addItem(AText, AValue);
    cboScheme->setItemData(cboScheme->count() - 1, AKind, KindRole);
}

void TViewSettingDlg::LoadSchemes()
{
    FLoading = true;
    cboScheme->clear();
    addItem(ikLastUsed, 0, LastUsedText);
    int selected = 0;
    bool hasDefault = false;
    const QString userID = InfoApplication ? InfoApplication->LoginInfo.UserID : QString();
    const QString sql = QString(SchemeListSQL)
                            .replace(QStringLiteral("%0:s"), QuotedStr(ViewScheme.ID))
                            .replace(QStringLiteral("%1:s"), QuotedStr(userID))
                            .replace(QStringLiteral("%2:d"), QString::number(int(vkLastUsed)))
                            .replace(QStringLiteral("%3:d"), QString::number(int(vkPublic)));
    if (ExecSQLText(ByQuery, sql, true, false, true)) {
        while (!ByQuery->Eof()) {
            const int iid = ByQuery->FieldByName(QStringLiteral("ViwIID"))->AsInteger();
            if (iid == ViewScheme.IID)
                selected = cboScheme->count();
            const QString name = ByQuery->FieldByName(QStringLiteral("ViwName"))->AsString().trimmed();
            const QString owner = ByQuery->FieldByName(QStringLiteral("ViwUsrID"))->AsString().trimmed();
            if (ByQuery->FieldByName(QStringLiteral("ViwKind"))->AsInteger() == int(vkPrivate)) {
                addItem(ikPrivate, iid, name);
            } else if (owner.isEmpty()) {
                hasDefault = true;
                addItem(ikDefault, iid, DefaultText);
            } else if (owner.compare(userID, Qt::CaseInsensitive) == 0) {
                addItem(ikOwnShared, iid, name);
            } else {
                const QString userName = ByQuery->FieldByName(QStringLiteral("UsrName"))->AsString().trimmed();
                addItem(ikOtherShared, iid, name + u'(' + userName + u')');
            }
            ByQuery->Next();
        }
        ByQuery->Close();
    }
    if (!hasDefault)
        addItem(ikDefault, -1, DefaultText);
    cboScheme->setCurrentIndex(selected);
    FLoading = false;
    cboSchemePropertiesChange();
}

void TViewSettingDlg::cboSchemePropertiesChange()
{
    const int index = cboScheme->currentIndex();
    if (index < 0)
        return;
    const int kind = ItemKind(index);
    if (kind == ikLastUsed) {
        if (OrigScheme)
            ViewScheme = *OrigScheme;
    } else {
        ViewScheme.IID = ItemValue(index);
        LoadViewScheme(ViewScheme);
        // A stored setting never loses the current column layout.
        if (OrigScheme && ReadViewSchemeParam(ViewScheme.Params, PositionsSection).isEmpty())
            ViewScheme.Params = WriteViewSchemeParam(ViewScheme.Params, PositionsSection,
                                                     ReadViewSchemeParam(OrigScheme->Params, PositionsSection));
    }
    LoadScheme();
    btnSchemeDelete->setEnabled(kind == ikPrivate || kind == ikOwnShared);
}

void TViewSettingDlg::btnSchemeNewOnClick()
{
    if (cboScheme->count() > 0)
        cboScheme->setCurrentIndex(cboScheme->count() - 1);
}

void TViewSettingDlg::btnSchemeSaveOnClick()
{
    if (!SaveScheme())
        return;
    TViewSettingItems items;
    for (int i = 0; i < cboScheme->count(); ++i)
        items.append({ItemKind(i), cboScheme->itemText(i)});
    QString name;
    bool shared = false;
    if (!ShowViewSettingSaveDlg(ViewScheme.ID, items, name, shared))
        return;
    ViewScheme.IID = 0;
    ViewScheme.Name = name;
    ViewScheme.Kind = shared ? vkPublic : vkPrivate;
    if (SaveViewScheme(ViewScheme, false))
        LoadSchemes();
}

void TViewSettingDlg::btnSchemeDeleteOnClick()
{
    if (ShowQuestion(UCommonText::ConfirmDelete, int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2)) != kvos::IDOK)
        return;
    if (!DeleteViewScheme(ViewScheme))
        return;
    FLoading = true;
    cboScheme->removeItem(cboScheme->currentIndex());
    FLoading = false;
    if (cboScheme->currentIndex() == 0)
        cboSchemePropertiesChange();
    else
        cboScheme->setCurrentIndex(0);
}

void TViewSettingDlg::done(int r)
{
    // Closing with OK keeps the dialog open while the options do not check.
    if (r == QDialog::Accepted && !SaveScheme())
        return;
    TDialog::done(r);
}
