// The scaffold both fault walks stand on (the split's, tests/fault_walk_test.cpp;
// the join's, tests/join_fault_walk_test.cpp): one run in-process with faults
// planned and a budget of calls, what it did and left, and every call of a
// clean run failed in turn.
#pragma once

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "in_process.h"
#include "platform/test_hooks.h"

namespace fault_walk {

/// Whether this build has the fault seam; a walk skips without it.
bool seamPresent();

/// The points of the file calls both tools make (open, read, write, close,
/// the status and size queries, folder creation), then `more`: a walk's
/// points, in the order its calls are counted.
std::vector<platform::FaultPoint> fileCallsAnd(const std::vector<platform::FaultPoint>& more);

/// What one run did with faults planned.
struct Walk {
  InProcessRun run;
  std::map<std::string, std::string> files;  // in the folder afterwards (snapshot)
  bool ended = false;                        // by itself, within the budget of calls
  std::vector<unsigned> calls;               // at each point walked, in their order
};

/// Plans `faults` (the seam reset first), lets a budget of calls through,
/// runs `tool`, and records what it did: the calls at each of `points`, and
/// the files in `folder` after it. The seam is reset afterwards.
Walk walkOnce(const std::vector<platform_test_hooks::Fault>& faults,
              const std::vector<platform::FaultPoint>& points, const std::wstring& folder,
              const std::function<InProcessRun()>& tool);

/// Calls `each(p, call)` for each call, 1 to `calls[p]`, of each point p,
/// under a trace naming both.
void forEachCall(const std::vector<unsigned>& calls,
                 const std::function<void(size_t, unsigned)>& each);

/// Whether the failure of `call` (of `calls` in a clean run) at `point`
/// leaves a run that ends as a clean one: a refused way past the cache,
/// which leaves the way through it. Only the last turn of writes back
/// through the cache, for a tail that fills no sector, may fail the run
/// (not on Windows, whose only such call is the creation of the rebuilt
/// file).
bool mustBeRiddenOut(platform::FaultPoint point, unsigned call, unsigned calls);

/// The ways a join's rebuilt file gets its name: the platform's own (Linux:
/// linked from no name; Windows: a temporary name renamed), a temporary
/// name renamed without replacing (vfat), or the final name reserved by an
/// empty file first (FAT and exFAT under FUSE, which neither rename without
/// replacing nor link).
enum class Naming { own, renamed, reserved };

/// "Own", "Renamed" or "Reserved", for test names.
const char* nameOf(Naming naming);
void PrintTo(Naming naming, std::ostream* out);

/// Plans the faults that make the next join take `naming`; false where this
/// platform has no such way (Windows has only its own).
bool takeNaming(Naming naming);

/// Whether `text` begins with `start`.
bool startsWith(const std::string& text, const std::string& start);

}  // namespace fault_walk
