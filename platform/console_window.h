// Whether a person can answer a wait for a key in the console window: the
// facts each platform gathers (or a test fakes) and the one rule over them.
#pragma once

namespace console_window {

/// What the system tells of the console and the process.
struct Facts {
  /// Standard input and output are both the console.
  bool onConsole = false;
  /// The processes attached to the console, this one included.
  unsigned processes = 0;
  /// The console's window shows on a desktop (a hidden console, or one of
  /// a program started without a window, does not).
  bool shown = false;
  /// The process runs in session 0, the services' session, where no user
  /// sees a window (a service, a task run whether the user is logged on or
  /// not).
  bool servicesSession = false;
};

/// Whether the tool waits for a key before it ends: the window opened for
/// this process alone (a file dropped on the .exe, a double click), so that
/// it closes with the process, and someone sees it. Anywhere else the exit
/// code comes at once.
inline bool waitsForKey(const Facts& facts) {
  return facts.onConsole && facts.processes == 1 && facts.shown && !facts.servicesSession;
}

}  // namespace console_window
