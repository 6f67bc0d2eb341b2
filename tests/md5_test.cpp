// The MD5 digest through the platform's provider.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "hash/md5_cng.h"
#include "platform/test_hooks.h"
#include "temp_dir.h"

namespace {

// Digest of `bytes` fed in blocks of `block` bytes (0: one call).
std::string digestOf(const std::string& bytes, size_t block) {
  std::unique_ptr<HASH_IF> hash(new MD5CNG);
  EXPECT_TRUE(hash->init());
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  if (block == 0) block = bytes.size() + 1;
  for (size_t at = 0; at < bytes.size(); at += block)
    hash->update(data + at, static_cast<uint32_t>(std::min(block, bytes.size() - at)));
  EXPECT_TRUE(hash->finalize());
  EXPECT_TRUE(hash->close());
  char text[33];
  std::memset(text, 'z', sizeof text);
  EXPECT_TRUE(hash->hexDigest(text, sizeof text));
  EXPECT_EQ(text[32], '\0');
  return std::string(text);
}

struct DigestCase {
  const char* name;
  std::string input;
  std::string expected;
};

void PrintTo(const DigestCase& c, std::ostream* out) { *out << c.name; }

class Md5Test : public ::testing::TestWithParam<DigestCase> {};

TEST_P(Md5Test, KnownDigestsInAnyBlockSize) {
  const DigestCase& c = GetParam();
  for (size_t block : {0, 1, 3, 64, 65, 1000})
    EXPECT_EQ(digestOf(c.input, block), c.expected) << "block " << block;
}

// RFC 1321's test suite, and a longer input checked with md5sum.
INSTANTIATE_TEST_SUITE_P(
    Rfc1321, Md5Test,
    ::testing::Values(
        DigestCase{"Empty", "", "d41d8cd98f00b204e9800998ecf8427e"},
        DigestCase{"A", "a", "0cc175b9c0f1b6a831c399e269772661"},
        DigestCase{"Abc", "abc", "900150983cd24fb0d6963f7d28e17f72"},
        DigestCase{"Alphabet", "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        DigestCase{
            "Digits",
            "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
            "57edf4a22be3c955ac49da2e2107b67a"},
        DigestCase{"Pattern", patternBytes(100000, 7), "c37031fd97bfd0823e9c9c11b6c1e023"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Md5CngTest, HexDigestBeforeCloseIsZeros) {
  MD5CNG hash;
  char text[33];
  ASSERT_TRUE(hash.init());
  EXPECT_TRUE(hash.hexDigest(text, sizeof text));
  EXPECT_EQ(std::string(text), std::string(32, '0'));
}

TEST(Md5CngTest, DeletedWithoutCloseReleasesEverything) {
  // Left early by an exception, or after a failed init: no leak, no crash
  // (the sanitizer builds check the former).
  std::unique_ptr<HASH_IF> ready(new MD5CNG);
  ASSERT_TRUE(ready->init());
  const unsigned char byte = 1;
  ready->update(&byte, 1);
  ready.reset();
  std::unique_ptr<HASH_IF> unused(new MD5CNG);
}

TEST(Md5CngTest, OtherDigestLengthFailsInit) {
  if (!platform_test_hooks::fakeDigestLength(20)) GTEST_SKIP() << "provider cannot be faked here";
  MD5CNG hash;
  EXPECT_FALSE(hash.init());
  platform_test_hooks::fakeDigestLength(0);
}

}  // namespace
