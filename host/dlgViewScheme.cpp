#include "dlgViewScheme.h"

#include "FilterControl.h"
#include "famFilter.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "untApplication.h"
#include "untCommonUI.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStringList>
#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString Bar = QStringLiteral("|");
const QString NoRowsFilter = QStringLiteral("1=0");

// One "ID:value" entry of a "|"-joined list such as "[Sorts]" or "[Summaries]".
struct TSchemeEntry {
    QString Name;
    QString Value;
};

// The entries of such a list in order; an entry without ":" has no name.
QList<TSchemeEntry> schemeEntries(const QString& text)
{
    QList<TSchemeEntry> entries;
    if (text.isEmpty())
        return entries;
    for (const QString& item : text.split(u'|')) {
        const qsizetype colon = item.indexOf(u':');
        if (colon < 0)
            entries.append({QString(), item});
        else
            entries.append({item.left(colon), item.mid(colon + 1)});
    }
    return entries;
}

// "|ID|" occurs in a "|"-enclosed field list (IDs compare as the views compare them).
bool fieldListHas(const QString& list, const QString& id)
{
    return list.contains(Bar + id + Bar, Qt::CaseInsensitive);
}

QString selectItem(const TInfoFieldDef& field)
{
    return field.SQLExpress + QStringLiteral(" as [") + field.ID + u']';
}

// The scheme's WHERE condition: the user's row permissions, and with them the
// scheme's own filter unless no row may be shown at all.
QString schemeFilterSQL(TInfoObjectDef* AObjectDef, const TViewScheme& AScheme, TADOQuery* AByQuery)
{
    QString filter = AObjectDef ? AObjectDef->GetPermitFilter(AByQuery) : QString();
    if ((AScheme.Supports & voSupportFilter) && filter != NoRowsFilter && InfoApplication) {
        // The scheme is the user's or shared with him: a criterion on a field his
        // permissions hide is left out, with a notice, never turned into SQL.
        int leftOut = 0;
        const QString code = FilterCodeWithoutHiddenFields(AObjectDef, ReadViewSchemeParam(AScheme.Params, FilterSection), &leftOut);
        if (leftOut > 0)
            ShowInfo(HiddenFieldCriteriaNotice(leftOut));
        if (!code.trimmed().isEmpty())
            filter = CombineConditions(filter, InfoApplication->TranslateFilterCodeToSQL(AObjectDef, code, AByQuery),
                                       QStringLiteral("and"));
    }
    return filter;
}

} // namespace

void DoParseViewSchemeSQL(TInfoObjectDef* AObjectDef, PViewScheme AViewScheme, TADOQuery* AByQuery)
{
    if (!AViewScheme)
        return;
    QStringList selects, extras, orders;
    if (AObjectDef && (AViewScheme->Supports & voSupportFields)) {
        const QString fields = ReadViewSchemeParam(AViewScheme->Params, FieldsSection);
        for (const TInfoFieldDef& field : AObjectDef->Fields)
            if (fieldListHas(fields, field.ID))
                selects.append(selectItem(field));
        if (AViewScheme->Supports & voSupportSort) {
            QStringList sorted; // a field sorted twice would make the ORDER BY list invalid
            for (const TSchemeEntry& entry : schemeEntries(ReadViewSchemeParam(AViewScheme->Params, SortsSection))) {
                const PInfoFieldDef field = entry.Name.isEmpty() ? nullptr : AObjectDef->GetFieldDef(entry.Name);
                if (!field || sorted.contains(field->ID, Qt::CaseInsensitive))
                    continue;
                sorted.append(field->ID);
                orders.append(u'[' + field->ID + u']' + (entry.Value.startsWith(u'1') ? QStringLiteral(" desc") : QString()));
                if (!fieldListHas(fields, field->ID))
                    extras.append(selectItem(*field));
            }
        }
    }

    AViewScheme->FieldsSQL = (extras + selects).join(QStringLiteral(", "));
    AViewScheme->OrderBySQL = orders.join(QStringLiteral(", "));
    AViewScheme->FilterSQL = schemeFilterSQL(AObjectDef, *AViewScheme, AByQuery);
    AViewScheme->SQLParsed = true;
}

// ---- the editor ------------------------------------------------------------

namespace {

const int FieldIndexRole = Qt::UserRole;     // rows: index of the field in the definition
const int SchemeValueRole = Qt::UserRole;    // chooser: ViwIID (-1: no default stored)
const int SchemeTagRole = Qt::UserRole + 1;  // chooser: TSchemeTag
const QString LastUsedText = QStringLiteral("(最近使用视图)");
const QString DefaultText = QStringLiteral("(默认视图)");

bool isSummableType(int code)
{
    namespace ft = FieldTypes;
    switch (code) {
    case ft::ftSmallint: case ft::ftInteger: case ft::ftWord: case ft::ftFloat: case ft::ftCurrency: case ft::ftBCD:
    case ft::ftLargeint: case ft::ftFMTBcd: case ft::ftLongWord: case ft::ftShortint: case ft::ftByte: case ft::ftExtended:
    case ft::ftSingle:
        return true;
    default:
        return false;
    }
}

// The picture of a summary choice: a small glyph on a clear ground.
QIcon summaryIcon(int AKind)
{
    static const QString glyphs[] = {QString(), QStringLiteral("Σ"), QStringLiteral("#"), QStringLiteral("↑"),
                                     QStringLiteral("↓")};
    if (AKind <= 0 || AKind > 4)
        return QIcon();
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(TColorToQColor(UIColor13));
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(13);
    painter.setFont(font);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, glyphs[AKind]);
    return QIcon(pixmap);
}

// One row of the scheme list as read from the database.
struct TSchemeRow {
    int IID = 0;
    int Kind = 0;
    QString Name;
    QString UserID;
    QString UserName;
};

} // namespace

bool TViewSchemeDlg::FieldAllowsSum(const TInfoFieldDef& AField)
{
    return isSummableType(AField.DataType) && !AField.HideTotal && !AField.EnumValues;
}

TViewSchemeDlg::TViewSchemeDlg(TInfoObjectDef* AObjectDef, PViewScheme AOrigScheme, TADOQuery* AByQuery, QWidget* parent)
    : TDialog(parent), FByQuery(AByQuery ? AByQuery : GlobalADOQuery), FObjectDef(AObjectDef), FOrigScheme(AOrigScheme)
{
    setObjectName(QStringLiteral("TViewSchemeDlg"));
    setWindowTitle(QStringLiteral("视图定义"));
    resize(780, 500);

    // The scheme chooser and its buttons.
    cboScheme = new QComboBox(ClientArea());
    cboScheme->setObjectName(QStringLiteral("cboScheme"));
    cboScheme->setMaxVisibleItems(20);
    auto* lblScheme = new QLabel(QStringLiteral("视图方案(&N):"), ClientArea());
    lblScheme->setBuddy(cboScheme);
    btnDefaultScheme = new QPushButton(QStringLiteral("默认方案"), ClientArea());
    btnSaveScheme = new QPushButton(QStringLiteral("保存方案"), ClientArea());
    btnDeleteScheme = new QPushButton(QStringLiteral("删除方案"), ClientArea());
    for (QPushButton* b : {btnDefaultScheme, btnSaveScheme, btnDeleteScheme})
        b->setAutoDefault(false);
    auto* top = new QHBoxLayout;
    top->addWidget(lblScheme);
    top->addWidget(cboScheme, 1);
    top->addWidget(btnDefaultScheme);
    top->addWidget(btnSaveScheme);
    top->addWidget(btnDeleteScheme);

    pgcPages = new QTabWidget(ClientArea());
    // Pages join the page control only when the scheme supports them.
    tshFilter = new QWidget(this);
    tshFilter->hide();
    tshFields = new QWidget(this);
    tshFields->hide();
    tshFields->setObjectName(QStringLiteral("tshFields"));

    // Fields: shown or not, name, summary.
    grpFields = new QGroupBox(QStringLiteral("字段(&F):"), tshFields);
    trlFields = new QTreeWidget(grpFields);
    trlFields->setObjectName(QStringLiteral("trlFields"));
    trlFields->setRootIsDecorated(false);
    trlFields->setHeaderLabels({QStringLiteral("显示"), QStringLiteral("字段"), QStringLiteral("统计")});
    trlFields->header()->setSectionResizeMode(fcVisible, QHeaderView::ResizeToContents);
    trlFields->header()->setSectionResizeMode(fcName, QHeaderView::Stretch);
    trlFields->header()->setStretchLastSection(false);
    trlFields->setColumnWidth(fcSummary, 90);
    chkTotal = new QCheckBox(QStringLiteral("总计(&T)"), grpFields);
    chkTotal->setObjectName(QStringLiteral("chkTotal"));
    auto* fieldsBox = new QVBoxLayout(grpFields);
    fieldsBox->addWidget(trlFields, 1);
    fieldsBox->addWidget(chkTotal);

    // Sorts: field, descending, grouped.
    grpSort = new QGroupBox(QStringLiteral("排序(&S):"), tshFields);
    trlSort = new QTreeWidget(grpSort);
    trlSort->setObjectName(QStringLiteral("trlSort"));
    trlSort->setRootIsDecorated(false);
    trlSort->setHeaderLabels({QStringLiteral("排序字段"), QStringLiteral("降序"), QStringLiteral("分组")});
    trlSort->header()->setSectionResizeMode(scName, QHeaderView::Stretch);
    trlSort->header()->setSectionResizeMode(scDescending, QHeaderView::ResizeToContents);
    trlSort->header()->setSectionResizeMode(scGrouped, QHeaderView::ResizeToContents);
    trlSort->header()->setStretchLastSection(false);
    chkSubTotal = new QCheckBox(QStringLiteral("分组小计(&G)"), grpSort);
    chkSubTotal->setObjectName(QStringLiteral("chkSubTotal"));
    btnAddSort = new QPushButton(QStringLiteral("增加排序(&A)"), grpSort);
    btnRemoveSort = new QPushButton(QStringLiteral("移除(&X)"), grpSort);
    btnSortUp = new QPushButton(QStringLiteral("上移"), grpSort);
    btnSortDown = new QPushButton(QStringLiteral("下移"), grpSort);
    auto* sortButtons = new QVBoxLayout;
    for (QPushButton* b : {btnAddSort, btnRemoveSort, btnSortUp, btnSortDown}) {
        b->setAutoDefault(false);
        sortButtons->addWidget(b);
    }
    sortButtons->addStretch();
    auto* sortRow = new QHBoxLayout;
    sortRow->addWidget(trlSort, 1);
    sortRow->addLayout(sortButtons);
    auto* sortBox = new QVBoxLayout(grpSort);
    sortBox->addLayout(sortRow, 1);
    sortBox->addWidget(chkSubTotal);

    auto* page = new QHBoxLayout(tshFields);
    page->addWidget(grpFields, 1);
    page->addWidget(grpSort, 1);

    auto* layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(pgcPages, 1);

    connect(cboScheme, &QComboBox::currentIndexChanged, this, &TViewSchemeDlg::SchemeChosen);
    connect(btnDefaultScheme, &QPushButton::clicked, this, [this] { cboScheme->setCurrentIndex(cboScheme->count() - 1); });
    connect(btnSaveScheme, &QPushButton::clicked, this, &TViewSchemeDlg::SaveScheme);
    connect(btnDeleteScheme, &QPushButton::clicked, this, &TViewSchemeDlg::DeleteScheme);
    connect(btnAddSort, &QPushButton::clicked, this, &TViewSchemeDlg::AddSort);
    connect(btnRemoveSort, &QPushButton::clicked, this, &TViewSchemeDlg::RemoveSort);
    connect(btnSortUp, &QPushButton::clicked, this, [this] { MoveSort(-1); });
    connect(btnSortDown, &QPushButton::clicked, this, [this] { MoveSort(1); });
    connect(chkTotal, &QCheckBox::toggled, this, &TViewSchemeDlg::TotalToggled);
    connect(trlFields, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem*, int column) {
        if (column == fcName)
            AddSort();
    });
    connect(trlSort, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem*, int column) {
        if (column == scName)
            RemoveSort();
    });
    connect(trlFields, &QTreeWidget::currentItemChanged, this, [this] { UpdateStates(); });
    connect(trlSort, &QTreeWidget::currentItemChanged, this, [this] { UpdateStates(); });
}

bool TViewSchemeDlg::SummaryShown() const
{
    return FFieldsShown && (FViewScheme.Supports & voSupportTotal);
}

bool TViewSchemeDlg::SortEnabled() const
{
    return FFieldsShown && (FViewScheme.Supports & voSupportSort);
}

const TInfoFieldDef& TViewSchemeDlg::FieldOf(QTreeWidgetItem* ARow) const
{
    const int column = ARow->treeWidget() == trlSort ? int(scName) : int(fcName);
    return FObjectDef->Fields.at(std::size_t(ARow->data(column, FieldIndexRole).toInt()));
}

QTreeWidgetItem* TViewSchemeDlg::FieldRow(const QString& AFieldID) const
{
    for (int i = 0; i < trlFields->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = trlFields->topLevelItem(i);
        if (FieldOf(row).ID.compare(AFieldID, Qt::CaseInsensitive) == 0)
            return row;
    }
    return nullptr;
}

QComboBox* TViewSchemeDlg::SummaryBox(QTreeWidgetItem* AFieldRow) const
{
    return AFieldRow ? qobject_cast<QComboBox*>(trlFields->itemWidget(AFieldRow, fcSummary)) : nullptr;
}

int TViewSchemeDlg::Summary(QTreeWidgetItem* AFieldRow) const
{
    QComboBox* box = SummaryBox(AFieldRow);
    return box && box->currentIndex() >= 0 ? box->currentData().toInt() : int(skNone);
}

void TViewSchemeDlg::SetSummary(QTreeWidgetItem* AFieldRow, int AKind)
{
    if (QComboBox* box = SummaryBox(AFieldRow)) {
        const int at = box->findData(AKind);
        if (at >= 0)
            box->setCurrentIndex(at);
    }
}

void TViewSchemeDlg::InitEditors()
{
    const TViewSupports supports = FViewScheme.Supports;
    FFilterShown = (supports & voSupportFilter) && FObjectDef;
    if (FFilterShown) {
        famFilter = new TFilterFrame(tshFilter);
        auto* layout = new QVBoxLayout(tshFilter);
        layout->setContentsMargins(4, 4, 4, 4);
        layout->addWidget(famFilter);
        pgcPages->addTab(tshFilter, QStringLiteral(" 筛选(&1) "));
        famFilter->LoadFilterItems(FObjectDef, FByQuery);
    }
    FFieldsShown = (supports & voSupportFields) && FObjectDef;
    if (!FFieldsShown)
        return;
    pgcPages->addTab(tshFields, QStringLiteral(" 字段(&2) "));

    const bool total = supports & voSupportTotal;
    trlFields->setColumnHidden(fcSummary, !total);
    chkTotal->setVisible(total);
    chkSubTotal->setVisible(total && (supports & voSupportSubTotal));

    for (std::size_t i = 0; i < FObjectDef->Fields.size(); ++i) {
        const TInfoFieldDef& field = FObjectDef->Fields[i];
        if (field.HideList || DelimitedListContains(FViewScheme.Mask, field.ID, Bar))
            continue;
        auto* row = new QTreeWidgetItem(trlFields);
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        row->setCheckState(fcVisible, Qt::Checked);
        row->setText(fcName, field.Name);
        row->setData(fcName, FieldIndexRole, int(i));
        if (total) {
            auto* box = new QComboBox;
            box->addItem(QString(), int(skNone));
            if (FieldAllowsSum(field)) {
                box->addItem(summaryIcon(skSum), QStringLiteral("加总"), int(skSum));
                box->addItem(summaryIcon(skMax), QStringLiteral("最大值"), int(skMax));
                box->addItem(summaryIcon(skMin), QStringLiteral("最小值"), int(skMin));
            } else {
                box->addItem(summaryIcon(skCount), QStringLiteral("计数"), int(skCount));
            }
            trlFields->setItemWidget(row, fcSummary, box);
        }
    }
    if (trlFields->topLevelItemCount() > 0)
        trlFields->setCurrentItem(trlFields->topLevelItem(0));

    const bool sort = SortEnabled();
    grpSort->setEnabled(sort);
    if (!sort) {
        QPalette p = trlSort->palette();
        p.setColor(QPalette::Base, TColorToQColor(ContentColor()));
        trlSort->setPalette(p);
    }
    trlSort->setColumnHidden(scGrouped, !(sort && (supports & voSupportGroup)));
}

void TViewSchemeDlg::Prepare(bool AInitActiveFieldsPage, const QString& AExtCaption)
{
    FViewScheme.ID = FOrigScheme->ID;
    FViewScheme.Mask = FOrigScheme->Mask;
    FViewScheme.Supports = FOrigScheme->Supports;
    if (!AExtCaption.isEmpty())
        setWindowTitle(windowTitle() + QStringLiteral(" - [") + AExtCaption + u']');
    InitEditors();
    LoadSchemeList();
    // The filter page comes first when there is no fields page, or when the
    // caller did not ask for the fields page; otherwise the fields page.
    if (FFilterShown && (!FFieldsShown || !AInitActiveFieldsPage)) {
        pgcPages->setCurrentWidget(tshFilter);
        famFilter->fltCriteria->setFocus();
    } else if (FFieldsShown) {
        pgcPages->setCurrentWidget(tshFields);
        trlFields->setFocus();
    }
}

void TViewSchemeDlg::LoadSchemeList()
{
    const QSignalBlocker block(cboScheme);
    cboScheme->clear();
    cboScheme->addItem(LastUsedText, 0);
    cboScheme->setItemData(0, int(stLastUsed), SchemeTagRole);

    const QString user = InfoApplication ? InfoApplication->LoginInfo.UserID : QString();
    const QString sql = QStringLiteral(
        "select v.*, UsrName from QZ_SYS_ViewSchemes as v with(nolock) left join QZ_SYS_Users with (nolock) on ViwUsrID=UsrID "
        "where ViwID=%0 and (ViwUsrID=%1 and ViwKind<>%2 or ViwKind=%3) "
        "order by (case when ViwUsrID=%1 then 0 when ViwUsrID='' then 2 else 1 end), ViwTime desc, ViwKind")
        .arg(QuotedStr(FViewScheme.ID), QuotedStr(user), QString::number(0), QString::number(2));
    QList<TSchemeRow> rows;
    if (ExecSQLText(FByQuery, sql, true, false, true)) {
        for (FByQuery->First(); !FByQuery->Eof(); FByQuery->Next())
            rows.append({FByQuery->FieldByName(QStringLiteral("ViwIID"))->AsInteger(),
                         FByQuery->FieldByName(QStringLiteral("ViwKind"))->AsInteger(),
                         FByQuery->FieldByName(QStringLiteral("ViwName"))->AsString().trimmed(),
                         FByQuery->FieldByName(QStringLiteral("ViwUsrID"))->AsString().trimmed(),
                         FByQuery->FieldByName(QStringLiteral("UsrName"))->AsString().trimmed()});
        FByQuery->Close();
    }
    const QIcon shared = style()->standardIcon(QStyle::SP_DirLinkIcon);
    bool defaultListed = false;
    for (const TSchemeRow& row : std::as_const(rows)) {
        int tag;
        QString text;
        if (row.Kind == vkPrivate) {
            tag = stOwnPrivate;
            text = row.Name;
        } else if (row.UserID.isEmpty()) {
            tag = stDefault;
            text = DefaultText;
            defaultListed = true;
        } else if (row.UserID == user) {
            tag = stOwnShared;
            text = row.Name;
        } else {
            tag = stOthersShared;
            text = row.Name + u'(' + row.UserName + u')';
        }
        if (tag == stOwnShared || tag == stOthersShared)
            cboScheme->addItem(shared, text, row.IID);
        else
            cboScheme->addItem(text, row.IID);
        cboScheme->setItemData(cboScheme->count() - 1, tag, SchemeTagRole);
    }
    if (!defaultListed) {
        cboScheme->addItem(DefaultText, -1);
        cboScheme->setItemData(cboScheme->count() - 1, int(stDefault), SchemeTagRole);
    }
    const int at = cboScheme->findData(FViewScheme.IID, SchemeValueRole);
    cboScheme->setCurrentIndex(at > 0 ? at : 0);
    SchemeChosen(cboScheme->currentIndex());
}

void TViewSchemeDlg::SchemeChosen(int AIndex)
{
    if (AIndex < 0)
        return;
    if (cboScheme->itemData(AIndex, SchemeTagRole).toInt() == stLastUsed) {
        FViewScheme = *FOrigScheme;
    } else {
        FViewScheme.IID = cboScheme->itemData(AIndex, SchemeValueRole).toInt();
        LoadViewScheme(FViewScheme);
        // The grid keeps its column layout when the chosen scheme has none.
        if (ReadViewSchemeParam(FViewScheme.Params, PositionsSection).isEmpty())
            FViewScheme.Params = WriteViewSchemeParam(FViewScheme.Params, PositionsSection,
                                                      ReadViewSchemeParam(FOrigScheme->Params, PositionsSection));
    }
    LoadEditors();
}

void TViewSchemeDlg::LoadEditors()
{
    FFilling = true;
    if (FFilterShown)
        famFilter->SetFilterCode(ReadViewSchemeParam(FViewScheme.Params, FilterSection));
    if (FFieldsShown) {
        const QString fields = ReadViewSchemeParam(FViewScheme.Params, FieldsSection);
        for (int i = 0; i < trlFields->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = trlFields->topLevelItem(i);
            const TInfoFieldDef& field = FieldOf(row);
            const bool visible = fields.isEmpty() ? field.Layout != flDefaultHide : fieldListHas(fields, field.ID);
            row->setCheckState(fcVisible, visible ? Qt::Checked : Qt::Unchecked);
            SetSummary(row, skNone);
        }

        int summaries = 0;
        if (SummaryShown()) {
            for (const TSchemeEntry& entry : schemeEntries(ReadViewSchemeParam(FViewScheme.Params, SummariesSection))) {
                QTreeWidgetItem* row = entry.Name.isEmpty() ? nullptr : FieldRow(entry.Name);
                bool ok = false;
                const int kind = entry.Value.toInt(&ok);
                if (!row || !ok || kind == skNone)
                    continue;
                const bool allowed = FieldAllowsSum(FieldOf(row)) ? (kind == skSum || kind == skMax || kind == skMin)
                                                                  : kind == skCount;
                if (!allowed)
                    continue;
                SetSummary(row, kind);
                ++summaries;
            }
        }

        if (SortEnabled()) {
            trlSort->clear();
            for (const TSchemeEntry& entry : schemeEntries(ReadViewSchemeParam(FViewScheme.Params, SortsSection))) {
                QTreeWidgetItem* row = entry.Name.isEmpty() ? nullptr : FieldRow(entry.Name);
                bool listed = false;
                for (int i = 0; row && i < trlSort->topLevelItemCount() && !listed; ++i)
                    listed = &FieldOf(trlSort->topLevelItem(i)) == &FieldOf(row);
                if (row && !listed)
                    AddSortRow(row, entry.Value.startsWith(u'1'), entry.Value.mid(1, 1) == QStringLiteral("1"));
            }
            if (trlSort->topLevelItemCount() > 0)
                trlSort->setCurrentItem(trlSort->topLevelItem(0));
        }

        if (SummaryShown()) {
            const QString total = ReadViewSchemeParam(FViewScheme.Params, TotalSection);
            chkTotal->setChecked(!total.startsWith(u'0'));
            chkSubTotal->setChecked(total.mid(1, 1) != QStringLiteral("0"));
            if (summaries == 0 && total.isEmpty())
                for (int i = 0; i < trlFields->topLevelItemCount(); ++i)
                    if (FieldAllowsSum(FieldOf(trlFields->topLevelItem(i))))
                        SetSummary(trlFields->topLevelItem(i), skSum);
        }
    }
    FFilling = false;
    UpdateStates();
}

QTreeWidgetItem* TViewSchemeDlg::AddSortRow(QTreeWidgetItem* AFieldRow, bool ADescending, bool AGrouped)
{
    auto* row = new QTreeWidgetItem(trlSort);
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    row->setText(scName, FieldOf(AFieldRow).Name);
    row->setData(scName, FieldIndexRole, AFieldRow->data(fcName, FieldIndexRole));
    row->setCheckState(scDescending, ADescending ? Qt::Checked : Qt::Unchecked);
    row->setCheckState(scGrouped, AGrouped ? Qt::Checked : Qt::Unchecked);
    return row;
}

void TViewSchemeDlg::AddSort()
{
    QTreeWidgetItem* fieldRow = trlFields->currentItem();
    if (!SortEnabled() || !fieldRow || FieldOf(fieldRow).HideSort)
        return;
    for (int i = 0; i < trlSort->topLevelItemCount(); ++i)
        if (&FieldOf(trlSort->topLevelItem(i)) == &FieldOf(fieldRow))
            return;
    trlSort->setCurrentItem(AddSortRow(fieldRow, false, false));
    UpdateStates();
}

void TViewSchemeDlg::RemoveSort()
{
    if (QTreeWidgetItem* row = trlSort->currentItem())
        delete row;
    UpdateStates();
}

void TViewSchemeDlg::MoveSort(int ADelta)
{
    QTreeWidgetItem* row = trlSort->currentItem();
    if (!row)
        return;
    const int from = trlSort->indexOfTopLevelItem(row);
    const int to = from + ADelta;
    if (to < 0 || to >= trlSort->topLevelItemCount())
        return;
    trlSort->takeTopLevelItem(from);
    trlSort->insertTopLevelItem(to, row);
    trlSort->setCurrentItem(row);
    UpdateStates();
}

void TViewSchemeDlg::TotalToggled(bool AChecked)
{
    if (!FFilling && AChecked && SummaryShown()) {
        bool any = false;
        for (int i = 0; i < trlFields->topLevelItemCount() && !any; ++i)
            any = Summary(trlFields->topLevelItem(i)) != skNone;
        if (!any)
            for (int i = 0; i < trlFields->topLevelItemCount(); ++i)
                if (FieldAllowsSum(FieldOf(trlFields->topLevelItem(i))))
                    SetSummary(trlFields->topLevelItem(i), skSum);
    }
    UpdateStates();
}

void TViewSchemeDlg::UpdateStates()
{
    const int tag = cboScheme->currentIndex() >= 0 ? cboScheme->currentData(SchemeTagRole).toInt() : int(stLastUsed);
    btnDeleteScheme->setEnabled(tag == stOwnPrivate || tag == stOwnShared);
    if (!FFieldsShown)
        return;

    // The summaries are edited only while the grand total is on.
    const bool totals = SummaryShown() && chkTotal->isChecked();
    chkSubTotal->setEnabled(totals);
    const QColor content = TColorToQColor(ContentColor());
    const QColor sorted = TColorToQColor(UIColor13);
    const QColor noSort = palette().color(QPalette::Dark);
    for (int i = 0; i < trlFields->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = trlFields->topLevelItem(i);
        if (QComboBox* box = SummaryBox(row)) {
            box->setEnabled(totals);
            row->setBackground(fcSummary, totals ? QBrush() : QBrush(content));
        }
        const TInfoFieldDef& field = FieldOf(row);
        bool inSort = false;
        for (int k = 0; k < trlSort->topLevelItemCount() && !inSort; ++k)
            inSort = &FieldOf(trlSort->topLevelItem(k)) == &field;
        row->setForeground(fcName, inSort ? QBrush(sorted) : field.HideSort ? QBrush(noSort) : QBrush());
    }

    const bool sort = SortEnabled();
    QTreeWidgetItem* current = trlSort->currentItem();
    const int at = current ? trlSort->indexOfTopLevelItem(current) : -1;
    btnRemoveSort->setEnabled(sort && current);
    btnSortUp->setEnabled(sort && at > 0);
    btnSortDown->setEnabled(sort && current && at < trlSort->topLevelItemCount() - 1);
    btnAddSort->setEnabled(sort && trlFields->currentItem());
}

bool TViewSchemeDlg::BuildScheme()
{
    QStringList selects, orders;
    if (FFieldsShown) {
        QString fieldList = Bar;
        QStringList summaries;
        bool anyVisible = false;
        for (int i = 0; i < trlFields->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = trlFields->topLevelItem(i);
            const TInfoFieldDef& field = FieldOf(row);
            if (row->checkState(fcVisible) == Qt::Checked) {
                anyVisible = true;
                fieldList += field.ID + Bar;
                selects.append(selectItem(field));
            }
            if (const int kind = Summary(row); kind != skNone)
                summaries.append(field.ID + u':' + QString::number(kind));
        }
        if (!anyVisible) {
            ShowWarning(QStringLiteral("您没有勾选需显示的字段, 请修正!"));
            pgcPages->setCurrentWidget(tshFields);
            trlFields->setFocus();
            if (trlFields->topLevelItemCount() > 0)
                trlFields->setCurrentItem(trlFields->topLevelItem(0), fcVisible);
            return false;
        }
        if (SummaryShown())
            FViewScheme.Params = WriteViewSchemeParam(FViewScheme.Params, SummariesSection, summaries.join(Bar));

        if (SortEnabled()) {
            const int count = trlSort->topLevelItemCount();
            QStringList entries, extraFields, extraSelects;
            QList<bool> grouped(count, false);
            // Every sort row down to the last one ticked is grouped.
            bool group = false;
            for (int i = count - 1; i >= 0; --i) {
                group = group || trlSort->topLevelItem(i)->checkState(scGrouped) == Qt::Checked;
                grouped[i] = group;
            }
            for (int i = 0; i < count; ++i) {
                QTreeWidgetItem* row = trlSort->topLevelItem(i);
                const TInfoFieldDef& field = FieldOf(row);
                const bool descending = row->checkState(scDescending) == Qt::Checked;
                entries.append(field.ID + u':' + (descending ? u'1' : u'0') + (grouped[i] ? u'1' : u'0'));
                orders.append(u'[' + field.ID + u']' + (descending ? QStringLiteral(" desc") : QString()));
                if (!fieldListHas(fieldList, field.ID)) {
                    extraFields.append(field.ID);
                    extraSelects.append(selectItem(field));
                }
            }
            // Sort fields not shown stand in front, in sort order.
            if (!extraFields.isEmpty())
                fieldList = Bar + extraFields.join(Bar) + fieldList;
            selects = extraSelects + selects;
            FViewScheme.Params = WriteViewSchemeParam(FViewScheme.Params, SortsSection, entries.join(Bar));
        }
        FViewScheme.Params = WriteViewSchemeParam(FViewScheme.Params, FieldsSection, fieldList);
        if (SummaryShown())
            FViewScheme.Params = WriteViewSchemeParam(FViewScheme.Params, TotalSection,
                                                      QString(chkTotal->isChecked() ? u'1' : u'0')
                                                          + (chkSubTotal->isChecked() ? u'1' : u'0'));
    }
    if (FFilterShown) {
        // The frame's criteria become the scheme's filter; no row stays no row.
        FViewScheme.Params = WriteViewSchemeParam(FViewScheme.Params, FilterSection, famFilter->FilterCode());
        const QString permit = FObjectDef->GetPermitFilter(FByQuery);
        FViewScheme.FilterSQL = permit == NoRowsFilter ? permit : CombineConditions(permit, famFilter->FilterSQL(), QStringLiteral("and"));
    } else {
        FViewScheme.FilterSQL = schemeFilterSQL(FObjectDef, FViewScheme, FByQuery);
    }
    FViewScheme.FieldsSQL = selects.join(QStringLiteral(", "));
    FViewScheme.OrderBySQL = orders.join(QStringLiteral(", "));
    FViewScheme.SQLParsed = true;
    return true;
}

void TViewSchemeDlg::SaveScheme()
{
    if (!BuildScheme())
        return;
    TViewSettingItems items;
    for (int i = 0; i < cboScheme->count(); ++i)
        items.append({cboScheme->itemData(i, SchemeTagRole).toInt(), cboScheme->itemText(i)});
    QString name;
    bool shared = false;
    if (!ShowViewSettingSaveDlg(FViewScheme.ID, items, name, shared))
        return;
    FViewScheme.IID = 0;
    FViewScheme.Name = name;
    FViewScheme.Kind = shared ? vkPublic : vkPrivate;
    if (SaveViewScheme(FViewScheme, false))
        LoadSchemeList();
}

void TViewSchemeDlg::DeleteScheme()
{
    const int tag = cboScheme->currentData(SchemeTagRole).toInt();
    if (tag != stOwnPrivate && tag != stOwnShared)
        return;
    if (ShowQuestion(UCommonText::ConfirmDelete, int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2)) != kvos::IDOK)
        return;
    if (!DeleteViewScheme(FViewScheme))
        return;
    {
        const QSignalBlocker block(cboScheme);
        cboScheme->removeItem(cboScheme->currentIndex());
        cboScheme->setCurrentIndex(0);
    }
    SchemeChosen(0);
}

void TViewSchemeDlg::accept()
{
    if (!BuildScheme())
        return;
    TDialog::accept();
}

bool DoShowViewSchemeDlg(TInfoObjectDef* AObjectDef, PViewScheme AViewScheme, TADOQuery* AByQuery, bool AInitActiveFieldsPage,
                         const QString& AExtCaption)
{
    if (!AViewScheme || !(AViewScheme->Supports & (voSupportFilter | voSupportFields)))
        return false;
    TViewSchemeDlg dlg(AObjectDef, AViewScheme, AByQuery, QApplication::activeWindow());
    dlg.Prepare(AInitActiveFieldsPage, AExtCaption);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    const TViewScheme& built = dlg.WorkingScheme();
    AViewScheme->Params = built.Params;
    AViewScheme->SQLParsed = built.SQLParsed;
    AViewScheme->FieldsSQL = built.FieldsSQL;
    AViewScheme->FilterSQL = built.FilterSQL;
    AViewScheme->OrderBySQL = built.OrderBySQL;
    return true;
}

void InitViewSchemeDlgUnit(TInfoApplication* AApplication)
{
    if (!AApplication)
        return;
    AApplication->ShowViewSchemeDlgProc = DoShowViewSchemeDlg;
    AApplication->ParseViewSchemeSQLProc = DoParseViewSchemeSQL;
}
