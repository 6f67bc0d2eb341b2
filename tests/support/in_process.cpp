#include "in_process.h"

#include <locale>
#include <sstream>

#include "app/join_front_end.h"
#include "app/split_front_end.h"
#include "platform/platform.h"

namespace {

using FrontEnd = int (*)(int, const wchar_t* const*, std::wostream&, const std::locale&);

InProcessRun runFront(FrontEnd frontEnd, const wchar_t* program,
                      const std::vector<std::wstring>& arguments, const std::locale& userLocale) {
  std::vector<const wchar_t*> argv{program};
  for (const auto& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  std::wostringstream out;
  InProcessRun run;
  run.exitCode = frontEnd(static_cast<int>(argv.size() - 1), argv.data(), out, userLocale);
  run.out = out.str();
  return run;
}

}  // namespace

InProcessRun runInProcess(const std::vector<std::wstring>& arguments,
                          const std::locale& userLocale) {
  return runFront(runFrontEnd, L"filesplit", arguments, userLocale);
}

InProcessRun runJoinInProcess(const std::vector<std::wstring>& arguments) {
  return runFront(runJoinFrontEnd, L"filejoin", arguments, std::locale::classic());
}

CurrentFolder::CurrentFolder(const std::wstring& folder)
    : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(platform::nativePath(folder));
}

CurrentFolder::~CurrentFolder() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}
