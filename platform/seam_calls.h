// System calls as the fault seam of a test build may have planned them,
// shared by each platform's side. In a normal build the seam always says
// "go ahead", and what remains is the calls' own retry and completion rules.
#pragma once

#include <cerrno>
#include <cstddef>
#include <system_error>

#include "platform/platform.h"

namespace seam_calls {

/// Asks the seam whether the file-system query or folder creation at
/// `point` goes ahead; where it planned a failure, false with its errno in
/// `error` (generic category), as those calls report a failure.
inline bool queryGoesAhead(platform::FaultPoint point, std::error_code& error) {
  if (platform::goAhead(point)) return true;
  error = std::error_code(errno, std::generic_category());
  return false;
}

/// The status a call of the MD5 provider returns for the planned failure
/// `error` (errno as platform::goAhead left it): a planned value that is no
/// failure status, such as an errno value, becomes STATUS_UNSUCCESSFUL, so
/// that a planned failure never reads as success.
inline NTSTATUS statusOf(int error) {
  constexpr NTSTATUS kUnsuccessful = static_cast<NTSTATUS>(0xC0000001u);
  return error < 0 ? static_cast<NTSTATUS>(error) : kUnsuccessful;
}

/// Releases through `rawRelease()` (a hash or a provider) and then answers
/// with the status the seam planned, if any: a planned failure still
/// releases, as nothing could ever release it later.
template <typename RawRelease>
NTSTATUS release(platform::FaultPoint point, RawRelease rawRelease) {
  const bool planned = !platform::goAhead(point);
  const int error = errno;
  const NTSTATUS status = rawRelease();
  return planned ? statusOf(error) : status;
}

/// Writes all `count` bytes of `buffer` through `rawWrite(bytes, n)`, which
/// returns the count it wrote or -1 with errno set; interrupted calls are
/// retried. Returns `count`, or -1 (errno set) at the first failure or at a
/// call that makes no progress (EIO), part perhaps written.
template <typename RawWrite>
long long writeAll(const void* buffer, size_t count, RawWrite rawWrite) {
  const char* next = static_cast<const char*>(buffer);
  size_t left = count;
  while (left > 0) {
    size_t asked = left;
    const long long n =
        platform::goAhead(platform::FaultPoint::write, asked) ? rawWrite(next, asked) : -1;
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) {  // no progress and no reason: do not spin
      errno = EIO;
      return -1;
    }
    next += n;
    left -= static_cast<size_t>(n);
  }
  return static_cast<long long>(count);
}

/// What a call that moves whole sectors of `sector` bytes asks for when the
/// seam allowed it `allowed` bytes (at least a sector's worth being left): a
/// planned shorter call stays whole sectors, at least one, as such a call
/// moves nothing else; a call allowed nothing moves nothing, as any call.
inline size_t wholeSectors(size_t allowed, size_t sector) {
  if (allowed == 0) return 0;
  const size_t whole = allowed / sector * sector;
  return whole > 0 ? whole : sector;
}

/// Closes through `rawClose()`. The descriptor is released even when the
/// seam plans a failure, as a failed close releases it on every platform.
template <typename RawClose>
int close(RawClose rawClose) {
  const bool planned = !platform::goAhead(platform::FaultPoint::close);
  const int error = errno;
  const int result = rawClose();
  if (!planned) return result;
  errno = error;
  return -1;
}

}  // namespace seam_calls
