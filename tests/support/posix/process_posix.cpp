#include <fcntl.h>
#include <grp.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include "../process.h"
#include "native_text.h"

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

// In the child: the options that spawn cannot express, then the program.
[[noreturn]] void startChild(const char* program, int outFd, const RunOptions& options,
                             std::vector<char*>& argv) {
  dup2(outFd, STDOUT_FILENO);
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
    signal(SIGXFSZ, SIG_IGN);  // so that write fails with EFBIG instead
    const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  if (options.withoutPrivileges && geteuid() == 0) {
    const gid_t nogroup = 65534;
    const uid_t nobody = 65534;
    if (setgroups(0, nullptr) != 0 || setgid(nogroup) != 0 || setuid(nobody) != 0) _exit(125);
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

// Runs `program` with `arguments` (argument 0 included) as bytes.
RunResult runBytes(const char* program, const std::vector<std::string>& arguments,
                   const RunOptions& options) {
  std::vector<std::string> bytes = arguments;
  std::vector<char*> argv;
  for (auto& argument : bytes) argv.push_back(argument.data());
  argv.push_back(nullptr);

  int pipeFds[2];
  if (pipe(pipeFds) != 0) throw std::runtime_error("pipe");
  const pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    startChild(program, pipeFds[1], options, argv);
  }
  close(pipeFds[1]);
  RunResult result;
  result.out = readAll(pipeFds[0]);
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace

RunResult runFilesplit(const std::vector<std::wstring>& arguments, const RunOptions& options,
                       const std::wstring& program) {
  return runBytes(FILESPLIT_EXE, encodedArguments(arguments, program), options);
}

RunResult runFilejoin(const std::vector<std::wstring>& arguments, const RunOptions& options,
                      const std::wstring& program) {
  return runBytes(FILEJOIN_EXE, encodedArguments(arguments, program), options);
}

RunResult runFilesplitBytes(const std::vector<std::string>& arguments, const RunOptions& options) {
  return runBytes(FILESPLIT_EXE, arguments, options);
}

bool byteArgumentsSupported() { return true; }

bool fileSizeLimitSupported() { return true; }

bool batchInterpreterAvailable() { return false; }

RunResult runBatch(const std::wstring&, const RunOptions&) {
  throw std::runtime_error("no batch interpreter here");
}

std::string consoleBytes(const std::wstring& text) { return encoded(text); }

bool useCommaGroupingLocale(RunOptions& options, const std::wstring& scratchFolder) {
  // Built without root: localedef writes the compiled locale where we say.
  const std::string folder = encoded(scratchFolder);
  const std::string command =
      "localedef -i en_US -f UTF-8 '" + folder + "/en_US.UTF-8' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return false;
  options.environment["LOCPATH"] = folder;
  options.environment["LANG"] = "en_US.UTF-8";
  return true;
}

bool useUninstalledLocale(RunOptions& options) {
  options.environment["LANG"] = "xx_YY.UTF-8";
  return true;
}
