// The one UTF-8 codec: every well-formed sequence read back to its
// character and written again byte for byte; every ill-formed one refused.
#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace {

struct Sequence {
  const char* name;
  std::string bytes;
  bool wellFormed;
  std::u32string characters;  // when well-formed
};

// The wide text of `characters`: UTF-16 where wchar_t has 16 bits.
std::wstring wideOf(const std::u32string& characters) {
  std::wstring wide;
  for (const char32_t c : characters) {
    if (sizeof(wchar_t) == 2 && c > 0xFFFF) {
      wide.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
      wide.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      wide.push_back(static_cast<wchar_t>(c));
    }
  }
  return wide;
}

const Sequence kSequences[] = {
    {"Empty", "", true, U""},
    {"Ascii", "a/b", true, U"a/b"},
    {"LowestOfEachLength",
     std::string("\0\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80", 10),
     true,
     {0, 0x80, 0x800, 0x10000}},
    {"HighestOfEachLength",
     "\x7F\xDF\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF",
     true,
     {0x7F, 0x7FF, 0xFFFF, 0x10FFFF}},
    {"AroundTheSurrogates", "\xED\x9F\xBF\xEE\x80\x80", true, {0xD7FF, 0xE000}},
    {"OverlongTwoBytes", "\xC0\xAF", false, U""},
    {"OverlongTwoBytesC1", "\xC1\xBF", false, U""},
    {"OverlongSlashInThreeBytes", "\xE0\x80\xAF", false, U""},
    {"OverlongThreeBytesHighest", "\xE0\x9F\xBF", false, U""},
    {"OverlongFourBytes", "\xF0\x8F\xBF\xBF", false, U""},
    {"HighSurrogate", "\xED\xA0\x80", false, U""},
    {"LowSurrogate", "\xED\xBF\xBF", false, U""},
    {"PastTheLastCharacter", "\xF4\x90\x80\x80", false, U""},
    {"LeadPastF4", "\xF5\x80\x80\x80", false, U""},
    {"FiveByteForm", "\xF8\x88\x80\x80\x80", false, U""},
    {"StrayContinuation", "a\x80", false, U""},
    {"LeadWithoutContinuation",
     "\xC3"
     "a",
     false, U""},
    {"FF", "\xFF", false, U""},
    {"TwoBytesCutAtTheEnd", "a\xC3", false, U""},
    {"ThreeBytesCutAtTheEnd", "\xE2\x82", false, U""},
    {"FourBytesCutAtTheEnd", "\xF0\x9F\x98", false, U""},
};

void PrintTo(const Sequence& c, std::ostream* out) { *out << c.name; }

class Utf8Test : public ::testing::TestWithParam<Sequence> {};

TEST_P(Utf8Test, ReadsOnlyWellFormedTextAndWritesItBack) {
  const Sequence& c = GetParam();
  // Counted input: what follows the counted bytes must not complete them.
  const std::string counted = c.bytes + "\x80\x80\x80";
  std::wstring wide;
  EXPECT_EQ(utf8::decode(counted.data(), c.bytes.size(), wide), c.wellFormed);
  if (!c.wellFormed) return;
  EXPECT_TRUE(wide == wideOf(c.characters));
  EXPECT_EQ(utf8::encode(wide.data(), wide.size()), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(Sequences, Utf8Test, ::testing::ValuesIn(kSequences),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Utf8EncodeTest, WhatIsNoCharacterBecomesTheReplacementCharacter) {
  const std::wstring lone{L'a', static_cast<wchar_t>(0xD800), L'b', static_cast<wchar_t>(0xDC80)};
  EXPECT_EQ(utf8::encode(lone.data(), lone.size()),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
  std::string out;
  EXPECT_FALSE(utf8::appendCharacter(out, 0x110000));
  EXPECT_FALSE(utf8::appendCharacter(out, 0xDFFF));
  EXPECT_EQ(out, "");
}

}  // namespace
