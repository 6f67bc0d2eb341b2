// The rows of the split's fault table (tests/fault_table_test.cpp): a split
// of a 3 MiB + 5 input into 1 MiB pieces in "out", with one planned fault
// (or change) each, and what the run must print and leave.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "platform/test_hooks.h"
#include "test_sizes.h"

namespace split_fault_rows {

using platform::FaultPoint;
namespace hooks = platform_test_hooks;

constexpr uint64_t kInputSize = 3 * kMiB + 5;
constexpr int64_t kScriptSize = 80;
constexpr int64_t kNone = -1;
constexpr uint64_t kFolder = UINT64_MAX;  // what listing() gives a folder
constexpr int kNoUnicodeTranslation = 1113;
// NTSTATUS values, for the MD5 provider's calls.
constexpr int kStatusNotFound = static_cast<int32_t>(0xC0000225u);
constexpr int kStatusNoMemory = static_cast<int32_t>(0xC0000017u);
constexpr int kStatusInvalidHandle = static_cast<int32_t>(0xC0000008u);

/// The files of the folder the split runs in, by name, with their sizes.
using Files = std::map<std::string, uint64_t>;

/// The input and the output folder holding the script of `scriptSize`
/// (kNone: none), pieces of `pieceSizes` and a digest of `digestSize`.
Files left(std::vector<uint64_t> pieceSizes, int64_t digestSize = kNone,
           int64_t scriptSize = kScriptSize);

extern const Files kInputOnly;
extern const Files kFolderOnly;
extern const std::vector<uint64_t> kAllPieces;
extern const Files kComplete;

/// The full pieces before piece `number` and that piece with `bytes`.
std::vector<uint64_t> upTo(unsigned number, uint64_t bytes);

/// "piece 2": how the calls of a clean run and the rows name piece `number`.
std::string piece(unsigned number);
/// "block 2", likewise.
std::string block(unsigned number);
/// "out/in.bin_2": the path of piece `number`.
std::string pieceName(unsigned number);

/// What each call of a clean run acts on, in call order, at each point.
const std::map<FaultPoint, std::vector<std::string>>& cleanRunCalls();

/// What callAt gives for a call the clean run does not make: past every call.
constexpr unsigned kNoSuchCall = 1000000;

/// The number of the clean run's call at `point` that acts on `what`;
/// kNoSuchCall when there is none.
unsigned callAt(FaultPoint point, const std::string& what);

/// The call at `point` acting on `what` fails with `error`.
hooks::Fault failing(FaultPoint point, const std::string& what, int error);
/// Every call at `point` fails with `error`.
hooks::Fault failingEvery(FaultPoint point, int error);
/// The call at `point` acting on `what` moves at most `bytes`.
hooks::Fault limited(FaultPoint point, const std::string& what, size_t bytes);
/// `change` runs just before the call at `point` acting on `what`.
hooks::Fault before(FaultPoint point, const std::string& what, void (*change)());

/// Marks the row running as telling nothing here, for `why`; its test skips.
void skipRow(const char* why);
/// Why the row that ran was marked so, the mark taken; nullptr if it was not.
const char* takeSkippedRow();

/// What the one line of a failure says.
enum class Says { nothing, text, cannotRead, cannotWrite, fileSystem, changed, noDigest, noThread };

struct Line {
  Says says = Says::nothing;
  std::string subject = "";  // the text, the path, the file-system operation, or the reason
  std::string path = "";     // for Says::fileSystem: the path it names
  int reason = 0;            // the errno it tells, when not the fault's own
};

struct FaultCase {
  std::string name;
  std::vector<hooks::Fault> faults;
  int exitCode;
  size_t dots;
  Line line;
  Files files;
  uint32_t providerDigestLength = 0;    // what the MD5 provider reports (0: its own)
  size_t refusedAllocation = SIZE_MAX;  // allocations this large or larger fail
};

void PrintTo(const FaultCase& c, std::ostream* out);

/// A row whose fault the split rides out: it completes, printing `dots` dots.
FaultCase harmless(const std::string& name, const hooks::Fault& fault, size_t dots = 4);

/// Everything the split prints for row `c`.
std::wstring expectedOutput(const FaultCase& c);

/// The rows of each subject: the files' own calls (open, read, write, close,
/// flush); the queries (file system, free space, MD5 provider, memory, text
/// conversion); changes to the files made during the run.
void addFileCallCases(std::vector<FaultCase>& cases);
void addQueryCases(std::vector<FaultCase>& cases);
void addChangeCases(std::vector<FaultCase>& cases);

}  // namespace split_fault_rows
