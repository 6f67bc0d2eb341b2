// The MD5 digest through the platform's provider.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "common/job_failure.h"
#include "hash/checked_digest.h"
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

TEST_P(Md5Test, KnownDigestsThroughTheCheckedDigest) {
  const DigestCase& c = GetParam();
  CheckedDigest digest(L"in.bin");
  const auto* data = reinterpret_cast<const unsigned char*>(c.input.data());
  for (size_t at = 0; at < c.input.size(); at += 7)
    digest.add(data + at, static_cast<uint32_t>(std::min<size_t>(7, c.input.size() - at)));
  EXPECT_EQ(digest.finish(), c.expected);
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

// The digest is taken when the hash is closed: before, no digest of the
// bytes so far is given out as if it were the whole one.
TEST(Md5CngTest, DigestIsTakenAtCloseNotBefore) {
  MD5CNG hash;
  char text[33];
  ASSERT_TRUE(hash.init());
  const unsigned char abc[] = {'a', 'b', 'c'};
  EXPECT_TRUE(hash.update(abc, 3));
  ASSERT_TRUE(hash.finalize());
  EXPECT_TRUE(hash.hexDigest(text, sizeof text));
  EXPECT_EQ(std::string(text), std::string(32, '0'));
  ASSERT_TRUE(hash.close());
  EXPECT_TRUE(hash.hexDigest(text, sizeof text));
  EXPECT_EQ(std::string(text), "900150983cd24fb0d6963f7d28e17f72");
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

TEST(Md5CngTest, HexDigestRefusesABufferTooSmall) {
  MD5CNG hash;
  char text[33];
  std::memset(text, 'z', sizeof text);
  ASSERT_TRUE(hash.init());
  EXPECT_FALSE(hash.hexDigest(text, 32));
  EXPECT_EQ(std::string(text, sizeof text), std::string(33, 'z')) << "nothing written";
}

TEST(Md5CngTest, OtherDigestLengthFailsInit) {
  if (!platform_test_hooks::fakeDigestLength(20)) GTEST_SKIP() << "provider cannot be faked here";
  MD5CNG hash;
  EXPECT_FALSE(hash.init());
  platform_test_hooks::fakeDigestLength(0);
}

// ---- The checked digest over a hash that fails where told ---------------------

enum class Operation { none, init, update, finalize, close, hexDigest };

// A hash whose operation `failing` returns false, and whose text, `text`,
// can only be had once it was closed.
class FakeHash : public HASH_IF {
 public:
  FakeHash(Operation failing, std::string text) : failing_(failing), text_(std::move(text)) {}
  bool init() override { return failing_ != Operation::init; }
  bool update(const unsigned char*, uint32_t) override { return failing_ != Operation::update; }
  bool finalize() override { return failing_ != Operation::finalize; }
  bool close() override {
    closed_ = true;
    return failing_ != Operation::close;
  }
  // Failing, it still writes the text: only its result tells the failure.
  bool hexDigest(char* buffer, int size) override {
    if (!closed_ || size < 33) return false;
    std::memcpy(buffer, text_.c_str(), std::min(text_.size() + 1, static_cast<size_t>(size)));
    return failing_ != Operation::hexDigest;
  }

 private:
  Operation failing_;
  std::string text_;
  bool closed_ = false;
};

// What a job asks of the digest after it was finished: nothing, or a misuse.
enum class Afterwards { nothing, add, finish };

struct CheckedCase {
  const char* name;
  Operation failing;
  std::string text;    // what the hash renders
  std::string reason;  // empty: the digest is the text
  Afterwards afterwards = Afterwards::nothing;
};

void PrintTo(const CheckedCase& c, std::ostream* out) { *out << c.name; }

class CheckedDigestTest : public ::testing::TestWithParam<CheckedCase> {};

const std::string kDigits = "0123456789abcdef0123456789abcdef";

TEST_P(CheckedDigestTest, GivesTheTextOnlyOfAFinishedHash) {
  const CheckedCase& c = GetParam();
  std::wstring line;
  std::string text;
  try {
    CheckedDigest digest(L"dir/in.bin", std::make_unique<FakeHash>(c.failing, c.text));
    const unsigned char block[4] = {1, 2, 3, 4};
    digest.add(block, sizeof block);
    digest.add(block, sizeof block);
    const std::string finished = digest.finish();
    if (c.afterwards == Afterwards::add) digest.add(block, sizeof block);
    if (c.afterwards == Afterwards::finish) (void)digest.finish();
    text = finished;
  } catch (const JobFailure& failure) {
    line = failure.line();
  }
  if (c.reason.empty()) {
    EXPECT_EQ(line, L"");
    EXPECT_EQ(text, c.text);
  } else {
    EXPECT_EQ(line, L"Cannot compute the digest of \"dir/in.bin\": " +
                        std::wstring(c.reason.begin(), c.reason.end()));
    EXPECT_EQ(text, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, CheckedDigestTest,
    ::testing::Values(
        CheckedCase{"Succeeds", Operation::none, kDigits, ""},
        CheckedCase{"InitFails", Operation::init, kDigits, "the MD5 provider is not available"},
        CheckedCase{"UpdateFails", Operation::update, kDigits, "a block could not be hashed"},
        CheckedCase{"FinalizeFails", Operation::finalize, kDigits,
                    "the hash could not be finished"},
        CheckedCase{"CloseFails", Operation::close, kDigits, "the hash could not be finished"},
        CheckedCase{"HexDigestFails", Operation::hexDigest, kDigits,
                    "the digest could not be written as 32 hexadecimal digits"},
        CheckedCase{"UpperCaseDigits", Operation::none, "0123456789ABCDEF0123456789abcdef",
                    "the digest could not be written as 32 hexadecimal digits"},
        CheckedCase{"ShortText", Operation::none, kDigits.substr(1),
                    "the digest could not be written as 32 hexadecimal digits"},
        CheckedCase{"LongText", Operation::none, kDigits + "0",
                    "the digest could not be written as 32 hexadecimal digits"},
        CheckedCase{"AddAfterFinish", Operation::none, kDigits, "a block could not be hashed",
                    Afterwards::add},
        CheckedCase{"FinishedTwice", Operation::none, kDigits, "the hash was finished already",
                    Afterwards::finish}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
