// A read input held against writers while it is open, as the Windows open's
// deny-write share holds it: a writer that comes meanwhile is seen, whatever
// the file system's clock can tell, and is let go on at once.
#pragma once

#include <cstdint>

namespace input_watch {

/// Starts watching the input open at `fd` (read-only) for writers: a read
/// lease held until the descriptor closes, at any descriptor number, whose
/// break (another process, or this one, opening the file for writing or
/// truncating it) is counted and the lease let go at once, so the writer
/// does not wait; and alongside it an inotify watch for modifications (a
/// write, a truncation; not a new link, permission, attribute or time).
/// Either serves alone where the other cannot be had (no lease on another
/// owner's file without CAP_LEASE, some network file systems); where
/// neither can, nothing (the file's times remain). False, watching nothing,
/// when an opener holds the file open for writing right now.
bool start(int fd);

/// What the watch of an input tells.
struct Seen {
  /// Whether a lease or an inotify watch serves the input.
  bool watched = false;
  /// How many writers it saw since `start`.
  uint32_t writers = 0;
};

/// What the watch of `fd` saw so far; nothing where none serves it.
Seen seen(int fd);

/// Ends the watch of `fd`, before the descriptor is closed or reused.
void stop(int fd);

}  // namespace input_watch
