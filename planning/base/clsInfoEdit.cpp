#include "clsInfoEdit.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "clsInfoFrame.h"
#include "clsInfoView.h"
#include "untDllCommon.h"

#include <QEvent>
#include <QVBoxLayout>

namespace {

const QString kLeaveEditQuestion = QStringLiteral("您将退出[%s]的当前编辑状态, 对未保存过的内容进行保存?");
const QString kDiscardQuestion = QStringLiteral("所有未保存过的编辑内容将被放弃, 确定?");
constexpr int kTitleMargin = 15;
constexpr int kTitleHeight = 35;
const QString kFooterFormat = QStringLiteral("###,###,###,##0.########");

} // namespace

TCustomInfoEdit::TCustomInfoEdit(QWidget* AOwner, TInfoObjectDef* AObjectDef)
    : QFrame(AOwner)
    , ObjectDef(AObjectDef)
{
    // The editor's own view scheme: the user's last-used one of "<object>/#".
    ViewScheme.ID = (AObjectDef ? AObjectDef->ID : QString()) + QStringLiteral("/#");
    ViewScheme.IID = 0;
    LoadViewScheme(ViewScheme);

    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    setPalette(pal);
    resize(451, 304);

    // The title bar lies along the top with 15 pixels all round; the derived
    // editor's controls fill the layout below it.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, kTitleMargin + kTitleHeight + kTitleMargin, 0, 0);
    layout->setSpacing(0);
    gbxTitle = new QFrame(this);
    gbxTitle->setObjectName(QStringLiteral("gbxTitle"));
    gbxTitle->setFrameShape(QFrame::NoFrame);
    placeTitleBar();

    lblTitle = new QLabel(gbxTitle);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont(QStringLiteral("Tahoma"));
    titleFont.setPixelSize(19);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblState = new QLabel(gbxTitle);
    lblState->setObjectName(QStringLiteral("lblState"));
    QFont stateFont(QStringLiteral("Tahoma"));
    stateFont.setPixelSize(11);
    lblState->setFont(stateFont);
    lblState->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblState->setFixedWidth(400);
    gbxTitle->installEventFilter(this);

    qryMain = new TADOQuery(this);
    qryMain->setObjectName(QStringLiteral("qryMain"));
    qryMain->CursorType = ctStatic;
    qryMain->CommandTimeout = 600;
    qryMain->ParamCheck = false;
    dsMain = std::make_unique<kvui::DataSetSource>(qryMain);
}

TCustomInfoEdit::~TCustomInfoEdit() = default;

void TCustomInfoEdit::AfterConstruction()
{
    setObjectName(DesignedName(this) + QString::number(CurrentTickCount()));

    lblTitle->setText(GetCaption());
    lblTitle->adjustSize();
    lblTitle->move(10, 5);
    lblState->clear();
    placeStateLabel();

    // Title bar and label colours from the look in use.
    QPalette bar = gbxTitle->palette();
    bar.setColor(QPalette::Window, bar.color(QPalette::Button));
    gbxTitle->setAutoFillBackground(true);
    gbxTitle->setPalette(bar);
    for (QLabel* label : {lblTitle, lblState}) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, bar.color(QPalette::ButtonText));
        label->setPalette(p);
    }

    // The record's query runs on the library's own connection.
    qryMain->SetConnection(GlobalADOConnection);

    InitializeEdit();
}

void TCustomInfoEdit::placeTitleBar()
{
    gbxTitle->setGeometry(kTitleMargin, kTitleMargin, qMax(0, width() - 2 * kTitleMargin), kTitleHeight);
}

void TCustomInfoEdit::resizeEvent(QResizeEvent* AEvent)
{
    QFrame::resizeEvent(AEvent);
    placeTitleBar();
}

bool TCustomInfoEdit::eventFilter(QObject* AWatched, QEvent* AEvent)
{
    if (AWatched == gbxTitle && AEvent->type() == QEvent::Resize)
        placeStateLabel();
    return QFrame::eventFilter(AWatched, AEvent);
}

void TCustomInfoEdit::placeStateLabel()
{
    // Anchored to the right edge of the title bar.
    lblState->move(gbxTitle->width() - lblState->width() - 15, 11);
}

void TCustomInfoEdit::InitializeEdit() {}

void TCustomInfoEdit::FocusEditor()
{
    try {
        if (isEnabled() && isVisible())
            setFocus();
    } catch (...) {
    }
}

bool TCustomInfoEdit::SaveData()
{
    return false;
}

QString TCustomInfoEdit::BuildFieldSelectList(const QString& AFieldList, const QString& AExtraFields, const QString& AWhere,
                                              const QString& AOrderBy)
{
    const QString bar = QStringLiteral("|");
    QString select;
    QString order;
    if (ObjectDef) {
        // Fields from the last to the first; the key fields order the rows in
        // definition order unless the caller gives an order.
        for (auto i = ObjectDef->Fields.size(); i-- > 0;) {
            const TInfoFieldDef& field = ObjectDef->Fields[i];
            if (!field.IsPrimary && !DelimitedListContains(AFieldList, field.ID, bar))
                continue;
            select += QStringLiteral(", ") + field.SQLExpress + QStringLiteral(" as [") + field.ID + u']';
            if (AOrderBy.isEmpty() && field.IsPrimary)
                order = QStringLiteral(", [") + field.ID + u']' + order;
        }
    }
    if (!AExtraFields.isEmpty())
        select += QStringLiteral(", ") + AExtraFields;
    if (ObjectDef) {
        // The applicability of each action with a filter, as hidden "#ID" columns.
        for (auto i = ObjectDef->Actions.size(); i-- > 0;) {
            const TInfoActionDef& action = ObjectDef->Actions[i];
            if (action.Filter.isEmpty())
                continue;
            if (action.ActType != atUpdate && (action.Kind == akView || action.Kind == akGlobal) && !action.InEditor)
                continue;
            select += QStringLiteral(", [#") + action.ID + QStringLiteral("]=(case when ") + action.Filter
                + QStringLiteral(" then 1 else 0 end)");
        }
    }
    const QString orderText = AOrderBy.isEmpty() ? order.mid(2) : AOrderBy;
    QString mainFilter;
    const QString from = InfoApplication ? InfoApplication->GetInfoObjectDataSourceSQL(ObjectDef, select, mainFilter) : QString();
    QString condition = AWhere;
    if (!mainFilter.isEmpty())
        condition = QStringLiteral("(") + mainFilter + QStringLiteral(") and (") + AWhere + u')';
    return QStringLiteral("select ") + select.mid(2) + QStringLiteral(" from ") + from + QStringLiteral(" where ") + condition
        + QStringLiteral(" order by ") + orderText;
}

void TCustomInfoEdit::ProcessIdle() {}

void TCustomInfoEdit::SetParentControl(QWidget* AParent)
{
    PlaceInParent(this, AParent);
}

void TCustomInfoEdit::OpenData(const QString&, const QString&) {}

TInfoObjectDef* TCustomInfoEdit::GetObjectDef()
{
    return ObjectDef;
}

QString TCustomInfoEdit::GetCaption()
{
    return ObjectDef ? ObjectDef->Name : QString();
}

TEditMode TCustomInfoEdit::GetEditMode()
{
    return EditMode;
}

bool TCustomInfoEdit::DataInEdit(const QString& AKeyValues)
{
    // An untouched new record can take a request for a new record.
    return EditMode == emNew && AKeyValues.isEmpty() && !Modified;
}

bool TCustomInfoEdit::askSaveBeforeLeaving()
{
    if (EditMode == emNone || !Modified)
        return true;
    const int answer = ShowQuestion(FormatMessage(kLeaveEditQuestion, {GetCaption()}),
                                    int(kvos::MB_YESNOCANCEL | kvos::MB_DEFBUTTON3));
    if (answer == kvos::IDCANCEL)
        return false;
    if (answer == kvos::IDYES)
        return SaveData();
    return true;
}

bool TCustomInfoEdit::QueryClose()
{
    if (!askSaveBeforeLeaving())
        return false;
    SaveViewScheme(ViewScheme, true);
    return true;
}

bool TCustomInfoEdit::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    switch (ACommandIndex) {
    case Commands::Save:
        if (EditMode != emNone && Modified)
            AState |= csEnabled;
        return true;
    case Commands::CancelEdits:
        if (EditMode != emNone && !KeyValues.isEmpty())
            AState |= csEnabled;
        return true;
    case Commands::ExpandAll:
    case Commands::CollapseAll:
        return true;
    case Commands::Refresh:
        if (EditMode == emNone)
            AState |= csEnabled;
        return true;
    default:
        break;
    }
    if (ACommandIndex < Commands::FirstAction || !ObjectDef)
        return false;
    const auto index = size_t(ACommandIndex - Commands::FirstAction);
    if (index >= ObjectDef->Actions.size())
        return false;
    const TInfoActionDef& action = ObjectDef->Actions[index];
    bool enabled = action.ActType == atNew;
    if (!enabled && EditMode == emNone) {
        if (action.Filter.isEmpty()) {
            enabled = true;
        } else if (qryMain->Active() && !qryMain->IsEmpty()) {
            TField* flag = qryMain->FindField(QStringLiteral("#") + action.ID);
            enabled = flag && flag->AsString() == QStringLiteral("1");
        }
    }
    if (enabled)
        AState |= csEnabled;
    return true;
}

bool TCustomInfoEdit::ExecCommand(int ACommandIndex)
{
    switch (ACommandIndex) {
    case Commands::Save:
        SaveData();
        if (EditMode == emNone)
            OpenData(KeyValues, QString());
        return true;
    case Commands::CancelEdits: {
        if (Modified && ShowWarning(kDiscardQuestion, int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2)) != kvos::IDOK)
            return true;
        // The edits count as discarded only once the record has been read
        // again: when reading fails they stay, and so does the save command.
        const bool wasModified = Modified;
        try {
            Modified = false;
            OpenData(KeyValues, QString());
        } catch (...) {
            Modified = wasModified;
        }
        return true;
    }
    case Commands::Refresh:
        if (EditMode == emNone)
            OpenData(KeyValues, QString());
        return true;
    default:
        break;
    }
    if (ACommandIndex < Commands::FirstAction || !ObjectDef)
        return false;
    const auto index = size_t(ACommandIndex - Commands::FirstAction);
    if (index >= ObjectDef->Actions.size())
        return false;
    const TInfoActionDef& action = ObjectDef->Actions[index];
    switch (action.ActType) {
    case atNew:
        if (EditMode != emNone && Modified) {
            const int answer = ShowQuestion(FormatMessage(kLeaveEditQuestion, {GetCaption()}),
                                            int(kvos::MB_YESNOCANCEL | kvos::MB_DEFBUTTON3));
            if (answer == kvos::IDCANCEL)
                return false;
            if (answer == kvos::IDYES) {
                if (!SaveData())
                    return false;
            } else {
                Modified = false;
            }
        }
        OpenData(QString(), action.ID);
        return true;
    case atUpdate:
    case atCopy:
        OpenData(KeyValues, action.ID);
        return true;
    default:
        return false;
    }
}

kvui::Column* TCustomInfoEdit::FindFieldColumn(const QString& AFieldName) const
{
    for (const auto& [name, column] : FColumnFieldNames)
        if (name.compare(AFieldName, Qt::CaseInsensitive) == 0)
            return column;
    return nullptr;
}

void TCustomInfoEdit::BindFieldColumn(kvui::Column* AColumn, const QString& AFieldName)
{
    for (const auto& entry : FColumnFieldNames)
        if (entry.first.compare(AFieldName, Qt::CaseInsensitive) == 0)
            return;
    FColumnFieldNames.append({AFieldName, AColumn});
    if (!AColumn)
        return;
    PInfoFieldDef def = ObjectDef ? ObjectDef->GetFieldDef(AFieldName) : nullptr;
    if (!def) {
        AColumn->setVisible(false);
        return;
    }
    const qsizetype slash = def->Name.indexOf(u'\\');
    AColumn->setCaption(slash >= 0 ? def->Name.mid(slash + 1) : def->Name);
    if (def->HideList)
        AColumn->setVisible(false);
    SetupTreeListColumn(def, AColumn);
    if (AColumn->view() && AColumn->view()->showFooter() && AColumn->footerSummary().kind != kvui::SummaryKind::None)
        AColumn->setFooterSummary(AColumn->footerSummary().kind, kFooterFormat);
}

void TCustomInfoEdit::LoadDetailRows(kvui::TreeList* ATreeList, TCustomADODataSet* ADataSet)
{
    if (!ATreeList || !ADataSet)
        return;
    QList<QPair<TField*, kvui::Column*>> pairs;
    for (auto i = FColumnFieldNames.size(); i-- > 0;)
        if (TField* field = ADataSet->FindField(FColumnFieldNames[i].first))
            pairs.append({field, FColumnFieldNames[i].second});
    ATreeList->beginUpdate();
    ATreeList->cancelEdit();
    ATreeList->clear();
    if (ADataSet->Active())
        for (ADataSet->First(); !ADataSet->Eof(); ADataSet->Next()) {
            kvui::TreeNode* node = ATreeList->addNode();
            for (const auto& [field, column] : pairs)
                if (column)
                    node->setValue(column, field->Value());
        }
    ATreeList->endUpdate();
}
