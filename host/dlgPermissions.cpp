#include "dlgPermissions.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "clsPickEdit.h"
#include "dlgSelectInfoObject.h"
#include "dlgSelectUser.h"
#include "untApplication.h"
#include "untCommonUI.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QHelpEvent>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr int MinRightSideWidth = 470;

// A permission cell: the state's picture, then the cell's text.
class TGrantCellProperties : public kvui::EditorProperties {
public:
    QString displayText(const QVariant&) const override { return QString(); }
    void paint(QPainter* p, const QRect& rect, const QVariant& value, const QString& text) const override
    {
        const int state = value.isValid() && !value.isNull() ? value.toInt() : gsNone;
        const QList<QIcon> images = PermissionImages();
        int x = rect.left() + 2;
        if (state >= 0 && state < images.size()) {
            const int size = qMin(16, rect.height() - 2);
            images[state].paint(p, QRect(text.isEmpty() ? rect.center().x() - size / 2 : x, rect.center().y() - size / 2, size, size));
            x += size + 3;
        } else if (!text.isEmpty()) {
            x += 19;
        }
        if (!text.isEmpty())
            p->drawText(QRect(x, rect.top(), rect.right() - x, rect.height()), Qt::AlignLeft | Qt::AlignVCenter, text);
    }
};

} // namespace

// ---------------------------------------------------------------- TGrantInfoDef

TGrantInfoDef::TGrantInfoDef()
    : Items(GrantFixedColumns + GrantDesignedDynColumns)
{
    Items[0].Used = true;
}

TGrantInfoAction& TGrantInfoDef::Item(int k)
{
    if (k >= Items.size())
        Items.resize(k + 1);
    return Items[k];
}

// ---------------------------------------------------------------- construction

TPermissionsDlg::TPermissionsDlg(QWidget* parent)
    : QDialog(parent)
    , FGrantInfoDef(new TGrantInfoDef)
{
    setObjectName(QStringLiteral("PermissionsDlg"));
    setWindowTitle(QStringLiteral("用户权限"));
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    setMinimumSize(800, 550);
    resize(900, 600);

    const auto makeAction = [this](const QString& name, const QString& text, const QString& hint) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        if (!hint.isEmpty())
            a->setToolTip(hint);
        return a;
    };
    QStyle* st = style();
    actViewUsers = makeAction(QStringLiteral("actViewUsers"), QStringLiteral("全部用户"), QStringLiteral("显示全部用户"));
    actViewGrantUsers = makeAction(QStringLiteral("actViewGrantUsers"), QStringLiteral("已授权用户"), QStringLiteral("显示已授权用户"));
    actViewInfos = makeAction(QStringLiteral("actViewInfos"), QStringLiteral("信息对象"), QStringLiteral("显示信息对象"));
    auto* views = new QActionGroup(this);
    for (QAction* a : {actViewUsers, actViewGrantUsers, actViewInfos}) {
        a->setCheckable(true);
        views->addAction(a);
    }
    actViewUsers->setIcon(PermissionImages().value(piGroup));
    actViewGrantUsers->setIcon(PermissionImages().value(piGranted));
    actViewInfos->setIcon(PermissionImages().value(piInfo));
    actViewUsers->setChecked(true);
    actSearch = makeAction(QStringLiteral("actSearch"), QStringLiteral("搜索"), QStringLiteral("搜索"));
    actSearch->setIcon(st->standardIcon(QStyle::SP_FileDialogContentsView));
    actOpen = makeAction(QStringLiteral("actOpen"), QStringLiteral("打开"), QStringLiteral("打开权限内容"));
    actOpen->setIcon(st->standardIcon(QStyle::SP_ArrowRight));
    actCopy = makeAction(QStringLiteral("actCopy"), QStringLiteral("复制"), QStringLiteral("复制权限至其他用户"));
    actCopy->setIcon(st->standardIcon(QStyle::SP_FileDialogNewFolder));
    actShowInherited = makeAction(QStringLiteral("actShowInherited"), QStringLiteral("所属用户组权限"), QStringLiteral("显示所属用户组权限"));
    actShowInherited->setCheckable(true);
    actShowInherited->setIcon(PermissionImages().value(piGroup));
    actItemAdd = makeAction(QStringLiteral("actItemAdd"), QStringLiteral("增加(&A)..."), QString());
    actItemRemove = makeAction(QStringLiteral("actItemRemove"), QStringLiteral("移除(&D)"), QString());
    actGrantNone = makeAction(QStringLiteral("actGrantNone"), QStringLiteral("无(&1)"), QString());
    actGrantAll = makeAction(QStringLiteral("actGrantAll"), QStringLiteral("全部(&2)"), QString());
    actGrantFilter = makeAction(QStringLiteral("actGrantFilter"), QStringLiteral("条件(&3)..."), QString());
    actSave = makeAction(QStringLiteral("actSave"), QStringLiteral("保存(&S)"), QString());
    actRevert = makeAction(QStringLiteral("actRevert"), QStringLiteral("放弃(&R)"), QString());
    actClose = makeAction(QStringLiteral("actClose"), QStringLiteral("关闭(&X)"), QString());

    // left: the tree of users, groups or objects
    splitter = new QSplitter(Qt::Horizontal, this);
    gbxObjects = new QGroupBox(splitter);
    gbxObjects->setObjectName(QStringLiteral("gbxObjects"));
    auto* left = new QVBoxLayout(gbxObjects);
    auto* tools = new QHBoxLayout;
    tools->setSpacing(1);
    const auto toolButton = [this](QAction* a) {
        auto* b = new QToolButton(gbxObjects);
        b->setDefaultAction(a);
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        return b;
    };
    for (QAction* a : {actViewUsers, actViewGrantUsers, actViewInfos})
        tools->addWidget(toolButton(a));
    tools->addSpacing(8);
    tools->addWidget(toolButton(actOpen));
    tools->addWidget(toolButton(actCopy));
    tools->addWidget(toolButton(actShowInherited));
    tools->addStretch(1);
    left->addLayout(tools);
    auto* searchRow = new QHBoxLayout;
    auto* lblSearch = new QLabel(QStringLiteral("查找(&F):"), gbxObjects);
    edtSearch = new QLineEdit(gbxObjects);
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    lblSearch->setBuddy(edtSearch);
    searchRow->addWidget(lblSearch);
    searchRow->addWidget(edtSearch, 1);
    searchRow->addWidget(toolButton(actSearch));
    left->addLayout(searchRow);
    trlObjects = new kvui::TreeList(gbxObjects);
    trlObjects->setObjectName(QStringLiteral("trlObjects"));
    trlObjects->setShowHeaders(false);
    trlObjects->setShowBandHeaders(false);
    trlObjects->setShowIndicator(false);
    trlObjects->setEditingEnabled(false);
    trlObjects->setSortingEnabled(false);
    trlObjects->setImages(PermissionImages());
    trlObjects->addBand();
    colObjID = trlObjects->addColumn(QString());
    colObjID->setObjectName(QStringLiteral("colObjID"));
    colObjID->setVisible(false);
    colObjName = trlObjects->addColumn(QString());
    colObjName->setObjectName(QStringLiteral("colObjName"));
    colObjName->setWidth(215);
    left->addWidget(trlObjects, 1);

    // right: the grants of the one opened
    auto* right = new QWidget(splitter);
    right->setMinimumWidth(MinRightSideWidth);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(4, 0, 0, 0);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("当前对象:"), right));
    lblCurObject = new QLabel(QStringLiteral("(无)"), right);
    lblCurObject->setObjectName(QStringLiteral("lblCurObject"));
    QFont bold = lblCurObject->font();
    bold.setBold(true);
    lblCurObject->setFont(bold);
    top->addWidget(lblCurObject, 1);
    rightLayout->addLayout(top);

    auto* body = new QHBoxLayout;
    trlPermissions = new kvui::TreeList(right);
    trlPermissions->setObjectName(QStringLiteral("trlPermissions"));
    trlPermissions->setShowBandHeaders(false);
    trlPermissions->setShowIndicator(false);
    trlPermissions->setEditingEnabled(false);
    trlPermissions->setSortingEnabled(false);
    trlPermissions->setMultiSelect(true);
    trlPermissions->setShowRoot(false);
    trlPermissions->setShowTreeLines(false);
    trlPermissions->setImages(PermissionImages());
    const int fixedBand = trlPermissions->addBand(QString(), kvui::BandFixed::Left);
    const int grantBand = trlPermissions->addBand(QString());
    colGrantObjID = trlPermissions->addColumn(QString(), QString(), fixedBand);
    colGrantObjID->setObjectName(QStringLiteral("colGrantObjID"));
    colGrantObjID->setVisible(false);
    colGrantObjName = trlPermissions->addColumn(QStringLiteral("名称"), QString(), fixedBand);
    colGrantObjName->setObjectName(QStringLiteral("colGrantObjName"));
    colGrantObjName->setWidth(180);
    auto cellEditor = std::make_shared<TGrantCellProperties>();
    const auto grantColumn = [&](const QString& caption, const QString& name) {
        kvui::Column* c = trlPermissions->addColumn(caption, QString(), grantBand);
        c->setObjectName(name);
        c->setValueType(QStringLiteral("Integer"));
        c->setEditor(cellEditor);
        c->setWidth(50);
        c->setMovable(false);
        return c;
    };
    colGrantOpen = grantColumn(QStringLiteral("打开"), QStringLiteral("colGrantOpen"));
    colGrantPrint = grantColumn(QStringLiteral("打印"), QStringLiteral("colGrantPrint"));
    colGrantExport = grantColumn(QStringLiteral("导出"), QStringLiteral("colGrantExport"));
    for (int i = 1; i <= GrantDesignedDynColumns; ++i) {
        kvui::Column* c = grantColumn(QString(), QStringLiteral("colGrantItem%1").arg(i));
        c->setVisible(false);
        colGrantItems.append(c);
    }
    colGrantFilter = trlPermissions->addColumn(QString(), QString(), grantBand);
    colGrantFilter->setObjectName(QStringLiteral("colGrantFilter"));
    colGrantFilter->setVisible(false);
    colGrantIndex = trlPermissions->addColumn(QString(), QString(), grantBand);
    colGrantIndex->setObjectName(QStringLiteral("colGrantIndex"));
    colGrantIndex->setValueType(QStringLiteral("Integer"));
    colGrantIndex->setVisible(false);
    body->addWidget(trlPermissions, 1);

    auto* side = new QVBoxLayout;
    const auto pushButton = [right](QAction* a) {
        auto* b = new QPushButton(a->text(), right);
        b->setObjectName(QStringLiteral("btn") + a->objectName().mid(3));
        b->setAutoDefault(false);
        QObject::connect(b, &QPushButton::clicked, a, &QAction::trigger);
        QObject::connect(a, &QAction::changed, b, [a, b] { b->setEnabled(a->isEnabled()); });
        return b;
    };
    side->addWidget(pushButton(actItemAdd));
    side->addWidget(pushButton(actItemRemove));
    side->addSpacing(12);
    lblGrantRange = new QLabel(QStringLiteral("权限范围:"), right);
    side->addWidget(lblGrantRange);
    rbGrantNone = new QRadioButton(actGrantNone->text(), right);
    rbGrantAll = new QRadioButton(actGrantAll->text(), right);
    rbGrantFilter = new QRadioButton(actGrantFilter->text(), right);
    rbGrantNone->setObjectName(QStringLiteral("rbGrantNone"));
    rbGrantAll->setObjectName(QStringLiteral("rbGrantAll"));
    rbGrantFilter->setObjectName(QStringLiteral("rbGrantFilter"));
    for (auto [rb, a] : {std::pair{rbGrantNone, actGrantNone}, std::pair{rbGrantAll, actGrantAll},
                         std::pair{rbGrantFilter, actGrantFilter}}) {
        side->addWidget(rb);
        QAction* action = a;
        QRadioButton* button = rb;
        connect(rb, &QRadioButton::clicked, action, [this, action] {
            if (!FGrantButtonSetting)
                action->trigger();
        });
        connect(action, &QAction::changed, button, [action, button] { button->setEnabled(action->isEnabled()); });
    }
    rbGrantFilter->installEventFilter(this);
    side->addStretch(1);
    side->addWidget(pushButton(actSave));
    side->addWidget(pushButton(actRevert));
    side->addWidget(pushButton(actClose));
    body->addLayout(side);
    rightLayout->addLayout(body, 1);

    splitter->addWidget(gbxObjects);
    splitter->addWidget(right);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({260, 640});
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(splitter);
    connect(splitter, &QSplitter::splitterMoved, this, [this] { KeepRightSideWidth(); });

    // commands
    for (QAction* a : {actViewUsers, actViewGrantUsers, actViewInfos})
        connect(a, &QAction::triggered, this, [this] { actViewExecute(); });
    connect(actSearch, &QAction::triggered, this, [this] { actSearchExecute(); });
    connect(actOpen, &QAction::triggered, this, [this] { actOpenExecute(); });
    connect(actCopy, &QAction::triggered, this, [this] { actCopyExecute(); });
    connect(actShowInherited, &QAction::triggered, this, [this] { actShowInheritedExecute(); });
    connect(actItemAdd, &QAction::triggered, this, [this] { actItemAddExecute(); });
    connect(actItemRemove, &QAction::triggered, this, [this] { actItemRemoveExecute(); });
    connect(actGrantNone, &QAction::triggered, this, [this] { actGrantNoneExecute(); });
    connect(actGrantAll, &QAction::triggered, this, [this] { actGrantAllExecute(); });
    connect(actGrantFilter, &QAction::triggered, this, [this] { actGrantFilterExecute(); });
    connect(actSave, &QAction::triggered, this, [this] { actSaveExecute(); });
    connect(actRevert, &QAction::triggered, this, [this] { actRevertExecute(); });
    connect(actClose, &QAction::triggered, this, [this] { reject(); });

    connect(edtSearch, &QLineEdit::returnPressed, this, [this] { actSearchExecute(); });
    connect(edtSearch, &QLineEdit::textEdited, this, [this] { FNodeJustFound = false; });
    connect(trlObjects, &kvui::TreeList::focusedNodeChanged, this, [this] {
        FNodeJustFound = false;
        UpdateActions();
    });
    connect(trlObjects, &kvui::TreeList::nodeExpanded, this, [this] { ToggleFolderImages(trlObjects); });
    connect(trlObjects, &kvui::TreeList::nodeCollapsed, this, [this] { ToggleFolderImages(trlObjects); });
    connect(trlObjects, &kvui::BandedView::cellDoubleClicked, this, [this](int row, kvui::Column*) {
        kvui::TreeNode* n = trlObjects->nodeAtRow(row);
        if (n && n->stateIndex() >= 0)
            actOpenExecute();
    });
    connect(trlPermissions, &kvui::BandedView::cellDoubleClicked, this, [this](int row, kvui::Column* c) {
        GridDoubleClick(trlPermissions->nodeAtRow(row), c);
    });
    connect(trlPermissions, &kvui::BandedView::focusedRowChanged, this, [this] { SyncGrantButtons(); });
    connect(trlPermissions, &kvui::BandedView::selectionChanged, this, [this] { UpdateActions(); });
    trlObjects->installEventFilter(this);
    trlPermissions->installEventFilter(this);
    trlPermissions->viewport()->installEventFilter(this);

    for (int k = 0; k < GrantFixedColumns + GrantDesignedDynColumns; ++k)
        InstallCellText(GrantColumn(k));
    trlPermissions->setCustomDrawHook([this](kvui::CellDraw& cell) {
        kvui::TreeNode* n = cell.row.node;
        if (!n || cell.selected)
            return;
        const int k = GrantColumnIndex(cell.column);
        if (cell.column == colGrantObjName && !n->parent())
            return;
        if (k >= 0 && IsCellGrantable(n, k)) {
            if (!InheritedView())
                cell.background = QApplication::palette().color(QPalette::Base);
            return;
        }
        cell.background = TColorToQColor(ContentColor());
    });

    FIdleTimer = new QTimer(this);
    FIdleTimer->setInterval(150);
    connect(FIdleTimer, &QTimer::timeout, this, [this] { UpdateActions(); });
    FIdleTimer->start();

    LoadObjectTree();
    UpdateActions();
}

TPermissionsDlg::~TPermissionsDlg()
{
    ClearGrid();
    delete FGrantInfoDef;
}

// ---------------------------------------------------------------- cells

void TPermissionsDlg::InstallCellText(kvui::Column* AColumn)
{
    // A dynamic cell of the user and group view names its action beside its picture.
    AColumn->displayTextHook = [this, AColumn](const kvui::RowRef& r, const QVariant&, QString& text) {
        const int k = GrantColumnIndex(AColumn);
        TGrantInfoDef* def = RowDef(r.node);
        text = k >= GrantFixedColumns && def && k < def->Items.size() && def->Items[k].Used && FCurObjectType != gotInfo
                   ? def->Items[k].ActName
                   : QString();
    };
}

kvui::Column* TPermissionsDlg::GrantColumn(int k) const
{
    switch (k) {
    case 0: return colGrantOpen;
    case 1: return colGrantPrint;
    case 2: return colGrantExport;
    default: return k >= GrantFixedColumns ? colGrantItems.value(k - GrantFixedColumns) : nullptr;
    }
}

int TPermissionsDlg::GrantColumnIndex(const kvui::Column* AColumn) const
{
    if (!AColumn)
        return -1;
    if (AColumn == colGrantOpen)
        return 0;
    if (AColumn == colGrantPrint)
        return 1;
    if (AColumn == colGrantExport)
        return 2;
    const qsizetype i = colGrantItems.indexOf(const_cast<kvui::Column*>(AColumn));
    return i < 0 ? -1 : int(i) + GrantFixedColumns;
}

TGrantInfoDef* TPermissionsDlg::RowDef(kvui::TreeNode* ANode) const
{
    if (!ANode)
        return nullptr;
    if (FCurObjectType != gotInfo) {
        kvui::TreeNode* top = ANode->parent() ? ANode->parent() : ANode;
        return static_cast<TGrantInfoDef*>(top->object());
    }
    return FGrantInfoDef;
}

int TPermissionsDlg::CellState(kvui::TreeNode* ANode, int k) const
{
    kvui::Column* c = GrantColumn(k);
    if (!ANode || !c)
        return gsNone;
    const QVariant v = ANode->value(c);
    return v.isValid() && !v.isNull() ? v.toInt() : gsNone;
}

bool TPermissionsDlg::IsCellGrantable(kvui::TreeNode* ANode, int k) const
{
    if (!ANode || ANode->parent() || k < 0)
        return false;
    TGrantInfoDef* def = RowDef(ANode);
    if (!def || k >= def->Items.size())
        return false;
    return k == 0 ? def->CanFilter : def->Items[k].Used;
}

bool TPermissionsDlg::IsCellFilterable(kvui::TreeNode* ANode, int k) const
{
    TGrantInfoDef* def = RowDef(ANode);
    return k == 0 && def && def->CanFilter;
}

bool TPermissionsDlg::InheritedView() const
{
    return FCurObjectType == gotUser && actShowInherited->isChecked();
}

// ---------------------------------------------------------------- left tree

void TPermissionsDlg::LoadObjectTree()
{
    FNodeJustFound = false;
    if (actViewInfos->isChecked())
        LoadInfoObjectTree(trlObjects, colObjID, colObjName, gotInfo, QStringList());
    else
        LoadUserTree(trlObjects, colObjID, colObjName, gotGroup, gotUser, actViewGrantUsers->isChecked(), TShowUserOptions(),
                     TUserRecs());
    if (trlObjects->topCount() > 0)
        trlObjects->setFocusedNode(trlObjects->topNode(0));
    FNodeJustFound = false;
}

void TPermissionsDlg::actViewExecute()
{
    LoadObjectTree();
    UpdateActions();
}

void TPermissionsDlg::actSearchExecute()
{
    const QString text = edtSearch->text().trimmed();
    if (text.isEmpty()) {
        ShowInfo(QStringLiteral("请输入需查找的内容!"));
        edtSearch->setFocus();
        return;
    }
    kvui::TreeNode* found = SearchTreeNode(trlObjects, colObjName, text, FNodeJustFound);
    if (!found) {
        FNodeJustFound = false;
        ShowInfo(FormatMessage(QStringLiteral("未查找到名称包含\"%s\"的项目!"), {text}));
        return;
    }
    trlObjects->setFocusedNode(found);
    trlObjects->makeRowVisible(trlObjects->rowOfNode(found));
    trlObjects->setFocus();
    FNodeJustFound = true;
}

// ---------------------------------------------------------------- keys, layout, closing

bool TPermissionsDlg::eventFilter(QObject* AObject, QEvent* AEvent)
{
    if (AEvent->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(AEvent);
        const bool enterOrSpace = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Space;
        if (AObject == trlObjects && enterOrSpace) {
            kvui::TreeNode* n = trlObjects->focusedNode();
            if (n && n->stateIndex() >= 0) {
                actOpenExecute();
                return true;
            }
        }
        if (AObject == trlPermissions && key->key() == Qt::Key_Space) {
            GridDoubleClick(trlPermissions->focusedNode(), trlPermissions->focusedColumn());
            return true;
        }
    }
    if (AObject == trlPermissions->viewport()
        && (AEvent->type() == QEvent::MouseButtonRelease || AEvent->type() == QEvent::KeyRelease))
        QTimer::singleShot(0, this, [this] { SyncGrantButtons(); });
    if (AObject == trlPermissions && AEvent->type() == QEvent::KeyRelease)
        QTimer::singleShot(0, this, [this] { SyncGrantButtons(); });
    if (AObject == trlPermissions->viewport() && AEvent->type() == QEvent::ToolTip) {
        // a filtered open cell hints its filter text
        auto* help = static_cast<QHelpEvent*>(AEvent);
        const int r = trlPermissions->rowAt(help->pos());
        kvui::TreeNode* n = trlPermissions->nodeAtRow(r);
        const QString text = n && trlPermissions->columnAt(help->pos()) == colGrantOpen && CellState(n, 0) == gsFiltered
                                 ? ExtractDelimitedItems(n->value(colGrantFilter).toString(), QStringLiteral("|"), 2, 2)
                                 : QString();
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, trlPermissions->viewport());
        return true;
    }
    if (AObject == rbGrantFilter && AEvent->type() == QEvent::MouseButtonDblClick) {
        actGrantFilterExecute();
        return true;
    }
    return QDialog::eventFilter(AObject, AEvent);
}

void TPermissionsDlg::KeepRightSideWidth()
{
    const QList<int> sizes = splitter->sizes();
    if (sizes.size() != 2)
        return;
    const int total = sizes[0] + sizes[1];
    if (sizes[1] < MinRightSideWidth && total > MinRightSideWidth)
        splitter->setSizes({total - MinRightSideWidth, MinRightSideWidth});
}

void TPermissionsDlg::resizeEvent(QResizeEvent* AEvent)
{
    QDialog::resizeEvent(AEvent);
    KeepRightSideWidth();
}

void TPermissionsDlg::done(int r)
{
    if (!ConfirmSaveChanges())
        return;
    QDialog::done(r);
}

void ShowPermissionsDlg(QWidget* AParent)
{
    auto dlg = std::make_unique<TPermissionsDlg>(AParent);
    dlg->exec();
}
