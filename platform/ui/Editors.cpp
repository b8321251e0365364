#include "Editors.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDateTime>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolButton>

namespace kvui {

EditorProperties::~EditorProperties() = default;

QString EditorProperties::displayText(const QVariant& value) const
{
    if (!value.isValid() || value.isNull())
        return QString();
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString("yyyy/MM/dd");
    if (value.typeId() == QMetaType::QDateTime) {
        QDateTime dt = value.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString("yyyy/MM/dd")
                                        : dt.toString("yyyy/MM/dd hh:mm:ss");
    }
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
        return QString::number(value.toDouble(), 'g', 15);
    return value.toString();
}

void EditorProperties::paint(QPainter* p, const QRect& rect, const QVariant&, const QString& text) const
{
    QRect r = rect.adjusted(3, 0, -3, 0);
    p->drawText(r, int(alignment()) | Qt::TextSingleLine,
                p->fontMetrics().elidedText(text, Qt::ElideRight, r.width()));
}

QWidget* EditorProperties::createEditor(QWidget* parent) const
{
    auto* e = new QLineEdit(parent);
    e->setAlignment(alignment());
    e->setFrame(false);
    e->setReadOnly(readOnly());
    return e;
}

void EditorProperties::setEditorValue(QWidget* editor, const QVariant& value) const
{
    if (auto* e = qobject_cast<QLineEdit*>(editor)) {
        if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
            e->setText(QString::number(value.toDouble(), 'g', 15));
        else
            e->setText(displayText(value));
        e->selectAll();
    }
}

QVariant EditorProperties::editorValue(QWidget* editor) const
{
    if (auto* e = qobject_cast<QLineEdit*>(editor))
        return e->text().isEmpty() ? QVariant() : QVariant(e->text());
    return QVariant();
}

// Check box

bool CheckBoxProperties::isChecked(const QVariant& value)
{
    if (!value.isValid() || value.isNull()) return false;
    if (value.typeId() == QMetaType::QString) {
        QString s = value.toString().trimmed();
        return !(s.isEmpty() || s == "0" || s.compare("false", Qt::CaseInsensitive) == 0);
    }
    return value.toBool();
}

QString CheckBoxProperties::displayText(const QVariant& value) const
{
    if ((!value.isValid() || value.isNull()) && !nullAsUnchecked) return QString();
    return isChecked(value) ? QStringLiteral("True") : QStringLiteral("False");
}

void CheckBoxProperties::paint(QPainter* p, const QRect& rect, const QVariant& value, const QString&) const
{
    QStyleOptionButton opt;
    QStyle* st = QApplication::style();
    int w = st->pixelMetric(QStyle::PM_IndicatorWidth);
    int h = st->pixelMetric(QStyle::PM_IndicatorHeight);
    int x = rect.left() + 3;
    if (alignment() & Qt::AlignHCenter) x = rect.center().x() - w / 2 + 1;
    else if (alignment() & Qt::AlignRight) x = rect.right() - w - 3;
    opt.rect = QRect(x, rect.center().y() - h / 2 + 1, w, h);
    bool isNull = !value.isValid() || value.isNull();
    opt.state = QStyle::State_Enabled;
    if (isNull && !nullAsUnchecked) opt.state |= QStyle::State_NoChange;
    else opt.state |= isChecked(value) ? QStyle::State_On : QStyle::State_Off;
    st->drawPrimitive(QStyle::PE_IndicatorCheckBox, &opt, p);
}

QWidget* CheckBoxProperties::createEditor(QWidget* parent) const
{
    auto* c = new QCheckBox(parent);
    c->setAutoFillBackground(true);
    return c;
}

void CheckBoxProperties::setEditorValue(QWidget* editor, const QVariant& value) const
{
    if (auto* c = qobject_cast<QCheckBox*>(editor)) c->setChecked(isChecked(value));
}

QVariant CheckBoxProperties::editorValue(QWidget* editor) const
{
    if (auto* c = qobject_cast<QCheckBox*>(editor)) return c->isChecked();
    return QVariant();
}

QVariant CheckBoxProperties::toggled(const QVariant& value) const
{
    return !isChecked(value);
}

// Image combo

static bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull()) return a.isNull() == b.isNull() && (a.isNull() ? true : a == b);
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString)
        return a.toString().compare(b.toString(), Qt::CaseInsensitive) == 0;
    return a == b || (a.canConvert<double>() && b.canConvert<double>() && a.toDouble() == b.toDouble());
}

int ImageComboProperties::indexOfValue(const QVariant& value) const
{
    for (int i = 0; i < items.size(); ++i)
        if (sameValue(items[i].value, value)) return i;
    return -1;
}

QString ImageComboProperties::displayText(const QVariant& value) const
{
    int i = indexOfValue(value);
    return i >= 0 ? items[i].description : QString();
}

void ImageComboProperties::paint(QPainter* p, const QRect& rect, const QVariant& value, const QString& text) const
{
    int i = indexOfValue(value);
    QRect r = rect.adjusted(2, 0, -2, 0);
    if (i >= 0 && items[i].imageIndex >= 0 && items[i].imageIndex < images.size()) {
        int s = qMin(16, rect.height() - 2);
        QRect ir(r.left(), rect.center().y() - s / 2 + 1, s, s);
        if (!showDescriptions || text.isEmpty()) ir.moveLeft(rect.center().x() - s / 2);
        images[items[i].imageIndex].paint(p, ir);
        r.setLeft(ir.right() + 4);
    }
    if (showDescriptions)
        p->drawText(r, int(alignment()) | Qt::TextSingleLine,
                    p->fontMetrics().elidedText(text, Qt::ElideRight, r.width()));
}

QWidget* ImageComboProperties::createEditor(QWidget* parent) const
{
    auto* c = new QComboBox(parent);
    for (const Item& it : items) {
        QIcon icon = (it.imageIndex >= 0 && it.imageIndex < images.size()) ? images[it.imageIndex] : QIcon();
        c->addItem(icon, showDescriptions ? it.description : QString(), it.value);
    }
    // The list drops down as wide as its longest text, however narrow the cell.
    c->view()->setMinimumWidth(c->view()->sizeHintForColumn(0) + 2 * c->view()->frameWidth()
                               + c->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    return c;
}

void ImageComboProperties::setEditorValue(QWidget* editor, const QVariant& value) const
{
    if (auto* c = qobject_cast<QComboBox*>(editor)) c->setCurrentIndex(indexOfValue(value));
}

QVariant ImageComboProperties::editorValue(QWidget* editor) const
{
    if (auto* c = qobject_cast<QComboBox*>(editor)) {
        int i = c->currentIndex();
        return i >= 0 && i < items.size() ? items[i].value : QVariant();
    }
    return QVariant();
}

// Button edit

QWidget* ButtonEditProperties::createEditor(QWidget* parent) const
{
    auto* e = new kvui::ButtonEdit(*this, parent);
    e->setAlignment(alignment());
    e->setFrame(false);
    return e;
}

void ButtonEditProperties::setEditorValue(QWidget* editor, const QVariant& value) const
{
    if (auto* e = qobject_cast<kvui::ButtonEdit*>(editor)) { e->setValue(value); e->selectAll(); }
}

QVariant ButtonEditProperties::editorValue(QWidget* editor) const
{
    if (auto* e = qobject_cast<kvui::ButtonEdit*>(editor))
        return e->text().isEmpty() ? QVariant() : QVariant(e->text());
    return QVariant();
}

ButtonEdit::ButtonEdit(const ButtonEditProperties& props, QWidget* parent)
    : QLineEdit(parent), m_props(props)
{
    setReadOnly(props.readOnly());
    for (int i = 0; i < m_props.buttons.size(); ++i) {
        const auto& b = m_props.buttons[i];
        auto* tb = new QToolButton(this);
        tb->setCursor(Qt::ArrowCursor);
        tb->setFocusPolicy(Qt::NoFocus);
        tb->setText(b.kind == ButtonEditProperties::Ellipsis ? QStringLiteral("…") : b.caption);
        tb->setVisible(b.visible);
        connect(tb, &QToolButton::clicked, this, [this, i] { clickButton(i); });
        m_buttons << tb;
    }
}

void ButtonEdit::clickButton(int index)
{
    if (index < 0) index = m_props.defaultButton;
    if (index < 0 || index >= m_props.buttons.size()) return;
    emit buttonClicked(index);
    if (m_props.onButtonClick) m_props.onButtonClick(this, index);
}

int ButtonEdit::firstGlyphButton() const
{
    for (int i = 0; i < m_props.buttons.size(); ++i)
        if (m_props.buttons[i].visible && m_props.buttons[i].kind != ButtonEditProperties::TextButton)
            return i;
    return -1;
}

void ButtonEdit::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_F2 || e->key() == Qt::Key_F7) {
        int b = firstGlyphButton();
        if (b >= 0) { clickButton(b); e->accept(); return; }
    }
    if (m_props.noKeyInput) {
        switch (e->key()) {
        case Qt::Key_Tab: case Qt::Key_Backtab: case Qt::Key_Return: case Qt::Key_Enter:
        case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_End: case Qt::Key_Home:
        case Qt::Key_Left: case Qt::Key_Up: case Qt::Key_Right: case Qt::Key_Down:
        case Qt::Key_Escape:
            QLineEdit::keyPressEvent(e);
            return;
        default:
            break;
        }
        QString t = e->text().toUpper();
        if (t.size() == 1) {
            QChar c = t[0];
            if (c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) clickButton(-1);
        }
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void ButtonEdit::mouseDoubleClickEvent(QMouseEvent* e)
{
    QLineEdit::mouseDoubleClickEvent(e);
    clickButton(-1);
}

void ButtonEdit::resizeEvent(QResizeEvent* e)
{
    QLineEdit::resizeEvent(e);
    int x = width();
    int h = height();
    int right = 0;
    for (int i = int(m_buttons.size()) - 1; i >= 0; --i) {
        if (!m_buttons[i]->isVisible() && !m_props.buttons[i].visible) continue;
        int w = m_props.buttons[i].kind == ButtonEditProperties::TextButton
                    ? fontMetrics().horizontalAdvance(m_props.buttons[i].caption) + 10 : qMax(16, h);
        x -= w;
        right += w;
        m_buttons[i]->setGeometry(x, 0, w, h);
    }
    setTextMargins(0, 0, right, 0);
}

} // namespace kvui
