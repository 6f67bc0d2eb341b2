// Threads of the tools' own, started where a failure to start one is told
// in words rather than ending the process.
#pragma once

#include <functional>
#include <stdexcept>
#include <thread>

namespace platform {

/// A thread could not be started (a process or memory limit): the errno
/// value the system gave for it.
class ThreadStartFailure : public std::runtime_error {
 public:
  explicit ThreadStartFailure(int error);
  int error() const { return error_; }

 private:
  int error_;
};

/// Starts a thread running `body`, through the fault seam. Throws
/// ThreadStartFailure when the system cannot start one.
std::thread startThread(std::function<void()> body);

}  // namespace platform
