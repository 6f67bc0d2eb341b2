// Runs the real filesplit binary (or any program) and collects what it
// printed and how it ended.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct RunOptions {
  /// Folder to start in; empty: the test's own.
  std::wstring workingFolder;
  /// Variables to set (or, with an empty value, to remove) for the child.
  std::map<std::string, std::string> environment;
  /// Where supported: a limit on the size of files the child writes, in
  /// bytes (0: none). Writes past it fail with EFBIG.
  uint64_t fileSizeLimit = 0;
  /// Where supported: a limit on the child's address space, in bytes (0:
  /// none). An allocation past it fails.
  uint64_t memoryLimit = 0;
  /// Where supported: a limit on the processes and threads the child's user
  /// may have at once (0: none); binding only without privileges.
  uint64_t processLimit = 0;
  /// Where the tests run with rights that pass over file permissions (root
  /// on POSIX): run the child without them, so that permissions apply, as a
  /// user of the running test's own, so that per-user counts (processLimit)
  /// hold only its children.
  bool withoutPrivileges = false;
  /// On Windows: start the child with a console window of its own
  /// (CREATE_NEW_CONSOLE), as Explorer starts a program, its standard
  /// streams redirected all the same. Elsewhere there is no such window.
  bool consoleOfItsOwn = false;
  /// The standard streams (0, 1, 2) the child starts without, as a shell's
  /// `>&-` leaves them. Without standard output nothing is read.
  std::vector<int> closedStreams;
  /// Standard error read into RunResult::err; else it shares standard
  /// output's pipe, as a shell's `2>&1` (a tool writes each line whole).
  bool errorsApart = false;
};

struct RunResult {
  int exitCode = -1;
  std::string out;  // standard output, as bytes (standard error too, unless apart)
  std::string err;  // standard error, as bytes, with RunOptions::errorsApart
};

/// The environment variable naming the folder whose filesplit and filejoin
/// binaries runFilesplit and runFilejoin start instead of this build's own:
/// an absolute path, or one relative to the test program's folder. How the
/// suite tests another build of the tools (the release build) end to end.
constexpr char kToolsUnderTestVariable[] = "FILESPLIT_TOOLS_UNDER_TEST";

/// The filesplit binary runFilesplit starts, for messages; `present` tells
/// whether a file is there.
std::string filesplitBinary(bool& present);

/// Runs the filesplit binary with `arguments` (argument 0 is added: the
/// binary's path as `program`, default "filesplit").
RunResult runFilesplit(const std::vector<std::wstring>& arguments, const RunOptions& options = {},
                       const std::wstring& program = L"filesplit");

/// Runs the filejoin binary likewise.
RunResult runFilejoin(const std::vector<std::wstring>& arguments, const RunOptions& options = {},
                      const std::wstring& program = L"filejoin");

/// Like runFilesplit, with each argument given as the raw bytes the program
/// receives, where the platform passes arguments as bytes.
RunResult runFilesplitBytes(const std::vector<std::string>& arguments, const RunOptions& options);
/// Whether runFilesplitBytes can run on this platform.
bool byteArgumentsSupported();

/// Whether RunOptions::fileSizeLimit is honoured on this platform.
bool fileSizeLimitSupported();

/// Whether RunOptions::memoryLimit is honoured on this platform and build.
bool memoryLimitSupported();

/// Whether RunOptions::processLimit is honoured on this platform.
bool processLimitSupported();

/// Whether RunOptions::withoutPrivileges runs the child as a user other than
/// the tests' own (on POSIX when the tests run as root, as CI does).
bool unprivilegedChildIsAnotherUser();

struct HeldRun {
  /// Whether the child had printed all `room` bytes when whileHeld ran.
  bool held = false;
  RunResult result;  // the whole run
};

/// Whether runFilesplitHeld can hold a child back on this platform.
bool heldRunsSupported();

/// Runs the filesplit binary (argument 0 "filesplit") with standard output
/// on a pipe that takes only `room` more bytes (at most a few thousand): the
/// child's next write then waits until the test reads. Waits until the child
/// has printed `room` bytes, has ended, or `pastHold()` tells that the run
/// went on where it should have been held; calls `whileHeld()` then, before
/// anything is read, so that a held child is still held; then reads the
/// output to its end and waits for the child.
HeldRun runFilesplitHeld(const std::vector<std::wstring>& arguments, const RunOptions& options,
                         size_t room, const std::function<bool()>& pastHold,
                         const std::function<void()>& whileHeld);

/// Runs the filejoin binary (argument 0 "filejoin") held as runFilesplitHeld
/// holds filesplit, calls `whileHeld()`, then ends the child outright, as
/// `kill -KILL` and `taskkill /F` do (no handler of its own runs), and
/// waits for it. Whether the child was held when it was ended.
bool runFilejoinKilled(const std::vector<std::wstring>& arguments, const RunOptions& options,
                       size_t room, const std::function<void()>& whileHeld);

/// Whether runBatch can run batch commands here.
bool batchInterpreterAvailable();

/// Runs `command` with the batch interpreter ("cmd /c COMMAND"); standard
/// output as with runFilesplit. Only where batchInterpreterAvailable().
RunResult runBatch(const std::wstring& command, const RunOptions& options = {});

/// What the console shows for `text` when it is printed through a pipe: the
/// platform's encoding and line ends.
std::string consoleBytes(const std::wstring& text);

/// Readies `options` so that the child runs under a locale that groups
/// thousands with a comma, made below `scratchFolder` where that is needed.
/// False when this machine cannot provide one.
bool useCommaGroupingLocale(RunOptions& options, const std::wstring& scratchFolder);

/// Readies `options` so that the child runs under the locale `name` (such
/// as "ja_JP") with the encoding `charmap` (such as "EUC-JP"), made below
/// `scratchFolder`, where programs take their encoding from the locale
/// (POSIX). False where that cannot be done.
bool useLocaleWithEncoding(RunOptions& options, const std::wstring& scratchFolder,
                           const std::string& name, const std::string& charmap);

/// Readies `options` so that the child is asked for a locale this machine
/// does not have. False where no such request can be made (on Windows the
/// user's locale is always one the system has).
bool useUninstalledLocale(RunOptions& options);

/// Whether a writer gets the file at `path` open for writing within a
/// second, and writes its first byte again: not kept out by a share mode,
/// nor made to wait long for a lease to be given back.
bool writerWritesAtOnce(const std::wstring& path);
