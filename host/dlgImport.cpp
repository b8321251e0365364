#include "dlgImport.h"

#include "EscapeKey.h"
#include "Exceptions.h"
#include "MessageBox.h"
#include "TreeList.h"
#include "UCommon.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

using kvui::Column;
using kvui::TreeList;
using kvui::TreeNode;

namespace {

constexpr int PreviewRows = 10;
const char* const DragMime = "application/x-korvane-import-column";

QString exceptionText(const std::exception& e)
{
    if (auto* ex = dynamic_cast<const Exception*>(&e))
        return ex->Message;
    return QString::fromUtf8(e.what());
}

QString oneLine(QString text)
{
    text.replace(u'\n', u' ');
    text.replace(u'\r', u' ');
    return text;
}

} // namespace

TImportDlg::TImportDlg(const TExchangeFieldRecs& AExchangeFieldRecs, QWidget* parent)
    : TDialog(parent), FExchangeFieldRecs(AExchangeFieldRecs)
{
    setWindowTitle(QStringLiteral("数据导入"));
    resize(720, 560);
    btnOk->setText(QStringLiteral("导入"));
    btnCancel->setText(QStringLiteral("关闭(&X)"));
    btnOk->setDefault(false);
    btnOk->setAutoDefault(false);
    disconnect(btnOk, nullptr, this, nullptr);
    connect(btnOk, &QPushButton::clicked, this, &TImportDlg::btnOkClick);

    auto* top = new QHBoxLayout;
    auto* lblSource = new QLabel(QStringLiteral("来源数据定义(&D):"));
    cboSourceType = new QComboBox;
    cboSourceType->setObjectName("cboSourceType");
    cboSourceType->setMinimumWidth(130);
    lblSource->setBuddy(cboSourceType);
    edtSourceName = new QLineEdit;
    edtSourceName->setObjectName("edtSourceName");
    edtSourceName->setReadOnly(true);
    actDefine = new QAction(QStringLiteral(" 设置(&S)..."), this);
    btnDefine = new QPushButton(actDefine->text());
    btnDefine->setObjectName("btnDefine");
    connect(btnDefine, &QPushButton::clicked, actDefine, &QAction::trigger);
    connect(actDefine, &QAction::triggered, this, &TImportDlg::Define);
    top->addWidget(lblSource);
    top->addWidget(cboSourceType);
    top->addWidget(edtSourceName, 1);
    top->addWidget(btnDefine);

    pgcMain = new QTabWidget;
    pgcMain->setObjectName("pgcMain");
    tabDefine = new QWidget;
    tabLog = new QWidget;
    pgcMain->addTab(tabDefine, QStringLiteral(" 字段定义(&1) "));
    pgcMain->addTab(tabLog, QStringLiteral(" 导入日志(&2) "));

    // The define page: the source preview over the field grid.
    auto* lblPreview = new QLabel(QStringLiteral("来源数据字段预览(&P):"));
    trlSourceData = new TreeList;
    trlSourceData->setObjectName("trlSourceData");
    trlSourceData->setShowRoot(false);
    trlSourceData->setShowTreeLines(false);
    trlSourceData->setShowBandHeaders(false);
    trlSourceData->setEditingEnabled(false);
    trlSourceData->setSortingEnabled(false);
    trlSourceData->addBand();
    lblPreview->setBuddy(trlSourceData);
    auto* lblMaps = new QLabel(QStringLiteral("目标数据字段对应(&F):"));
    auto* lblHint = new QLabel(QStringLiteral("(提示: 可以跨网格拖放字段内容增移对应关系)"));
    chkPivot = new QCheckBox(QStringLiteral("交叉表格式(&X)"));
    chkPivot->setObjectName("chkPivot");
    actMapAdd = new QAction(QStringLiteral("增加(A) "), this);
    actMapAdd->setToolTip(QStringLiteral("增加字段对应(A)"));
    actMapRemove = new QAction(QStringLiteral("移除(&R) "), this);
    actMapRemove->setToolTip(QStringLiteral("移除对应字段"));
    btnMapAdd = new QPushButton(actMapAdd->text());
    btnMapAdd->setObjectName("btnMapAdd");
    btnMapAdd->setToolTip(actMapAdd->toolTip());
    btnMapRemove = new QPushButton(actMapRemove->text());
    btnMapRemove->setObjectName("btnMapRemove");
    btnMapRemove->setToolTip(actMapRemove->toolTip());
    connect(btnMapAdd, &QPushButton::clicked, actMapAdd, &QAction::trigger);
    connect(btnMapRemove, &QPushButton::clicked, actMapRemove, &QAction::trigger);
    connect(actMapAdd, &QAction::triggered, this, &TImportDlg::MapAdd);
    connect(actMapRemove, &QAction::triggered, this, &TImportDlg::MapRemove);
    trlFieldMaps = new TreeList;
    trlFieldMaps->setObjectName("trlFieldMaps");
    trlFieldMaps->setShowRoot(false);
    trlFieldMaps->setShowTreeLines(false);
    trlFieldMaps->setEditingEnabled(false);
    trlFieldMaps->setSortingEnabled(false);
    lblMaps->setBuddy(trlFieldMaps);

    auto* mapsBar = new QHBoxLayout;
    mapsBar->addWidget(lblMaps);
    mapsBar->addWidget(lblHint, 1);
    mapsBar->addWidget(chkPivot);
    mapsBar->addWidget(btnMapAdd);
    mapsBar->addWidget(btnMapRemove);
    auto* definePage = new QVBoxLayout(tabDefine);
    definePage->addWidget(lblPreview);
    definePage->addWidget(trlSourceData, 1);
    definePage->addLayout(mapsBar);
    definePage->addWidget(trlFieldMaps, 1);

    // The log page.
    trlLog = new TreeList;
    trlLog->setObjectName("trlLog");
    trlLog->setShowRoot(false);
    trlLog->setShowTreeLines(false);
    trlLog->setShowHeaders(false);
    trlLog->setShowBandHeaders(false);
    trlLog->setEditingEnabled(false);
    trlLog->setSortingEnabled(false);
    trlLog->addBand();
    colText = trlLog->addColumn(QString(), QStringLiteral("Text"));
    colText->setObjectName("colText");
    colText->setWidth(660);
    QStyle* st = style();
    trlLog->setImages({QIcon(), QIcon(), st->standardIcon(QStyle::SP_MessageBoxInformation),
                       st->standardIcon(QStyle::SP_MessageBoxWarning), st->standardIcon(QStyle::SP_MessageBoxCritical)});
    auto* lblProgress = new QLabel(QStringLiteral("导入进度(&P):"));
    pgbProgress = new QProgressBar;
    pgbProgress->setObjectName("pgbProgress");
    pgbProgress->setTextVisible(true);
    pgbProgress->setFormat(QString());
    pgbProgress->setValue(0);
    lblProgress->setBuddy(pgbProgress);
    auto* progress = new QHBoxLayout;
    progress->addWidget(lblProgress);
    progress->addWidget(pgbProgress, 1);
    auto* logPage = new QVBoxLayout(tabLog);
    logPage->addWidget(trlLog, 1);
    logPage->addLayout(progress);

    auto* client = new QVBoxLayout(ClientArea());
    client->setContentsMargins(0, 0, 0, 0);
    client->addLayout(top);
    client->addWidget(pgcMain, 1);

    // The kinds of source, in the order they registered.
    for (const TImportSourceClass& c : ImportSourceClasses()) {
        cboSourceType->addItem(c.SourceType);
        FSources.emplace_back();
    }
    if (cboSourceType->count() > 0)
        cboSourceType->setCurrentIndex(0);
    connect(cboSourceType, &QComboBox::currentIndexChanged, this, &TImportDlg::SourceTypeChanged);

    // The cross-table box shows only when some field waits for it.
    bool pivot = false;
    for (const TExchangeFieldRec& r : FExchangeFieldRecs)
        pivot = pivot || r.Kind == fkPivotV;
    chkPivot->setChecked(pivot);
    chkPivot->setVisible(pivot);
    connect(chkPivot, &QCheckBox::toggled, this, &TImportDlg::PivotChanged);

    // One band and one column per field.
    for (int i = 0; i < FExchangeFieldRecs.size(); ++i) {
        const TExchangeFieldRec& r = FExchangeFieldRecs[i];
        const int band = trlFieldMaps->addBand(r.Group == 0 ? u'(' + r.Name + u')' : r.Name);
        trlFieldMaps->band(band).ownColumnsOnly = true;
        Column* c = trlFieldMaps->addColumn(QStringLiteral("..."), QString(), band);
        c->setWidth(90);
        c->setMovable(false);
        c->setSortable(false);
        c->setUserData(i);
        FFieldBands << band;
        FFieldCols << c;
        FFieldPartner << -1;
        FLastMaps << QString();
        FInvalidMaps << false;
        const bool offered = FieldOffered(i);
        trlFieldMaps->band(band).visible = offered;
        c->setVisible(offered);
    }
    trlFieldMaps->relayout();

    trlSourceData->setCustomDrawHook([this](kvui::CellDraw& c) { DrawSourceCell(c); });
    trlFieldMaps->setCustomDrawHook([this](kvui::CellDraw& c) { DrawFieldCell(c); });
    connect(trlSourceData, &TreeList::cellDoubleClicked, this, [this] {
        SyncFocus();
        MapAdd();
    });
    connect(trlFieldMaps, &TreeList::cellDoubleClicked, this, [this] {
        SyncFocus();
        MapRemove();
    });
    for (TreeList* grid : {trlSourceData, trlFieldMaps}) {
        grid->installEventFilter(this);
        grid->viewport()->installEventFilter(this);
        grid->viewport()->setAcceptDrops(true);
    }

    pgcMain->setCurrentWidget(tabDefine);
    pgcMain->setTabVisible(1, false);
    connect(pgcMain, &QTabWidget::currentChanged, this, &TImportDlg::UpdateActions);
    UpdateActions();
}

TImportDlg::~TImportDlg() = default;

TImportSource* TImportDlg::Source() const
{
    const int k = cboSourceType->currentIndex();
    return k >= 0 && k < int(FSources.size()) ? FSources[k].get() : nullptr;
}

bool TImportDlg::FieldOffered(int AField) const
{
    switch (FExchangeFieldRecs[AField].Kind) {
    case fkPivotV: return chkPivot->isChecked();
    case fkPivotH: return !chkPivot->isChecked();
    default: return true;
    }
}

bool TImportDlg::FieldShown(int AField) const
{
    return AField >= 0 && AField < FFieldCols.size() && trlFieldMaps->band(FFieldBands[AField]).visible;
}

int TImportDlg::FocusedField() const
{
    Column* c = trlFieldMaps->focusedColumn();
    const int i = FFieldCols.indexOf(c);
    return i >= 0 && FieldShown(i) ? i : -1;
}

int TImportDlg::FocusedSourceCol() const
{
    return FSourceCols.indexOf(trlSourceData->focusedColumn());
}

void TImportDlg::showEvent(QShowEvent* AEvent)
{
    TDialog::showEvent(AEvent);
    UpdateActions();
}

void TImportDlg::reject()
{
    if (!FImporting)
        TDialog::reject();
}

// --- choosing and loading the source -----------------------------------------

void TImportDlg::Define()
{
    const int k = cboSourceType->currentIndex();
    if (k < 0 || k >= int(FSources.size()))
        return;
    if (!FSources[k])
        FSources[k] = ImportSourceClasses().at(k).Create();
    if (FSources[k] && FSources[k]->ShowDefiner())
        LoadImportSource();
    UpdateActions();
}

void TImportDlg::SourceTypeChanged()
{
    if (!isVisible())
        return;
    TImportSource* src = Source();
    const QString name = src ? src->SourceName() : QString();
    edtSourceName->setText(name);
    if (!name.isEmpty()) {
        LoadImportSource();
    } else {
        ClearGrids();
        Define();
    }
}

void TImportDlg::ClearGrids()
{
    // Remember what was mapped, so that a reload maps it again.
    QStringList captions;
    for (Column* c : FSourceCols)
        captions << c->caption();
    for (int i = 0; i < FFieldCols.size(); ++i) {
        const int p = FFieldPartner[i];
        if (p >= 0 && p < captions.size()) {
            FLastMaps[i] = captions[p];
        } else if (!FLastMaps[i].isEmpty()) {
            // The user removed that mapping while the column was there.
            for (const QString& cap : captions)
                if (cap.compare(FLastMaps[i], Qt::CaseInsensitive) == 0) {
                    FLastMaps[i].clear();
                    break;
                }
        }
        FFieldPartner[i] = -1;
        FInvalidMaps[i] = false;
        FFieldCols[i]->setCaption(QStringLiteral("..."));
    }
    trlSourceData->clear();
    trlSourceData->clearColumns();
    FSourceCols.clear();
    FSourcePartner.clear();
    FLastSourceFocus = nullptr;
    trlFieldMaps->clear();
}

void TImportDlg::LoadImportSource()
{
    TImportSource* src = Source();
    edtSourceName->setText(src ? src->SourceName() : QString());
    trlSourceData->beginUpdate();
    trlFieldMaps->beginUpdate();
    ClearGrids();
    if (src) {
        const int cols = src->ColCount();
        for (int j = 0; j < cols; ++j) {
            Column* c = trlSourceData->addColumn(src->GetHeaders(j));
            c->setWidth(90);
            c->setMovable(false);
            c->setSortable(false);
            FSourceCols << c;
            FSourcePartner << -1;
        }
        const int rows = std::min(src->RowCount(), PreviewRows);
        for (int q = 0; q < rows; ++q) {
            TreeNode* n = trlSourceData->addNode();
            for (int j = 0; j < cols; ++j)
                n->setValue(FSourceCols[j], src->GetCells(j, q));
            trlFieldMaps->addNode();
        }
        // Automatic mapping; with the cross-table box the hidden fields map first
        // and then give their columns back, so that switching the box restores them.
        QList<int> hidden, shown;
        for (int i = 0; i < FFieldCols.size(); ++i)
            (FieldShown(i) ? shown : hidden) << i;
        if (!chkPivot->isHidden()) {
            AutoMap(hidden);
            for (int i : hidden)
                if (FFieldPartner[i] >= 0)
                    FSourcePartner[FFieldPartner[i]] = -1;
        }
        AutoMap(shown);
    }
    trlSourceData->endUpdate();
    trlFieldMaps->endUpdate();
    trlSourceData->relayout();
    trlFieldMaps->relayout();
    if (trlSourceData->topCount() > 0) {
        trlSourceData->setFocusedNode(trlSourceData->topNode(0));
        trlFieldMaps->setFocusedNode(trlFieldMaps->topNode(0));
    }
    if (!FSourceCols.isEmpty())
        FocusSourceColumn(0);
    for (int i = 0; i < FFieldCols.size(); ++i)
        if (FieldShown(i)) {
            if (FSourceCols.isEmpty() || FSourcePartner[0] != i)
                trlFieldMaps->setFocusedColumn(FFieldCols[i]);
            break;
        }
    if (!FSourceCols.isEmpty() && FSourcePartner[0] >= 0)
        trlFieldMaps->setFocusedColumn(FFieldCols[FSourcePartner[0]]);
    UpdateActions();
}

void TImportDlg::AutoMap(const QList<int>& AFields)
{
    const auto findSource = [this](const std::function<bool(const QString&)>& match) {
        for (int j = 0; j < FSourceCols.size(); ++j)
            if (FSourcePartner[j] < 0 && match(FSourceCols[j]->caption()))
                return j;
        return -1;
    };
    for (int pass = 0; pass < 3; ++pass)
        for (int i : AFields) {
            if (FFieldPartner[i] >= 0)
                continue;
            const TExchangeFieldRec& r = FExchangeFieldRecs[i];
            int j = -1;
            if (pass == 0 && !FLastMaps[i].isEmpty())
                j = findSource([&](const QString& cap) { return cap.compare(FLastMaps[i], Qt::CaseInsensitive) == 0; });
            else if (pass == 1)
                j = findSource([&](const QString& cap) { return cap.compare(r.Name, Qt::CaseInsensitive) == 0; });
            else if (pass == 2 && !r.UsedMaps.isEmpty())
                j = findSource([&](const QString& cap) { return r.UsedMaps.contains(u'|' + cap.toUpper() + u'|'); });
            if (j >= 0)
                MapImportColumn(i, j);
        }
}

// --- mapping -----------------------------------------------------------------

void TImportDlg::SetFieldPreview(int AField, int ASourceCol)
{
    Column* fc = FFieldCols[AField];
    const QList<TreeNode*> src = trlSourceData->topNodes();
    const QList<TreeNode*> dst = trlFieldMaps->topNodes();
    bool invalid = false;
    for (int q = 0; q < dst.size(); ++q) {
        QVariant v;
        if (ASourceCol >= 0 && q < src.size()) {
            v = src[q]->value(FSourceCols[ASourceCol]);
            invalid = invalid || !ImportValueFits(v, FExchangeFieldRecs[AField].DataType);
        }
        dst[q]->setValue(fc, v);
    }
    FInvalidMaps[AField] = invalid;
}

void TImportDlg::MapImportColumn(int AField, int ASourceCol)
{
    if (AField < 0 || AField >= FFieldCols.size() || ASourceCol < 0 || ASourceCol >= FSourceCols.size())
        return;
    FFieldPartner[AField] = ASourceCol;
    FSourcePartner[ASourceCol] = AField;
    FFieldCols[AField]->setCaption(FSourceCols[ASourceCol]->caption());
    SetFieldPreview(AField, ASourceCol);
    trlSourceData->viewport()->update();
    trlFieldMaps->viewport()->update();
}

void TImportDlg::UnmapField(int AField)
{
    if (AField < 0 || AField >= FFieldCols.size())
        return;
    const int p = FFieldPartner[AField];
    if (p >= 0 && p < FSourcePartner.size() && FSourcePartner[p] == AField)
        FSourcePartner[p] = -1;
    FFieldPartner[AField] = -1;
    FFieldCols[AField]->setCaption(QStringLiteral("..."));
    SetFieldPreview(AField, -1);
    FInvalidMaps[AField] = false;
    trlSourceData->viewport()->update();
    trlFieldMaps->viewport()->update();
}

void TImportDlg::MapAdd()
{
    int j = FocusedSourceCol();
    int i = FocusedField();
    if (trlSourceData->topCount() == 0 || j < 0 || FSourcePartner[j] >= 0 || i < 0)
        return;
    if (FFieldPartner[i] >= 0)
        UnmapField(i);
    MapImportColumn(i, j);
    // Along a row of cross-table fields the next pairs follow.
    while (FExchangeFieldRecs[i].Kind == fkPivotV && i + 1 < FFieldCols.size()
           && FExchangeFieldRecs[i + 1].Kind == fkPivotV && FFieldPartner[i + 1] < 0 && j + 1 < FSourceCols.size()
           && FSourcePartner[j + 1] < 0) {
        ++i;
        ++j;
        MapImportColumn(i, j);
    }
    FLastSourceFocus = nullptr;
    SyncFocus();
    UpdateActions();
}

void TImportDlg::MapRemove()
{
    const int i = FocusedField();
    if (i < 0 || FFieldPartner[i] < 0)
        return;
    const int j = FFieldPartner[i];
    UnmapField(i);
    FocusSourceColumn(j);
    UpdateActions();
}

void TImportDlg::FocusSourceColumn(int ASourceCol)
{
    if (ASourceCol < 0 || ASourceCol >= FSourceCols.size())
        return;
    trlSourceData->setFocusedColumn(FSourceCols[ASourceCol]);
    SyncFocus();
}

void TImportDlg::FocusFieldColumn(int AField)
{
    if (AField < 0 || AField >= FFieldCols.size() || !FieldShown(AField))
        return;
    trlFieldMaps->setFocusedColumn(FFieldCols[AField]);
    trlFieldMaps->viewport()->update();
    UpdateActions();
}

// A mapped source column that gets the focus takes its field's column along.
void TImportDlg::SyncFocus()
{
    Column* c = trlSourceData->focusedColumn();
    if (c != FLastSourceFocus) {
        FLastSourceFocus = c;
        const int j = FSourceCols.indexOf(c);
        if (j >= 0 && FSourcePartner[j] >= 0 && FieldShown(FSourcePartner[j]))
            trlFieldMaps->setFocusedColumn(FFieldCols[FSourcePartner[j]]);
        trlSourceData->viewport()->update();
        trlFieldMaps->viewport()->update();
    }
    UpdateActions();
}

void TImportDlg::PivotChanged()
{
    trlFieldMaps->beginUpdate();
    // Fields no longer offered give their source columns back but keep their partner.
    for (int i = 0; i < FFieldCols.size(); ++i)
        if (!FieldOffered(i)) {
            const int p = FFieldPartner[i];
            if (p >= 0 && p < FSourcePartner.size() && FSourcePartner[p] == i)
                FSourcePartner[p] = -1;
            trlFieldMaps->band(FFieldBands[i]).visible = false;
            FFieldCols[i]->setVisible(false);
        }
    for (int i = 0; i < FFieldCols.size(); ++i)
        if (FieldOffered(i)) {
            trlFieldMaps->band(FFieldBands[i]).visible = true;
            FFieldCols[i]->setVisible(true);
            const int p = FFieldPartner[i];
            if (p < 0)
                continue;
            if (p < FSourcePartner.size() && FSourcePartner[p] < 0)
                MapImportColumn(i, p);
            else if (p >= FSourcePartner.size() || FSourcePartner[p] != i)
                UnmapField(i);
        }
    trlFieldMaps->endUpdate();
    trlFieldMaps->relayout();
    if (FocusedField() < 0)
        for (int i = 0; i < FFieldCols.size(); ++i)
            if (FieldShown(i)) {
                trlFieldMaps->setFocusedColumn(FFieldCols[i]);
                break;
            }
    UpdateActions();
}

void TImportDlg::UpdateActions()
{
    const bool defining = pgcMain->currentWidget() == tabDefine && tabDefine->isEnabled();
    const int j = FocusedSourceCol();
    const int i = FocusedField();
    actMapAdd->setEnabled(trlSourceData->topCount() > 0 && j >= 0 && FSourcePartner[j] < 0);
    actMapRemove->setEnabled(i >= 0 && FFieldPartner[i] >= 0);
    btnMapAdd->setEnabled(actMapAdd->isEnabled());
    btnMapRemove->setEnabled(actMapRemove->isEnabled());
    cboSourceType->setEnabled(defining);
    actDefine->setEnabled(defining && cboSourceType->count() > 0);
    btnDefine->setEnabled(actDefine->isEnabled());
    btnOk->setEnabled(defining);
    btnCancel->setEnabled(!FImporting);
}

// --- painting ----------------------------------------------------------------

void TImportDlg::DrawSourceCell(kvui::CellDraw& ACell) const
{
    const int j = FSourceCols.indexOf(ACell.column);
    if (j < 0)
        return;
    const QPalette pal = QApplication::palette();
    if (FSourcePartner[j] >= 0) {
        ACell.background = pal.color(QPalette::Button);
        ACell.textColor = pal.color(QPalette::Dark);
    } else if (ACell.column == trlSourceData->focusedColumn()) {
        ACell.background = pal.color(QPalette::Highlight);
        ACell.textColor = pal.color(QPalette::HighlightedText);
    }
}

void TImportDlg::DrawFieldCell(kvui::CellDraw& ACell) const
{
    const int i = FFieldCols.indexOf(ACell.column);
    if (i < 0)
        return;
    const QPalette pal = QApplication::palette();
    if (ACell.column == trlFieldMaps->focusedColumn() && FFieldPartner[i] >= 0) {
        ACell.background = pal.color(QPalette::Highlight);
        ACell.textColor = pal.color(QPalette::HighlightedText);
    }
    if (ACell.row.node && !ImportValueFits(ACell.row.node->value(ACell.column), FExchangeFieldRecs[i].DataType))
        ACell.textColor = Qt::red;
}

// --- dragging columns between the grids --------------------------------------

void TImportDlg::StartDrag(TreeList* AGrid, Column* AColumn)
{
    // The data names the grid and the column: "S" and a source column, or "F" and a field.
    const bool fromSource = AGrid == trlSourceData;
    const int index = fromSource ? FSourceCols.indexOf(AColumn) : FFieldCols.indexOf(AColumn);
    auto* drag = new QDrag(AGrid->viewport());
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(DragMime), (fromSource ? "S" : "F") + QByteArray::number(index));
    drag->setMimeData(mime);
    FDragColumn = AColumn;
    drag->exec(Qt::MoveAction);
    FDragColumn = nullptr;
}

bool TImportDlg::DropColumn(TreeList* ATarget, const QMimeData* AData, const QPoint& APos, bool ADrop)
{
    if (!AData || !AData->hasFormat(QString::fromLatin1(DragMime)))
        return false;
    const QByteArray data = AData->data(QString::fromLatin1(DragMime));
    const bool fromSource = data.startsWith('S');
    bool ok = false;
    const int index = data.mid(1).toInt(&ok);
    if (!ok)
        return false;
    if (fromSource && ATarget == trlFieldMaps) {
        // An unmapped source column dropped onto a field column maps onto it.
        const int field = FFieldCols.indexOf(ATarget->columnAt(APos));
        if (field < 0 || !FieldShown(field) || index < 0 || index >= FSourceCols.size() || FSourcePartner[index] >= 0)
            return false;
        if (ADrop) {
            trlSourceData->setFocusedColumn(FSourceCols[index]);
            FLastSourceFocus = FSourceCols[index];
            trlFieldMaps->setFocusedColumn(FFieldCols[field]);
            MapAdd();
        }
        return true;
    }
    if (!fromSource && ATarget == trlSourceData) {
        // A mapped field column dropped onto the source grid lets go.
        if (index < 0 || index >= FFieldCols.size() || !FieldShown(index) || FFieldPartner[index] < 0)
            return false;
        if (ADrop) {
            trlFieldMaps->setFocusedColumn(FFieldCols[index]);
            MapRemove();
        }
        return true;
    }
    return false;
}

bool TImportDlg::eventFilter(QObject* AObject, QEvent* AEvent)
{
    TreeList* grid = nullptr;
    for (TreeList* g : {trlSourceData, trlFieldMaps})
        if (AObject == g || AObject == g->viewport())
            grid = g;
    if (!grid)
        return TDialog::eventFilter(AObject, AEvent);
    switch (AEvent->type()) {
    case QEvent::MouseButtonPress: {
        auto* me = static_cast<QMouseEvent*>(AEvent);
        FDragStart = me->position().toPoint();
        break;
    }
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(AEvent);
        if (AObject != grid->viewport() || !(me->buttons() & Qt::LeftButton) || FDragColumn)
            break;
        if ((me->position().toPoint() - FDragStart).manhattanLength() < QApplication::startDragDistance())
            break;
        Column* c = grid->columnAt(FDragStart);
        if (!c || grid->rowAt(FDragStart) < 0)
            break;
        // An unmapped source column goes onto a field; a mapped field column back.
        if (grid == trlSourceData) {
            const int j = FSourceCols.indexOf(c);
            if (j < 0 || FSourcePartner[j] >= 0)
                break;
        } else {
            const int i = FFieldCols.indexOf(c);
            if (i < 0 || FFieldPartner[i] < 0)
                break;
        }
        grid->setFocusedColumn(c);
        SyncFocus();
        StartDrag(grid, c);
        return true;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* de = static_cast<QDropEvent*>(AEvent);
        if (DropColumn(grid, de->mimeData(), de->position().toPoint(), false))
            de->acceptProposedAction();
        else
            de->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* de = static_cast<QDropEvent*>(AEvent);
        if (DropColumn(grid, de->mimeData(), de->position().toPoint(), true))
            de->acceptProposedAction();
        else
            de->ignore();
        return true;
    }
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease:
    case QEvent::FocusIn:
        SyncFocus();
        break;
    default:
        break;
    }
    return TDialog::eventFilter(AObject, AEvent);
}

// --- importing ---------------------------------------------------------------

QStringList TImportDlg::LogLines() const
{
    QStringList out;
    for (TreeNode* n : trlLog->topNodes())
        out << n->value(colText).toString();
    return out;
}

QList<TMessageKind> TImportDlg::LogKinds() const
{
    QList<TMessageKind> out;
    for (TreeNode* n : trlLog->topNodes())
        out << TMessageKind(n->data().toInt());
    return out;
}

void TImportDlg::AddImportLog(TMessageKind AKind, const QString& AText)
{
    TreeNode* n = trlLog->addNode();
    n->setValue(colText, oneLine(AText));
    n->setData(int(AKind));
    switch (AKind) {
    case mkInformation: n->setImageIndex(2); break;
    case mkWarning: n->setImageIndex(3); break;
    case mkError: n->setImageIndex(4); break;
    default: break;
    }
    trlLog->setFocusedNode(n);
    trlLog->makeRowVisible(trlLog->rowOfNode(n));
    trlLog->viewport()->repaint();
    QApplication::processEvents();
}

void TImportDlg::btnOkClick()
{
    if (!btnOk->isEnabled())
        return;
    // Required fields and groups, and fields whose preview does not fit.
    for (int i = 0; i < FFieldCols.size(); ++i) {
        if (!FieldShown(i))
            continue;
        const TExchangeFieldRec& r = FExchangeFieldRecs[i];
        const int p = FFieldPartner[i];
        const bool mapped = p >= 0;
        QString warning;
        if (!mapped && r.Group == 1) {
            warning = QStringLiteral("目标字段\"%1\"是必须导入项, 请指定对应的来源数据字段!").arg(r.Name);
        } else if (!mapped && r.Group >= 2) {
            bool groupMapped = false, lastOfGroup = true;
            QStringList names;
            for (int k = 0; k < FFieldCols.size(); ++k) {
                if (!FieldShown(k) || FExchangeFieldRecs[k].Group != r.Group)
                    continue;
                groupMapped = groupMapped || FFieldPartner[k] >= 0;
                names << u'"' + FExchangeFieldRecs[k].Name + u'"';
                if (k > i)
                    lastOfGroup = false;
            }
            if (!groupMapped && lastOfGroup)
                warning = names.size() > 1
                              ? QStringLiteral("目标字段%1至少导入一项, 请指定对应的来源数据字段!").arg(names.join(QString()))
                              : QStringLiteral("目标字段\"%1\"是必须导入项, 请指定对应的来源数据字段!").arg(r.Name);
        }
        if (!warning.isEmpty()) {
            ShowWarning(warning);
            FocusFieldColumn(i);
            return;
        }
        if (mapped && FInvalidMaps[i]) {
            const QString text = QStringLiteral("目标字段\"%1\"与对应来源字段\"%2\"的数据类型不匹配, 继续?")
                                     .arg(trlFieldMaps->band(FFieldBands[i]).caption, FSourceCols[p]->caption());
            if (ShowWarning(text, int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2)) != kvos::IDOK) {
                FocusFieldColumn(i);
                return;
            }
        }
    }
    ImportRows();
}

void TImportDlg::ImportRows()
{
    TImportSource* src = Source();
    pgcMain->setTabVisible(1, true);
    pgcMain->setCurrentWidget(tabLog);
    tabDefine->setEnabled(false);
    FImporting = true;
    UpdateActions();
    trlLog->clear();
    trlLog->setFocus();
    kvos::startEscapeKeyWatch(); // only an Esc pressed during the import counts
    if (InfoApplication)
        InfoApplication->LockProcessMessages(quintptr(trlLog));

    const int n = src ? src->RowCount() : 0;
    const int step = n > 100 ? n / 100 : 1;
    int q = 0;
    pgbProgress->setRange(0, std::max(0, n - 1));
    pgbProgress->setValue(0);
    pgbProgress->setFormat(QStringLiteral("已执行%1/%2, 按[Esc]键可以中止").arg(0).arg(n));
    try {
        if (FOnBeginImport)
            FOnBeginImport(n);
        QApplication::processEvents();
        bool stopped = false;
        if (FImportDataProc && src) {
            for (q = 0; q < n; ++q) {
                TVariantArray record;
                record.reserve(FFieldCols.size());
                bool failed = false;
                for (int i = 0; i < FFieldCols.size() && !failed; ++i) {
                    const int p = FFieldPartner[i];
                    if (!FieldShown(i) || p < 0) {
                        record << QVariant();
                        continue;
                    }
                    const QVariant v = src->GetCells(p, q);
                    QVariant converted;
                    if (!ConvertImportValue(v, FExchangeFieldRecs[i].DataType, converted)) {
                        AddImportLog(mkError,
                                     QStringLiteral("来源字段\"%1\"的值(%2)转换成目标字段\"%3\"的数据类型时出现错误, 此行放弃导入!")
                                             .arg(FSourceCols[p]->caption(), ImportValueText(v),
                                                  trlFieldMaps->band(FFieldBands[i]).caption)
                                         + QStringLiteral(" (源数据%1)").arg(src->GetPosition(-1, q)));
                        failed = true;
                    }
                    record << converted;
                }
                if (failed)
                    continue;
                TMessageKind kind = mkNone;
                QString text;
                int field = -1;
                FImportDataProc(record, kind, text, field);
                FImported = true;
                if (kind == mkWarning || kind == mkError || !text.isEmpty()) {
                    const int c = field >= 0 && field < FFieldCols.size() && FieldShown(field) ? FFieldPartner[field] : -1;
                    AddImportLog(kind, text + QStringLiteral(" (源数据%1)").arg(src->GetPosition(c, q)));
                }
                pgbProgress->setValue(q);
                pgbProgress->setFormat(QStringLiteral("已执行%1/%2, 按[Esc]键可以中止").arg(q + 1).arg(n));
                if (InfoApplication && InfoApplication->CheckEscapeKeyPress(false)) {
                    pgbProgress->setFormat(QStringLiteral("已执行%1/%2").arg(q + 1).arg(n));
                    AddImportLog(mkWarning, QStringLiteral("执行已被中止!"));
                    stopped = true;
                    break;
                }
                if (q % step == 0)
                    QApplication::processEvents();
            }
        }
        if (!stopped) {
            pgbProgress->setValue(pgbProgress->maximum());
            pgbProgress->setFormat(QStringLiteral("已执行%1/%2").arg(n).arg(n));
            AddImportLog(mkInformation, QStringLiteral("执行完成。"));
            ShowInfo(QStringLiteral("执行完成。"));
        }
    } catch (const std::exception& e) {
        const QString reason = QStringLiteral("程序执行出现错误!\r\r原因: %1").arg(exceptionText(e));
        pgbProgress->setFormat(QStringLiteral("已执行%1/%2").arg(q).arg(n));
        AddImportLog(mkError, reason + QStringLiteral(" (源数据%1)").arg(src ? src->GetPosition(-1, q) : QString()));
        ShowError(QStringLiteral("执行过程中发现错误, 操作被停止!\r\r") + reason);
    }
    if (InfoApplication)
        InfoApplication->LockProcessMessages(0);
    FImporting = false;
    tabDefine->setEnabled(true);
    UpdateActions();
    if (FOnEndImport)
        FOnEndImport(nullptr);
}

// --- the hook ------------------------------------------------------------------

bool DoShowImportData(const TExchangeFieldRecs& AExchangeFieldRecs, TImportDataCallBackProc AImportDataProc,
                      TOnBeginImportEvent AOnBeginImport, TNotifyEvent AOnEndImport)
{
    TImportDlg dlg(AExchangeFieldRecs, QApplication::activeWindow());
    dlg.FImportDataProc = std::move(AImportDataProc);
    dlg.FOnBeginImport = std::move(AOnBeginImport);
    dlg.FOnEndImport = std::move(AOnEndImport);
    dlg.exec();
    return dlg.FImported;
}

void InitImportDlgUnit()
{
    if (InfoApplication)
        InfoApplication->ShowImportDataProc = DoShowImportData;
}
