#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "script/script_reader.h"

class FileIO_IF;
namespace transfer {
class Progress;
}

/// One join: reads the rejoin script as the list of pieces, checks the
/// script, the digest file and every piece before it writes anything, then
/// rebuilds the file under a temporary name beside its final one, hashing
/// on the way, and gives it its final name (never replacing a file) when
/// the digest matched or there was none. Messages go to the console stream
/// given at construction, one line each.
class JoinJob {
 public:
  explicit JoinJob(std::wostream& console);
  ~JoinJob();
  JoinJob(const JoinJob&) = delete;
  JoinJob& operator=(const JoinJob&) = delete;

  /// The suffix of the temporary name: the rebuilt file is "NAME" + this
  /// until it is verified.
  static constexpr const wchar_t* kTemporarySuffix = L".filejoin-tmp";
  /// The largest script read; a million pieces take about 16 MB.
  static constexpr uint64_t kMostScriptBytes = uint64_t{64} * 1048576;

  /// Rebuilds the file that `script` names (a rejoin script, or the folder
  /// holding exactly one) from the pieces beside it into `outputFolder`
  /// (empty: the script's folder; created with every level above when
  /// missing). With `checkOnly` only hashes the pieces and writes nothing.
  /// Returns 0 (rebuilt or checked, the digest matched), 1 (a read, write,
  /// close or rename failed, or a piece changed), 3 (a piece is missing or
  /// no file), 4 (no usable script or digest file), 5 (a piece of the wrong
  /// size), 8 (the rebuilt file or its temporary name exists), 9 (the output
  /// folder cannot be made), 10 (the digest differs; the temporary file
  /// stays), 11 (no digest file: rebuilt or read, not verified). Call it once.
  int run(const std::wstring& script, const std::wstring& outputFolder, bool checkOnly);

 private:
  // Each step below returns 0 to go on, or the run's code after its line.
  /// The script named, or the one .bat in the folder named; 4 otherwise.
  int findScript(const std::wstring& argument);
  /// The names in the script; 4 for a script filesplit would not write.
  int readManifest();
  /// The digest beside the script, when there is a digest file; 4 when it
  /// holds anything but a digest.
  int readDigest();
  /// Every piece there, a file, and of its size; 3 or 5 otherwise.
  int checkPieces();
  /// The output folder made (9 when it cannot be); 8 when the rebuilt file
  /// or its temporary name exists.
  int prepareOutput(const std::wstring& outputFolder);
  /// Writes the temporary file, compares and renames; the run's code.
  int rebuild();
  /// Hashes the pieces and compares with the digest, writing nothing (--check);
  /// the run's code.
  int verify();
  /// Reads every piece in order through the block loop into `out` (none:
  /// hashing only, named `outPath`) and returns their MD5 in hex. Throws
  /// JobFailure for a failed read or write and a piece that changed size.
  std::string hashPieces(FileIO_IF* out, const std::wstring& outPath);
  /// The whole file at `path` into `bytes`; 4 when it is no file, larger
  /// than `most` bytes, or cannot be read.
  int readWhole(const std::wstring& path, uint64_t most, std::string& bytes);
  /// `value` with the console's digit grouping.
  std::wstring number(uint64_t value) const;
  /// One line on the console, on a line of its own after progress dots.
  void printLine(const std::wstring& line);

  std::wostream& console_;
  std::wstring scriptPath_;
  std::wstring folder_;  // the script's, where the pieces are
  std::wstring digestPath_;
  std::string expectedDigest_;  // lowercase hex; empty when there is no digest file
  RejoinManifest manifest_;
  std::vector<std::wstring> piecePaths_;
  std::vector<uint64_t> pieceSizes_;
  uint64_t total_ = 0;
  std::wstring targetPath_;
  std::wstring temporaryPath_;
  std::unique_ptr<transfer::Progress> progress_;
  bool dotsEnded_ = false;
};
