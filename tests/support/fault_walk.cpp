#include "fault_walk.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>

#include "platform_facts.h"
#include "temp_dir.h"

namespace hooks = platform_test_hooks;

namespace fault_walk {
namespace {

// Far more calls than a clean run makes: a run past it loops.
constexpr unsigned kCallBudget = 400;

}  // namespace

bool seamPresent() {
  return hooks::injectFault({platform::FaultPoint::textConversion, 1000, 0, SIZE_MAX, {}});
}

std::vector<platform::FaultPoint> fileCallsAnd(const std::vector<platform::FaultPoint>& more) {
  using platform::FaultPoint;
  std::vector<FaultPoint> points{
      FaultPoint::open,       FaultPoint::read,     FaultPoint::write,         FaultPoint::close,
      FaultPoint::fileStatus, FaultPoint::fileSize, FaultPoint::folderCreation};
  points.insert(points.end(), more.begin(), more.end());
  return points;
}

Walk walkOnce(const std::vector<hooks::Fault>& faults,
              const std::vector<platform::FaultPoint>& points, const std::wstring& folder,
              const std::function<InProcessRun()>& tool) {
  hooks::resetFaults();
  for (const auto& fault : faults) hooks::injectFault(fault);
  hooks::setCallBudget(kCallBudget);
  Walk result;
  result.run = tool();
  result.ended = !hooks::callBudgetExceeded();
  for (const platform::FaultPoint point : points) result.calls.push_back(hooks::faultCalls(point));
  hooks::resetFaults();
  result.files = snapshot(folder);
  return result;
}

void forEachCall(const std::vector<unsigned>& calls,
                 const std::function<void(size_t, unsigned)>& each) {
  for (size_t p = 0; p < calls.size(); ++p) {
    for (unsigned call = 1; call <= calls[p]; ++call) {
      SCOPED_TRACE("point " + std::to_string(p) + ", call " + std::to_string(call));
      each(p, call);
    }
  }
}

bool mustBeRiddenOut(platform::FaultPoint point, unsigned call, unsigned calls) {
  using platform::FaultPoint;
  if (point == FaultPoint::cacheQuery) return true;
  return point == FaultPoint::mediumWrites && (call < calls || windowsPlatform());
}

const char* nameOf(Naming naming) {
  return naming == Naming::own ? "Own" : naming == Naming::renamed ? "Renamed" : "Reserved";
}

void PrintTo(Naming naming, std::ostream* out) { *out << nameOf(naming); }

bool takeNaming(Naming naming) {
  using platform::FaultPoint;
  if (windowsPlatform()) return naming == Naming::own;
  if (naming != Naming::own)
    hooks::injectFault({FaultPoint::pendingCreation, 1, EOPNOTSUPP, SIZE_MAX, {}});
  if (naming == Naming::reserved) hooks::injectFault({FaultPoint::rename, 1, EPERM, SIZE_MAX, {}});
  return true;
}

bool startsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

}  // namespace fault_walk
