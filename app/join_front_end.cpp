#include "app/join_front_end.h"

#include <memory>
#include <string>
#include <vector>

#include "common/in_quotes.h"
#include "join/join_exit_codes.h"
#include "join/join_job.h"
#include "platform/platform.h"

namespace {

bool isOption(const std::wstring& argument) { return argument.compare(0, 2, L"--") == 0; }

/// What a command line asks for.
struct JoinCommand {
  bool check = false;
  bool unverified = false;
  bool help = false;
  bool version = false;
  std::vector<std::wstring> operands;  // the script, and perhaps the output folder
};

// Takes the option `argument` into `command`; false for an unknown one.
bool takeOption(const std::wstring& argument, JoinCommand& command) {
  if (argument == L"--check") {
    command.check = true;
  } else if (argument == L"--unverified") {
    command.unverified = true;
  } else if (argument == L"--help") {
    command.help = true;
  } else if (argument == L"--version") {
    command.version = true;
  } else {
    return false;
  }
  return true;
}

// Reads the command line into `command`; tells what is wrong with one that
// cannot be run and returns 2 then, else 0. Options come first; "--" ends
// them, so that a script named like an option can be given.
int readArguments(int argc, const wchar_t* const* argv, std::wostream& out, JoinCommand& command) {
  if (argc < 2) return join_exit::kUsage;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring argument = argv[i];
    if (!optionsEnded && argument == L"--") {
      optionsEnded = true;
    } else if (optionsEnded || !isOption(argument)) {
      command.operands.push_back(argument);
    } else if (!command.operands.empty() || !takeOption(argument, command)) {
      // Options go before the script.
      out << L"Unknown option \"" << platform::escapeControls(argument) << L"\"." << std::endl;
      return join_exit::kUsage;
    } else if ((command.help || command.version) && argc != 2) {
      out << L"Too many arguments." << std::endl;
      return join_exit::kUsage;
    }
  }
  if (command.help || command.version) return join_exit::kSuccess;
  if (command.operands.empty()) {
    if (command.check) out << L"--check needs the script." << std::endl;
    return join_exit::kUsage;
  }
  if (command.operands.size() > (command.check ? 1u : 2u)) {
    out << L"Too many arguments." << std::endl;
    return join_exit::kUsage;
  }
  return join_exit::kSuccess;
}

void printUsageLines(std::wostream& out, const wchar_t* typed) {
  const std::wstring program = platform::escapeControls(typed);
  out << L"Usage:" << std::endl
      << L"> " << program << L" [--unverified] [--] script [output folder]" << std::endl
      << L"> " << program << L" --check [--] script" << std::endl
      << L"> " << program << L" --version" << std::endl
      << L"> " << program << L" --help" << std::endl
      << L"  script: the .bat file filesplit wrote, or the folder holding it; the pieces are "
         L"read beside it."
      << std::endl
      << L"  if [output folder] is not entered, the script's folder is used." << std::endl
      << L"  --check reads the pieces and compares them with the .md5 file; it writes nothing."
      << std::endl
      << L"  --unverified rebuilds even without the .md5 file, which a split that did not "
         L"finish lacks."
      << std::endl
      << L"  -- ends the options: a script named like an option follows it." << std::endl
      << L"  Exit codes: 0 done and verified, 1 a read, write or rename failed or no room, 2 "
         L"usage, 3 a piece is missing or no file (a link is not followed),"
      << std::endl
      << L"  4 the script or .md5 file is unusable, 5 a piece has the wrong size, 8 the file "
         L"exists,"
      << std::endl
      << L"  9 no output folder, 10 the digest differs, 11 no or an empty .md5 file (not "
         L"verified),"
      << std::endl
      << L"  12 interrupted. A failure is told on standard error, the dots and a success on "
         L"standard output."
      << std::endl
      << L"  ex. " << program << L" " << platform::kJoinUsageExample << std::endl;
}

}  // namespace

void printJoinUsage(std::wostream& out, const wchar_t* program) {
  out << std::endl;
  printUsageLines(out, program);
}

int runJoinFrontEnd(int argc, const wchar_t* const* argv, std::wostream& out, std::wostream& errors,
                    const std::locale& userLocale) {
  const std::locale previous = out.imbue(userLocale);
  const std::locale previousForErrors = errors.imbue(userLocale);
  auto job = std::make_unique<JoinJob>(out, errors);
  const wchar_t* program = argc > 0 && argv[0] != nullptr ? argv[0] : L"";
  JoinCommand command;
  int result = readArguments(argc, argv, errors, command);
  if (result == join_exit::kSuccess && command.version) {
    out << L"filejoin " << FILESPLIT_VERSION << std::endl;
  } else if (result == join_exit::kSuccess && command.help) {
    printUsageLines(out, program);
  } else if (result == join_exit::kSuccess) {
    const std::wstring& script = command.operands[0];
    const std::wstring folder = command.operands.size() > 1 ? command.operands[1] : L"";
    out << L"Script: " << platform::escapeControls(script) << std::endl;
    if (!folder.empty()) out << L"Output Folder: " << platform::escapeControls(folder) << std::endl;
    out << (command.check ? L"Checking....." : L"Joining.....") << std::endl;
    result = job->run({script, folder, command.check, command.unverified});
  }
  // After a failure of the join its own line is what matters: the usage
  // only follows a command line that could not be run.
  if (result == join_exit::kUsage) printJoinUsage(errors, program);
  errors.imbue(previousForErrors);
  out.imbue(previous);
  job.reset();
  return result;
}

int runJoinFrontEnd(int argc, const wchar_t* const* argv, std::wostream& out,
                    const std::locale& userLocale) {
  return runJoinFrontEnd(argc, argv, out, out, userLocale);
}
