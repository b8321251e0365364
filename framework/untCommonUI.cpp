#include "untCommonUI.h"

#include "EscapeKey.h"
#include "clsPickEdit.h"

#include "Ado.h"
#include "DisplayFormat.h"
#include "FileDialogs.h"
#include "UCommon.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QStandardPaths>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>

namespace {

const QString FloatFormat = QStringLiteral("###,###,###,##0.########");
const QString CurrencyFormat = QStringLiteral("###,###,###,##0.00");
const QString RowLimitNotice = QStringLiteral("由于您的筛选条件过于宽松, 导致本次查询结果超过%1行, 超过部分已放弃返回显示!");
const QString ExpandAllHint = QStringLiteral("正在展开树形视图的全部结点, 按[Esc]键可以中止...");

bool isEmptyNumber(const QVariant& v)
{
    return !v.isValid() || v.isNull() || (kvui::isNumeric(v) && v.toDouble() == 0) ||
           (v.typeId() == QMetaType::QString && v.toString().trimmed().isEmpty());
}

QString stripBrackets(QString s)
{
    s = s.trimmed();
    if (s.startsWith('[') && s.endsWith(']') && s.size() >= 2) s = s.mid(1, s.size() - 2).trimmed();
    return s;
}

} // namespace

// ---------------------------------------------------------------- colours

QColor TColorToQColor(TColor c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

TColor QColorToTColor(const QColor& c)
{
    return TColor(c.red()) | (TColor(c.green()) << 8) | (TColor(c.blue()) << 16);
}

TColor ContentColor()
{
    return QColorToTColor(QApplication::palette().color(QPalette::Window));
}

TColor ContentTextColor()
{
    return QColorToTColor(QApplication::palette().color(QPalette::WindowText));
}

TColor BlendColors(TColor A, TColor B, int APercent)
{
    auto channel = [&](int shift) {
        int a = int((A >> shift) & 0xFF), b = int((B >> shift) & 0xFF);
        int v = a * APercent / 100 + b * (100 - APercent) / 100;
        return TColor(qBound(0, v, 255)) << shift;
    };
    return channel(0) | channel(8) | channel(16);
}

// ---------------------------------------------------------------- display handlers

QString FloatDisplayText(const QVariant& v)
{
    return isEmptyNumber(v) ? QString() : kvui::formatFloat(FloatFormat, v.toDouble());
}

QString CurrencyDisplayText(const QVariant& v)
{
    return isEmptyNumber(v) ? QString() : kvui::formatFloat(CurrencyFormat, v.toDouble());
}

void TCommonUI::GridFloatColumnGetDisplayText(const kvui::RowRef&, const QVariant& v, QString& t) { t = FloatDisplayText(v); }
void TCommonUI::TreeFloatColumnGetDisplayText(const kvui::RowRef&, const QVariant& v, QString& t) { t = FloatDisplayText(v); }
void TCommonUI::GridCurrencyColumnGetDisplayText(const kvui::RowRef&, const QVariant& v, QString& t) { t = CurrencyDisplayText(v); }
void TCommonUI::TreeCurrencyColumnGetDisplayText(const kvui::RowRef&, const QVariant& v, QString& t) { t = CurrencyDisplayText(v); }

void TCommonUI::GridFilterControlDialogShow(kvui::ColumnFilterDialog& ADialog)
{
    ADialog.setWindowTitle(QStringLiteral("自定义快速筛选方式"));
    ADialog.lblTitle->hide();
    ADialog.lblHint->hide();
    QPalette palette = ADialog.fltConditions->palette();
    palette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Base));
    ADialog.fltConditions->setPalette(palette);
    ADialog.fltConditions->setAutoFillBackground(true);
    ADialog.fltConditions->setFocus();
}

// ---------------------------------------------------------------- shared editors

kvui::EditorPtr RightAlignedTextItem()
{
    static kvui::EditorPtr item = std::make_shared<kvui::TextEditProperties>(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

kvui::EditorPtr CenterAlignedTextItem()
{
    static kvui::EditorPtr item = std::make_shared<kvui::TextEditProperties>(Qt::AlignCenter);
    return item;
}

kvui::EditorPtr LeftAlignedTextItem()
{
    static kvui::EditorPtr item = std::make_shared<kvui::TextEditProperties>(Qt::AlignLeft | Qt::AlignVCenter);
    return item;
}

kvui::EditorPtr CheckBoxItem()
{
    static kvui::EditorPtr item = [] {
        auto p = std::make_shared<kvui::CheckBoxProperties>();
        p->nullAsUnchecked = true;
        return p;
    }();
    return item;
}

int CompareColumnPositions(const TGridColumnPosition& A, const TGridColumnPosition& B)
{
    for (auto [a, b] : {std::pair{A.BandIndex, B.BandIndex}, std::pair{A.RowIndex, B.RowIndex},
                        std::pair{A.ColIndex, B.ColIndex}, std::pair{A.LineCount, B.LineCount}})
        if (a != b) return a < b ? -1 : 1;
    return 0;
}

// ---------------------------------------------------------------- row limit

int ResultRowLimit()
{
    int limit = InfoApplication ? InfoApplication->MaxResultRowCount : 0;
    return limit > 0 ? limit : 20000;
}

int TopRowsForLimit()
{
    return ResultRowLimit() + 1;
}

bool CheckResultRowLimit(int ARowCount)
{
    if (ARowCount <= ResultRowLimit()) return false;
    ShowInfo(RowLimitNotice.arg(ResultRowLimit()));
    return true;
}

TRowCapForQuery::TRowCapForQuery() : FSaved(InfoApplication ? InfoApplication->MaxResultRowCount : 0)
{
    if (InfoApplication) InfoApplication->MaxResultRowCount = TopRowsForLimit();
}

TRowCapForQuery::~TRowCapForQuery()
{
    if (InfoApplication) InfoApplication->MaxResultRowCount = FSaved;
}

TLimitedDataSetSource::TLimitedDataSetSource(TCustomADODataSet* ADataSet) : kvui::DataSetSource(ADataSet)
{
    setRowLimit(&ResultRowLimit);
}

// ---------------------------------------------------------------- column editors

void FillFieldEnumItems(const TInfoFieldDef& AField, kvui::ImageComboProperties& AProperties)
{
    AProperties.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    AProperties.items.clear();
    if (!AField.EnumValues) return;
    bool filtered = AField.ValueType == vtSysEnum && !AField.ValueSource.isEmpty();
    for (int i = 0; i < AField.EnumValues->Count(); ++i) {
        int id = AField.EnumValues->Objects(i);
        if (filtered && !AField.ValueSource.contains("|" + QString::number(id) + "|")) continue;
        AProperties.addItem(id, AField.EnumValues->Strings(i));
    }
}

void SetupGridColumnEditor(const TInfoFieldDef& AField, kvui::Column* AColumn)
{
    if (!AColumn) return;
    if (AField.EnumValues) {
        auto props = std::make_shared<kvui::ImageComboProperties>();
        FillFieldEnumItems(AField, *props);
        AColumn->setEditor(props);
        return;
    }
    if (AField.ValueType == vtCreater || AField.ValueType == vtUser || AField.ValueType == vtLookup) {
        auto props = std::make_shared<TPickEditProperties>();
        SetupPickEditProperties(AField, props.get());
        AColumn->setEditor(props);
        return;
    }
    if (FieldTypes::IsNumericType(AField.DataType)) {
        if (!AColumn->editor()) AColumn->setEditor(RightAlignedTextItem());
        if (!AColumn->displayTextHook)
            AColumn->displayTextHook = AField.DataType == FieldTypes::ftCurrency
                                           ? &TCommonUI::GridCurrencyColumnGetDisplayText
                                           : &TCommonUI::GridFloatColumnGetDisplayText;
        return;
    }
    if (AField.DataType == FieldTypes::ftBoolean && !AColumn->editor()) AColumn->setEditor(CheckBoxItem());
}

TPickSourceSetup ParseValueSource(const TInfoFieldDef& AField, bool AInFilter)
{
    TPickSourceSetup r;
    if (AField.ValueType == vtCreater || AField.ValueType == vtUser) {
        r.FixedFields = QStringLiteral("代码");
        r.TextField = QStringLiteral("名称");
        r.WhereOrder = QStringLiteral("[代码] like '%%'+%0:s+'%%' or [名称] like '%%'+%0:s+'%%' order by [代码]");
        r.SQL = AInFilter
                    ? QStringLiteral("select * from (select [代码]=UsrNo,[名称]=UsrName,[禁用]=UsrDisabled from QZ_SYS_Users "
                                     "with(nolock) union select '', '<我>', cast(0 as bit)) as t")
                    : QStringLiteral("select * from (select [代码]=UsrNo,[名称]=UsrName,[禁用]=UsrDisabled from QZ_SYS_Users "
                                     "with(nolock)) as t");
        r.TextFieldSet = r.FixedFieldsSet = r.SQLSet = r.WhereOrderSet = true;
        return r;
    }
    const QString vs = AField.ValueSource;
    int bar1 = vs.indexOf('|');
    if (bar1 < 1) return r;  // no '|' after the first character
    QString head = vs.left(bar1).trimmed();
    if (head.isEmpty()) return r;
    int eq = head.indexOf('=');
    QString key = eq >= 0 ? stripBrackets(head.left(eq)) : QString();
    QString rest = (eq >= 0 ? head.mid(eq + 1) : head).trimmed();
    const QString like = QStringLiteral(" like '%%'+%0:s+'%%'");
    QString cond;
    if (!rest.isEmpty()) {
        QStringList items = rest.split('^');
        r.TextField = stripBrackets(items.first());
        cond = "[" + r.TextField + "]" + like;
        for (int i = 1; i < items.size(); ++i) {
            QString item = items[i].trimmed();
            if (item.isEmpty()) break;
            cond += " or " + item + like;
        }
    } else {
        r.TextField = key;
        cond = "[" + r.TextField + "]" + like;
    }
    r.TextFieldSet = true;
    QString afterHead = vs.mid(bar1 + 1);
    int bar2 = afterHead.indexOf('|');
    if (bar2 < 0) return r;
    QString fixed = afterHead.left(bar2).trimmed();
    r.FixedFields = fixed;
    r.FixedFieldsSet = true;
    QString source = afterHead.mid(bar2 + 1).trimmed();
    if (source.left(7).compare(QStringLiteral("select "), Qt::CaseInsensitive) == 0) {
        r.SQL = "select * from (" + source + ") as t";
    } else {
        int bar3 = source.indexOf('|');
        if (bar3 < 1) return r;
        r.SQL = "select * from (select " + source.mid(bar3 + 1).trimmed() + " from " + source.left(bar3).trimmed() +
                " with(nolock)) as t";
    }
    r.SQLSet = true;
    r.WhereOrder = fixed.isEmpty() ? cond + " order by [" + r.TextField + "]" : cond + " order by " + fixed;
    r.WhereOrderSet = true;
    return r;
}

// ---------------------------------------------------------------- trees

bool ExpandTreeListAll(kvui::TreeList* ATreeList)
{
    if (!ATreeList) return false;
    if (InfoApplication) InfoApplication->ShowStatusMessage(ExpandAllHint, mkHint);
    kvos::startEscapeKeyWatch(); // only an Esc pressed during the expansion counts
    bool wasEnabled = ATreeList->updatesEnabled();
    ATreeList->setUpdatesEnabled(false);
    bool done = false;
    try {
        done = ATreeList->expandAll([] { return InfoApplication && InfoApplication->CheckEscapeKeyPress(false); });
    } catch (...) {
        ATreeList->setUpdatesEnabled(wasEnabled);
        if (InfoApplication) InfoApplication->ShowStatusMessage(QString(), mkHint);
        throw;
    }
    ATreeList->setUpdatesEnabled(wasEnabled);
    if (InfoApplication) InfoApplication->ShowStatusMessage(QString(), mkHint);
    return done;
}

void FillTreeListFromQuery(kvui::TreeList* ATreeList, kvui::Column* AIDColumn, kvui::Column* ANameColumn,
                           int AImageIndex, int AStateIndex, TCustomADODataSet* AQuery, TTreeNodeMap& AMap)
{
    if (!ATreeList || !AQuery || !AQuery->Active()) return;
    struct Row { QString id, parent, name; bool done = false; };
    QList<Row> rows;
    int start = qMax(0, AQuery->RecNo() - 1);
    TField* fId = AQuery->FieldByName("ID");
    TField* fParent = AQuery->FieldByName("Parent");
    TField* fName = AQuery->FieldByName("Name");
    AQuery->First();
    while (!AQuery->Eof()) {
        rows << Row{fId->AsString(), fParent->AsString(), fName->AsString()};
        AQuery->Next();
    }
    // Rows by ID (the first row of an ID), without regard to case.
    QHash<QString, int> byId;
    for (int i = 0; i < rows.size(); ++i) byId.insert(rows[i].id.toUpper(), i);

    ATreeList->beginUpdate();
    auto place = [&](Row& r, kvui::TreeNode* parent) {
        kvui::TreeNode* n = ATreeList->addNode(parent);
        n->setValue(AIDColumn, r.id);
        n->setValue(ANameColumn, r.name);
        n->setImageIndex(AImageIndex);
        n->setStateIndex(AStateIndex);
        AMap.Set(r.id, n);
        r.done = true;
    };
    int first = start;
    while (true) {
        bool deferred = false, placed = false;
        for (int i = first; i < rows.size(); ++i) {
            Row& r = rows[i];
            if (r.done) continue;
            if (AMap.Node(r.id)) { r.done = true; continue; }   // ID already has its node
            if (!r.parent.isEmpty() && !AMap.Contains(r.parent)) {
                if (byId.contains(r.parent.toUpper())) {
                    AMap.Set(r.parent, nullptr);
                    deferred = true;
                } else {
                    place(r, nullptr);   // parent missing: a top-level node
                    placed = true;
                }
                continue;
            }
            if (!r.parent.isEmpty() && !AMap.Node(r.parent)) { deferred = true; continue; }
            place(r, r.parent.isEmpty() ? nullptr : AMap.Node(r.parent));
            placed = true;
        }
        first = 0;
        if (!deferred) break;
        if (!placed) {
            // Nothing moved: the rows left wait on each other. Those whose chain of
            // parents comes back to themselves form a cycle; they all go to the
            // top level, and the rows waiting below them follow in later passes.
            QList<int> cycle;
            for (int i = 0; i < rows.size(); ++i) {
                const Row& r = rows[i];
                if (r.done || AMap.Node(r.id)) continue;
                QSet<int> seen;
                int k = byId.value(r.parent.toUpper(), -1);
                while (k >= 0 && !seen.contains(k)) {
                    seen.insert(k);
                    if (rows[k].id.compare(r.id, Qt::CaseInsensitive) == 0) { cycle << i; break; }
                    if (rows[k].done || AMap.Node(rows[k].id)) break;
                    k = byId.value(rows[k].parent.toUpper(), -1);
                }
            }
            if (cycle.isEmpty()) {
                // Never expected; the first waiting row goes to the top so that the fill ends.
                for (int i = 0; i < rows.size() && cycle.isEmpty(); ++i)
                    if (!rows[i].done && !AMap.Node(rows[i].id)) cycle << i;
            }
            for (int i : cycle)
                if (!AMap.Node(rows[i].id)) place(rows[i], nullptr);
        }
    }
    ATreeList->endUpdate();
}

void PruneTreeLeaves(kvui::TreeList* ATreeList, int AStateIndex)
{
    if (!ATreeList) return;
    ATreeList->beginUpdate();
    // Each round deletes the leaves of that state; a parent that a round left
    // empty is a leaf of the next one.
    while (true) {
        QList<kvui::TreeNode*> leaves;
        for (kvui::TreeNode* n : ATreeList->allNodes())
            if (n->childCount() == 0 && n->stateIndex() == AStateIndex) leaves << n;
        if (leaves.isEmpty()) break;
        for (kvui::TreeNode* n : leaves) ATreeList->deleteNode(n);
    }
    ATreeList->endUpdate();
}

// ---------------------------------------------------------------- key and mouse rules

namespace {

kvui::BandedView* viewOf(QObject* target)
{
    if (auto* v = qobject_cast<kvui::BandedView*>(target)) return v;
    if (auto* w = qobject_cast<QWidget*>(target))
        if (auto* v = qobject_cast<kvui::BandedView*>(w->parentWidget()); v && v->viewport() == w) return v;
    return nullptr;
}

void setMultiSelect(kvui::BandedView* v, bool on)
{
    if (v->multiSelect() == on) return;
    v->setMultiSelect(on);
    int f = v->focusedRow();
    v->clearSelection();
    if (f >= 0) v->selectRow(f, true);
}

void collapseFocused(kvui::BandedView* v)
{
    int row = v->focusedRow();
    if (row < 0) return;
    if (v->rowHasChildren(row) && v->rowExpanded(row)) { v->setRowExpanded(row, false); return; }
    if (auto* t = qobject_cast<kvui::TreeList*>(v)) {
        kvui::TreeNode* n = t->focusedNode();
        if (n && n->parent()) { t->collapseNode(n->parent()); t->setFocusedNode(n->parent()); }
        return;
    }
    int level = v->row(row).level;
    for (int i = row - 1; i >= 0; --i)
        if (v->row(i).kind == kvui::RowRef::Group && v->row(i).level < level) {
            v->setRowExpanded(i, false);
            v->setFocusedRow(i);
            return;
        }
}

} // namespace

bool HandleGridShortcutMessage(QObject* ATarget, QEvent* AEvent)
{
    try {
        if (AEvent->type() == QEvent::MouseButtonPress) {
            auto* me = static_cast<QMouseEvent*>(AEvent);
            kvui::BandedView* v = viewOf(ATarget);
            if (!v || me->button() != Qt::LeftButton || !qobject_cast<kvui::BandedGrid*>(v)) return false;
            QPoint pos = me->position().toPoint();
            if (ATarget != v->viewport() || v->rowAt(pos) < 0) return false;
            setMultiSelect(v, me->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier));
            return false;
        }
        if (AEvent->type() != QEvent::KeyPress) return false;
        auto* ke = static_cast<QKeyEvent*>(AEvent);
        int key = ke->key();
        Qt::KeyboardModifiers mods = ke->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        if (auto* be = qobject_cast<kvui::ButtonEdit*>(ATarget)) {
            if ((key == Qt::Key_F2 || key == Qt::Key_F7) && be->firstGlyphButton() >= 0) {
                be->clickButton(be->firstGlyphButton());
                return true;
            }
            return false;
        }
        kvui::BandedView* v = viewOf(ATarget);
        if (!v) return false;
        bool shift = mods & Qt::ShiftModifier, ctrl = mods & Qt::ControlModifier;
        if (qobject_cast<kvui::BandedGrid*>(v)) {
            switch (key) {
            case Qt::Key_Space: case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_End:
            case Qt::Key_Home: case Qt::Key_Up: case Qt::Key_Down: {
                bool on = ((shift || ctrl) && (key == Qt::Key_Up || key == Qt::Key_Down)) ||
                          (shift && (key == Qt::Key_PageUp || key == Qt::Key_PageDown)) ||
                          (ctrl && key == Qt::Key_Space) ||
                          (ctrl && shift && (key == Qt::Key_End || key == Qt::Key_Home));
                setMultiSelect(v, on);
                return false;
            }
            default: break;
            }
        }
        if (key == Qt::Key_Plus && !ctrl) {
            int row = v->focusedRow();
            if (row >= 0) v->setRowExpanded(row, true);
            return true;
        }
        if (key == Qt::Key_Minus && !ctrl) {
            collapseFocused(v);
            return true;
        }
        if ((key == Qt::Key_C && ctrl) || (key == Qt::Key_Insert && ctrl)) {
            if (v->focusedRow() < 0) return false;
            v->copyToClipboard(shift);
            return true;
        }
    } catch (...) {
        // the rules never disturb the event loop
    }
    return false;
}

// ---------------------------------------------------------------- edit commands

namespace {

bool noTyping(QWidget* w)
{
    if (auto* be = qobject_cast<kvui::ButtonEdit*>(w)) return be->noKeyInput();
    return false;
}

} // namespace

bool QueryEditCommandState(int ACommand, TCommandState& AState)
{
    switch (ACommand) {
    case 21: case 23: case 24: case 25: case 27: case 28: case 47: case 48: break;
    default: return false;
    }
    QWidget* w = QApplication::focusWidget();
    if (!w) return false;
    AState = TCommandState();
    auto enable = [&](bool on) { if (on) AState |= csEnabled; };
    if (auto* le = qobject_cast<QLineEdit*>(w)) {
        bool changing = !le->isReadOnly() && !noTyping(le);
        switch (ACommand) {
        case 21: enable(changing && le->isUndoAvailable()); break;
        case 23: enable(changing && le->hasSelectedText()); break;
        case 24: enable(le->hasSelectedText()); break;
        case 25: case 27: enable(changing); break;
        case 28: enable(!noTyping(le) && !le->text().isEmpty()); break;
        default: break;
        }
        return true;
    }
    if (auto* te = qobject_cast<QPlainTextEdit*>(w)) {
        bool ro = te->isReadOnly();
        bool sel = te->textCursor().hasSelection();
        switch (ACommand) {
        case 21: enable(!ro && te->document()->isUndoAvailable()); break;
        case 23: enable(!ro && sel); break;
        case 24: enable(sel); break;
        case 25: case 27: enable(!ro); break;
        case 28: enable(!te->document()->isEmpty()); break;
        default: break;
        }
        return true;
    }
    if (auto* v = viewOf(w)) {
        if (auto* t = qobject_cast<kvui::TreeList*>(v)) {
            bool nodes = t->topCount() > 0;
            switch (ACommand) {
            case 24: enable(t->focusedNode() && t->focusedColumn()); break;
            case 28: enable(nodes && t->multiSelect()); break;
            case 47: case 48: enable(nodes); break;
            default: break;
            }
        } else if (auto* g = qobject_cast<kvui::BandedGrid*>(v)) {
            switch (ACommand) {
            case 24: case 28: enable(g->focusedRow() >= 0); break;
            case 47: case 48: enable(g->isGrouped()); break;
            default: break;
            }
        }
        return true;
    }
    return true;  // another control: handled, nothing enabled
}

bool ExecEditCommand(int ACommand)
{
    TCommandState state;
    if (!QueryEditCommandState(ACommand, state)) return false;
    if (!(state & csEnabled)) return true;
    QWidget* w = QApplication::focusWidget();
    bool shift = QApplication::keyboardModifiers() & Qt::ShiftModifier;
    if (auto* le = qobject_cast<QLineEdit*>(w)) {
        switch (ACommand) {
        case 21: le->undo(); break;
        case 23: le->cut(); break;
        case 24: le->copy(); break;
        case 25: le->paste(); break;
        case 27: le->clear(); break;
        case 28: le->selectAll(); break;
        default: break;
        }
        return true;
    }
    if (auto* te = qobject_cast<QPlainTextEdit*>(w)) {
        switch (ACommand) {
        case 21: te->undo(); break;
        case 23: te->cut(); break;
        case 24: te->copy(); break;
        case 25: te->paste(); break;
        case 27: te->clear(); break;
        case 28: te->selectAll(); break;
        default: break;
        }
        return true;
    }
    if (auto* v = viewOf(w)) {
        auto* t = qobject_cast<kvui::TreeList*>(v);
        auto* g = qobject_cast<kvui::BandedGrid*>(v);
        switch (ACommand) {
        case 24: v->copyToClipboard(shift); break;
        case 28:
            if (g) g->setMultiSelect(true);
            v->selectAllRows();
            v->viewport()->update();
            break;
        case 47:
            if (t) ExpandTreeListAll(t);
            else if (g) g->expandAllGroups();
            break;
        case 48:
            if (t) t->collapseAll();
            else if (g) g->collapseAllGroups();
            break;
        default: break;
        }
    }
    return true;
}

// ---------------------------------------------------------------- view-form registry

namespace {
QList<QPair<QString, QPointer<QWidget>>>& viewForms()
{
    static QList<QPair<QString, QPointer<QWidget>>> list;
    return list;
}
}

void RegisterViewForm(const QString& AKey, QWidget* AForm)
{
    for (auto& e : viewForms())
        if (e.first.compare(AKey, Qt::CaseInsensitive) == 0) { e.second = AForm; return; }
    viewForms().append({AKey, AForm});
}

void UnregisterViewForm(QWidget* AForm)
{
    auto& l = viewForms();
    for (int i = 0; i < l.size(); ++i)
        if (l[i].second == AForm) { l.removeAt(i); return; }
}

QWidget* FindViewForm(const QString& AKey)
{
    for (const auto& e : viewForms())
        if (e.first.compare(AKey, Qt::CaseInsensitive) == 0) return e.second;
    return nullptr;
}

// ---------------------------------------------------------------- save-file dialog

namespace {
TSaveFileDialogHook& saveFileDialogHook()
{
    static TSaveFileDialogHook hook;
    return hook;
}
}

void SetSaveFileDialogHook(TSaveFileDialogHook AHook)
{
    saveFileDialogHook() = std::move(AHook);
}

namespace {
QString& lastSaveFileFolder()
{
    static QString folder;
    return folder;
}
}

QString SaveFileDialogStartPath(const QString& AFileName)
{
    const QFileInfo info(AFileName);
    if (info.isAbsolute() || AFileName.contains(u'/'))
        return AFileName;
    QString folder = lastSaveFileFolder();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return QDir(folder).filePath(AFileName);
}

void RememberSaveFileFolder(const QString& AChosenFile)
{
    if (!AChosenFile.isEmpty())
        lastSaveFileFolder() = QFileInfo(AChosenFile).absolutePath();
}

bool ExecuteSaveFileDialog(const QString& ATitle, const QString& AFileName, const QString& ADefaultExt,
                           const QString& AFilter, QString& AChosenFile)
{
    if (saveFileDialogHook())
        return saveFileDialogHook()(ATitle, AFileName, ADefaultExt, AFilter, AChosenFile);
    // description|pattern pairs become the dialog's "description" filters.
    const QStringList parts = AFilter.split(u'|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i];
    const QString start = SaveFileDialogStartPath(AFileName);
    // lists the folder by the files' names: it never opens the account set beside them
    kvui::FileDialog dlg(QApplication::activeWindow(), ATitle, QFileInfo(start).absolutePath());
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setNameFilters(filters);
    dlg.setDefaultSuffix(ADefaultExt);
    dlg.selectFile(start);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    AChosenFile = dlg.selectedFiles().first();
    if (QFileInfo(AChosenFile).suffix().isEmpty() && !ADefaultExt.isEmpty())
        AChosenFile += u'.' + ADefaultExt;
    RememberSaveFileFolder(AChosenFile);
    return true;
}

// ---------------------------------------------------------------- open-file dialog

namespace {
TOpenFileDialogHook& openFileDialogHook()
{
    static TOpenFileDialogHook hook;
    return hook;
}
}

void SetOpenFileDialogHook(TOpenFileDialogHook AHook)
{
    openFileDialogHook() = std::move(AHook);
}

bool ExecuteOpenFileDialog(const QString& ATitle, const QString& AFileName, const QString& AFilter, QString& AChosenFile)
{
    if (openFileDialogHook())
        return openFileDialogHook()(ATitle, AFileName, AFilter, AChosenFile);
    const QStringList parts = AFilter.split(u'|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i];
    const QString start = SaveFileDialogStartPath(AFileName.isEmpty() ? QStringLiteral(".") : AFileName);
    // lists the folder by the files' names: it never opens the account set beside them
    kvui::FileDialog dlg(QApplication::activeWindow(), ATitle, QFileInfo(start).absolutePath());
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setNameFilters(filters);
    if (!AFileName.isEmpty())
        dlg.selectFile(AFileName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    AChosenFile = dlg.selectedFiles().first();
    RememberSaveFileFolder(AChosenFile);
    return true;
}
