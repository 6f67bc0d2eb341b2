// The block loop's meeting point alone, its three sides on three threads:
// many blocks and actions through a small ring, a hash or a write failing.
// A side left waiting for a notify that never came fails the test within
// seconds.
#include "transfer/block_handover.h"

#include <gtest/gtest.h>

#include <chrono>
#include <exception>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "deadline.h"

namespace {

using Work = transfer::BlockHandover::Work;

constexpr uint32_t kBlocks = 600;  // through a ring of 2, an action after every 100
constexpr uint32_t kFailingBlock = 207;

enum class Failing { none, hash, write };

class HandoverSidesTest : public ::testing::Test {
 protected:
  Deadline deadline_{std::chrono::seconds(10)};
};

class BlockHandoverTest : public HandoverSidesTest,
                          public ::testing::WithParamInterface<Failing> {};

TEST_P(BlockHandoverTest, EverySideGoesOnToTheEnd) {
  const Failing failing = GetParam();
  transfer::BlockHandover handover(2);
  std::vector<uint32_t> hashed;   // the hasher's, each block's count
  std::vector<uint32_t> written;  // the writer's, each block's count; 0 for an action
  std::thread hasher([&] {
    size_t slot = 0;
    uint32_t count = 0;
    while (handover.awaitBlockToHash(slot, count)) {
      hashed.push_back(count);
      if (failing == Failing::hash && count == kFailingBlock)
        handover.hashed(std::make_exception_ptr(std::runtime_error("hash")));
      else
        handover.hashed();
    }
  });
  std::thread writer([&] {
    for (;;) {
      transfer::BlockHandover::Taken taken;
      const Work work = handover.awaitWork(taken);
      if (work == Work::stop) break;
      const uint32_t count = taken.count;
      std::exception_ptr failure;
      try {
        if (work == Work::failedHash) std::rethrow_exception(taken.hashFailure);
        if (work == Work::action) taken.action();
        if (work == Work::block && count != written.size() + 1 - written.size() / 101)
          failure = std::make_exception_ptr(std::runtime_error("out of order"));
        written.push_back(work == Work::block ? count : 0);
        if (failing == Failing::write && count == kFailingBlock) throw std::runtime_error("write");
      } catch (...) {
        failure = std::current_exception();
      }
      handover.done(failure);
    }
  });
  uint32_t handed = 0;
  size_t slot = 0;
  while (handed < kBlocks && handover.awaitFreeSlot(slot)) {
    handover.handOverBlock(++handed);
    if (handed % 100 == 0) handover.handOverAction([] {});
  }
  const std::exception_ptr failure = handover.awaitWritten();
  handover.stop();
  hasher.join();
  writer.join();
  if (failing == Failing::none) {
    EXPECT_FALSE(failure);
    EXPECT_EQ(written.size(), kBlocks + kBlocks / 100);
    EXPECT_EQ(hashed.size(), kBlocks);
    return;
  }
  ASSERT_TRUE(failure);
  try {
    std::rethrow_exception(failure);
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), failing == Failing::hash ? "hash" : "write");
  }
  EXPECT_LT(handed, kBlocks) << "the reader was not stopped by the failure";
  // Every step before the failing block, and it too when it was written.
  EXPECT_EQ(written.size(), kFailingBlock + 2 - (failing == Failing::hash ? 1 : 0));
  EXPECT_LE(hashed.back(), kFailingBlock + (failing == Failing::write ? 2 : 0))
      << "hashed far past a failure";
}

INSTANTIATE_TEST_SUITE_P(Failures, BlockHandoverTest,
                         ::testing::Values(Failing::none, Failing::hash, Failing::write));

// A block the hasher holds while a failed write drops it, its hash failing
// too: the late hash changes nothing (a step dropped is neither changed nor
// kept; the hasher's position is past it). One thread calls the sides in
// that order: the block loop's table has no call to hold the hasher on
// until the drop, which the writer makes making none.
TEST_F(HandoverSidesTest, BlockDroppedWhileHashedIsLeftAlone) {
  const auto token = std::make_shared<int>(0);  // held by the hash's failure
  struct TokenFailure {
    std::shared_ptr<int> token;
  };
  {
    transfer::BlockHandover handover(4);
    size_t slot = 0;
    uint32_t count = 0;
    transfer::BlockHandover::Taken taken;
    for (uint32_t block = 1; block <= 3; ++block) {
      ASSERT_TRUE(handover.awaitFreeSlot(slot));
      handover.handOverBlock(block);
    }
    ASSERT_TRUE(handover.awaitBlockToHash(slot, count));
    handover.hashed();
    ASSERT_TRUE(handover.awaitBlockToHash(slot, count));  // block 2, held
    ASSERT_EQ(handover.awaitWork(taken), Work::block);
    handover.done(std::make_exception_ptr(std::runtime_error("write")));
    handover.stop();
    ASSERT_EQ(handover.awaitWork(taken), Work::stop) << "blocks 2 and 3 not dropped";
    handover.hashed(std::make_exception_ptr(TokenFailure{token}));
    EXPECT_FALSE(handover.awaitBlockToHash(slot, count));
    EXPECT_EQ(handover.awaitWork(taken), Work::stop);
    const std::exception_ptr failure = handover.awaitWritten();
    ASSERT_TRUE(failure);
    try {
      std::rethrow_exception(failure);
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "write");
    }
  }
  EXPECT_EQ(token.use_count(), 1) << "the dropped block's failure was kept";
}

}  // namespace
