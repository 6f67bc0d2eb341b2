// A watchdog for a test whose threads wait on each other: a notify that never
// comes leaves them waiting, and no thread can be joined then.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

/// Ends the test program with a line naming the running test, failed, should
/// the object live longer than `limit`: seconds, where the suite's own time
/// limit would take minutes. A fixture holds one as a member.
class Deadline {
 public:
  explicit Deadline(std::chrono::seconds limit);
  /// Disarms the watchdog and joins it.
  ~Deadline();
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  bool done_ = false;
  std::thread watchdog_;
};
