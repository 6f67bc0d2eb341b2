// The shared helpers: checked narrowing and the widening of exception texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "common/narrow_cast.h"
#include "platform/platform.h"
#include "platform/to_wide.h"
#include "platform_facts.h"

namespace {

TEST(NarrowCastTest, KeepsValuesThatFitAndRefusesOthers) {
  EXPECT_EQ(narrow_cast<uint32_t>(uint64_t{1048576}), 1048576u);
  EXPECT_EQ(narrow_cast<uint32_t>(uint64_t{UINT32_MAX}), UINT32_MAX);
  EXPECT_EQ(narrow_cast<int32_t>(int64_t{-5}), -5);
  for (auto bad : {uint64_t{UINT32_MAX} + 1, uint64_t{1} << 40}) {
    try {
      narrow_cast<uint32_t>(bad);
      ADD_FAILURE() << bad;
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "narrow_cast<>() failed");
    }
  }
  EXPECT_THROW(narrow_cast<uint32_t>(int64_t{-1}), std::runtime_error);
  EXPECT_THROW(narrow_cast<int32_t>(uint32_t{0x80000000u}), std::runtime_error);
}

TEST(ToWideTest, WidensUpToTheFirstNul) {
  EXPECT_EQ(toWide("filesystem error: status"), L"filesystem error: status");
  EXPECT_EQ(toWide(""), L"");
  const char withNul[] = "ab\0cd";
  EXPECT_EQ(toWide(withNul), L"ab");
}

TEST(ToWideTest, PrintableTextNeverThrows) {
  EXPECT_EQ(printableText("Output File exist."), L"Output File exist.");
  EXPECT_EQ(printableText(""), L"Unknown exception");
  EXPECT_EQ(printableText(nullptr), L"Unknown exception");
}

// Where file names are bytes, a name read from the system and given back to
// it is the same name, whatever its bytes; a text that no name decodes to
// names no file rather than another one.
TEST(NativePathTest, EveryByteNameComesBackExactly) {
  if (windowsPlatform()) GTEST_SKIP() << "file names are UTF-16 text here, not bytes";
  std::vector<std::string> names{"plain",        "r\xC3\xA9sum\xC3\xA9", "\xF0\x9D\x84\x9E",
                                 "caf\xE9",      "end\xE2\x82",          "s\xED\xB2\x80",
                                 "a\xC0\xAF",    "\xF4\x90\x80\x80",     "\xC3\xC3\xA9\xA9",
                                 "dir\xFF/x\xFE"};
  for (int byte = 1; byte < 256; ++byte) names.push_back(std::string(1, static_cast<char>(byte)));
  for (const std::string& name : names) {
    const std::wstring wide = platform::widePath(std::filesystem::path(name));
    EXPECT_EQ(platform::nativePath(wide).string(), name);
  }
  EXPECT_EQ(platform::widePath(std::filesystem::path("a\xE9/b")), L"a\xDCE9/b");
}

TEST(NativePathTest, TextThatNoNameDecodesToNamesNoFile) {
  if (windowsPlatform()) GTEST_SKIP() << "file names are UTF-16 text here, not bytes";
  // Escapes of C3 and A9 would make "\u00e9", the name of another file.
  for (const std::wstring text : {L"caf\xDCC3\xDCA9", L"bad\xD800", L"low\xDC41"})
    EXPECT_THROW(platform::nativePath(text), std::filesystem::filesystem_error);
}

}  // namespace
