#include "deadline.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

Deadline::Deadline(std::chrono::seconds limit) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test != nullptr ? std::string(test->test_suite_name()) + "." + test->name()
                                     : std::string("the test");
  watchdog_ = std::thread([this, limit, name = std::move(name)] {
    std::unique_lock<std::mutex> lock(mutex_);
    if (ended_.wait_for(lock, limit, [this] { return done_; })) return;
    std::cerr << "FAILED: " << name << " still waits after " << limit.count()
              << " s: a thread waits for a notify that never came" << std::endl;
    std::_Exit(EXIT_FAILURE);
  });
}

Deadline::~Deadline() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  ended_.notify_one();
  watchdog_.join();
}
