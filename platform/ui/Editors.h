// Cell editors of the grid and tree list (the role of the component suite's
// editor properties and edit repository): how a value is shown, painted and
// edited in place. Columns share editor properties through shared pointers.
#pragma once
#include <QIcon>
#include <QLineEdit>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

class QPainter;
class QToolButton;

namespace kvui {

class ButtonEdit;

class EditorProperties {
public:
    enum Kind { Text, CheckBox, ImageCombo, ButtonEdit, Custom };
    virtual ~EditorProperties();
    virtual Kind kind() const { return Text; }
    // Drop-down editors export their text rather than their value.
    virtual bool isDropDown() const { return false; }
    // Date, mask, currency, spin, calculator and time editors: an export in
    // native format writes their cells' values, whatever the column's value type.
    bool isNativeValueEdit() const { return m_nativeValueEdit; }
    void setNativeValueEdit(bool on) { m_nativeValueEdit = on; }

    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment a) { m_alignment = a; }
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool ro) { m_readOnly = ro; }

    // The text shown for a value (before the column's display-text hook).
    virtual QString displayText(const QVariant& value) const;
    // Paints the cell content (background already filled, pen set to the text colour).
    virtual void paint(QPainter* p, const QRect& rect, const QVariant& value, const QString& text) const;
    // In-place editor. The default is a line edit aligned like the cell.
    virtual QWidget* createEditor(QWidget* parent) const;
    virtual void setEditorValue(QWidget* editor, const QVariant& value) const;
    virtual QVariant editorValue(QWidget* editor) const;
    // A check box toggles on a click without an editor.
    virtual bool toggleOnClick() const { return false; }
    virtual QVariant toggled(const QVariant& value) const { return value; }
private:
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool m_readOnly = false;
    bool m_nativeValueEdit = false;
};
using EditorPtr = std::shared_ptr<EditorProperties>;

class TextEditProperties : public EditorProperties {
public:
    explicit TextEditProperties(Qt::Alignment a = Qt::AlignLeft | Qt::AlignVCenter) { setAlignment(a); }
    int maxLength = 0;
};

class CheckBoxProperties : public EditorProperties {
public:
    CheckBoxProperties() { setAlignment(Qt::AlignCenter); }
    Kind kind() const override { return CheckBox; }
    bool nullAsUnchecked = true;
    QString displayText(const QVariant& value) const override;
    void paint(QPainter* p, const QRect& rect, const QVariant& value, const QString& text) const override;
    QWidget* createEditor(QWidget* parent) const override;
    void setEditorValue(QWidget* editor, const QVariant& value) const override;
    QVariant editorValue(QWidget* editor) const override;
    bool toggleOnClick() const override { return true; }
    QVariant toggled(const QVariant& value) const override;
    static bool isChecked(const QVariant& value);
};

// A value shown as a picture and/or a description from a fixed list of items.
class ImageComboProperties : public EditorProperties {
public:
    struct Item { QVariant value; QString description; int imageIndex = -1; };
    Kind kind() const override { return ImageCombo; }
    bool isDropDown() const override { return true; }
    QList<Item> items;
    QList<QIcon> images;       // image list the items index into
    bool showDescriptions = true;
    void addItem(const QVariant& value, const QString& description, int imageIndex = -1)
    { items << Item{value, description, imageIndex}; }
    int indexOfValue(const QVariant& value) const;
    QString displayText(const QVariant& value) const override;
    void paint(QPainter* p, const QRect& rect, const QVariant& value, const QString& text) const override;
    QWidget* createEditor(QWidget* parent) const override;
    void setEditorValue(QWidget* editor, const QVariant& value) const override;
    QVariant editorValue(QWidget* editor) const override;
};

// A text with buttons (the pick editors build on it). With noKeyInput the text
// takes no typing: letters, digits and blanks click the default button instead.
class ButtonEditProperties : public EditorProperties {
public:
    enum ButtonKind { Ellipsis, Glyph, TextButton };
    struct Button { ButtonKind kind = Ellipsis; QString caption; bool visible = true; };
    Kind kind() const override { return ButtonEdit; }
    QList<Button> buttons{Button{}};
    int defaultButton = 0;
    bool noKeyInput = false;
    // Called with the editor and the index of the clicked button.
    std::function<void(kvui::ButtonEdit*, int)> onButtonClick;
    QWidget* createEditor(QWidget* parent) const override;
    void setEditorValue(QWidget* editor, const QVariant& value) const override;
    QVariant editorValue(QWidget* editor) const override;
};

class ButtonEdit : public QLineEdit {
    Q_OBJECT
public:
    ButtonEdit(const ButtonEditProperties& props, QWidget* parent = nullptr);
    const ButtonEditProperties& properties() const { return m_props; }
    bool noKeyInput() const { return m_props.noKeyInput; }
    // Clicks a button as the user would; -1 clicks the default button.
    void clickButton(int index = -1);
    // The first visible button that is not a text button, -1 when none (F2/F7).
    int firstGlyphButton() const;
    QVariant value() const { return m_value; }
    void setValue(const QVariant& v) { m_value = v; setText(v.toString()); }
signals:
    void buttonClicked(int index);
protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
private:
    ButtonEditProperties m_props;
    QList<QToolButton*> m_buttons;
    QVariant m_value;
};

} // namespace kvui
