#include "app/join_front_end.h"

#include <memory>
#include <string>

#include "common/in_quotes.h"
#include "join/join_exit_codes.h"
#include "join/join_job.h"

namespace {

bool isOption(const std::wstring& argument) { return argument.compare(0, 2, L"--") == 0; }

// Tells what is wrong with a command line that cannot be run; 0 when it can.
int checkArguments(int argc, const wchar_t* const* argv, std::wostream& out) {
  if (argc < 2) return join_exit::kUsage;
  const std::wstring first = argv[1];
  const int most = first == L"--version" ? 2 : 3;
  for (int i = 1; i < argc && i < most; ++i) {
    const std::wstring argument = argv[i];
    const bool known = i == 1 && (argument == L"--check" || argument == L"--version");
    if (!isOption(argument) || known) continue;
    out << L"Unknown option " << inQuotes(argument) << L"." << std::endl;
    return join_exit::kUsage;
  }
  if (first == L"--check" && argc < 3) {
    out << L"--check needs the script." << std::endl;
    return join_exit::kUsage;
  }
  if (argc > most) {
    out << L"Too many arguments." << std::endl;
    return join_exit::kUsage;
  }
  return join_exit::kSuccess;
}

}  // namespace

void printJoinUsage(std::wostream& out, const wchar_t* program) {
  out << std::endl
      << L"Usage:" << std::endl
      << L"> " << program << L" script [output folder]" << std::endl
      << L"> " << program << L" --check script" << std::endl
      << L"> " << program << L" --version" << std::endl
      << L"  script: the .bat file filesplit wrote, or the folder holding it; the pieces are "
         L"read beside it."
      << std::endl
      << L"  if [output folder] is not entered, the script's folder is used." << std::endl
      << L"  --check reads the pieces and compares them with the .md5 file; it writes nothing."
      << std::endl
      << L"  Exit codes: 0 done and verified, 1 a read, write or rename failed, 2 usage, 3 a "
         L"piece is missing,"
      << std::endl
      << L"  4 the script or .md5 file is unusable, 5 a piece has the wrong size, 8 the file "
         L"exists,"
      << std::endl
      << L"  9 no output folder, 10 the digest differs, 11 no .md5 file (not verified)."
      << std::endl
      << L"  ex. " << program << L" C:\\Users\\aaa\\aaa.bat C:\\Users" << std::endl;
}

int runJoinFrontEnd(int argc, const wchar_t* const* argv, std::wostream& out,
                    const std::locale& userLocale) {
  const std::locale previous = out.imbue(userLocale);
  auto job = std::make_unique<JoinJob>(out);
  int result = checkArguments(argc, argv, out);
  if (result == join_exit::kSuccess && std::wstring(argv[1]) == L"--version") {
    out << L"filejoin " << FILESPLIT_VERSION << std::endl;
  } else if (result == join_exit::kSuccess) {
    const bool checkOnly = std::wstring(argv[1]) == L"--check";
    const std::wstring script = argv[checkOnly ? 2 : 1];
    const std::wstring folder = !checkOnly && argc > 2 ? argv[2] : L"";
    out << L"Script: " << script << std::endl;
    if (!folder.empty()) out << L"Output Folder: " << folder << std::endl;
    out << (checkOnly ? L"Checking....." : L"Joining.....") << std::endl;
    result = job->run(script, folder, checkOnly);
  }
  if (result != join_exit::kSuccess)
    printJoinUsage(out, argc > 0 && argv[0] != nullptr ? argv[0] : L"");
  out.imbue(previous);
  job.reset();
  return result;
}
