#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class CheckedDigest;
class FileIO_IF;
namespace platform {
class OutputFolder;
}
namespace transfer {
class BlockCopy;
}

/// One split of one input: plans the output names, refuses existing
/// outputs, writes the rejoin script, copies the pieces and writes the
/// digest. Messages go to the console stream given at construction.
class SplitJob {
 public:
  explicit SplitJob(std::wostream& console);
  ~SplitJob();
  SplitJob(const SplitJob&) = delete;
  SplitJob& operator=(const SplitJob&) = delete;

  /// Runs the whole split of `input` into pieces of `pieceSize` bytes in
  /// `outputFolder` (null or empty: a folder beside the input named after
  /// its stem). Returns 0, the plan's or output check's code, or 1 when the
  /// split failed later (its reason printed as one line). Call it once.
  int run(const wchar_t* input, const wchar_t* outputFolder, uint64_t pieceSize);

  /// Checks the input and the piece size, creates the output folder, opens
  /// it to hold for the run and sets every output name (the pieces' through
  /// piecePath, no list of them kept). Returns 0; 3, 4, 5: the
  /// input is missing, a folder, empty; 7: the piece size is 0; 6: the input
  /// is smaller than one piece ("No need to split." printed); 9: a
  /// file-system failure from the size query on (its text printed); 1: any
  /// other failure there (a name the script cannot carry, an input named
  /// like its own script or digest file on Windows, and too many pieces are
  /// told in one line; nothing is created then). File-system failures in
  /// the first three input checks leave it as
  /// std::filesystem::filesystem_error.
  int plan(const wchar_t* input, const wchar_t* outputFolder, uint64_t pieceSize);

  /// 8 when any planned output exists already, else 0. File-system failures
  /// leave it as std::filesystem::filesystem_error.
  int checkOutputs();

  /// Whether the planned split fits in its output folder, before anything is
  /// written there: 1, with one line telling why, when the folder's file
  /// system has less space free for this user than the input, the script on
  /// disk and the digest take, or is FAT and a piece of `pieceSize` (or the
  /// script) would be larger than FAT holds, or a piece or the script would
  /// be larger than this process may write; else 0. The script's size is
  /// counted piece by piece, nothing of it kept. A query the system does not
  /// answer goes ahead.
  int checkFit(uint64_t pieceSize);

  /// The number of pieces planned (0 before a plan).
  uint64_t pieceCount() const { return pieceCount_; }
  /// Full path of piece `number` (1 to pieceCount()), made when asked: a
  /// list of every path would grow with the pieces.
  std::wstring piecePath(uint64_t number) const;
  /// Full path of the digest file.
  std::wstring digestPath;
  /// Full path of the rejoin script.
  std::wstring scriptPath;

 private:
  /// Makes the outputs created from now on no more readable or writable
  /// than the input: a private input stays private.
  void keepInputPrivacy();
  /// Calls `take` with the rejoin script's bytes, part after part.
  void makeRejoinScript(const std::function<void(const std::string&)>& take) const;
  void writeRejoinScript();
  void copyPieces(const wchar_t* input, uint64_t pieceSize);
  void copyPiece(uint64_t index, FileIO_IF& in, uint64_t pieceSize, transfer::BlockCopy& blocks);
  void writeDigest(const std::string& text);
  void printLine(const std::wstring& line);

  std::wostream& console_;
  std::wstring inputPath_;
  // The output folder as given, or as derived from the input, held from the
  // plan on for the job's life: every output is created in that folder.
  std::unique_ptr<platform::OutputFolder> outputFolder_;
  // The folders above it whose entries the split changed (it created
  // them, or the highest of them in the one above), flushed before the
  // digest with it.
  std::vector<std::wstring> foldersAbove_;
  // What the plan measured: the copy must deliver exactly this much.
  uint64_t plannedSize_ = 0;
  // The pieces' paths but their numbers, and how many there are.
  std::wstring pieceBase_;
  uint64_t pieceCount_ = 0;
};
