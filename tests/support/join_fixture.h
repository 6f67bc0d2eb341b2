// The fixtures of filejoin's end-to-end tests (join_*_test.cpp): the tools
// run in a temp folder, a split made for the join to rebuild, and the
// refusal table's row.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform_facts.h"
#include "process.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"
#include "test_sizes.h"
#include "texts/join_texts.h"

/// `name` in `folder` as filejoin puts them together: one separator of the
/// platform's between, none when the folder ends with one.
inline std::wstring joined(const std::wstring& folder, const std::wstring& name) {
  return folder + (folder.back() == L'/' ? L"" : shownAsJoined(L"/")) + name;
}

/// The tools run in a fresh temp folder, one per test.
class JoinTest : public ::testing::Test {
 public:
  RunOptions inside() const {
    RunOptions options;
    options.workingFolder = dir.wide();
    options.withoutPrivileges = withoutPrivileges;
    return options;
  }
  RunResult split(const std::vector<std::wstring>& arguments) {
    return runFilesplit(arguments, inside());
  }
  /// filejoin's run; with `errorsApart`, its standard error in `err`.
  RunResult join(const std::vector<std::wstring>& arguments, bool errorsApart = false) {
    RunOptions options = inside();
    options.errorsApart = errorsApart;
    return runFilejoin(arguments, options);
  }
  TempDir dir;
  bool withoutPrivileges = false;  // a row's: the tools run without them
};

/// A split of in.bin (3 MiB and 5 bytes) into parts/: in.bin_1 to in.bin_4,
/// in.bat and in.md5.
class JoinCaseTest : public JoinTest {
 public:
  void SetUp() override {
    input = patternBytes(3 * kMiB + 5, 12);
    writeFile(dir / L"in.bin", input);
    ASSERT_EQ(split({L"in.bin", L"1", L"parts"}).exitCode, split_exit::kSuccess);
  }
  void resize(const std::wstring& file, uint64_t size) {
    std::filesystem::resize_file(platform::nativePath(dir / file), size);
  }
  void flipByte(const std::wstring& file, size_t at) {
    std::string bytes = readFile(dir / file);
    bytes[at] = static_cast<char>(bytes[at] ^ 0x20);
    writeFile(dir / file, bytes);
  }
  std::string input;
  // A file another program holds open for writing (a download still
  // running, a sync client), from a row's preparation to the test's end.
  std::unique_ptr<std::ofstream> fileInUse;
};

/// The settings lines of a join of parts/in.bat into its own folder. Not
/// inline: each test file has its own copy, and split_fixture.h has a
/// kHeader of its own.
const std::wstring kHeader = join_texts::settings(L"parts/in.bat") + join_texts::kJoining + L"\n";

/// A join refused: prepared by `prepare`, run with `arguments`, it ends
/// with `exitCode` having printed `out` and writes nothing.
struct Refusal {
  const char* name;
  std::function<void(JoinCaseTest&)> prepare;
  std::vector<std::wstring> arguments;
  int exitCode;
  std::wstring out;  // before the usage text
};

inline void PrintTo(const Refusal& c, std::ostream* out) { *out << c.name; }

/// The rows' test is in join_refusal_test.cpp; other files add tables.
class JoinRefusalTest : public JoinCaseTest, public ::testing::WithParamInterface<Refusal> {};

/// How a script line naming what is not a plain file name is refused.
const std::wstring kNotPlain = L"\"parts/in.bat\" is not a rejoin script of filesplit (line 2: ";
