#include "in_process.h"

#include <locale>
#include <sstream>

#include "app/front_end.h"
#include "platform/platform.h"

InProcessRun runInProcess(const std::vector<std::wstring>& arguments,
                          const std::locale& userLocale) {
  std::vector<const wchar_t*> argv{L"filesplit"};
  for (const auto& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  std::wostringstream out;
  InProcessRun run;
  run.exitCode = runFrontEnd(static_cast<int>(argv.size() - 1), argv.data(), out, userLocale);
  run.out = out.str();
  return run;
}

CurrentFolder::CurrentFolder(const std::wstring& folder)
    : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(platform::nativePath(folder));
}

CurrentFolder::~CurrentFolder() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}
