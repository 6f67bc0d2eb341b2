// A read input held against writers while it is open, as the Windows open's
// deny-write share holds it: a writer that comes meanwhile is seen, whatever
// the file system's clock can tell, and is let go on at once.
#pragma once

#include <cstdint>

namespace input_watch {

/// Starts watching the input open at `fd` (read-only) for writers: a read
/// lease held until the descriptor closes, whose break (another process, or
/// this one, opening the file for writing or truncating it) is counted and
/// the lease let go at once, so the writer does not wait; where no lease can
/// be held (another owner's file, some network file systems), an inotify
/// watch for writes and attribute changes; where neither can be had, nothing
/// (the file's times remain). False, watching nothing, when an opener holds
/// the file open for writing right now.
bool start(int fd);

/// How many times a writer was seen at `fd` since `start`; 0 where nothing
/// watches it.
uint32_t writersSeen(int fd);

/// Ends the watch of `fd`, before the descriptor is closed or reused.
void stop(int fd);

}  // namespace input_watch
