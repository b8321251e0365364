#pragma once
// Asynchronous state of the Esc key, as long loops poll it between steps.
// An application-wide event filter watches every key event that reaches the
// application and latches Esc presses; a poll reports whether Esc is down or
// was pressed since the previous poll, and clears the latch. Key events reach
// the filter whenever the application processes events (long operations pump
// them between steps); polling itself does not pump.
namespace kvos {

// Installs the filter on the running application once; later calls do nothing.
void installEscapeKeyLatch();
// Non-zero when Esc is down or was pressed since the last poll.
short asyncEscapeKeyState();
// Forgets a latched press.
void resetEscapeKeyLatch();
// A long run starts: the latch is installed when it is not yet, and an Esc
// pressed before (to cancel a cell edit, to close a dialog) is forgotten, so
// that only an Esc pressed during the run counts.
void startEscapeKeyWatch();
// Puts the latch in front of every application event filter installed since,
// so that a filter that keeps input from other windows during long work
// cannot hide an Esc press from it.
void bringEscapeKeyLatchToFront();

} // namespace kvos
