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

// Written whenever the batch passes this length, and once more at the end.
constexpr int MaxBatchLength = 65000;
constexpr int MinRightSideWidth = 470;
const QChar CR = u'\r';

QString numberAndName(const QString& ANo, const QString& AName)
{
    return ANo.compare(AName, Qt::CaseInsensitive) == 0 ? ANo : ANo + QStringLiteral(" (") + AName + u')';
}

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

// ---------------------------------------------------------------- opening

void TPermissionsDlg::actOpenExecute()
{
    OpenGrantTarget(false);
}

bool TPermissionsDlg::OpenGrantTarget(bool AForce)
{
    kvui::TreeNode* leaf = trlObjects->focusedNode();
    if (!leaf || leaf->stateIndex() < 0)
        return false;
    return OpenGrantTarget(TGrantObjectType(leaf->stateIndex()), leaf->text(colObjID), leaf->text(colObjName), AForce);
}

bool TPermissionsDlg::OpenGrantTarget(TGrantObjectType AType, const QString& AID, const QString& ACaption, bool AForce)
{
    if (!AForce && !FCurObjectID.isEmpty() && AType == FCurObjectType && AID.compare(FCurObjectID, Qt::CaseInsensitive) == 0) {
        trlPermissions->setFocus();
        return true;
    }
    if (!ConfirmSaveChanges())
        return false;
    ClearGrid();
    if (AType != gotUser)
        actShowInherited->setChecked(false);
    const bool inherited = AType == gotUser && actShowInherited->isChecked();
    trlPermissions->setShowRoot(inherited);
    trlPermissions->setShowTreeLines(inherited);
    FModified = false;
    FCurObjectType = AType;
    FCurObjectID = AID;
    FGrantDynColCount = 0;
    FGrantDynRowIndex = 0;
    trlPermissions->clearSorting();
    lblCurObject->setText(ACaption);
    if (AType == gotInfo)
        LoadObjectGrants();
    else
        LoadSubjectGrants();
    trlPermissions->setFocus();
    // The grid was emptied: its first row takes the focus.
    if (trlPermissions->rowCount() > 0)
        trlPermissions->setFocusedRow(0);
    SyncGrantButtons();
    UpdateActions();
    return true;
}

void TPermissionsDlg::ClearGrid()
{
    if (FCurObjectType != gotInfo)
        for (kvui::TreeNode* n : trlPermissions->topNodes()) {
            delete static_cast<TGrantInfoDef*>(n->object());
            n->setObject(nullptr);
        }
    trlPermissions->clear();
    for (kvui::Column* c : colGrantItems)
        c->setVisible(false);
    // Columns added for an object with more dynamic items than designed go again.
    while (colGrantItems.size() > GrantDesignedDynColumns)
        trlPermissions->removeColumn(colGrantItems.takeLast());
    for (int k = 0; k < FGrantInfoDef->Items.size(); ++k)
        FGrantInfoDef->Items[k] = TGrantInfoAction();
    FGrantInfoDef->Items.resize(GrantFixedColumns + GrantDesignedDynColumns);
    FGrantInfoDef->Items[0].Used = true;
}

void TPermissionsDlg::UseDynColumn(int k)
{
    // An object with more dynamic items than the designed columns gets more columns.
    while (GrantColumn(k) == nullptr) {
        kvui::Column* c = trlPermissions->addColumn(QString(), QString(), colGrantOpen->bandIndex());
        c->setObjectName(QStringLiteral("colGrantItem%1").arg(colGrantItems.size() + 1));
        c->setValueType(QStringLiteral("Integer"));
        c->setEditor(colGrantOpen->editor());
        c->setMovable(false);
        c->setVisible(false);
        c->setPosition(colGrantOpen->bandIndex(), 0, colGrantFilter->colIndex());
        colGrantItems.append(c);
        InstallCellText(c);
    }
    kvui::Column* c = GrantColumn(k);
    if (!c->isVisible()) {
        c->setVisible(true);
        c->setWidth(50);
    }
    FGrantDynColCount = qMax(FGrantDynColCount, k - GrantFixedColumns + 1);
}

kvui::TreeNode* TPermissionsDlg::AddGrantRow(kvui::TreeNode* AParent, const QString& AID, const QString& AText, int AImage,
                                             int AKind)
{
    kvui::TreeNode* n = AParent ? AParent->addChild() : trlPermissions->addNode();
    n->setValue(colGrantObjID, AID);
    n->setValue(colGrantObjName, AText);
    n->setImageIndex(AImage);
    n->setStateIndex(AKind);
    return n;
}

int TPermissionsDlg::ObjectMenuPosition(const QString& AObjectID)
{
    if (!FObjectOrderLoaded) {
        FObjectOrderLoaded = true;
        kvui::TreeList hidden;
        kvui::Column* id = hidden.addColumn();
        kvui::Column* name = hidden.addColumn();
        LoadInfoObjectTree(&hidden, id, name, gotInfo, QStringList());
        for (kvui::TreeNode* n : hidden.allNodes())
            if (n->stateIndex() == gotInfo)
                FObjectOrder.append(n->text(id).toUpper());
    }
    const qsizetype i = FObjectOrder.indexOf(AObjectID.toUpper());
    return i < 0 ? FGrantDynRowIndex : int(i) + 1;
}

void TPermissionsDlg::LoadSubjectGrants(const QStringList& AAddObjectIDs)
{
    const bool adding = !AAddObjectIDs.isEmpty();
    const bool inherited = !adding && InheritedView();
    const QStringList args = {FCurObjectType == gotGroup ? QStringLiteral("1") : QStringLiteral("0"), QuotedStr(FCurObjectID)};

    QString sql = QStringLiteral("if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..#QZ_SYS_PmsObjID'))") + CR
                  + QStringLiteral("drop table #QZ_SYS_PmsObjID") + CR;
    if (adding) {
        QStringList quoted;
        for (const QString& id : AAddObjectIDs)
            quoted.append(QuotedStr(id));
        sql += QStringLiteral("select PmsObjID=ObjID into #QZ_SYS_PmsObjID from QZ_SYS_Objects with(nolock) where ObjID in (")
               + quoted.join(u',') + u')' + CR;
    } else if (inherited) {
        sql += FormatPositional(QStringLiteral("select PmsObjID into #QZ_SYS_PmsObjID from QZ_SYS_Permissions with(nolock) where PmsIsGroup=0 and PmsUsrID=%1:s")
                             + CR + QStringLiteral("union") + CR
                             + QStringLiteral("select PmsObjID from QZ_SYS_Permissions with(nolock) join QZ_SYS_UserBelongs with(nolock) on PmsIsGroup=1 and PmsUsrID=GrpID where UsrID=%1:s")
                             + CR,
                         args);
    } else {
        sql += FormatPositional(QStringLiteral("select distinct PmsObjID into #QZ_SYS_PmsObjID from QZ_SYS_Permissions with(nolock) where PmsIsGroup=%0:d and PmsUsrID=%1:s")
                             + CR,
                         args);
    }
    sql += QStringLiteral("if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..#QZ_SYS_PmsActions'))") + CR
           + QStringLiteral("drop table #QZ_SYS_PmsActions") + CR;
    sql += QStringLiteral("select ObjID, ObjName, ObjType, ObjCanFilter, Type=0, ActID=cast('' as varchar(50)), ActName=cast('' as nvarchar(80)), ActSeqNo=cast(0 as smallint), ActType=0")
           + QStringLiteral(" into #QZ_SYS_PmsActions from QZ_SYS_Objects with(nolock) join #QZ_SYS_PmsObjID on ObjID=PmsObjID") + CR
           + QStringLiteral("union") + CR
           + QStringLiteral("select ActObjID, '', 0, cast(0 as bit), Type=1, ActID, ActName, ActSeqNo, ActType from QZ_SYS_ObjActions with(nolock) join #QZ_SYS_PmsObjID on ActObjID=PmsObjID and isnull(ActAgrID,'')=''")
           + CR + QStringLiteral("union") + CR
           + QStringLiteral("select AgrObjID, '', 0, cast(0 as bit), Type=2, AgrID, AgrName, AgrSeqNo, 0 from QZ_SYS_ObjAccessGroups with(nolock) join #QZ_SYS_PmsObjID on AgrObjID=PmsObjID")
           + CR;
    QString result = QStringLiteral("select t.*, GrpNo, GrpName, PmsKind, PmsFilter from #QZ_SYS_PmsActions as t");
    if (inherited)
        result += QStringLiteral(" left join (select PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter, GrpNo, GrpName")
                  + QStringLiteral(" from QZ_SYS_Permissions with(nolock) left join QZ_SYS_UserBelongs as b with(nolock) on PmsIsGroup=1 and PmsUsrID=b.GrpID and UsrID=%1:s")
                  + QStringLiteral(" left join QZ_SYS_UserGroups as g with(nolock) on b.GrpID=g.GrpID where PmsIsGroup=0 and PmsUsrID=%1:s or b.GrpID is not null")
                  + CR + QStringLiteral("union all") + CR
                  + QStringLiteral("select ObjID, Type, ActID, 0, null, null, null from #QZ_SYS_PmsActions")
                  + QStringLiteral(" left join QZ_SYS_Permissions with(nolock) on PmsIsGroup=0 and PmsUsrID=%1:s and ObjID=PmsObjID and Type=PmsType and ActID=PmsRelID")
                  + QStringLiteral(" where PmsObjID is null) as p");
    else
        result += QStringLiteral(" left join (select PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter, GrpNo=cast(null as varchar(50)), GrpName=cast(null as nvarchar(80))")
                  + QStringLiteral(" from QZ_SYS_Permissions with(nolock) where PmsIsGroup=%0:d and PmsUsrID=%1:s) as p");
    result += QStringLiteral(" on ObjID=PmsObjID and Type=PmsType and ActID=PmsRelID") + CR + QStringLiteral(" order by ObjID, GrpNo, Type, ActSeqNo");
    sql += FormatPositional(result, args);

    // The menu order is read before the grants: both use the shared query.
    if (!adding)
        ObjectMenuPosition(QString());
    TADOQuery* q = GlobalADOQuery;
    if (!ExecSQLText(q, sql, true, false, true))
        return;

    trlPermissions->beginUpdate();
    kvui::TreeNode* objectRow = nullptr;
    kvui::TreeNode* row = nullptr;
    TGrantInfoDef* def = nullptr;
    QString curObject;
    QVariant curGroup;
    int dynCount = 0;
    kvui::TreeNode* firstAdded = nullptr;
    for (q->First(); !q->Eof(); q->Next()) {
        const QString objID = q->FieldByName("ObjID")->AsString();
        const int type = q->FieldByName("Type")->AsInteger();
        const QString actID = q->FieldByName("ActID")->AsString();
        const int actType = q->FieldByName("ActType")->AsInteger();
        const QVariant grpNo = q->FieldByName("GrpNo")->Value();
        if (!objectRow || objID.compare(curObject, Qt::CaseInsensitive) != 0) {
            curObject = objID;
            def = new TGrantInfoDef;
            def->CanFilter = q->FieldByName("ObjCanFilter")->AsBoolean();
            objectRow = AddGrantRow(nullptr, objID, q->FieldByName("ObjName")->AsString(),
                                    InfoObjectImageIndex(q->FieldByName("ObjType")->AsInteger(), false), gotInfo);
            objectRow->setObject(def);
            const int order = adding ? FGrantDynRowIndex + int(AAddObjectIDs.indexOf(objID)) + 1 : ObjectMenuPosition(objID);
            objectRow->setValue(colGrantIndex, order);
            if (adding && !firstAdded)
                firstAdded = objectRow;
            row = objectRow;
            curGroup = QVariant();
            dynCount = 0;
        } else if (!grpNo.isNull() && (curGroup.isNull() || grpNo.toString() != curGroup.toString())) {
            curGroup = grpNo;
            row = AddGrantRow(objectRow, QString(), numberAndName(grpNo.toString(), q->FieldByName("GrpName")->AsString()),
                              UserImageIndex(true, false, false), gotGroup);
        }

        int k;
        if (type == 0)
            k = 0;
        else if (actType == 4)
            k = 1;
        else if (actType == 5)
            k = 2;
        else if (row != objectRow) {
            k = -1;
            for (int i = GrantFixedColumns; i < def->Items.size(); ++i)
                if (def->Items[i].Used && def->Items[i].ActType == type && def->Items[i].ActID.compare(actID, Qt::CaseInsensitive) == 0) {
                    k = i;
                    break;
                }
            if (k < 0)
                continue;
        } else {
            k = GrantFixedColumns + dynCount++;
            UseDynColumn(k);
        }
        if (row == objectRow) {
            TGrantInfoAction& item = def->Item(k);
            item.Used = true;
            item.ActType = type;
            item.ActID = actID;
            item.ActName = q->FieldByName("ActName")->AsString();
        }

        int state;
        const QVariant kind = q->FieldByName("PmsKind")->Value();
        const QString filter = q->FieldByName("PmsFilter")->AsString();
        if (adding)
            state = gsGranted;
        else if (kind.isNull() || kind.toInt() == 0)
            state = gsNone;
        else if (kind.toInt() == 2)
            state = gsDenied; // a denial stays one: shown as such and written back unchanged
        else if (type != 0)
            state = gsGranted;
        else
            state = filter.isEmpty() ? gsGranted : gsFiltered;
        if (type == 0 && !adding && !filter.isEmpty() && state != gsNone)
            row->setValue(colGrantFilter, filter);
        row->setValue(GrantColumn(k), state);
    }
    q->Close();
    trlPermissions->endUpdate();

    trlPermissions->expandAll();
    trlPermissions->bestFitColumn(colGrantObjName);
    for (int k = GrantFixedColumns; k < GrantFixedColumns + FGrantDynColCount; ++k)
        if (GrantColumn(k)->isVisible()) {
            // room for the state picture before the action's name
            trlPermissions->bestFitColumn(GrantColumn(k));
            GrantColumn(k)->setWidth(GrantColumn(k)->width() + 22);
        }
    trlPermissions->sortBy(colGrantIndex, Qt::AscendingOrder);
    if (trlPermissions->rowCount() > 0) {
        kvui::TreeNode* last = nullptr;
        for (kvui::TreeNode* n : trlPermissions->allNodes())
            if (!n->parent())
                last = n;
        // the top-level row shown last holds the highest order number
        int highest = FGrantDynRowIndex;
        for (kvui::TreeNode* n : trlPermissions->topNodes())
            highest = qMax(highest, n->value(colGrantIndex).toInt());
        Q_UNUSED(last);
        FGrantDynRowIndex = highest;
    }
    if (firstAdded) {
        trlPermissions->clearSelection();
        trlPermissions->setFocusedNode(firstAdded);
        trlPermissions->selectNode(firstAdded, true);
        trlPermissions->makeRowVisible(trlPermissions->rowOfNode(firstAdded));
    }
}

void TPermissionsDlg::LoadObjectGrants()
{
    for (TGrantInfoAction& item : FGrantInfoDef->Items)
        item.Used = false;
    FGrantInfoDef->Items[0].Used = true;
    TADOQuery* q = GlobalADOQuery;
    const QString id = QuotedStr(FCurObjectID);
    if (!ExecSQLText(q, QStringLiteral("select ObjCanFilter from QZ_SYS_Objects with(nolock) where ObjID=") + id, true, false, true))
        return;
    FGrantInfoDef->CanFilter = !q->Eof() && q->Fields()->Field(0)->AsBoolean();
    q->Close();

    if (!ExecSQLText(q,
                     FormatPositional(QStringLiteral("select Type=1, ActID, ActName, ActSeqNo, ActType from QZ_SYS_ObjActions with(nolock) where ActObjID=%0:s and isnull(ActAgrID,'')=''")
                                   + CR + QStringLiteral("union") + CR
                                   + QStringLiteral("select Type=2, AgrID, AgrName, AgrSeqNo, AgrType=0 from QZ_SYS_ObjAccessGroups with(nolock) where AgrObjID=%0:s")
                                   + CR + QStringLiteral(" order by Type, ActSeqNo"),
                               {id}),
                     true, false, true))
        return;
    int dynCount = 0;
    for (q->First(); !q->Eof(); q->Next()) {
        const int actType = q->FieldByName("ActType")->AsInteger();
        int k;
        if (actType == 4)
            k = 1;
        else if (actType == 5)
            k = 2;
        else {
            k = GrantFixedColumns + dynCount++;
            UseDynColumn(k);
            kvui::Column* c = GrantColumn(k);
            const QString caption = q->FieldByName("ActName")->AsString();
            c->setCaption(caption);
            c->setWidth(qMax(40, fontMetrics().horizontalAdvance(caption) + 10));
        }
        TGrantInfoAction& item = FGrantInfoDef->Item(k);
        item.Used = true;
        item.ActType = q->FieldByName("Type")->AsInteger();
        item.ActID = q->FieldByName("ActID")->AsString();
        item.ActName = q->FieldByName("ActName")->AsString();
    }
    q->Close();

    const QString rows = FormatPositional(
        QStringLiteral("select Type=%1:d, UsrID, UsrNo, UsrName, UsrDisabled, PmsType, PmsRelID, PmsKind, PmsFilter from QZ_SYS_Permissions with(nolock) join QZ_SYS_Users with(nolock) on PmsIsGroup=0 and PmsUsrID=UsrID where PmsObjID=%0:s")
            + CR + QStringLiteral("union all") + CR
            + QStringLiteral("select Type=%2:d, GrpID, GrpNo, GrpName, cast(0 as bit), PmsType, PmsRelID, PmsKind, PmsFilter from QZ_SYS_Permissions with(nolock) join QZ_SYS_UserGroups with(nolock) on PmsIsGroup=1 and PmsUsrID=GrpID where PmsObjID=%0:s order by Type, UsrNo"),
        {id, QStringLiteral("1"), QStringLiteral("0")});
    if (!ExecSQLText(q, rows, true, false, true))
        return;
    trlPermissions->beginUpdate();
    kvui::TreeNode* row = nullptr;
    QString curID;
    int curKind = -1;
    for (q->First(); !q->Eof(); q->Next()) {
        const int rowKind = q->FieldByName("Type")->AsInteger(); // 0 group, 1 user
        const QString uid = q->FieldByName("UsrID")->AsString();
        if (!row || rowKind != curKind || uid.compare(curID, Qt::CaseInsensitive) != 0) {
            curID = uid;
            curKind = rowKind;
            row = AddGrantRow(nullptr, uid,
                              numberAndName(q->FieldByName("UsrNo")->AsString(), q->FieldByName("UsrName")->AsString()),
                              UserImageIndex(rowKind == 0, q->FieldByName("UsrDisabled")->AsBoolean(), false),
                              rowKind == 0 ? gotGroup : gotUser);
        }
        const int pmsType = q->FieldByName("PmsType")->AsInteger();
        const QString relID = q->FieldByName("PmsRelID")->AsString();
        const QString filter = q->FieldByName("PmsFilter")->AsString();
        const bool denied = q->FieldByName("PmsKind")->AsInteger() == 2;
        for (int k = 0; k < FGrantInfoDef->Items.size(); ++k) {
            const TGrantInfoAction& item = FGrantInfoDef->Items[k];
            if (!item.Used || item.ActType != pmsType || item.ActID.compare(relID, Qt::CaseInsensitive) != 0)
                continue;
            if (k == 0 && !filter.isEmpty())
                row->setValue(colGrantFilter, filter);
            row->setValue(GrantColumn(k), denied ? gsDenied : (k == 0 && !filter.isEmpty() ? gsFiltered : gsGranted));
        }
    }
    q->Close();
    trlPermissions->endUpdate();
    trlPermissions->bestFitColumn(colGrantObjName);
}

// ---------------------------------------------------------------- grants

void TPermissionsDlg::SetFocusedCellState(int AState)
{
    kvui::TreeNode* n = trlPermissions->focusedNode();
    const int k = GrantColumnIndex(trlPermissions->focusedColumn());
    if (!n || k < 0 || !IsCellGrantable(n, k))
        return;
    if (CellState(n, k) != AState) {
        n->setValue(GrantColumn(k), AState);
        if (k == 0 && AState != gsFiltered)
            n->setValue(colGrantFilter, QVariant());
        FModified = true;
    }
    SyncGrantButtons();
    UpdateActions();
}

void TPermissionsDlg::actGrantNoneExecute()
{
    if (FGrantButtonSetting)
        return;
    // The open grant goes only with its row.
    if (GrantColumnIndex(trlPermissions->focusedColumn()) == 0) {
        SyncGrantButtons();
        return;
    }
    SetFocusedCellState(gsNone);
}

void TPermissionsDlg::actGrantAllExecute()
{
    if (FGrantButtonSetting)
        return;
    SetFocusedCellState(gsGranted);
}

void TPermissionsDlg::actGrantFilterExecute()
{
    if (FGrantButtonSetting)
        return;
    kvui::TreeNode* n = trlPermissions->focusedNode();
    if (!n)
        return;
    kvui::TreeNode* top = n->parent() ? n->parent() : n;
    const QString objectID = FCurObjectType == gotInfo ? FCurObjectID : top->text(colGrantObjID);
    QString code = ExtractDelimitedItems(n->value(colGrantFilter).toString(), QStringLiteral("|"), 1, 1);
    QString text;
    TInfoObjectDef* def = nullptr;
    try {
        def = InfoApplication->GetInfoObjectDef(objectID);
    } catch (const Exception& e) {
        ShowADOError(e, GlobalADOQuery);
        SyncGrantButtons();
        return;
    }
    if (!InfoApplication->ShowFilterDlg(def, text, code, GlobalADOQuery, QString(), InheritedView())) {
        SyncGrantButtons();
        return;
    }
    if (InheritedView() || n->parent()) {
        SyncGrantButtons();
        return;
    }
    if (!text.isEmpty()) {
        n->setValue(colGrantFilter, code + u'|' + text);
        n->setValue(colGrantOpen, gsFiltered);
        FModified = true;
        trlPermissions->setFocusedColumn(colGrantOpen);
        SyncGrantButtons();
        UpdateActions();
    } else {
        n->setValue(colGrantFilter, QVariant());
        trlPermissions->setFocusedColumn(colGrantOpen);
        if (CellState(n, 0) != gsGranted) {
            n->setValue(colGrantOpen, gsGranted);
            FModified = true;
        }
        SyncGrantButtons();
        UpdateActions();
    }
}

void TPermissionsDlg::GridDoubleClick(kvui::TreeNode* ANode, kvui::Column* AColumn)
{
    if (!ANode || !AColumn || trlPermissions->selectedCount() > 1)
        return;
    if (AColumn == colGrantObjName) {
        if (ANode->childCount() > 0)
            ANode->setExpanded(!ANode->isExpanded());
        return;
    }
    const int k = GrantColumnIndex(AColumn);
    if (k < 0)
        return;
    trlPermissions->setFocusedNode(ANode);
    trlPermissions->setFocusedColumn(AColumn);
    const int state = CellState(ANode, k);
    if (InheritedView()) {
        if (state == gsFiltered && k == 0)
            actGrantFilterExecute();
    } else if (IsCellGrantable(ANode, k)) {
        const bool ctrl = QApplication::keyboardModifiers().testFlag(Qt::ControlModifier);
        if (state == gsGranted) {
            if (IsCellFilterable(ANode, k))
                actGrantFilterExecute();
            else
                actGrantNoneExecute();
        } else if (state == gsFiltered && ctrl) {
            actGrantFilterExecute();
        } else {
            actGrantAllExecute();
        }
    }
    SyncGrantButtons();
}

void TPermissionsDlg::SyncGrantButtons()
{
    FGrantButtonSetting = true;
    kvui::TreeNode* n = trlPermissions->focusedNode();
    const int k = GrantColumnIndex(trlPermissions->focusedColumn());
    const int state = n && k >= 0 ? CellState(n, k) : gsNone;
    rbGrantAll->setChecked(state == gsGranted);
    rbGrantFilter->setChecked(state == gsFiltered);
    rbGrantNone->setChecked(state != gsGranted && state != gsFiltered);
    FGrantButtonSetting = false;
    UpdateActions();
}

void TPermissionsDlg::UpdateActions()
{
    kvui::TreeNode* leaf = trlObjects->focusedNode();
    actOpen->setEnabled(leaf && leaf->stateIndex() >= 0);
    actCopy->setEnabled(actOpen->isEnabled() && !actViewInfos->isChecked());
    actShowInherited->setVisible(!FCurObjectID.isEmpty() && FCurObjectType == gotUser);
    actSave->setEnabled(FModified);
    actRevert->setEnabled(FModified);
    lblGrantRange->setEnabled(!InheritedView());
    actItemAdd->setEnabled(lblGrantRange->isEnabled() && !FCurObjectID.isEmpty());
    actItemRemove->setEnabled(actItemAdd->isEnabled() && trlPermissions->selectedCount() > 0);
    kvui::TreeNode* n = trlPermissions->focusedNode();
    const int k = GrantColumnIndex(trlPermissions->focusedColumn());
    actGrantAll->setEnabled(actItemAdd->isEnabled() && trlPermissions->selectedCount() <= 1 && IsCellGrantable(n, k));
    actGrantNone->setEnabled(actGrantAll->isEnabled() && k != 0);
    actGrantFilter->setEnabled(actItemAdd->isEnabled() && n && !n->parent() && IsCellFilterable(n, k));
}

// ---------------------------------------------------------------- add, remove

void TPermissionsDlg::actItemAddExecute()
{
    if (FCurObjectID.isEmpty())
        return;
    if (FCurObjectType != gotInfo) {
        QStringList objects;
        for (kvui::TreeNode* n : trlPermissions->topNodes())
            objects.append(n->text(colGrantObjID));
        if (!ShowSelectInfoObjectDlg(objects, true, QStringLiteral("选择授权信息对象")))
            return;
        QStringList ids;
        for (const QString& line : objects) {
            const QString id = line.section(u'=', 0, 0);
            if (!id.isEmpty())
                ids.append(id);
        }
        if (ids.isEmpty())
            return;
        trlPermissions->clearSorting();
        LoadSubjectGrants(ids);
        FModified = true;
    } else {
        TUserRecs users;
        for (kvui::TreeNode* n : trlPermissions->topNodes()) {
            TUserRec rec;
            rec.UserID = n->text(colGrantObjID);
            rec.IsGroup = n->stateIndex() == gotGroup;
            users.append(rec);
        }
        if (!InfoApplication->ShowSelectUser(users, true, QStringLiteral("选择授权用户"), TShowUserOptions()))
            return;
        kvui::TreeNode* first = nullptr;
        for (const TUserRec& u : users) {
            kvui::TreeNode* row = AddGrantRow(nullptr, u.UserID, u.UserName, UserImageIndex(u.IsGroup, u.IsDisabled, false),
                                              u.IsGroup ? gotGroup : gotUser);
            for (int k = 0; k < FGrantInfoDef->Items.size(); ++k)
                if (FGrantInfoDef->Items[k].Used)
                    row->setValue(GrantColumn(k), gsGranted);
            if (!first)
                first = row;
        }
        if (first) {
            trlPermissions->clearSelection();
            trlPermissions->setFocusedNode(first);
            trlPermissions->selectNode(first, true);
            trlPermissions->makeRowVisible(trlPermissions->rowOfNode(first));
        }
        trlPermissions->bestFitColumn(colGrantObjName);
        FModified = true;
    }
    SyncGrantButtons();
    UpdateActions();
}

void TPermissionsDlg::actItemRemoveExecute()
{
    const QList<kvui::TreeNode*> selected = trlPermissions->selectedNodes();
    if (selected.isEmpty())
        return;
    for (kvui::TreeNode* n : selected) {
        if (n->parent())
            continue;
        if (FCurObjectType != gotInfo)
            delete static_cast<TGrantInfoDef*>(n->object());
        n->setObject(nullptr);
        trlPermissions->deleteNode(n);
    }
    if (FCurObjectType != gotInfo)
        RecountDynColumns();
    FModified = true;
    SyncGrantButtons();
    UpdateActions();
}

void TPermissionsDlg::RecountDynColumns()
{
    int highest = 0;
    for (kvui::TreeNode* n : trlPermissions->topNodes())
        if (auto* def = static_cast<TGrantInfoDef*>(n->object()))
            for (int k = GrantFixedColumns; k < def->Items.size(); ++k)
                if (def->Items[k].Used)
                    highest = qMax(highest, k - GrantFixedColumns + 1);
    for (int i = highest; i < colGrantItems.size(); ++i)
        colGrantItems[i]->setVisible(false);
    FGrantDynColCount = highest;
}

// ---------------------------------------------------------------- save, revert, copy

bool TPermissionsDlg::SaveGrants()
{
    if (FCurObjectID.isEmpty())
        return true;
    const bool objectView = FCurObjectType == gotInfo;
    QString batch = objectView
                        ? QStringLiteral("delete QZ_SYS_Permissions where PmsObjID=") + QuotedStr(FCurObjectID)
                        : QStringLiteral("delete QZ_SYS_Permissions where PmsIsGroup=") + (FCurObjectType == gotGroup ? u'1' : u'0')
                              + QStringLiteral(" and PmsUsrID=") + QuotedStr(FCurObjectID);
    TADOQuery* q = GlobalADOQuery;
    // One transaction over every piece: a failing piece takes back the delete
    // and the pieces before it, so no grant is lost.
    try {
        kvado::ScopedTransaction transaction(q->Connection());
        for (kvui::TreeNode* n : trlPermissions->topNodes()) {
            TGrantInfoDef* def = objectView ? FGrantInfoDef : static_cast<TGrantInfoDef*>(n->object());
            if (!def)
                continue;
            const bool isGroup = objectView ? n->stateIndex() == gotGroup : FCurObjectType == gotGroup;
            const QString usrID = objectView ? n->text(colGrantObjID) : FCurObjectID;
            const QString objID = objectView ? FCurObjectID : n->text(colGrantObjID);
            for (int k = 0; k < FGrantDynColCount + GrantFixedColumns && k < def->Items.size(); ++k) {
                const int state = CellState(n, k);
                if (state == gsNone)
                    continue;
                const TGrantInfoAction& item = def->Items[k];
                const QString filter = n->value(colGrantFilter).toString();
                const bool writeFilter = k == 0 && !filter.isEmpty() && (state == gsFiltered || state == gsDenied);
                batch += CR
                         + FormatMessage(QStringLiteral("insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter) values (%d, %s, %s, %d, %s, %d, %s)"),
                                         {isGroup ? 1 : 0, QuotedStr(usrID), QuotedStr(objID), item.ActType, QuotedStr(item.ActID),
                                          state == gsDenied ? 2 : 1, writeFilter ? QuotedStr(filter) : QStringLiteral("null")});
                if (batch.size() > MaxBatchLength) {
                    if (!ExecSQLText(q, batch, false, false, true))
                        return false;
                    batch.clear();
                }
            }
        }
        if (!batch.isEmpty() && !ExecSQLText(q, batch, false, false, true))
            return false;
        transaction.Commit();
    } catch (const Exception& e) {
        ShowADOError(e, q);
        return false;
    }
    FModified = false;
    trlPermissions->setFocus();
    UpdateActions();
    return true;
}

void TPermissionsDlg::actSaveExecute()
{
    SaveGrants();
}

bool TPermissionsDlg::ConfirmSaveChanges()
{
    if (!FModified)
        return true;
    switch (ShowQuestion(FormatMessage(QStringLiteral("对象\"%s\"的权限信息已修改, 保存?"), {lblCurObject->text()}),
                         int(kvos::MB_YESNOCANCEL))) {
    case kvos::IDYES:
        return SaveGrants();
    case kvos::IDNO:
        return true;
    default:
        return false;
    }
}

void TPermissionsDlg::actRevertExecute()
{
    if (ShowQuestion(FormatMessage(QStringLiteral("放弃对象\"%s\"的权限信息修改, 确定?"), {lblCurObject->text()}),
                     int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2))
        != kvos::IDOK)
        return;
    FModified = false;
    OpenGrantTarget(FCurObjectType, FCurObjectID, lblCurObject->text(), true);
}

void TPermissionsDlg::actShowInheritedExecute()
{
    if (FCurObjectType != gotUser || FCurObjectID.isEmpty())
        return;
    if (!ConfirmSaveChanges()) {
        actShowInherited->setChecked(!actShowInherited->isChecked());
        return;
    }
    FModified = false;
    OpenGrantTarget(FCurObjectType, FCurObjectID, lblCurObject->text(), true);
}

void TPermissionsDlg::actCopyExecute()
{
    kvui::TreeNode* leaf = trlObjects->focusedNode();
    if (!leaf || leaf->stateIndex() < 0 || leaf->stateIndex() == gotInfo)
        return;
    const bool sourceIsGroup = leaf->stateIndex() == gotGroup;
    const QString sourceID = leaf->text(colObjID);
    const QString sourceName = leaf->text(colObjName);
    // Unsaved changes of the source are settled first: saved, or thrown away.
    if (FModified && !FCurObjectID.isEmpty() && (FCurObjectType == gotGroup) == sourceIsGroup
        && sourceID.compare(FCurObjectID, Qt::CaseInsensitive) == 0) {
        const int answer = ShowQuestion(FormatMessage(QStringLiteral("对象\"%s\"的权限信息已修改, 保存?"), {lblCurObject->text()}),
                                        int(kvos::MB_YESNOCANCEL));
        if (answer == kvos::IDCANCEL)
            return;
        if (answer == kvos::IDYES) {
            if (!SaveGrants())
                return;
        } else {
            FModified = false;
            OpenGrantTarget(FCurObjectType, FCurObjectID, lblCurObject->text(), true);
        }
    }
    if (ShowWarning(FormatMessage(QStringLiteral("复制\"%s\"的权限至其他用户, 其他用户原有的权限将被覆盖, 继续?"), {sourceName}),
                    int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2))
        != kvos::IDOK)
        return;
    TUserRecs targets;
    TUserRec source;
    source.UserID = sourceID;
    source.UserName = sourceName;
    source.IsGroup = sourceIsGroup;
    targets.append(source);
    if (!InfoApplication->ShowSelectUser(targets, true, QStringLiteral("复制权限到以下选择的用户"), TShowUserOptions()))
        return;
    if (targets.isEmpty())
        return;
    TADOQuery* q = GlobalADOQuery;
    QStringList names;
    QString batch;
    try {
        kvado::ScopedTransaction transaction(q->Connection());
        for (const TUserRec& t : targets) {
            if (t.IsGroup == sourceIsGroup && t.UserID.compare(sourceID, Qt::CaseInsensitive) == 0)
                continue; // copying onto itself would only empty it
            batch += FormatPositional(QStringLiteral("delete QZ_SYS_Permissions where PmsIsGroup=%0:d and PmsUsrID=%1:s") + CR
                                   + QStringLiteral("insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter)") + CR
                                   + QStringLiteral("select %0:d, %1:s, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter from QZ_SYS_Permissions with(nolock) where PmsIsGroup=%2:d and PmsUsrID=%3:s")
                                   + CR,
                               {t.IsGroup ? QStringLiteral("1") : QStringLiteral("0"), QuotedStr(t.UserID),
                                sourceIsGroup ? QStringLiteral("1") : QStringLiteral("0"), QuotedStr(sourceID)});
            names.append(t.UserName);
            if (batch.size() > MaxBatchLength) {
                if (!ExecSQLText(q, batch, false, false, true))
                    return;
                batch.clear();
            }
        }
        if (!batch.isEmpty() && !ExecSQLText(q, batch, false, false, true))
            return;
        transaction.Commit();
    } catch (const Exception& e) {
        ShowADOError(e, q);
        return;
    }
    if (names.isEmpty())
        return;
    ShowInfo(FormatMessage(QStringLiteral("完成复制\"%s\"的权限至用户: %s。"), {sourceName, names.join(QStringLiteral(", "))}));
    // A target on show shows what it holds now.
    if (!FCurObjectID.isEmpty() && FCurObjectType != gotInfo && !FModified)
        for (const TUserRec& t : targets)
            if ((FCurObjectType == gotGroup) == t.IsGroup && t.UserID.compare(FCurObjectID, Qt::CaseInsensitive) == 0) {
                OpenGrantTarget(FCurObjectType, FCurObjectID, lblCurObject->text(), true);
                break;
            }
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
