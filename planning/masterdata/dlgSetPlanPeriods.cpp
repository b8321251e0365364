#include "dlgSetPlanPeriods.h"

#include "MessageBox.h"
#include "TreeList.h"
#include "UCommon.h"
#include "dlgWorkCalendar.h"
#include "famCalendar.h"
#include "untMRPUtils.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace {

const QString kWeekDays = QStringLiteral("日一二三四五六"); // Sunday first

QString WeekDayChar(const QDate& d)
{
    return kWeekDays.at(d.dayOfWeek() % 7);
}

QString SlashDate(std::int64_t day)
{
    return TCalendarFrame::DateOf(day).toString(QStringLiteral("yyyy/MM/dd"));
}

// The list's node images: one day, a span shorter than a week, a week, longer.
QList<QIcon> PeriodImages()
{
    QList<QIcon> images;
    const int widths[] = {4, 8, 12, 16};
    const QColor colours[] = {QColor(0, 161, 0), QColor(0, 0, 255), QColor(255, 128, 0), QColor(255, 0, 255)};
    for (int i = 0; i < 4; ++i) {
        QPixmap pm(16, 16);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setPen(colours[i].darker(130));
        p.setBrush(colours[i]);
        p.drawRect(0, 5, widths[i] - 1, 6);
        images << QIcon(pm);
    }
    return images;
}

// A button that runs an action and follows its enabled state.
QPushButton* ActionButton(QAction* action, QWidget* parent)
{
    auto* b = new QPushButton(action->text(), parent);
    b->setAutoDefault(false);
    b->setObjectName(QStringLiteral("btn") + action->objectName().mid(3));
    QObject::connect(b, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, b, [b, action] { b->setEnabled(action->isEnabled()); });
    return b;
}

} // namespace

void FillPlanPeriodTree(kvui::TreeList* ATree, const TPlanPeriods& APeriods)
{
    const QSignalBlocker block(ATree);
    ATree->beginUpdate();
    ATree->clear();
    if (ATree->columnCount() == 0) {
        if (ATree->bandCount() == 0)
            ATree->addBand();
        ATree->addColumn();
    }
    kvui::Column* col = ATree->column(0);
    for (int i = 0; i < int(APeriods.size()); ++i) {
        const TPlanPeriod& p = APeriods[i];
        if (p.PeriodKind != ppkNormal)
            continue;
        const std::int64_t b = untMRPUtils::DateToDay(p.DateBegin);
        const std::int64_t e = untMRPUtils::DateToDay(p.DateEnd);
        const QDate db = TCalendarFrame::DateOf(b);
        const QDate de = TCalendarFrame::DateOf(e);
        QString text = db.toString(QStringLiteral("yyyy/MM/dd")) + QStringLiteral(" (") + WeekDayChar(db) + u')';
        if (e != b)
            text += QStringLiteral(" - ") + de.toString(QStringLiteral("MM/dd")) + QStringLiteral(" (") + WeekDayChar(de) +
                    u')';
        kvui::TreeNode* node = ATree->addNode();
        node->setValue(col, text);
        node->setData(i);
        const std::int64_t d = e - b;
        node->setImageIndex(d == 0 ? 0 : d == 6 ? 2 : d > 6 ? 3 : 1);
    }
    ATree->endUpdate();
}

TSetPlanPeriodsDlg::TSetPlanPeriodsDlg(QWidget* parent)
    : TDialog(parent)
{
    setObjectName(QStringLiteral("SetPlanPeriodsDlg"));
    setWindowTitle(QStringLiteral("计划展望期设置"));
    setMinimumSize(780, 420);
    resize(820, 560);

    const auto makeAction = [this](const char* name, const QString& caption) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    actPeriodAddDay = makeAction("actPeriodAddDay", QStringLiteral("天(&D)"));
    actPeriodAddWeek = makeAction("actPeriodAddWeek", QStringLiteral("周(&W)"));
    actPeriodAddMonth = makeAction("actPeriodAddMonth", QStringLiteral("月(&M)"));
    actPeriodAddSpan = makeAction("actPeriodAddSpan", QStringLiteral("时段(&A)"));
    actPeriodMerge = makeAction("actPeriodMerge", QStringLiteral("延展前时段(&H)"));
    actPeriodRemove = makeAction("actPeriodRemove", QStringLiteral("清除(&C)"));
    actPeriodRemoveAll = makeAction("actPeriodRemoveAll", QStringLiteral("清除全部(&X)"));
    actSetCalender = makeAction("actSetCalender", QStringLiteral(" 设置(&S)..."));

    QWidget* area = ClientArea();
    cxLabel1 = new QLabel(QStringLiteral("日历名称(&N):"), area);
    cboCalendar = new QComboBox(area);
    cboCalendar->setObjectName(QStringLiteral("cboCalendar"));
    cxLabel1->setBuddy(cboCalendar);
    btnSetCalendar = ActionButton(actSetCalender, area);
    btnSetCalendar->setObjectName(QStringLiteral("btnSetCalendar"));
    famCalendar = new TCalendarFrame(area);
    cxLabel2 = new QLabel(QStringLiteral("增加:"), area);
    btnAddDay = ActionButton(actPeriodAddDay, area);
    btnAddWeek = ActionButton(actPeriodAddWeek, area);
    btnAddMonth = ActionButton(actPeriodAddMonth, area);
    btnAddSpan = ActionButton(actPeriodAddSpan, area);
    btnMerge = ActionButton(actPeriodMerge, area);
    btnRemove = ActionButton(actPeriodRemove, area);
    btnRemoveAll = ActionButton(actPeriodRemoveAll, area);
    cxLabel7 = new QLabel(QStringLiteral("展望期(&P):"), area);
    trlPlanPeriods = new kvui::TreeList(area);
    trlPlanPeriods->setObjectName(QStringLiteral("trlPlanPeriods"));
    cxLabel7->setBuddy(trlPlanPeriods);
    trlPlanPeriods->addBand();
    trlPlanPeriods->addColumn()->setWidth(200);
    trlPlanPeriods->setShowHeaders(false);
    trlPlanPeriods->setShowBandHeaders(false);
    trlPlanPeriods->setShowIndicator(false);
    trlPlanPeriods->setShowRoot(false);
    trlPlanPeriods->setShowTreeLines(false);
    trlPlanPeriods->setReadOnly(true);
    trlPlanPeriods->setImages(PeriodImages());
    trlPlanPeriods->setMinimumWidth(210);

    auto* calendarRow = new QHBoxLayout;
    calendarRow->addWidget(cxLabel1);
    calendarRow->addWidget(cboCalendar, 1);
    calendarRow->addWidget(btnSetCalendar);
    auto* commands = new QHBoxLayout;
    commands->addWidget(cxLabel2);
    for (QPushButton* b : {btnAddDay, btnAddWeek, btnAddMonth, btnAddSpan})
        commands->addWidget(b);
    commands->addSpacing(12);
    for (QPushButton* b : {btnMerge, btnRemove, btnRemoveAll})
        commands->addWidget(b);
    commands->addStretch();
    auto* left = new QVBoxLayout;
    left->addLayout(calendarRow);
    left->addWidget(famCalendar, 1);
    left->addLayout(commands);
    auto* right = new QVBoxLayout;
    right->addWidget(cxLabel7);
    right->addWidget(trlPlanPeriods, 1);
    auto* layout = new QHBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(left, 1);
    layout->addLayout(right);
    setFocusProxy(famCalendar);
    // Wide enough for every command button's caption whole, whatever the font.
    const int wanted = minimumSizeHint().width();
    setMinimumWidth(qMax(minimumWidth(), wanted));
    resize(qMax(width(), wanted), height());

    connect(actPeriodAddDay, &QAction::triggered, famCalendar, &TCalendarFrame::AddSelectionToPeriodDay);
    connect(actPeriodAddWeek, &QAction::triggered, famCalendar, &TCalendarFrame::AddSelectionToPeriodWeek);
    connect(actPeriodAddMonth, &QAction::triggered, famCalendar, &TCalendarFrame::AddSelectionToPeriodMonth);
    connect(actPeriodAddSpan, &QAction::triggered, famCalendar, &TCalendarFrame::AddSelectionToPeriodSpan);
    connect(actPeriodMerge, &QAction::triggered, famCalendar, &TCalendarFrame::MergePeriodWithPrior);
    connect(actPeriodRemove, &QAction::triggered, famCalendar, &TCalendarFrame::ClearPeriodsSelected);
    connect(actPeriodRemoveAll, &QAction::triggered, famCalendar, &TCalendarFrame::ClearPeriodsAll);
    connect(actSetCalender, &QAction::triggered, this, [this] { actSetCalenderExecute(); });
    connect(famCalendar, &TCalendarFrame::Changed, this, [this] { PeriodsChanged(); });
    connect(famCalendar->grdCalendar, &kvui::DrawGrid::selectionChanged, this, [this] { UpdateActions(); });
    connect(famCalendar->grdCalendar, &kvui::DrawGrid::cellSelected, this,
            [this](int c, int r) { grdCalendarSelectCell(c, r); });
    connect(trlPlanPeriods, &kvui::TreeList::focusedNodeChanged, this, [this] { trlPlanPeriodsFocusedNodeChanged(); });
    connect(cboCalendar, &QComboBox::currentIndexChanged, this, [this] { cboCalendarPropertiesChange(); });
    UpdateActions();
}

int TSetPlanPeriodsDlg::SelectedCalIID() const
{
    return cboCalendar->currentIndex() >= 0 ? cboCalendar->currentData().toInt() : 0;
}

void TSetPlanPeriodsDlg::LoadCalendars(int ACalIID, TADOQuery* AQuery, const QDate& ADate)
{
    FQuery = AQuery;
    famCalendar->SetDrawDateStart(ADate);
    FillCalendarList(cboCalendar, FQuery, ACalIID);
    cboCalendarPropertiesChange();
}

void TSetPlanPeriodsDlg::cboCalendarPropertiesChange()
{
    // the rest days are shown for orientation only; nothing is saved here
    if (FQuery)
        LoadFrameHolidays(famCalendar, FQuery, SelectedCalIID());
}

void TSetPlanPeriodsDlg::actSetCalenderExecute()
{
    int calIID = SelectedCalIID();
    if (ShowWorkCalenderDlg(calIID, FQuery, famCalendar->DrawDateStart())) {
        FillCalendarList(cboCalendar, FQuery, calIID);
        cboCalendarPropertiesChange();
    }
}

void TSetPlanPeriodsDlg::SetPeriods(const TPlanPeriods& APeriods)
{
    if (APeriods.size() > 2)
        for (size_t i = 1; i + 1 < APeriods.size(); ++i)
            famCalendar->AddPeriod(untMRPUtils::DateToDay(APeriods[i].DateBegin), untMRPUtils::DateToDay(APeriods[i].DateEnd));
    PeriodsChanged();
}

void TSetPlanPeriodsDlg::PeriodsChanged()
{
    // the frame keeps the periods apart and in order: the list follows it
    FPlanPeriods.clear();
    for (int i = 0; i < famCalendar->PeriodCount(); ++i) {
        const TPeriod p = famCalendar->Periods(i);
        FPlanPeriods.push_back({ppkNormal, double(p.DateBegin), double(p.DateEnd)});
    }
    FillPlanPeriodTree(trlPlanPeriods, FPlanPeriods);
    UpdateActions();
}

void TSetPlanPeriodsDlg::UpdateActions()
{
    const bool empty = famCalendar->SelectionIsEmpty();
    const bool any = famCalendar->PeriodCount() > 0;
    actPeriodAddDay->setEnabled(!empty);
    actPeriodAddWeek->setEnabled(famCalendar->SelectionCanAddWeek());
    actPeriodAddMonth->setEnabled(famCalendar->SelectionCanAddMonth());
    actPeriodAddSpan->setEnabled(!empty);
    actPeriodMerge->setEnabled(!empty && famCalendar->SelectionCanMerged());
    actPeriodRemove->setEnabled(!empty && any);
    actPeriodRemoveAll->setEnabled(any);
    actSetCalender->setEnabled(true);
}

void TSetPlanPeriodsDlg::grdCalendarSelectCell(int ACol, int ARow)
{
    if (!famCalendar->grdCalendar->hasFocus())
        return;
    const int index = famCalendar->FindPeriodIndex(ACol, ARow);
    if (index < 0)
        return;
    for (kvui::TreeNode* node : trlPlanPeriods->topNodes())
        if (node->data().toInt() == index) {
            const QSignalBlocker block(trlPlanPeriods);
            trlPlanPeriods->setFocusedNode(node);
            trlPlanPeriods->makeRowVisible(trlPlanPeriods->rowOfNode(node));
            break;
        }
}

void TSetPlanPeriodsDlg::trlPlanPeriodsFocusedNodeChanged()
{
    if (!trlPlanPeriods->hasFocus() && !trlPlanPeriods->viewport()->hasFocus())
        return;
    if (kvui::TreeNode* node = trlPlanPeriods->focusedNode())
        famCalendar->FocusPeriod(node->data().toInt());
}

void TSetPlanPeriodsDlg::accept()
{
    if (FPlanPeriods.empty()) {
        if (ShowQuestion(untMRPDataTypes::SNoPeriodsConfirm(), int(kvos::MB_OKCANCEL)) != kvos::IDOK) {
            famCalendar->grdCalendar->setFocus();
            return;
        }
    } else {
        for (size_t i = 1; i < FPlanPeriods.size(); ++i) {
            const std::int64_t prevEnd = untMRPUtils::DateToDay(FPlanPeriods[i - 1].DateEnd);
            const std::int64_t begin = untMRPUtils::DateToDay(FPlanPeriods[i].DateBegin);
            if (begin != prevEnd + 1) {
                ShowWarning(FormatMessage(untMRPDataTypes::SPeriodsGap(), {SlashDate(prevEnd + 1), SlashDate(begin - 1)}));
                famCalendar->grdCalendar->setFocus();
                famCalendar->FocusDate(prevEnd + 1);
                return;
            }
        }
    }
    TDialog::accept();
}

bool ShowSetPlanPeriodsDlg(TPlanPeriods& APeriods, int& ACalIID, TADOQuery* AQuery, const QDate& ADate)
{
    auto dlg = std::make_unique<TSetPlanPeriodsDlg>(QApplication::activeWindow());
    dlg->LoadCalendars(ACalIID, AQuery, ADate);
    dlg->SetPeriods(APeriods);
    if (dlg->exec() != QDialog::Accepted)
        return false;
    ACalIID = dlg->SelectedCalIID();
    const TPlanPeriods& normal = dlg->PlanPeriods();
    TPlanPeriods result;
    if (!normal.empty()) {
        result.push_back({ppkDelay, 0, normal.front().DateBegin - 1});
        result.insert(result.end(), normal.begin(), normal.end());
        result.push_back({ppkExceed, normal.back().DateEnd + 1, double(untMRPUtils::MaxDay)});
    }
    APeriods = result;
    return true;
}
