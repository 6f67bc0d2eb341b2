#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
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
/// The full paths of a split's pieces, piece 1 first, as a list that makes
/// each path when asked: a list holding every path would grow with the
/// pieces (a terabyte in 1 MB pieces is a million paths).
class PiecePaths {
 public:
  PiecePaths() = default;
  /// `count` paths: `base` followed by "_" and the piece's number.
  PiecePaths(std::wstring base, uint64_t count) : base_(std::move(base)), count_(count) {}
  uint64_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  /// The path of piece `index + 1`, for `index` below size().
  std::wstring operator[](uint64_t index) const {
    return base_ + L"_" + std::to_wstring(index + 1);
  }

 private:
  std::wstring base_;
  uint64_t count_ = 0;
};

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
  /// it to hold for the run and sets every output name (the pieces as a
  /// list that makes each path when asked). Returns 0; 3, 4, 5: the
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

  /// Full paths of the pieces, piece 1 first.
  PiecePaths pieces;
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
};
