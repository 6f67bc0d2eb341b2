// Runs the command line inside the test process, where the fault seam
// reaches every system call the split makes.
#pragma once

#include <filesystem>
#include <locale>
#include <string>
#include <vector>

struct InProcessRun {
  int exitCode = -1;
  std::wstring out;  // everything printed, as the console stream got it
};

/// Runs the front end with `arguments` (argument 0 "filesplit" is added),
/// printing into a string under `userLocale` (by default the classic one,
/// which groups no digits).
InProcessRun runInProcess(const std::vector<std::wstring>& arguments,
                          const std::locale& userLocale = std::locale::classic());

/// Runs filejoin's front end likewise (argument 0 "filejoin").
InProcessRun runJoinInProcess(const std::vector<std::wstring>& arguments);

/// Makes `folder` the process's current folder while it lives.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::wstring& folder);
  ~CurrentFolder();
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  std::filesystem::path previous_;
};
