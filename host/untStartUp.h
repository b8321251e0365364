#pragma once
// The start-up of the host's units, in order: each installs its hooks in the
// application object. The program runs them all before the login; a test
// session may run only the window units.

// The application frame, the working windows, the view and filter windows,
// the user picker, the tabbed MDI area and the main window.
void InitHostWindowUnits();
// The window units, then the view-scheme dialog and the two import dialogs
// (the scheme dialog's hooks make a master view ask for its scheme before
// the first read).
void InitHostUnits();
