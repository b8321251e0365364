#pragma once
// The application's modal message box with the button, icon and default-button
// flags and the return codes the system's units pass around as integers.
// Every box goes through one presenter; tests install a scripted one so that
// no test ever waits on a window.
#include <QString>
#include <functional>

namespace kvos {

// Buttons (low nibble)
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_ABORTRETRYIGNORE = 0x2;
constexpr unsigned MB_YESNOCANCEL = 0x3;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_RETRYCANCEL = 0x5;
// Icons
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
// Default button
constexpr unsigned MB_DEFBUTTON1 = 0x000;
constexpr unsigned MB_DEFBUTTON2 = 0x100;
constexpr unsigned MB_DEFBUTTON3 = 0x200;

constexpr unsigned MB_TYPEMASK = 0x0F;
constexpr unsigned MB_ICONMASK = 0xF0;
constexpr unsigned MB_DEFMASK = 0xF00;

// Return codes
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Button codes of a flags value, in the order the box shows them.
QList<int> buttonsOf(unsigned flags);
// The code of the default button (the one Enter presses).
int defaultButtonOf(unsigned flags);

using MessageBoxPresenter = std::function<int(const QString& text, const QString& caption, unsigned flags)>;

// Shows the box through the installed presenter (a QMessageBox by default)
// and returns the code of the button pressed.
int applicationMessageBox(const QString& text, const QString& caption, unsigned flags);

// Installs a presenter; an empty one restores the QMessageBox. Returns the previous one.
MessageBoxPresenter setMessageBoxPresenter(MessageBoxPresenter presenter);

} // namespace kvos
