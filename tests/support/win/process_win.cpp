// Child processes on Windows: CreateProcessW with standard output on a pipe.
#include <algorithm>
#include <cwctype>
#include <functional>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "../process.h"
#include "platform/platform.h"

namespace {

std::wstring widened(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring fromUtf8(const std::string& text) {
  const int length = static_cast<int>(text.size());
  std::wstring wide(static_cast<size_t>(length), L'\0');
  const int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), length);
  wide.resize(static_cast<size_t>(count > 0 ? count : 0));
  return wide;
}

std::wstring upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

// One argument as the runtime's command-line parser reads it back: quotes
// around it when it is empty or holds blanks or quotes; backslashes doubled
// only where they come before a quote.
std::wstring quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
    return argument;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(2 * backslashes, L'\\');
  out.push_back(L'"');
  return out;
}

// The folder of the running test program.
std::wstring ownFolder() {
  std::vector<wchar_t> path(32768);
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) throw std::runtime_error("GetModuleFileNameW");
  std::wstring own(path.data(), length);
  return own.substr(0, own.find_last_of(L"\\/") + 1);
}

bool isAbsolute(const std::wstring& path) {
  return (path.size() >= 2 && path[1] == L':') || (!path.empty() && path[0] == L'\\');
}

// A tool's binary: `name` in the folder the environment names, or this
// build's own at `fromTests`. Either is found relative to the test program,
// as the build placed both (the build's absolute paths may be of the build
// host's kind).
std::wstring toolExe(const wchar_t* name, const char* fromTests) {
  wchar_t chosen[4096] = {};
  const DWORD length = GetEnvironmentVariableW(widened(kToolsUnderTestVariable).c_str(), chosen,
                                               static_cast<DWORD>(std::size(chosen)));
  std::wstring path = length > 0 && length < std::size(chosen)
                          ? std::wstring(chosen, length) + L"\\" + name + L".exe"
                          : widened(fromTests);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return isAbsolute(path) ? path : ownFolder() + path;
}

std::wstring filesplitExe() { return toolExe(L"filesplit", FILESPLIT_EXE_FROM_TESTS); }
std::wstring filejoinExe() { return toolExe(L"filejoin", FILEJOIN_EXE_FROM_TESTS); }

// This process's environment with `changes` applied (an empty value
// removes the variable), as a sorted block for CreateProcessW.
std::vector<wchar_t> environmentBlock(const std::map<std::string, std::string>& changes) {
  std::map<std::wstring, std::wstring> variables;  // by upper-case name: "NAME=value"
  if (wchar_t* strings = GetEnvironmentStringsW()) {
    for (const wchar_t* at = strings; *at != L'\0'; at += wcslen(at) + 1) {
      const std::wstring entry = at;
      const size_t equals = entry.find(L'=', 1);  // "=C:=C:\x" names start with "="
      variables[upper(entry.substr(0, equals))] = entry;
    }
    FreeEnvironmentStringsW(strings);
  }
  for (const auto& [name, value] : changes) {
    const std::wstring wideName = widened(name);
    if (value.empty())
      variables.erase(upper(wideName));
    else
      variables[upper(wideName)] = wideName + L"=" + fromUtf8(value);
  }
  std::vector<wchar_t> block;
  for (const auto& entry : variables) {
    block.insert(block.end(), entry.second.begin(), entry.second.end());
    block.push_back(L'\0');
  }
  block.push_back(L'\0');
  if (variables.empty()) block.push_back(L'\0');
  return block;
}

class Handle {
 public:
  explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
  ~Handle() { reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  HANDLE* out() { return &handle_; }
  void reset() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_;
};

// A child's output pipe that holds it back (runFilesplitHeld).
struct Hold {
  size_t room;
  const std::function<bool()>& pastHold;
  const std::function<void()>& whileHeld;
  bool held = false;
  bool killed = false;  // ended outright after whileHeld
};

// The buffer of a holding pipe: a write that would take more waits for the
// reader.
constexpr DWORD kHoldingPipeSize = 4096;

// Waits until the child has filled the pipe, has ended, or went on past the
// hold; then runs the test's check while the child is held.
void waitForTheHold(HANDLE readEnd, HANDLE process, Hold& hold) {
  for (;;) {
    DWORD waiting = 0;
    if (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &waiting, nullptr) &&
        waiting >= kHoldingPipeSize) {
      hold.held = true;
      break;
    }
    if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0 || hold.pastHold()) break;
    Sleep(1);  // a wait for the child, not a measurement
  }
  hold.whileHeld();
}

RunResult runProcess(const std::wstring& application, std::wstring commandLine,
                     const RunOptions& options, Hold* hold = nullptr) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  Handle readEnd, writeEnd;
  if (!CreatePipe(readEnd.out(), writeEnd.out(), &inheritable,
                  hold != nullptr ? kHoldingPipeSize : 0))
    throw std::runtime_error("CreatePipe");
  SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
  std::string filler;
  if (hold != nullptr) {
    if (hold->room > kHoldingPipeSize) throw std::runtime_error("too much room to hold the child");
    filler.assign(kHoldingPipeSize - hold->room, '#');
    DWORD written = 0;
    if (!filler.empty() && (!WriteFile(writeEnd.get(), filler.data(),
                                       static_cast<DWORD>(filler.size()), &written, nullptr) ||
                            written != filler.size()))
      throw std::runtime_error("pipe filler");
  }
  Handle input(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inheritable, OPEN_EXISTING, 0, nullptr));
  Handle errorsRead, errors;
  if (options.errorsApart) {
    if (!CreatePipe(errorsRead.out(), errors.out(), &inheritable, 0))
      throw std::runtime_error("CreatePipe");
    SetHandleInformation(errorsRead.get(), HANDLE_FLAG_INHERIT, 0);
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.get();
  startup.hStdOutput = writeEnd.get();
  startup.hStdError = options.errorsApart ? errors.get() : writeEnd.get();
  HANDLE* streams[] = {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError};
  for (const int stream : options.closedStreams) *streams[stream] = nullptr;
  std::vector<wchar_t> environment = environmentBlock(options.environment);
  const DWORD flags =
      CREATE_UNICODE_ENVIRONMENT | (options.consoleOfItsOwn ? CREATE_NEW_CONSOLE : 0);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags,
                      environment.data(),
                      options.workingFolder.empty() ? nullptr : options.workingFolder.c_str(),
                      &startup, &process))
    throw std::runtime_error("CreateProcessW failed: " + std::to_string(GetLastError()));
  Handle processHandle(process.hProcess), thread(process.hThread);
  writeEnd.reset();  // the child's copy is the last: the pipe ends with it
  errors.reset();
  if (hold != nullptr) waitForTheHold(readEnd.get(), processHandle.get(), *hold);
  if (hold != nullptr && hold->killed) TerminateProcess(processHandle.get(), 1);  // taskkill /F

  RunResult result;
  char chunk[65536];
  DWORD count = 0;
  while (ReadFile(readEnd.get(), chunk, sizeof chunk, &count, nullptr) && count > 0)
    result.out.append(chunk, count);
  if (result.out.compare(0, filler.size(), filler) != 0)
    throw std::runtime_error("pipe filler lost");
  result.out.erase(0, filler.size());
  while (errorsRead.get() != nullptr &&
         ReadFile(errorsRead.get(), chunk, sizeof chunk, &count, nullptr) && count > 0)
    result.err.append(chunk, count);
  WaitForSingleObject(processHandle.get(), INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(processHandle.get(), &exitCode);
  result.exitCode = static_cast<int>(exitCode);
  return result;
}

UINT pipeCodePage() {
  const UINT codePage = GetConsoleOutputCP();
  return codePage != 0 ? codePage : GetACP();
}

std::wstring commandLineOf(const std::vector<std::wstring>& arguments,
                           const std::wstring& program) {
  std::wstring commandLine = quoted(program);
  for (const auto& argument : arguments) commandLine += L" " + quoted(argument);
  return commandLine;
}

}  // namespace

RunResult runFilesplit(const std::vector<std::wstring>& arguments, const RunOptions& options,
                       const std::wstring& program) {
  return runProcess(filesplitExe(), commandLineOf(arguments, program), options);
}

RunResult runFilejoin(const std::vector<std::wstring>& arguments, const RunOptions& options,
                      const std::wstring& program) {
  return runProcess(filejoinExe(), commandLineOf(arguments, program), options);
}

std::string filesplitBinary(bool& present) {
  const std::wstring binary = filesplitExe();
  present = GetFileAttributesW(binary.c_str()) != INVALID_FILE_ATTRIBUTES;
  std::string shown;
  for (const wchar_t c : binary) shown.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return shown;
}

bool batchInterpreterAvailable() { return true; }

RunResult runBatch(const std::wstring& command, const RunOptions& options) {
  wchar_t system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) throw std::runtime_error("GetSystemDirectoryW");
  return runProcess(std::wstring(system) + L"\\cmd.exe", L"cmd /c " + command, options);
}

bool fileSizeLimitSupported() { return false; }

bool memoryLimitSupported() { return false; }

// A child runs as the tests' own user.
bool unprivilegedChildIsAnotherUser() { return false; }

bool processLimitSupported() { return false; }

bool heldRunsSupported() { return true; }

HeldRun runFilesplitHeld(const std::vector<std::wstring>& arguments, const RunOptions& options,
                         size_t room, const std::function<bool()>& pastHold,
                         const std::function<void()>& whileHeld) {
  std::wstring commandLine = L"filesplit";
  for (const auto& argument : arguments) commandLine += L" " + quoted(argument);
  Hold hold{room, pastHold, whileHeld};
  HeldRun run;
  run.result = runProcess(filesplitExe(), commandLine, options, &hold);
  run.held = hold.held;
  return run;
}

bool runFilejoinKilled(const std::vector<std::wstring>& arguments, const RunOptions& options,
                       size_t room, const std::function<void()>& whileHeld) {
  const std::function<bool()> never = [] { return false; };
  Hold hold{room, never, whileHeld};
  hold.killed = true;
  runProcess(filejoinExe(), commandLineOf(arguments, L"filejoin"), options, &hold);
  return hold.held;
}

// Windows hands a program its arguments as wide text, never as raw bytes.
bool byteArgumentsSupported() { return false; }

RunResult runFilesplitBytes(const std::vector<std::string>&, const RunOptions&) {
  return RunResult{};
}

std::string consoleBytes(const std::wstring& text) {
  std::wstring crLf;
  for (const wchar_t c : text) {
    if (c == L'\n') crLf.push_back(L'\r');
    crLf.push_back(c);
  }
  if (crLf.empty()) return std::string();
  const UINT codePage = pipeCodePage();
  const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int length = static_cast<int>(crLf.size());
  const int size =
      WideCharToMultiByte(codePage, flags, crLf.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) throw std::runtime_error("WideCharToMultiByte");
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(codePage, flags, crLf.data(), length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

bool useCommaGroupingLocale(RunOptions&, const std::wstring&) {
  // The child takes the Windows user locale, which a test cannot set for one
  // process: usable when it already groups thousands with a comma.
  wchar_t separator[8] = {}, grouping[16] = {};
  return GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8) > 0 &&
         GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SGROUPING, grouping, 16) > 0 &&
         std::wstring(separator) == L"," && std::wstring(grouping) == L"3;0";
}

bool useLocaleWithEncoding(RunOptions&, const std::wstring&, const std::string&,
                           const std::string&) {
  // Programs take their encoding from the code pages, not from a locale.
  return false;
}

bool useUninstalledLocale(RunOptions&) {
  // The Windows user locale is always one the system has.
  return false;
}

bool writerWritesAtOnce(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}
