#include "platform/threads.h"

#include <cerrno>
#include <system_error>
#include <utility>

#include "platform/fault_point.h"

namespace platform {

ThreadStartFailure::ThreadStartFailure(int error)
    : std::runtime_error("Cannot start a thread"), error_(error) {}

std::thread startThread(std::function<void()> body) {
  if (!goAhead(FaultPoint::threadStart)) throw ThreadStartFailure(errno);
  try {
    return std::thread(std::move(body));
  } catch (const std::system_error& error) {
    throw ThreadStartFailure(error.code().value());
  }
}

}  // namespace platform
