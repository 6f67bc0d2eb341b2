#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include "../process.h"
#include "platform/platform.h"
#include "platform/unix/native_text.h"

extern char** environ;

namespace {

std::string encoded(const std::wstring& text) {
  std::string bytes;
  if (!posix_text::encode(text, bytes)) throw std::runtime_error("argument not encodable");
  return bytes;
}

std::string readAll(int fd) {
  std::string bytes;
  char chunk[65536];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.append(chunk, static_cast<size_t>(n));
  }
  return bytes;
}

// The folder of the running test program, with a trailing "/".
std::string ownFolder() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0) throw std::runtime_error("readlink /proc/self/exe");
  path.resize(static_cast<size_t>(length));
  return path.substr(0, path.rfind('/') + 1);
}

// The tool `name` in the folder the environment names, else `builtPath`.
std::string binaryPath(const std::string& name, const char* builtPath) {
  const char* chosen = std::getenv(kToolsUnderTestVariable);
  if (chosen == nullptr || *chosen == '\0') return builtPath;
  const std::string folder = *chosen == '/' ? chosen : ownFolder() + chosen;
  return folder + "/" + name;
}

std::string filesplitPath() { return binaryPath("filesplit", FILESPLIT_EXE); }
std::string filejoinPath() { return binaryPath("filejoin", FILEJOIN_EXE); }

// The user and group id a child without privileges runs as: one of this
// test process's own, which no account has, rather than nobody's. The
// system counts processes and threads per user (the process limit), and as
// nobody any program of nobody's beside the test (another test under
// ctest -j, a service) counted too, so that a tool under a low limit could
// not even start. Each test runs in a process of its own: tests running at
// once never share the id, while the children of one test do, so that one
// may change what another made.
uid_t ownUnprivilegedId() {
  static const uid_t id = [] {
    for (uid_t base = 0x50000000; base < 0x78000000; base += 0x08000000) {
      const uid_t candidate = base + static_cast<uid_t>(getpid());
      if (getpwuid(candidate) == nullptr && getgrgid(candidate) == nullptr) return candidate;
    }
    throw std::runtime_error("every user id tried has an account");
  }();
  return id;
}

// In the child: the options that spawn cannot express, then the program.
// `unprivilegedId` is ownUnprivilegedId(), asked before the fork.
[[noreturn]] void startChild(const char* program, int outFd, int errFd, const RunOptions& options,
                             uid_t unprivilegedId, std::vector<char*>& argv) {
  dup2(outFd, STDOUT_FILENO);
  dup2(errFd >= 0 ? errFd : outFd, STDERR_FILENO);
  for (const int stream : options.closedStreams) close(stream);
  if (!options.workingFolder.empty() && chdir(encoded(options.workingFolder).c_str()) != 0)
    _exit(126);
  // A known locale unless the test asks for another.
  setenv("LANG", "C.UTF-8", 1);
  unsetenv("LC_ALL");
  unsetenv("LC_CTYPE");
  unsetenv("LC_NUMERIC");
  unsetenv("LOCPATH");
  for (const auto& [name, value] : options.environment) {
    if (value.empty())
      unsetenv(name.c_str());
    else
      setenv(name.c_str(), value.c_str(), 1);
  }
  if (options.fileSizeLimit != 0) {
    // SIGXFSZ left as it is: the tools ignore it themselves, so that a write
    // past the limit fails with EFBIG. A child without the limit would test
    // nothing, so it ends with a code no run gives.
    const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(124);
  }
  if (options.processLimit != 0) {
    const rlimit limit{options.processLimit, options.processLimit};
    setrlimit(RLIMIT_NPROC, &limit);
  }
  if (options.memoryLimit != 0) {
    const rlimit limit{options.memoryLimit, options.memoryLimit};
    setrlimit(RLIMIT_AS, &limit);
  }
  if (options.withoutPrivileges && geteuid() == 0) {
    // Nobody's ids where a user namespace maps none that high.
    const id_t nobody = 65534;
    if (setgroups(0, nullptr) != 0) _exit(125);
    const bool own = setgid(unprivilegedId) == 0 && setuid(unprivilegedId) == 0;
    if (!own && (setgid(nobody) != 0 || setuid(nobody) != 0)) _exit(125);
  }
  execv(program, argv.data());
  _exit(127);
}

std::vector<std::string> encodedArguments(const std::vector<std::wstring>& arguments,
                                          const std::wstring& program) {
  std::vector<std::string> bytes{encoded(program)};
  for (const auto& argument : arguments) bytes.push_back(encoded(argument));
  return bytes;
}

// Starts the binary `program` with `arguments` (argument 0 included) and its
// standard output on the pipe `pipeFds`, standard error on `errFds` where
// given (else on the same pipe); this process then closes the write ends.
pid_t startProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const RunOptions& options, const int pipeFds[2], const int* errFds = nullptr) {
  std::vector<std::string> bytes = arguments;
  std::vector<char*> argv;
  argv.reserve(bytes.size() + 1);
  for (auto& argument : bytes) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const uid_t unprivilegedId = options.withoutPrivileges ? ownUnprivilegedId() : 0;
  const pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    if (errFds != nullptr) close(errFds[0]);
    startChild(program.c_str(), pipeFds[1], errFds != nullptr ? errFds[1] : -1, options,
               unprivilegedId, argv);
  }
  close(pipeFds[1]);
  if (errFds != nullptr) close(errFds[1]);
  if (child < 0) throw std::runtime_error("fork");
  return child;
}

// `text` without the lines a coverage build's runtime adds on standard error
// at exit when the child may not write its counts (another user, a file-size
// limit), after whatever the tool printed last: they are not the tool's, and
// this runtime has no switch for them.
std::string withoutCoverageComplaints(std::string text) {
  for (const char* start : {"libgcov profiling error:", "profiling:"}) {
    for (size_t at = text.find(start); at != std::string::npos; at = text.find(start, at)) {
      const size_t end = text.find('\n', at);
      const size_t length = end == std::string::npos ? std::string::npos : end - at + 1;
      if (text.substr(at, length).find(".gcda:") == std::string::npos) {
        ++at;
        continue;
      }
      text.erase(at, length);
    }
  }
  return text;
}

// Reads the rest of the child's output from `readFd`, then its errors from
// `errFd` where it has its own pipe (each closed then), and waits for it to end.
RunResult finishRun(pid_t child, int readFd, int errFd = -1) {
  RunResult result;
  result.out = withoutCoverageComplaints(readAll(readFd));
  close(readFd);
  if (errFd >= 0) {
    result.err = withoutCoverageComplaints(readAll(errFd));
    close(errFd);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

// Runs `program` with `arguments` (argument 0 included) to its end.
RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const RunOptions& options) {
  int pipeFds[2];
  int errFds[2] = {-1, -1};
  if (pipe(pipeFds) != 0 || (options.errorsApart && pipe(errFds) != 0))
    throw std::runtime_error("pipe");
  const pid_t child =
      startProgram(program, arguments, options, pipeFds, options.errorsApart ? errFds : nullptr);
  return finishRun(child, pipeFds[0], errFds[0]);
}

}  // namespace

RunResult runFilesplit(const std::vector<std::wstring>& arguments, const RunOptions& options,
                       const std::wstring& program) {
  return runProgram(filesplitPath(), encodedArguments(arguments, program), options);
}

RunResult runFilejoin(const std::vector<std::wstring>& arguments, const RunOptions& options,
                      const std::wstring& program) {
  return runProgram(filejoinPath(), encodedArguments(arguments, program), options);
}

std::string filesplitBinary(bool& present) {
  std::string binary = filesplitPath();  // not const: returned by move
  struct stat info;
  present = stat(binary.c_str(), &info) == 0;
  return binary;
}

bool byteArgumentsSupported() { return true; }

RunResult runFilesplitBytes(const std::vector<std::string>& arguments, const RunOptions& options) {
  return runProgram(filesplitPath(), arguments, options);
}

bool heldRunsSupported() { return true; }

namespace {

// Runs `program` held as runFilesplitHeld tells; with `killed`, ends it
// outright (SIGKILL) after whileHeld.
HeldRun runHeld(const std::string& program, const std::vector<std::string>& bytes,
                const RunOptions& options, size_t room, const std::function<bool()>& pastHold,
                const std::function<void()>& whileHeld, bool killed) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) throw std::runtime_error("pipe");
  // The smallest pipe the kernel makes (one page), filled up to `room` bytes
  // from its end: the child's write that does not fit waits for the reader.
  fcntl(pipeFds[1], F_SETPIPE_SZ, 4096);
  const int capacity = fcntl(pipeFds[1], F_GETPIPE_SZ);
  if (capacity < 0 || static_cast<size_t>(capacity) < room)
    throw std::runtime_error("pipe too large to hold the child back");
  const std::string filler(static_cast<size_t>(capacity) - room, '#');
  if (!filler.empty() &&
      write(pipeFds[1], filler.data(), filler.size()) != static_cast<ssize_t>(filler.size()))
    throw std::runtime_error("pipe filler");
  const pid_t child = startProgram(program, bytes, options, pipeFds);

  HeldRun run;
  for (;;) {
    int waiting = 0;
    if (ioctl(pipeFds[0], FIONREAD, &waiting) == 0 && waiting >= capacity) {
      run.held = true;
      break;
    }
    siginfo_t info{};
    const bool ended =
        waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == child;
    if (ended || pastHold()) break;
    const timespec pause{0, 1000000};  // a wait for the child, not a measurement
    nanosleep(&pause, nullptr);
  }
  whileHeld();
  if (killed) kill(child, SIGKILL);
  run.result = finishRun(child, pipeFds[0]);
  if (run.result.out.compare(0, filler.size(), filler) != 0)
    throw std::runtime_error("pipe filler lost");
  run.result.out.erase(0, filler.size());
  return run;
}

}  // namespace

HeldRun runFilesplitHeld(const std::vector<std::wstring>& arguments, const RunOptions& options,
                         size_t room, const std::function<bool()>& pastHold,
                         const std::function<void()>& whileHeld) {
  return runHeld(filesplitPath(), encodedArguments(arguments, L"filesplit"), options, room,
                 pastHold, whileHeld, false);
}

bool runFilejoinKilled(const std::vector<std::wstring>& arguments, const RunOptions& options,
                       size_t room, const std::function<void()>& whileHeld) {
  return runHeld(
             filejoinPath(), encodedArguments(arguments, L"filejoin"), options, room,
             [] { return false; }, whileHeld, true)
      .held;
}

bool fileSizeLimitSupported() { return true; }

#if defined(__SANITIZE_ADDRESS__)
#define FILESPLIT_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FILESPLIT_ADDRESS_SANITIZER 1
#endif
#endif

// AddressSanitizer reserves terabytes of address space for its shadow, so a
// child built with it cannot start under any useful limit.
#ifdef FILESPLIT_ADDRESS_SANITIZER
bool memoryLimitSupported() { return false; }
#else
bool memoryLimitSupported() { return true; }
#endif

bool unprivilegedChildIsAnotherUser() { return geteuid() == 0; }

bool processLimitSupported() { return true; }

bool batchInterpreterAvailable() { return false; }

RunResult runBatch(const std::wstring&, const RunOptions&) {
  throw std::runtime_error("no batch interpreter here");
}

std::string consoleBytes(const std::wstring& text) { return encoded(text); }

bool useLocaleWithEncoding(RunOptions& options, const std::wstring& scratchFolder,
                           const std::string& name, const std::string& charmap) {
  // Built without root: localedef writes the compiled locale where we say.
  const std::string folder = encoded(scratchFolder);
  const std::string locale = name + "." + charmap;
  const std::string command = "localedef -i " + name + " -f " + charmap + " '" + folder + "/" +
                              locale + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return false;
  options.environment["LOCPATH"] = folder;
  options.environment["LANG"] = locale;
  return true;
}

bool useCommaGroupingLocale(RunOptions& options, const std::wstring& scratchFolder) {
  return useLocaleWithEncoding(options, scratchFolder, "en_US", "UTF-8");
}

bool useUninstalledLocale(RunOptions& options) {
  options.environment["LANG"] = "xx_YY.UTF-8";
  return true;
}

bool writerWritesAtOnce(const std::wstring& path) {
  // O_NONBLOCK: an open that would break a lease fails with EWOULDBLOCK,
  // starting the break, instead of waiting for it.
  int fd = -1;
  for (int tries = 0; fd < 0 && tries < 100; ++tries) {
    fd = open(platform::nativePath(path).c_str(), O_RDWR | O_NONBLOCK);
    if (fd < 0 && errno != EWOULDBLOCK) return false;
    if (fd < 0) usleep(10000);
  }
  if (fd < 0) return false;
  char first = 0;
  const bool written = pread(fd, &first, 1, 0) >= 0 && pwrite(fd, &first, 1, 0) >= 0;
  close(fd);
  return written;
}
