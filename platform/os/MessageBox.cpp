#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace kvos {

QList<int> buttonsOf(unsigned flags)
{
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {IDOK};
    }
}

int defaultButtonOf(unsigned flags)
{
    const QList<int> buttons = buttonsOf(flags);
    const int index = int((flags & MB_DEFMASK) >> 8);
    return index < buttons.size() ? buttons[index] : buttons.first();
}

namespace {

QMessageBox::StandardButton standardButton(int code)
{
    switch (code) {
    case IDOK: return QMessageBox::Ok;
    case IDCANCEL: return QMessageBox::Cancel;
    case IDABORT: return QMessageBox::Abort;
    case IDRETRY: return QMessageBox::Retry;
    case IDIGNORE: return QMessageBox::Ignore;
    case IDYES: return QMessageBox::Yes;
    case IDNO: return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

int widgetMessageBox(const QString& text, const QString& caption, unsigned flags)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(caption);
    box.setText(text);
    switch (flags & MB_ICONMASK) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    const QList<int> buttons = buttonsOf(flags);
    for (int code : buttons)
        box.addButton(standardButton(code));
    box.setDefaultButton(standardButton(defaultButtonOf(flags)));
    // Closing the box with the window's close button answers as Esc does.
    if (buttons.contains(IDCANCEL))
        box.setEscapeButton(standardButton(IDCANCEL));
    else if (buttons.size() == 1)
        box.setEscapeButton(standardButton(buttons.first()));
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (int code : buttons)
        if (clicked && box.button(standardButton(code)) == clicked)
            return code;
    return buttons.contains(IDCANCEL) ? IDCANCEL : buttons.first();
}

MessageBoxPresenter& presenter()
{
    static MessageBoxPresenter p;
    return p;
}

} // namespace

int applicationMessageBox(const QString& text, const QString& caption, unsigned flags)
{
    if (presenter())
        return presenter()(text, caption, flags);
    return widgetMessageBox(text, caption, flags);
}

MessageBoxPresenter setMessageBoxPresenter(MessageBoxPresenter p)
{
    MessageBoxPresenter old = std::move(presenter());
    presenter() = std::move(p);
    return old;
}

} // namespace kvos
