// The rejoin script builder: the worked examples to the byte, the handling
// of names, and the line-limit rule as an invariant over many piece counts.
#include "script/rejoin_script.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "script_rules.h"

namespace {

std::string build(const std::wstring& target, const std::vector<std::wstring>& pieces) {
  RejoinScript script(target);
  for (const auto& piece : pieces) EXPECT_TRUE(script.addPiece(piece.c_str()));
  return script.finish();
}

// The size on disk: every LF is stored as CR LF.
size_t storedSize(const std::string& text) {
  return text.size() + static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    result.push_back(text.substr(start, end - start));
  if (start < text.size()) result.push_back(text.substr(start));
  return result;
}

struct ExampleCase {
  int pieces;
  size_t storedBytes;
};
void PrintTo(const ExampleCase& c, std::ostream* out) { *out << c.pieces << " pieces"; }

class RejoinExampleTest : public ::testing::TestWithParam<ExampleCase> {};

TEST_P(RejoinExampleTest, HasItsExactSize) {
  const std::string text = build(L"aaa.iso", pieceNames(L"aaa.iso", GetParam().pieces));
  EXPECT_EQ(storedSize(text), GetParam().storedBytes);
}

INSTANTIATE_TEST_SUITE_P(Examples, RejoinExampleTest,
                         ::testing::Values(ExampleCase{1, 43}, ExampleCase{2, 57},
                                           ExampleCase{3, 71}, ExampleCase{258, 4066},
                                           ExampleCase{1000, 15977}));

struct TextCase {
  const char* name;
  std::wstring target;
  std::vector<std::wstring> pieces;
  std::string expected;
};

void PrintTo(const TextCase& c, std::ostream* out) { *out << c.name; }

// Eighteen names of 230 characters: "copy /b" (7) and seventeen of them
// (3 + 230 each, 2 for each " +" between) count exactly 4000, a line that
// has not yet passed the limit, so the eighteenth goes on the same line.
std::vector<std::wstring> namesFillingALine() {
  std::vector<std::wstring> names;
  for (int i = 1; i <= 18; ++i)
    names.push_back(std::wstring(227, L'p') + (i < 10 ? L"_0" : L"_") + std::to_wstring(i));
  return names;
}

std::string oneCopyLine(const std::vector<std::wstring>& names, const std::string& target) {
  std::string line = "chcp 65001\ncopy /b";
  for (size_t i = 0; i < names.size(); ++i)
    line += (i == 0 ? " \"" : " + \"") + std::string(names[i].begin(), names[i].end()) + "\"";
  return line + " \"" + target + "\"\n";
}

class RejoinTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(RejoinTextTest, IsExactly) {
  EXPECT_EQ(build(GetParam().target, GetParam().pieces), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, RejoinTextTest,
    ::testing::Values(
        TextCase{"OnePiece",
                 L"aaa.iso",
                 {L"aaa.iso_1"},
                 "chcp 65001\ncopy /b \"aaa.iso_1\" \"aaa.iso\"\n"},
        TextCase{"ThreePieces", L"aaa.iso", pieceNames(L"aaa.iso", 3),
                 "chcp 65001\ncopy /b \"aaa.iso_1\" + \"aaa.iso_2\" + \"aaa.iso_3\" \"aaa.iso\"\n"},
        TextCase{"Blanks",
                 L"my file.iso",
                 {L"my file.iso_1"},
                 "chcp 65001\ncopy /b \"my file.iso_1\" \"my file.iso\"\n"},
        TextCase{
            "NonAscii",
            L"\u00e9\U0001D11E",
            {L"\u00e9\U0001D11E_1"},
            "chcp 65001\ncopy /b \"\xC3\xA9\xF0\x9D\x84\x9E_1\" \"\xC3\xA9\xF0\x9D\x84\x9E\"\n"},
        TextCase{"PercentDoubled",
                 L"50% off.iso",
                 {L"50% off.iso_1"},
                 "chcp 65001\ncopy /b \"50%% off.iso_1\" \"50%% off.iso\"\n"},
        TextCase{"AmpersandAndCaretUnchanged",
                 L"a&b^c",
                 {L"a&b^c_1"},
                 "chcp 65001\ncopy /b \"a&b^c_1\" \"a&b^c\"\n"},
        TextCase{"BatInputIsNotGuarded",
                 L"x.bat",
                 {L"x.bat_1"},
                 "chcp 65001\ncopy /b \"x.bat_1\" \"x.bat\"\n"},
        TextCase{"LineOfExactlyTheLimitGoesOn", L"p", namesFillingALine(),
                 oneCopyLine(namesFillingALine(), "p")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RejoinScriptTest, TwoHundredFiftyEightPiecesBreakOnce) {
  const auto text = lines(build(L"aaa.iso", pieceNames(L"aaa.iso", 258)));
  ASSERT_EQ(text.size(), 3u);
  EXPECT_EQ(text[1].size(), 4019u);
  const std::string end = "+ \"aaa.iso_257\" \"aaa.iso\"";
  EXPECT_EQ(text[1].substr(text[1].size() - end.size()), end);
  EXPECT_EQ(text[2], "copy /b \"aaa.iso\" + \"aaa.iso_258\"");
}

// Made part by part (4,096 pieces a part), the script is the same bytes,
// and no part is empty, at the parts' edges too.
TEST(RejoinScriptTest, MadeInPartsIsTheSameScript) {
  for (const int count : {4096, 4097, 8192}) {
    std::string parts;
    makeRejoinScript(L"a%b.iso", count, [&](const std::string& part) {
      EXPECT_FALSE(part.empty()) << count;
      parts += part;
    });
    EXPECT_EQ(parts, rejoinScriptBytes(L"a%b.iso", pieceNames(L"a%b.iso", count))) << count;
  }
}

TEST(RejoinScriptTest, FinishTwiceAddsNothing) {
  RejoinScript script(L"a");
  script.addPiece(L"a_1");
  const std::string first = script.finish();
  EXPECT_EQ(script.finish(), first);
}

TEST(RejoinScriptTest, LoneSurrogateBecomesReplacementCharacter) {
  EXPECT_EQ(toUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(toUtf8(L""), "");
}

TEST(RejoinScriptTest, Utf16LengthCountsSurrogatePairs) {
  EXPECT_EQ(utf16Length(L"a\u00e9\u4e2d"), 3);
  EXPECT_EQ(utf16Length(L"\U0001D11E"), 2);
  EXPECT_EQ(utf16Length(std::wstring(1, static_cast<wchar_t>(0xFFFF))), 1) << "the BMP's last";
}

// ---- The line rule as an invariant ------------------------------------

struct Shape {
  const char* name;
  std::wstring base;
};

void PrintTo(const Shape& c, std::ostream* out) { *out << c.name; }

class RejoinLineRuleTest : public ::testing::TestWithParam<Shape> {};

TEST_P(RejoinLineRuleTest, LinesPassTheLimitByOnePieceAtMost) {
  const std::wstring base = GetParam().base;
  for (int count : {1, 2, 17, 100, 256, 257, 258, 259, 600, 1000, 2345}) {
    const auto pieces = pieceNames(base, count);
    EXPECT_EQ(scriptRuleViolations(build(base, pieces), base, pieces), "") << count << " pieces";
  }
}

TEST(RejoinRuleCheckerTest, FindsABrokenScript) {
  const auto pieces = pieceNames(L"a%b", 2);
  const std::string good = build(L"a%b", pieces);
  EXPECT_EQ(scriptRuleViolations(good, L"a%b", pieces), "");
  for (const std::string& bad :
       {good.substr(0, good.size() - 1), std::string(good).replace(good.find("%%"), 2, "%"),
        std::string(good).insert(good.find('\n'), "\r"), good + "\xC0\x80"})
    EXPECT_NE(scriptRuleViolations(bad, L"a%b", pieces), "") << bad;
  EXPECT_NE(scriptRuleViolations(good, L"a%b", pieceNames(L"a%b", 3)), "");
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, RejoinLineRuleTest,
    ::testing::Values(Shape{"Short", L"aaa.iso"},
                      Shape{"LongerThanTheCap", std::wstring(300, L'n') + L".bin"},
                      Shape{"OutsideTheBmp", L"\U0001F600\U0001F600\U0001F600 \u00e9.iso"},
                      Shape{"Percent", L"100%.iso"},
                      Shape{"AroundTheCap", std::wstring(255, L'%')}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
