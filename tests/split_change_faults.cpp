// The split's fault rows for changes made during the run: files created by
// "someone else" at the worst moment, the input removed, shortened or grown,
// and failures the job did not foresee.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "platform_facts.h"
#include "split/split_exit_codes.h"
#include "split_fault_rows.h"
#include "temp_dir.h"

namespace fs = std::filesystem;

namespace split_fault_rows {
namespace {

void addCreatedByOthersCases(std::vector<FaultCase>& cases) {
  const Line exists{Says::text, "Output File exist."};
  Files theirs = kFolderOnly;
  theirs["out/in.bat"] = 6;
  cases.push_back({"ScriptCreatedByOthers",
                   {before(FaultPoint::open, "script", [] { writeFile(L"out/in.bat", "theirs"); })},
                   split_exit::kFailed,
                   0,
                   exists,
                   theirs});
  cases.push_back(
      {"PieceCreatedByOthers",
       {before(FaultPoint::open, piece(2), [] { writeFile(L"out/in.bin_2", "theirs"); })},
       split_exit::kFailed,
       1,
       exists,
       left({kMiB, 6})});
  cases.push_back({"DigestCreatedByOthers",
                   {before(FaultPoint::open, "digest", [] { writeFile(L"out/in.md5", "theirs"); })},
                   split_exit::kFailed,
                   4,
                   exists,
                   left(kAllPieces, 6)});
  Files gone = left({});
  gone.erase("in.bin");
  cases.push_back({"InputGoneBeforeTheCopy",
                   {before(FaultPoint::open, "input", [] { fs::remove("in.bin"); })},
                   split_exit::kFailed,
                   0,
                   {Says::text, "Input File Not found."},
                   gone});
}

// Someone moves the output folder away, here to "moved", and, where that
// was possible, makes a new one at its path, or removes what was moved.
// Windows refuses the rename while the run holds the folder.
bool moveOutputFolder() {
  std::error_code refused;
  fs::rename("out", "moved", refused);
  return !refused;
}

// The output folder moved and a new one made, or moved and removed, once
// piece 2 is created: every output stays with the folder, or the next
// creation fails, finding no folder (Windows: the folder stays).
void addOutputFolderCases(std::vector<FaultCase>& cases) {
  Files moved;
  for (const auto& [path, size] : kComplete)
    moved[path.compare(0, 4, "out/") == 0 ? "moved/" + path.substr(4) : path] = size;
  moved["moved"] = kFolder;
  cases.push_back({"OutputFolderRenamedAndMadeAgain",
                   {before(FaultPoint::open, piece(3),
                           [] {
                             if (moveOutputFolder()) fs::create_directory("out");
                           })},
                   split_exit::kSuccess,
                   4,
                   {},
                   windowsPlatform() ? kComplete : moved});
  const bool refused = windowsPlatform();
  cases.push_back({"OutputFolderRemoved",
                   {before(FaultPoint::open, piece(3),
                           [] {
                             if (moveOutputFolder()) fs::remove_all("moved");
                           })},
                   refused ? split_exit::kSuccess : split_exit::kFailed,
                   refused ? 4u : 2u,
                   refused ? Line{} : Line{Says::text, "Input File Not found."},
                   refused ? kComplete : kInputOnly});
}

void addUnforeseenCases(std::vector<FaultCase>& cases) {
  const Line noDescription{Says::text, "An error occurred that carries no description."};
  cases.push_back({"UnforeseenFailureInTheCopy",
                   {before(FaultPoint::open, "input", [] { throw 42; })},
                   split_exit::kFailed,
                   0,
                   noDescription,
                   left({})});
  cases.push_back({"UnforeseenFailureInThePlan",
                   {before(FaultPoint::fileSize, "plan", [] { throw 42; })},
                   split_exit::kFailed,
                   0,
                   noDescription,
                   kInputOnly});
  cases.push_back({"StandardExceptionInThePlan",
                   {before(FaultPoint::fileSize, "plan",
                           [] { throw std::runtime_error("narrow_cast<>() failed"); })},
                   split_exit::kFailed,
                   0,
                   {Says::text, "narrow_cast<>() failed"},
                   kInputOnly});
}

void resizeInput(uint64_t size) { fs::resize_file("in.bin", size); }

// The input's first bytes written again in place, a moment after the split
// began (a file's times may not change within one clock tick): the same
// bytes, so that only the file's times can tell, as for any rewrite.
void rewriteInput() {
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::fstream file("in.bin", std::ios::in | std::ios::out | std::ios::binary);
  char start[9];
  file.read(start, sizeof start);
  file.seekp(0);
  file.write(start, sizeof start);
}

// The same rewrite with the modification time set back, as `rsync --inplace
// -t` or `touch -r` leave it: only the change time tells.
void rewriteInputTimeSetBack() {
  std::error_code refused;  // Windows: the open input shares no writing
  const auto modified = fs::last_write_time("in.bin", refused);
  rewriteInput();
  if (!refused) fs::last_write_time("in.bin", modified, refused);
}

// The input shorter or longer when opened than when the plan measured it.
void addChangedInputCases(std::vector<FaultCase>& cases) {
  const auto changedTo = [](uint64_t size, std::vector<uint64_t> pieces) {
    Files files = left(std::move(pieces));
    files["in.bin"] = size;
    return files;
  };
  cases.push_back({"InputShorterAtAPieceEnd",
                   {before(FaultPoint::open, "input", [] { resizeInput(2 * kMiB); })},
                   split_exit::kFailed,
                   2,
                   {Says::changed},
                   changedTo(2 * kMiB, upTo(3, 0))});
  cases.push_back({"InputShorterInsideAPiece",
                   {before(FaultPoint::open, "input", [] { resizeInput(2 * kMiB + 100); })},
                   split_exit::kFailed,
                   3,
                   {Says::changed},
                   changedTo(2 * kMiB + 100, upTo(3, 100))});
  cases.push_back({"InputLongerInTheLastPiece",
                   {before(FaultPoint::open, "input", [] { resizeInput(kInputSize + 10); })},
                   split_exit::kFailed,
                   4,
                   {Says::changed},
                   changedTo(kInputSize + 10, upTo(4, 15))});
  cases.push_back({"InputLongerByAPiece",
                   {before(FaultPoint::open, "input", [] { resizeInput(kInputSize + kMiB); })},
                   split_exit::kFailed,
                   4,
                   {Says::changed},
                   changedTo(kInputSize + kMiB, upTo(4, kMiB))});
  // On Windows the open input shares no writing: the rewrite is refused.
  // Set back, the modification time cannot tell; with the input's watch
  // refused too (Linux), only its change time can.
  using Rewrite = std::pair<const char*, void (*)()>;
  for (const auto& [name, how] : {Rewrite{"InputRewrittenInPlace", rewriteInput},
                                  Rewrite{"InputRewrittenTimeSetBack", rewriteInputTimeSetBack}}) {
    const hooks::Fault rewrite = before(FaultPoint::read, block(3), how);
    std::vector<hooks::Fault> faults{rewrite};
    if (how == rewriteInputTimeSetBack)
      faults.push_back(failingEvery(FaultPoint::inputWatch, EINVAL));
    cases.push_back(
        windowsPlatform()
            ? harmless(name, rewrite)
            : FaultCase{name, faults, split_exit::kFailed, 4, {Says::changed}, left(kAllPieces)});
  }
  // Where no lease can be held (another owner's file), a watch for writes
  // serves (FilePtrTest shows it sees a writer); Windows has no such call.
  if (!windowsPlatform()) {
    const hooks::Fault noLease = failing(FaultPoint::inputWatch, "input lease", EINVAL);
    cases.push_back(harmless("InputLeaseRefused", noLease));
    cases.push_back(
        harmless("InputWatchRefused", failing(FaultPoint::inputWatch, "input watch", EINVAL)));
    cases.push_back({"InputRewrittenWithoutALease",
                     {noLease, before(FaultPoint::read, block(3), rewriteInput)},
                     split_exit::kFailed,
                     4,
                     {Says::changed},
                     left(kAllPieces)});
  }
  cases.push_back({"InputFactsAfterTheCopyFail",
                   {failing(FaultPoint::openFileFacts, "input after", EIO)},
                   split_exit::kFailed,
                   4,
                   {Says::cannotRead, "in.bin"},
                   left(kAllPieces)});
  // Measured as an exact multiple of the piece size and grown before it is
  // opened: every piece comes out full, and only the input's end tells that
  // bytes were left out.
  Files grown = left({kMiB, kMiB, kMiB}, kNone, 67);
  grown["in.bin"] = 3 * kMiB + 7;
  cases.push_back({"ExactMultipleGrownBeforeTheCopy",
                   {before(FaultPoint::fileSize, "plan", [] { resizeInput(3 * kMiB); }),
                    before(FaultPoint::open, "input", [] { resizeInput(3 * kMiB + 7); })},
                   split_exit::kFailed,
                   3,
                   {Says::changed},
                   grown});
}

// Another program at the input during the split: its bytes kept, the split
// ends well; written to, even with the time set back, it fails. Not on
// Windows, whose open shares no writing, and where the change time tells.
void addOtherProgramCases(std::vector<FaultCase>& cases) {
  if (windowsPlatform()) return;
  const auto meanwhile = [](const std::function<bool()>& act) {
    return hooks::Fault{FaultPoint::read, callAt(FaultPoint::read, block(3)), 0, SIZE_MAX, [act] {
                          if (!act()) skipRow("the change is refused here");
                        }};
  };
  const auto shell = [&](const char* command) {
    return meanwhile([command] { return std::system(command) == 0; });
  };
  const auto written = [](const char* name, std::vector<hooks::Fault> faults) {
    return FaultCase{name, std::move(faults), split_exit::kFailed,
                     4,    {Says::changed},   left(kAllPieces)};
  };
  cases.push_back(harmless("InputLinkedMeanwhile", shell("ln in.bin in.ln && rm in.ln")));
  cases.push_back(harmless("InputModeSetMeanwhile", shell("chmod u+r in.bin")));
  // Its O_NONBLOCK open for writing is refused, the lease's break begun.
  cases.push_back(harmless("InputTouchedForItsAccessTime", shell("touch -a in.bin")));
  cases.push_back(harmless("InputAttributeSetMeanwhile",
                           meanwhile([] { return changeAsOtherProgram(L"in.bin", false); })));
  cases.push_back(written("InputTruncatedToItsSizeTimeSetBack",
                          {shell("touch -r in.bin t && dd if=/dev/null of=in.bin bs=1 "
                                 "seek=3145733 status=none && touch -r t in.bin && rm t")}));
  const hooks::Fault mapped = meanwhile([] { return changeAsOtherProgram(L"in.bin", true); });
  cases.push_back(written("InputStoredThroughAMapping", {mapped}));
  // As in a process that inherited many open descriptors.
  const hooks::Fault descriptors = before(FaultPoint::open, "input", [] {
    if (!takeDescriptorsBelow(1106)) skipRow("no descriptor 1106 here");
  });
  cases.push_back(written("InputOnDescriptor1106StoredThroughAMapping", {descriptors, mapped}));
}

}  // namespace

void addChangeCases(std::vector<FaultCase>& cases) {
  addCreatedByOthersCases(cases);
  addOutputFolderCases(cases);
  addUnforeseenCases(cases);
  addChangedInputCases(cases);
  addOtherProgramCases(cases);
}

}  // namespace split_fault_rows
