#include "clsPickEdit.h"

#include "Ado.h"
#include "DataSetSource.h"
#include "UCommon.h"
#include "untApplication.h"

#include <QApplication>
#include <QStyle>
#include <QLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

std::function<int(TPickPopupDlg&)> TPickPopupDlg::ExecHook;

QString FormatPositional(const QString& APattern, const QStringList& AArgs)
{
    QString out;
    int next = 0;
    for (int i = 0; i < APattern.size(); ++i) {
        QChar c = APattern[i];
        if (c != '%' || i + 1 >= APattern.size()) { out += c; continue; }
        if (APattern[i + 1] == '%') { out += '%'; ++i; continue; }
        int j = i + 1;
        int index = -1;
        int k = j;
        while (k < APattern.size() && APattern[k].isDigit()) ++k;
        if (k > j && k < APattern.size() && APattern[k] == ':') { index = APattern.mid(j, k - j).toInt(); j = k + 1; }
        if (j < APattern.size() && (APattern[j] == 's' || APattern[j] == 'd')) {
            if (index < 0) index = next;
            out += AArgs.value(index);
            next = index + 1;
            i = j;
            continue;
        }
        out += c;
    }
    return out;
}

// ---------------------------------------------------------------- properties

TPickEditProperties::TPickEditProperties()
{
    bindButton();
}

TPickEditProperties::TPickEditProperties(const TPickEditProperties& other) : TExButtonEditProperties(other)
{
    Assign(other);
    AfterDataPicked = other.AfterDataPicked;
    bindButton();
}

TPickEditProperties& TPickEditProperties::operator=(const TPickEditProperties& other)
{
    TExButtonEditProperties::operator=(other);
    Assign(other);
    AfterDataPicked = other.AfterDataPicked;
    bindButton();
    return *this;
}

void TPickEditProperties::Assign(const TPickEditProperties& s)
{
    static_cast<kvui::ButtonEditProperties&>(*this) = s;
    RefQuery = s.RefQuery;
    Caption = s.Caption;
    SQL = s.SQL;
    WhereOrder = s.WhereOrder;
    TextField = s.TextField;
    FixedFields = s.FixedFields;
    Text = s.Text;
    MultiSelect = s.MultiSelect;
    bindButton();
}

void TPickEditProperties::bindButton()
{
    // An edit keeps its own copy of this handler: once these properties are
    // gone (an edit built from a passing copy), its button does nothing.
    onButtonClick = [this, alive = std::weak_ptr<const bool>(FAlive)](kvui::ButtonEdit* edit, int) {
        if (alive.expired())
            return;
        Text = edit->text();
        // A failing look-up (a lost connection, a wrong field definition) is
        // the edit's own to report: the user keeps what was typed.
        try {
            if (!ShowPicker(true)) return;
        } catch (const std::exception& e) {
            ShowExceptionMessage(e);
            return;
        }
        edit->setText(Text);
        // Post the value into the cell when the edit serves a grid.
        for (QWidget* w = edit->parentWidget(); w; w = w->parentWidget())
            if (auto* v = qobject_cast<kvui::BandedView*>(w)) { v->postEditValue(); break; }
        edit->selectAll();
    };
}

QWidget* TPickEditProperties::createEditor(QWidget* parent) const
{
    return TExButtonEditProperties::createEditor(parent);
}

bool TPickEditProperties::ShowPicker(bool AFormatSQL)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool ok = false;
    try {
        TPickPopupDlg dlg(this, AFormatSQL, QApplication::activeWindow());
        dlg.OpenData();
        QApplication::restoreOverrideCursor();
        if (dlg.Run() == QDialog::Accepted) {
            int row = dlg.grvPickData->focusedRecordIndex();
            TField* text = TextField.isEmpty() ? nullptr : dlg.qryPickData->FindField(TextField);
            if (text && row >= 0) {
                dlg.qryPickData->SetRecNo(row + 1);
                Text = text->AsString();
            }
            if (AfterDataPicked) AfterDataPicked(dlg.qryPickData, dlg.grvPickData->selectedRecordIndexes());
            ok = true;
        }
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    return ok;
}

void SetupPickEditProperties(const TInfoFieldDef& AField, kvui::EditorProperties* AProperties, bool AInFilter)
{
    auto* p = dynamic_cast<TPickEditProperties*>(AProperties);
    if (!p) return;
    TPickSourceSetup s = ParseValueSource(AField, AInFilter);
    if (s.TextFieldSet) p->TextField = s.TextField;
    if (s.FixedFieldsSet) p->FixedFields = s.FixedFields;
    if (s.SQLSet) p->SQL = s.SQL;
    if (s.WhereOrderSet) {
        p->WhereOrder = s.WhereOrder;
        p->RefQuery = GlobalADOQuery;
    }
}

// ---------------------------------------------------------------- lookup window

TPickPopupDlg::TPickPopupDlg(TPickEditProperties* AProperties, bool ASearchMode, QWidget* parent)
    : QDialog(parent), FPickEditProperties(AProperties), FSearchMode(ASearchMode)
{
    setWindowTitle(AProperties->Caption.isEmpty() ? QStringLiteral("选择资料")
                                                   : QStringLiteral("选择资料") + " - [" + AProperties->Caption + "]");
    setMinimumSize(350, 300);
    resize(544, 462);
    qryPickData = new TADOQuery(this);
    qryPickData->CommandTimeout = 600;
    qryPickData->ParamCheck = false;
    if (TADOQuery* ref = AProperties->RefQuery) {
        if (ref->Connection()) qryPickData->SetConnection(ref->Connection());
        else qryPickData->SetConnectionString(ref->ConnectionString());
    }
    FSource = new kvui::DataSetSource(qryPickData);
    FSource->setReadOnly(true);

    lblPrompt = new QLabel(QStringLiteral("请选择所需的记录(&R):"));
    lblSearch = new QLabel(QStringLiteral("搜索(&F):"));
    edtSearch = new QLineEdit(AProperties->Text);
    lblSearch->setBuddy(edtSearch);
    btnSearch = new QToolButton;
    btnSearch->setText(QStringLiteral("搜索"));
    btnSearch->setToolTip(QStringLiteral("搜索"));
    grvPickData = new kvui::BandedGrid;
    grvPickData->addBand(QString(), kvui::BandFixed::Left);
    grvPickData->addBand();
    grvPickData->setShowBandHeaders(false);
    grvPickData->setEditingEnabled(false);
    grvPickData->setSortingEnabled(false);
    grvPickData->setMultiSelect(AProperties->MultiSelect);
    lblPrompt->setBuddy(grvPickData);
    lblCount = new QLabel;
    lblCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblCount->setForegroundRole(QPalette::Highlight);
    btnOk = new QPushButton(QStringLiteral("确定"), this);
    btnCancel = new QPushButton(QStringLiteral("取消"), this);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnSearch, &QToolButton::clicked, this, &TPickPopupDlg::Search);
    connect(grvPickData, &kvui::BandedView::selectionChanged, this, &TPickPopupDlg::UpdateCount);
    connect(grvPickData, &kvui::BandedView::focusedRowChanged, this, &TPickPopupDlg::UpdateCount);
    connect(grvPickData, &kvui::BandedView::cellDoubleClicked, this, [this] {
        if (!grvPickData->selectedRecordIndexes().isEmpty()) accept();
    });
    edtSearch->installEventFilter(this);

    auto* top = new QHBoxLayout;
    top->addWidget(lblPrompt);
    top->addWidget(lblSearch);
    top->addWidget(edtSearch, 1);
    top->addWidget(btnSearch);
    top->addWidget(lblCount);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(top);
    lay->addWidget(grvPickData, 1);
    lay->addSpacing(btnOk->sizeHint().height() + 8);
    lblPrompt->setVisible(!FSearchMode);
    lblSearch->setVisible(FSearchMode);
    edtSearch->setVisible(FSearchMode);
    btnSearch->setVisible(FSearchMode);
}

TPickPopupDlg::~TPickPopupDlg()
{
    grvPickData->setDataSource(nullptr);
    delete FSource;
}

int TPickPopupDlg::Run()
{
    return ExecHook ? ExecHook(*this) : exec();
}

QString TPickPopupDlg::StatementFor(const QString& AText) const
{
    const TPickEditProperties* p = FPickEditProperties;
    QString quoted = QuotedStr(AText);
    QString sql = FSearchMode ? FormatPositional(p->SQL, {quoted}) : p->SQL;
    if (!p->WhereOrder.isEmpty())
        sql += " where " + (FSearchMode ? FormatPositional(p->WhereOrder, {quoted}) : p->WhereOrder);
    return sql;
}

void TPickPopupDlg::OpenData()
{
    qryPickData->Close();
    qryPickData->SQL.SetText(StatementFor(FPickEditProperties->Text));
    qryPickData->Open();
    BuildColumns();
    grvPickData->setDataSource(FSource);
    for (kvui::Column* c : grvPickData->columns()) {
        grvPickData->bestFitColumn(c, 50);
        if (c->width() > 300) c->setWidth(300);
    }
    FitWidth();
    LocateText();
    UpdateCount();
    if (qryPickData->RecordCount() == 0 && edtSearch->isVisible()) edtSearch->setFocus();
    else if (qryPickData->RecordCount() == 0 && FSearchMode) edtSearch->setFocus();
}

void TPickPopupDlg::BuildColumns()
{
    grvPickData->clearColumns();
    QString fixed = "|" + FPickEditProperties->FixedFields.trimmed() + "|";
    for (int i = 0; i < qryPickData->FieldCount(); ++i) {
        TField* f = qryPickData->Fields()->Field(i);
        QString name = f->FieldName();
        if (name.startsWith('#')) continue;
        bool inFixed = fixed.contains("|" + name + "|", Qt::CaseInsensitive) ||
                       fixed.contains("[" + name + "]", Qt::CaseInsensitive);
        kvui::Column* c = grvPickData->addColumn(name, name, inFixed ? 0 : 1);
        switch (f->DataType()) {
        case ftInteger: case ftLargeint: case ftFloat: case ftBCD:
            c->setEditor(RightAlignedTextItem());
            c->displayTextHook = &TCommonUI::GridFloatColumnGetDisplayText;
            break;
        case ftBoolean:
            c->setEditor(CheckBoxItem());
            break;
        default:
            break;
        }
    }
}

void TPickPopupDlg::FitWidth()
{
    int header = 0;
    const QList<kvui::Column*> cols = grvPickData->visibleColumns();
    for (kvui::Column* c : cols) header += c->width();
    // The window's frame around the columns: margins, the grid's frame, its row
    // indicator and its vertical scroll bar.
    QMargins m = layout()->contentsMargins();
    int frame = m.left() + m.right() + 2 * grvPickData->frameWidth() + grvPickData->indentWidth() + 14 +
                style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    int want = header + frame + 2;
    if (QScreen* s = screen()) want = qMin(want, s->availableGeometry().width());
    if (want > minimumWidth()) {
        resize(want, height());
    } else if (header > 0) {
        // The window keeps its minimum width: the columns share the extra room.
        int extra = minimumWidth() - want;
        for (kvui::Column* c : cols) c->setWidth(c->width() + extra * c->width() / header);
        resize(minimumWidth(), height());
    }
}

void TPickPopupDlg::LocateText()
{
    const QString text = FPickEditProperties->Text;
    TField* f = FPickEditProperties->TextField.isEmpty() ? nullptr : qryPickData->FindField(FPickEditProperties->TextField);
    if (!f || text.isEmpty()) return;
    bool isInt = f->DataType() == ftInteger || f->DataType() == ftLargeint;
    bool ok = false;
    qlonglong n = text.trimmed().toLongLong(&ok);
    if (isInt && !ok) return;
    for (int r = 0; r < FSource->recordCount(); ++r) {
        QVariant v = FSource->value(r, f->Index());
        bool hit = isInt ? (!v.isNull() && v.toLongLong() == n) : v.toString().compare(text, Qt::CaseInsensitive) == 0;
        if (hit) { grvPickData->setFocusedRecordIndex(r); return; }
    }
}

void TPickPopupDlg::Search()
{
    qryPickData->Close();
    FSearchMode = true;
    qryPickData->SQL.SetText(StatementFor(edtSearch->text()));
    qryPickData->Open();
    FSource->reset();
    UpdateCount();
    if (qryPickData->RecordCount() == 0) {
        edtSearch->selectAll();
        edtSearch->setFocus();
    } else {
        grvPickData->setFocus();
    }
}

void TPickPopupDlg::UpdateCount()
{
    int rows = grvPickData->recordCount();
    int pos = grvPickData->focusedRow() + 1;
    int selected = int(grvPickData->selectedRecordIndexes().size());
    if (rows == 0) lblCount->clear();
    else if (!grvPickData->multiSelect() || FSearchMode) lblCount->setText(QStringLiteral("%1 / %2").arg(pos).arg(rows));
    else lblCount->setText(QStringLiteral("位置: %1 / %2  选择: %3").arg(pos).arg(rows).arg(selected));
    btnOk->setEnabled(selected > 0);
}

bool TPickPopupDlg::eventFilter(QObject* o, QEvent* e)
{
    if (o == edtSearch) {
        if (e->type() == QEvent::FocusIn) btnOk->setDefault(false);
        else if (e->type() == QEvent::FocusOut) btnOk->setDefault(true);
        else if (e->type() == QEvent::KeyPress) {
            auto* ke = static_cast<QKeyEvent*>(e);
            if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) { Search(); return true; }
        }
    }
    return QDialog::eventFilter(o, e);
}

void TPickPopupDlg::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    int w = btnOk->sizeHint().width(), h = btnOk->sizeHint().height();
    int left = (width() - 2 * w - 5) / 2 + 2;
    btnOk->setGeometry(left, height() - h - 6, w, h);
    btnCancel->setGeometry(left + w + 5, height() - h - 6, w, h);
}
