// Reading a rejoin script back: every script the writer makes reads back to
// the names it was made from, and every text the writer would not have
// made is refused at its line.
#include "script/script_reader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform_facts.h"
#include "script/rejoin_script.h"
#include "script_rules.h"

namespace {

std::string written(const std::wstring& target, const std::vector<std::wstring>& pieces) {
  RejoinScript script(target);
  for (const auto& piece : pieces) script.addPiece(piece.c_str());
  return script.finish();
}

struct RoundTrip {
  const char* name;
  std::wstring target;
  std::vector<std::wstring> pieces;
};

void PrintTo(const RoundTrip& c, std::ostream* out) { *out << c.name; }

class ScriptRoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(ScriptRoundTripTest, ReadsBackTheNamesItWasWrittenFor) {
  const RoundTrip& c = GetParam();
  const std::string text = written(c.target, c.pieces);
  // As written, as an editor may save it (LF alone), and with the final
  // line end added (several lines) or left out (one line).
  const std::string toggled = text.back() == '\n' ? storedScript(text.substr(0, text.size() - 1))
                                                  : storedScript(text) + "\r\n";
  for (const std::string& bytes : {storedScript(text), text, toggled}) {
    RejoinManifest manifest;
    ScriptFault fault;
    ASSERT_TRUE(readRejoinScript(bytes, manifest, fault))
        << "line " << fault.line << ": " << std::string(fault.reason.begin(), fault.reason.end());
    EXPECT_TRUE(manifest.target == c.target);
    EXPECT_TRUE(manifest.pieces == c.pieces);
  }
  // Read as filejoin streams it: the count is of every line's pieces.
  size_t at = 0;
  const ScriptSource source = [&](char* buffer, uint32_t size) {
    const size_t n = std::min<size_t>(size, text.size() - at);
    text.copy(buffer, n, at);
    at += n;
    return static_cast<int>(n);
  };
  ScriptOutline outline;
  ScriptFault fault;
  ASSERT_TRUE(readRejoinScript(
      source, outline, [](const std::wstring&) { return true; }, fault));
  EXPECT_EQ(outline.pieceCount, c.pieces.size());
}

INSTANTIATE_TEST_SUITE_P(
    Names, ScriptRoundTripTest,
    ::testing::Values(
        RoundTrip{"OnePiece", L"aaa.iso", pieceNames(L"aaa.iso", 1)},
        RoundTrip{"ThreePieces", L"aaa.iso", pieceNames(L"aaa.iso", 3)},
        RoundTrip{"LastOnTheFirstLine", L"aaa.iso", pieceNames(L"aaa.iso", 257)},
        RoundTrip{"FirstToBreak", L"aaa.iso", pieceNames(L"aaa.iso", 258)},
        RoundTrip{"ThousandPieces", L"aaa.iso", pieceNames(L"aaa.iso", 1000)},
        RoundTrip{"Blanks", L"my file .iso", pieceNames(L"my file .iso", 300)},
        RoundTrip{"Percents", L"100% %x%", pieceNames(L"100% %x%", 300)},
        RoundTrip{"SignsTheInterpreterKnows", L"a&b^c(d)!e", pieceNames(L"a&b^c(d)!e", 3)},
        RoundTrip{"NonAsciiInTheBmp", L"r\u00e9sum\u00e9 \u20ac\u4e2d",
                  pieceNames(L"r\u00e9sum\u00e9 \u20ac\u4e2d", 300)},
        RoundTrip{"OutsideTheBmp", L"\U0001F600\U0001D11E.bin",
                  pieceNames(L"\U0001F600\U0001D11E.bin", 400)},
        RoundTrip{"NamesAtTheCap", std::wstring(258, L'n'),
                  pieceNames(std::wstring(258, L'n'), 40)},
        RoundTrip{"NamesPastTheCap", std::wstring(300, L'n'),
                  pieceNames(std::wstring(300, L'n'), 40)},
        RoundTrip{"PercentsAtTheCap", std::wstring(255, L'%'),
                  pieceNames(std::wstring(255, L'%'), 40)},
        // A colon is a character of a name where it is no drive prefix.
        RoundTrip{"OtherNames",
                  L"target",
                  {L"first", L"second.part", L"-x", windowsPlatform() ? L"ab;c" : L"ab:c"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct Refusal {
  const char* name;
  std::string bytes;
  int line;
  std::wstring reason;
  bool windowsOnly = false;  // elsewhere the names are plain
};

void PrintTo(const Refusal& c, std::ostream* out) { *out << c.name; }

class ScriptRefusalTest : public ::testing::TestWithParam<Refusal> {};

TEST_P(ScriptRefusalTest, TellsTheLine) {
  if (GetParam().windowsOnly && !windowsPlatform())
    GTEST_SKIP() << "a plain file name here: only Windows reads it as a path";
  RejoinManifest manifest;
  ScriptFault fault;
  EXPECT_FALSE(readRejoinScript(GetParam().bytes, manifest, fault));
  EXPECT_EQ(fault.line, GetParam().line);
  EXPECT_TRUE(fault.reason == GetParam().reason)
      << std::string(fault.reason.begin(), fault.reason.end());
}

const std::string kChcp = "chcp 65001\r\n";
const std::wstring kNotPlain = L" is not a plain file name";
const std::wstring kBreaks = L"the copy lines break where the splitter does not break them";
// 258 pieces on one line, where the splitter breaks it before the last.
std::string unbrokenLine() {
  std::string line = "copy /b \"aaa.iso_1\"";
  for (int i = 2; i <= 258; ++i) line += " + \"aaa.iso_" + std::to_string(i) + "\"";
  return line + " \"aaa.iso\"\r\n";
}
const std::string kUnbroken = unbrokenLine();

INSTANTIATE_TEST_SUITE_P(
    Texts, ScriptRefusalTest,
    ::testing::Values(
        Refusal{"Empty", "", 1, L"\"chcp 65001\" expected"},
        Refusal{"OtherCodePage", "chcp 850\r\ncopy /b \"a_1\" \"a\"\r\n", 1,
                L"\"chcp 65001\" expected"},
        Refusal{"CodePageLineGoesOn", "chcp 65001 & del x\r\ncopy /b \"a_1\" \"a\"\r\n", 1,
                L"\"chcp 65001\" expected"},
        Refusal{"NoCopyLine", kChcp, 2, L"a copy line expected"},
        Refusal{"OtherCommand", kChcp + "del /q \"a_1\" \"a\"\r\n", 2, L"\"copy /b\" expected"},
        Refusal{"NoTarget", kChcp + "copy /b \"a_1\"\r\n", 2,
                L"the line ends without the name of the file to rebuild"},
        Refusal{"TextAfterTheTarget", kChcp + "copy /b \"a_1\" \"a\" & del x\r\n", 2,
                L"more text after the name of the file to rebuild"},
        Refusal{"CommandOnALineOfItsOwn", kChcp + "copy /b \"a_1\" \"a\"\r\ndel a_1\r\n", 3,
                L"\"copy /b\" expected"},
        Refusal{"UnclosedName", kChcp + "copy /b \"a_1\" \"a\r\n", 2,
                L"a name without its closing double quote"},
        Refusal{"TwoBlanks", kChcp + "copy /b  \"a_1\" \"a\"\r\n", 2,
                L"a blank and a name in double quotes expected"},
        Refusal{"SinglePercent", kChcp + "copy /b \"%PATH%_1\" \"a\"\r\n", 2,
                L"a single \"%\" in a name"},
        Refusal{"DotDot", kChcp + "copy /b \"a_1\" \"..\"\r\n", 2, L"\"..\"" + kNotPlain},
        Refusal{"Dot", kChcp + "copy /b \".\" \"a\"\r\n", 2, L"\".\"" + kNotPlain},
        Refusal{"EmptyName", kChcp + "copy /b \"\" \"a\"\r\n", 2, L"\"\"" + kNotPlain},
        Refusal{"Slash", kChcp + "copy /b \"a_1\" \"../a\"\r\n", 2, L"\"../a\"" + kNotPlain},
        Refusal{"Backslash", kChcp + "copy /b \"x\\a_1\" \"a\"\r\n", 2, L"\"x\\a_1\"" + kNotPlain,
                true},
        Refusal{"DrivePrefix", kChcp + "copy /b \"a_1\" \"C:a\"\r\n", 2, L"\"C:a\"" + kNotPlain,
                true},
        Refusal{"DeviceName", kChcp + "copy /b \"a_1\" \"NUL\"\r\n", 2, L"\"NUL\"" + kNotPlain,
                true},
        // The longest line there may be, its line end not counted: refused
        // for what it holds, not for its length.
        Refusal{"LineOfTheMostBytes", kChcp + "copy /b \"" + std::string(65536 - 9, 'a') + "\r\n",
                2, L"a name without its closing double quote"},
        Refusal{"LineTooLong", kChcp + "copy /b \"" + std::string(70000, 'a') + "\"", 2,
                L"a line longer than any the splitter writes"},
        Refusal{"ControlCharacter", kChcp + "copy /b \"a\t_1\" \"a\"\r\n", 2,
                L"\"a\t_1\"" + kNotPlain},
        Refusal{"StrayCarriageReturn", kChcp + "copy /b \"a_1\" \"a\"\r\r\n", 2,
                L"more text after the name of the file to rebuild"},
        Refusal{"NotUtf8", kChcp + "copy /b \"\xE9_1\" \"\xE9\"\r\n", 2, L"not UTF-8 text"},
        Refusal{"OtherTargetOnALaterLine",
                kChcp + "copy /b \"a_1\" \"a\"\r\ncopy /b \"b\" + \"a_2\"", 3,
                L"\"b\" where \"a\" was named before"},
        Refusal{"LaterLineWithoutPieces", kChcp + "copy /b \"a_1\" \"a\"\r\ncopy /b \"a\"", 3,
                L"\" +\" and a piece expected"},
        Refusal{"BrokenTooEarly", kChcp + "copy /b \"a_1\" \"a\"\r\ncopy /b \"a\" + \"a_2\"", 2,
                kBreaks},
        Refusal{"NotBrokenPastTheLimit", kChcp + kUnbroken, 2, kBreaks}),
    [](const auto& info) { return std::string(info.param.name); });

// One rule per platform: what the platform holds as a plain file, and the
// script can carry.
struct PlainName {
  std::wstring name;
  bool onPosix;
  bool onWindows;
};

TEST(ScriptReaderTest, PlainFileNames) {
  const PlainName kNames[] = {
      {L"a", true, true},
      {L".profile", true, true},
      {L"a b", true, true},
      {L"\u00e9", true, true},
      {L"1", true, true},
      {L"NULL", true, true},
      {L"COM10", true, true},
      {L"CONSOLE", true, true},
      {L"xNUL", true, true},
      {L"nul_1", true, true},
      {std::wstring(255, L'n'), true, true},
      {L"...", true, false},
      {L"ab:c", true, false},
      {L"x:y.iso", true, false},
      {L"a\\b", true, false},
      {L"c:", true, false},
      {L"Z:x", true, false},
      {L"NUL", true, false},
      {L"nul.txt", true, false},
      {L"CON", true, false},
      {L"com1", true, false},
      {L"COM0", true, false},
      {L"LPT9.tar.gz", true, false},
      {L"Lpt\u00b9", true, false},
      {L"COM\u00b3.x", true, false},
      {L"PRN", true, false},
      {L"aux", true, false},
      {L"CONIN$", true, false},
      {L"conout$.log", true, false},
      {L"NUL .txt", true, false},
      {L"out.", true, false},
      {L"out ", true, false},
      {L"a<b", true, false},
      {L"a>b", true, false},
      {L"a|b", true, false},
      {L"a?b", true, false},
      {L"a*b", true, false},
      {L"", false, false},
      {L".", false, false},
      {L"..", false, false},
      {L"a/b", false, false},
      {L"a\"b", false, false},
      {L"a\nb", false, false},
      {L"\x1b[2J", false, false},
      {std::wstring(1, L'\x7F'), false, false},
      {std::wstring(L"a\0b", 3), false, false},
  };
  for (const PlainName& row : kNames)
    EXPECT_EQ(isPlainFileName(row.name), windowsPlatform() ? row.onWindows : row.onPosix)
        << std::string(row.name.begin(), row.name.end());
}

}  // namespace
