#include "dlgFillValues.h"

#include "BandedGrid.h"
#include "EscapeKey.h"
#include "TreeList.h"
#include "UCommon.h"
#include "untApplication.h"
#include "untInfoObjectDef.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QLocale>
#include <QVBoxLayout>
#include <cmath>

namespace {

namespace FT = FieldTypes;

bool isNullVariant(const QVariant& AValue)
{
    return !AValue.isValid() || AValue.isNull();
}

// Marks of the value check (the field data type codes they stand for).
bool isIntegerMark(int AMark)
{
    switch (AMark) {
    case FT::ftSmallint: case FT::ftInteger: case FT::ftWord: case FT::ftAutoInc: case FT::ftLargeint:
    case FT::ftLongWord: case FT::ftShortint: case FT::ftByte:
        return true;
    default:
        return false;
    }
}

bool isFloatMark(int AMark)
{
    switch (AMark) {
    case FT::ftFloat: case FT::ftCurrency: case FT::ftBCD: case FT::ftFMTBcd: case FT::ftExtended: case FT::ftSingle:
        return true;
    default:
        return false;
    }
}

// The data type code of a grid column's field, from the type of its values.
int gridColumnMark(kvui::BandedGrid* AGrid, kvui::Column* AColumn)
{
    const kvui::DataSource* source = AGrid->dataSource();
    switch (source ? source->fieldType(AColumn->field()) : int(QMetaType::UnknownType)) {
    case QMetaType::Short: case QMetaType::UShort: case QMetaType::Int: case QMetaType::UInt: case QMetaType::Long:
    case QMetaType::ULong: case QMetaType::LongLong: case QMetaType::ULongLong: case QMetaType::Char:
    case QMetaType::SChar: case QMetaType::UChar:
        return FT::ftInteger;
    case QMetaType::Double: case QMetaType::Float:
        return FT::ftFloat;
    case QMetaType::Bool: return FT::ftBoolean;
    case QMetaType::QDate: return FT::ftDate;
    case QMetaType::QDateTime: return FT::ftDateTime;
    case QMetaType::QString: return FT::ftWideString;
    default: return FT::ftUnknown;
    }
}

// The mark of a tree-list column, from its value type word.
int treeColumnMark(kvui::Column* AColumn)
{
    static const QStringList integers{"Smallint", "Integer", "ShortInt", "Shortint", "Byte", "Word", "LongWord",
                                      "Largeint", "Int64"};
    static const QStringList floats{"Float", "Currency", "BCD", "FMTBcd", "Extended", "Single"};
    if (integers.contains(AColumn->valueType(), Qt::CaseInsensitive))
        return 3;
    if (floats.contains(AColumn->valueType(), Qt::CaseInsensitive))
        return 6;
    return -1;
}

kvui::RowRef focusedRowRef(kvui::BandedView* AView)
{
    const int row = AView->focusedRow();
    return row >= 0 ? AView->row(row) : kvui::RowRef();
}

// The cell the fill has reached is the one a user would have typed into.
bool focusColumn(kvui::BandedView* AView, kvui::Column* AColumn)
{
    AView->setFocusedColumn(AColumn);
    return AView->focusedColumn() == AColumn;
}

struct RestoreAfterFill {
    ~RestoreAfterFill()
    {
        if (InfoApplication)
            InfoApplication->ShowStatusMessage(QString(), mkHint);
        QGuiApplication::restoreOverrideCursor();
    }
};

} // namespace

TFillValuesDlg::TFillValuesDlg(QWidget* AParent) : TDialog(AParent)
{
    setWindowTitle(QStringLiteral("批量填充"));
    setMinimumSize(400, 300);
    resize(460, 340);

    auto* label = new QLabel(QStringLiteral("对目标选择行填充以下勾选字段的内容(&F):"), ClientArea());
    trlFieldValues = new kvui::TreeList(ClientArea());
    trlFieldValues->setObjectName(QStringLiteral("trlFieldValues"));
    label->setBuddy(trlFieldValues);
    trlFieldValues->setShowRoot(false);
    trlFieldValues->setShowCheckBoxes(true);
    trlFieldValues->setSortingEnabled(false);
    trlFieldValues->addBand();
    colField = trlFieldValues->addColumn(QStringLiteral("字段"));
    colField->setEditable(false);
    colField->setWidth(150);
    colValue = trlFieldValues->addColumn(QStringLiteral("填充内容"));
    colValue->setValueType(QStringLiteral("Variant"));
    colValue->setWidth(180);
    colClear = trlFieldValues->addColumn(QString());
    colClear->setWidth(90);
    colClear->setSizable(false);
    colDisplayValue = trlFieldValues->addColumn(QString());
    colDisplayValue->setVisible(false);
    colDisplayValue->setEditable(false);

    // Each value cell edits with the editor of its target column.
    colValue->editorHook = [this](const kvui::RowRef& ARow) { return valueEditor(ARow.node); };
    // The text shown is the one the editor gave (empty for Null).
    colValue->displayTextHook = [this](const kvui::RowRef& ARow, const QVariant&, QString& AText) {
        AText = ARow.node ? ARow.node->value(colDisplayValue).toString() : QString();
    };
    // The clear button empties the node's value.
    auto clear = std::make_shared<kvui::ButtonEditProperties>();
    clear->buttons = {kvui::ButtonEditProperties::Button{kvui::ButtonEditProperties::TextButton,
                                                         QStringLiteral("清除填充内容"), true}};
    clear->noKeyInput = true;
    clear->onButtonClick = [this](kvui::ButtonEdit*, int) {
        if (kvui::TreeNode* node = trlFieldValues->focusedNode()) {
            trlFieldValues->cancelEdit();
            node->setValue(colValue, QVariant());
            node->setValue(colDisplayValue, QVariant());
        }
    };
    colClear->setEditor(clear);
    colClear->displayTextHook = [](const kvui::RowRef&, const QVariant&, QString& AText) {
        AText = QStringLiteral("清除填充内容");
    };

    btnSelectAll = new QPushButton(QStringLiteral("全勾选(&A)"), ClientArea());
    btnSelectAll->setObjectName(QStringLiteral("btnSelectAll"));
    btnClearAll = new QPushButton(QStringLiteral("全不选(&C)"), ClientArea());
    btnClearAll->setObjectName(QStringLiteral("btnClearAll"));
    btnClearAll->setEnabled(false);
    btnOk->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnSelectAll);
    buttons->addWidget(btnClearAll);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(trlFieldValues, 1);
    layout->addLayout(buttons);

    connect(btnSelectAll, &QPushButton::clicked, this, [this] {
        for (kvui::TreeNode* node : trlFieldValues->topNodes())
            node->setCheckState(Qt::Checked);
        updateButtons();
    });
    connect(btnClearAll, &QPushButton::clicked, this, [this] {
        for (kvui::TreeNode* node : trlFieldValues->topNodes())
            node->setCheckState(Qt::Unchecked);
        updateButtons();
    });
    connect(trlFieldValues, &kvui::TreeList::nodeCheckChanged, this, [this] { updateButtons(); });
    connect(trlFieldValues, &kvui::BandedView::cellEdited, this, &TFillValuesDlg::valueEdited);
}

TFillValuesDlg::~TFillValuesDlg() = default;

kvui::Column* TFillValuesDlg::TargetColumn(kvui::TreeNode* ANode)
{
    return ANode ? static_cast<kvui::Column*>(ANode->object()) : nullptr;
}

std::shared_ptr<kvui::EditorProperties> TFillValuesDlg::valueEditor(kvui::TreeNode* ANode)
{
    kvui::Column* target = TargetColumn(ANode);
    if (!target || !FGridOrTree)
        return std::make_shared<kvui::TextEditProperties>();
    kvui::EditorPtr editor = target->effectiveEditor(focusedRowRef(FGridOrTree));
    if (editor && editor->kind() == kvui::EditorProperties::CheckBox) {
        // A check box is offered as a choice of "是" and "否".
        if (!FBooleanProperties) {
            auto choices = std::make_shared<kvui::ImageComboProperties>();
            choices->addItem(true, QStringLiteral("是"));
            choices->addItem(false, QStringLiteral("否"));
            FBooleanProperties = choices;
        }
        return FBooleanProperties;
    }
    return editor ? editor : std::make_shared<kvui::TextEditProperties>();
}

void TFillValuesDlg::LoadFields(kvui::BandedView* AGridOrTree)
{
    FGridOrTree = AGridOrTree;
    trlFieldValues->clear();
    if (!AGridOrTree)
        return;
    AGridOrTree->postEdit();
    if (!AGridOrTree->editingEnabled() || AGridOrTree->isReadOnly())
        return;
    auto* grid = qobject_cast<kvui::BandedGrid*>(AGridOrTree);
    const kvui::RowRef focused = focusedRowRef(AGridOrTree);
    const int focusedRow = AGridOrTree->focusedRow();
    const auto veto = AGridOrTree->editingHook();
    for (kvui::Column* column : AGridOrTree->visibleColumns()) {
        if (column->tag() < 0 || !column->isEditable())
            continue;
        if (grid && column->field() < 0)
            continue; // not bound to a field of the data set
        if (veto && !veto(focused, column))
            continue;
        kvui::TreeNode* node = trlFieldValues->addNode();
        node->setObject(column);
        node->setValue(colField, column->caption());
        if (focusedRow >= 0) {
            const QVariant value = AGridOrTree->cellValue(focusedRow, column);
            node->setValue(colValue, value);
            node->setValue(colDisplayValue, isNullVariant(value) ? QVariant() : QVariant(AGridOrTree->cellText(focusedRow, column)));
        }
        int mark = grid ? gridColumnMark(grid, column) : treeColumnMark(column);
        // Only typed-in texts are checked; choices and pickers give valid values.
        const kvui::EditorPtr editor = valueEditor(node);
        if (editor->kind() != kvui::EditorProperties::Text)
            mark = -1;
        node->setStateIndex(mark);
    }
    updateButtons();
}

void TFillValuesDlg::updateButtons()
{
    int checked = 0;
    const QList<kvui::TreeNode*> nodes = trlFieldValues->topNodes();
    for (kvui::TreeNode* node : nodes)
        if (node->isChecked())
            ++checked;
    btnOk->setEnabled(checked > 0);
    btnSelectAll->setEnabled(checked < nodes.size());
    btnClearAll->setEnabled(checked > 0);
}

void TFillValuesDlg::valueEdited(int ARow, kvui::Column* AColumn, const QVariant&, const QVariant& ANew)
{
    if (AColumn != colValue)
        return;
    kvui::TreeNode* node = trlFieldValues->nodeAtRow(ARow);
    if (!node)
        return;
    // The text the editor showed becomes the node's display text.
    QString text;
    if (!isNullVariant(ANew)) {
        const kvui::EditorPtr editor = valueEditor(node);
        text = editor->displayText(ANew);
    }
    node->setValue(colDisplayValue, text.isEmpty() ? QVariant() : QVariant(text));
    if (!text.isEmpty())
        CheckNodeValue(node, colValue, colField); // an invalid value is told, the edit stays
}

bool TFillValuesDlg::CheckNodeValue(kvui::TreeNode* ANode, kvui::Column* AValueColumn, kvui::Column* AFieldColumn)
{
    const QVariant value = ANode->value(AValueColumn);
    const int mark = ANode->stateIndex();
    if (isNullVariant(value) || mark < 0)
        return true;
    const QString text = value.toString().trimmed();
    bool ok = true;
    if (isIntegerMark(mark)) {
        text.toInt(&ok);
    } else if (isFloatMark(mark)) {
        const double number = QLocale::c().toDouble(text, &ok);
        ok = ok && std::isfinite(number) && std::fabs(number) < 9999999999.0;
    }
    if (!ok)
        ShowError(FormatMessage(QStringLiteral("[%s]的值(%s)无效!"), {ANode->value(AFieldColumn).toString(), value.toString()}));
    return ok;
}

void TFillValuesDlg::accept()
{
    trlFieldValues->postEdit();
    bool anyChecked = false;
    for (kvui::TreeNode* node : trlFieldValues->topNodes()) {
        if (!node->isChecked())
            continue;
        anyChecked = true;
        if (!CheckNodeValue(node, colValue, colField)) {
            trlFieldValues->setFocusedNode(node);
            trlFieldValues->setFocusedColumn(colValue);
            trlFieldValues->startEdit(colValue);
            return;
        }
    }
    if (!anyChecked) {
        ShowInfo(QStringLiteral("您未勾选需要批量填充内容的字段!"));
        return;
    }
    TDialog::accept();
}

void TFillValuesDlg::FillValues()
{
    kvui::BandedView* view = FGridOrTree;
    if (!view)
        return;
    struct Field {
        kvui::Column* column;
        QVariant value;
    };
    QList<Field> fields;
    for (kvui::TreeNode* node : trlFieldValues->topNodes())
        if (node->isChecked() && TargetColumn(node))
            fields.append({TargetColumn(node), node->value(colValue)});

    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    RestoreAfterFill restore;
    if (InfoApplication)
        InfoApplication->ShowStatusMessage(QStringLiteral("正在批量填充字段内容, 按[Esc]键可以中止..."), mkHint);
    kvos::startEscapeKeyWatch(); // earlier presses do not count
    view->setFocus();

    // One row: each ticked field typed into its cell; false when the fill stops.
    auto fillRow = [&]() -> bool {
        for (const Field& field : std::as_const(fields)) {
            if (!focusColumn(view, field.column))
                return false;
            if (view->startEdit(field.column)) {
                const int row = view->focusedRow();
                const kvui::EditorPtr editor = field.column->effectiveEditor(view->row(row));
                if (QWidget* w = view->activeEditor()) {
                    editor->setEditorValue(w, field.value);
                    view->postEdit();
                    // An empty text is no value: the cell becomes Null, never "".
                    if (editor->kind() != kvui::EditorProperties::CheckBox && view->focusedRow() == row
                        && !isNullVariant(view->cellValue(row, field.column))
                        && view->cellValue(row, field.column).toString().isEmpty())
                        view->setCellValue(row, field.column, QVariant());
                }
            }
            if (kvos::asyncEscapeKeyState() != 0)
                return false;
        }
        return true;
    };

    bool stopped = false;
    if (auto* grid = qobject_cast<kvui::BandedGrid*>(view)) {
        for (int record : grid->selectedRecordIndexes()) {
            // Focused without touching the selection the fill works through.
            grid->setFocusedRow(grid->rowOfRecord(record), false);
            if (grid->focusedRecordIndex() != record) {
                stopped = true;
                break;
            }
            if (!fillRow()) {
                stopped = true;
                break;
            }
        }
    } else if (auto* tree = qobject_cast<kvui::TreeList*>(view)) {
        const QList<kvui::TreeNode*> nodes = tree->selectedNodes();
        for (kvui::TreeNode* node : nodes) {
            tree->setFocusedRow(tree->rowOfNode(node), false);
            if (tree->focusedNode() != node || !fillRow()) {
                stopped = true;
                break;
            }
        }
    }
    if (!stopped)
        view->postEdit();
}

void ShowFillValuesDlg(kvui::BandedView* AControl)
{
    TFillValuesDlg dlg(QApplication::activeWindow());
    dlg.LoadFields(AControl);
    if (dlg.exec() != QDialog::Accepted)
        return;
    dlg.FillValues();
}
