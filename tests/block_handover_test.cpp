// The block loop's meeting point alone, its two sides on two threads: many
// blocks through a small ring, copy after copy, one of them failed. A side
// left waiting for a notify that never came fails the test within seconds.
#include "transfer/block_handover.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <functional>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using Work = transfer::BlockHandover::Work;

// Runs `work`; should it not return within `limit`, ends the test program
// with a line saying so: threads waiting on each other cannot be joined,
// and the suite's timeout would take minutes.
void runWithDeadline(std::chrono::seconds limit, const std::function<void()>& work) {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> lock(mutex);
    if (ended.wait_for(lock, limit, [&] { return done; })) return;
    std::cerr << "FAILED: still waiting after " << limit.count() << " s: a side waits for a notify"
              << std::endl;
    std::_Exit(1);
  });
  work();
  {
    const std::lock_guard<std::mutex> lock(mutex);
    done = true;
  }
  ended.notify_one();
  watchdog.join();
}

constexpr uint32_t kBlocks = 200;  // a copy's blocks, through a ring of 2
constexpr uint32_t kFailingBlock = 7;

TEST(BlockHandoverTest, BothSidesGoOnToTheEnd) {
  runWithDeadline(std::chrono::seconds(10), [] {
    transfer::BlockHandover handover(2);
    std::vector<uint32_t> written;  // the writer's, each block's count
    std::thread writer([&] {
      size_t slot = 0;
      uint32_t count = 0;
      for (Work work; (work = handover.awaitWork(slot, count)) != Work::stop;) {
        if (work == Work::block) written.push_back(count);
        // The second copy's write of its 7th block fails.
        const bool fails = work == Work::block && written.size() == kBlocks + kFailingBlock;
        handover.done(fails ? std::make_exception_ptr(std::runtime_error("full")) : nullptr);
      }
    });
    std::vector<uint32_t> handed;  // per copy, the blocks the reader handed over
    for (int copy = 0; copy < 3; ++copy) {
      handed.push_back(0);
      size_t slot = 0;
      for (uint32_t block = 1; block <= kBlocks && handover.awaitFreeSlot(slot); ++block) {
        handover.handOver(block);
        ++handed.back();
      }
      EXPECT_EQ(handover.endCopy() != nullptr, copy == 1) << "copy " << copy;
    }
    handover.stop();
    writer.join();
    EXPECT_EQ(handed[0], kBlocks);
    EXPECT_LT(handed[1], kBlocks) << "the reader was not stopped by the failure";
    EXPECT_EQ(handed[2], kBlocks);
    EXPECT_EQ(written.size(), 2 * kBlocks + kFailingBlock);
  });
}

}  // namespace
