// The shared helpers: checked narrowing and the widening of exception texts.
#include <gtest/gtest.h>

#include <cstdint>

#include "common/narrow_cast.h"
#include "common/to_wide.h"

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

}  // namespace
