#include "app/join_front_end.h"

#include <memory>
#include <string>
#include <vector>

#include "join/join_exit_codes.h"
#include "join/join_job.h"
#include "texts/join_texts.h"

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
      out << join_texts::unknownOption(argument) << std::endl;
      return join_exit::kUsage;
    } else if ((command.help || command.version) && argc != 2) {
      out << join_texts::kTooManyArguments << std::endl;
      return join_exit::kUsage;
    }
  }
  if (command.help || command.version) return join_exit::kSuccess;
  if (command.operands.empty()) {
    if (command.check) out << join_texts::kCheckNeedsScript << std::endl;
    return join_exit::kUsage;
  }
  if (command.operands.size() > (command.check ? 1u : 2u)) {
    out << join_texts::kTooManyArguments << std::endl;
    return join_exit::kUsage;
  }
  return join_exit::kSuccess;
}

}  // namespace

void printJoinUsage(std::wostream& out, const wchar_t* program) {
  out << join_texts::usage(program) << std::flush;
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
    out << join_texts::version() << std::endl;
  } else if (result == join_exit::kSuccess && command.help) {
    out << join_texts::usageLines(program) << std::flush;
  } else if (result == join_exit::kSuccess) {
    const std::wstring& script = command.operands[0];
    const std::wstring folder = command.operands.size() > 1 ? command.operands[1] : L"";
    out << join_texts::settings(script, folder)
        << (command.check ? join_texts::kChecking : join_texts::kJoining) << std::endl;
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
