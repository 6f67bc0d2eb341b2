// Digit groups written through a pipe in a Windows code page: a no-break
// space the code page lacks becomes a plain space. Skipped where the console
// writes the C library's encoding.
#include <gtest/gtest.h>

#include <locale>
#include <sstream>

#include "app/split_front_end.h"
#include "platform/test_hooks.h"
#include "split/split_exit_codes.h"
#include "temp_dir.h"

namespace {

struct CodePageCase {
  const char* name;
  std::wstring text;
  unsigned codePage;
  std::string bytes;
};

void PrintTo(const CodePageCase& c, std::ostream* out) { *out << c.name; }

class WindowsCodePageTest : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(WindowsCodePageTest, NoBreakSpaceTheCodePageLacksIsAPlainSpace) {
  const CodePageCase& c = GetParam();
  std::string bytes;
  if (!platform_test_hooks::pipeBytes(c.text, c.codePage, bytes))
    GTEST_SKIP() << "the console writes the C library's encoding here, no code page";
  EXPECT_EQ(bytes, c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Separators, WindowsCodePageTest,
    ::testing::Values(CodePageCase{"NarrowNoBreakIn850", L"1\u202F024", 850, "1 024"},
                      CodePageCase{"NoBreakIn850Has", L"1\u00A0024", 850,
                                   "1\xFF"
                                   "024"},
                      CodePageCase{"NarrowNoBreakIn437", L"1\u202F024", 437, "1 024"},
                      CodePageCase{"NarrowNoBreakIn1252", L"1\u202F024", 1252, "1 024"},
                      CodePageCase{"NoBreakIn1252Has", L"1\u00A0024", 1252,
                                   "1\xA0"
                                   "024"},
                      CodePageCase{"NoBreakInAscii", L"1\u00A0024", 20127, "1 024"},
                      CodePageCase{"NarrowNoBreakInUtf8", L"1\u202F024", CP_UTF8,
                                   "1\xE2\x80\xAF"
                                   "024"},
                      CodePageCase{"OtherMissingCharacterStaysAQuestionMark", L"5\u20AC\u2009", 850,
                                   "5??"}),
    [](const auto& info) { return std::string(info.param.name); });

// A user locale that groups with U+202F (as French does), faked, and the
// front end's settings printed through a pipe in code page 850.
class NarrowNoBreakGrouping : public std::numpunct<wchar_t> {
 protected:
  wchar_t do_thousands_sep() const override { return L'\u202F'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(WindowsCodePageTest, SizeGroupedWithNarrowNoBreakSpaceReadsInCodePage850) {
  TempDir dir;
  const std::wstring input = dir / L"missing.bin";
  const wchar_t* argv[] = {L"filesplit", input.c_str(), L"1024", nullptr};
  std::wostringstream out;
  const std::locale french(std::locale::classic(), new NarrowNoBreakGrouping);
  EXPECT_EQ(runFrontEnd(3, argv, out, french), split_exit::kInputMissing);
  std::string bytes;
  if (!platform_test_hooks::pipeBytes(out.str(), 850, bytes))
    GTEST_SKIP() << "the console writes the C library's encoding here, no code page";
  EXPECT_NE(bytes.find("\nDivide size: 1 024MB\n"), std::string::npos) << bytes;
}

}  // namespace
