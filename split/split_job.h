#pragma once

#include <cstdint>
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
  /// it to hold for the run and appends every output name to the fields
  /// below. Returns 0; 3, 4, 5: the
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
  /// system has less space free for this user than the input, the script of
  /// `scriptBytes` on disk and the digest take, or is FAT and a piece of
  /// `pieceSize` would be larger than FAT holds; else 0. A query the system
  /// does not answer goes ahead.
  int checkFit(uint64_t pieceSize, uint64_t scriptBytes);

  /// Full paths of the pieces, piece 1 first.
  std::vector<std::wstring> pieces;
  /// Full path of the digest file.
  std::wstring digestPath;
  /// Full path of the rejoin script.
  std::wstring scriptPath;

 private:
  /// Makes the outputs created from now on no more readable or writable
  /// than the input: a private input stays private.
  void keepInputPrivacy();
  void writeRejoinScript(const std::string& bytes);
  void copyPieces(const wchar_t* input, uint64_t pieceSize);
  void copyPiece(size_t index, FileIO_IF& in, uint64_t pieceSize, transfer::BlockCopy& blocks);
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
