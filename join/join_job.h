#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "platform/output_file.h"
#include "script/script_reader.h"

class FileIO_IF;
struct MyFileError;
namespace transfer {
class Progress;
}

/// What a join is asked to do: the command line's operands and options.
struct JoinOptions {
  std::wstring script;        ///< the rejoin script, or the folder holding it
  std::wstring outputFolder;  ///< where the file is rebuilt; empty: the script's folder
  bool checkOnly = false;     ///< --check: hash the pieces, write nothing
  bool unverified = false;    ///< --unverified: rebuild without a digest file
};

/// One join: reads the rejoin script as the list of pieces, checks the
/// script, the digest file, every piece (opened), the final name and the
/// room in the output folder before it writes anything, then rebuilds the
/// file without a name (or under a short temporary one) in the output
/// folder, hashing on the way, and gives that very file its final name
/// (never replacing a file) only when the digest matched, or with
/// --unverified when there is no digest file. The dots and the line of a
/// success go to `console`, the line of any other end to `errors`, one line
/// each.
class JoinJob {
 public:
  JoinJob(std::wostream& console, std::wostream& errors);
  ~JoinJob();
  JoinJob(const JoinJob&) = delete;
  JoinJob& operator=(const JoinJob&) = delete;

  /// How the temporary name begins where the rebuilt file cannot be
  /// unnamed: "filejoin-" PROCESS ".tmp", short whatever the final name.
  static constexpr const wchar_t* kTemporaryStem = L"filejoin-";

  /// Rebuilds the file that `options.script` names (a rejoin script, or the
  /// folder holding exactly one) from the pieces beside it into
  /// `options.outputFolder` (empty: the script's folder; created with every
  /// level above when missing). With `checkOnly` only hashes the pieces and
  /// writes nothing. Without a digest file it writes nothing unless
  /// `unverified`. Returns a code of join_exit: kSuccess (rebuilt or checked,
  /// the digest matched), kFailed (a read, write, close or naming failed, a
  /// piece changed, the rebuilt file would not fit), kPieceMissing,
  /// kScriptRefused, kPieceSizeWrong, kOutputExists (the final name is
  /// taken), kOutputFolderFailed, kDigestMismatch, kUnverified (no digest
  /// file: nothing written, or with `unverified` rebuilt or read, not
  /// verified) or kInterrupted. Call it once.
  int run(const JoinOptions& options);

 private:
  /// The line for the file at `path` that could not be opened for reading
  /// (`error`): "Cannot read PATH: REASON", the reason in filejoin's own
  /// words where the platform tells more than the runtime's sentence (a
  /// file in use by another program, a path too long).
  static std::wstring cannotRead(const std::wstring& path, const MyFileError& error);
  /// Runs `step` and returns its code; a file-system query that fails in it
  /// is told in one line (join_texts::cannotUse, naming `what` or the
  /// query's path) and gives `failedCode`.
  int toldInWords(int failedCode, const std::function<int()>& step,
                  const std::wstring& what = std::wstring());
  // Each step below returns 0 to go on, or the run's code after its line.
  /// The script named, or the one .bat in the folder named; 4 otherwise.
  int findScript(const std::wstring& argument);
  int findScriptIn(const std::wstring& argument);
  /// Where the rebuilt file is now: targetPath_, or its name in the folder
  /// the output folder was moved to.
  std::wstring whereNamed() const;
  /// The names in the script; 4 for a script filesplit would not write.
  int readManifest();
  /// Reads the script from its file as a stream into `outline`, handing
  /// each piece's name to `onPiece` (false: stop). False with `fault` set
  /// (line 0: unreadable, the errno value in `error`). Throws JobFailure
  /// when it cannot be opened.
  bool streamScript(const std::function<bool(const std::wstring&)>& onPiece, ScriptOutline& outline,
                    ScriptFault& fault, int& error);
  /// Reads the script again, as read first, handing each piece's path to
  /// `onPiece` (false: stop). Throws JobFailure when it cannot be read or
  /// no longer names what it named.
  void forEachPiece(const std::function<bool(const std::wstring&)>& onPiece);
  /// The digest beside the script, when there is a digest file; 4 when it
  /// holds anything but a digest.
  int readDigest();
  /// 11 when there is no digest file and the run may not go on without.
  int requireDigest(bool checkOnly, bool unverified);
  /// Why there is no digest to compare with: "there is no FILE" or "FILE is
  /// empty" (a split whose digest write failed).
  std::wstring noDigestReason() const;
  /// Every piece there, opened as a file, and of its size; 3, 1 or 5
  /// otherwise.
  int checkPieces();
  /// The piece at `path` there and opened as a file, its size in `size`
  /// (the permissions of the `first` kept); 3 or 1 otherwise.
  int checkPiece(const std::wstring& path, bool first, uint64_t& size);
  /// The output folder made (9 when it cannot be) and held; 8 when
  /// anything, a link that leads nowhere included, is at the final name; 1
  /// when the rebuilt file would not fit.
  int prepareOutput(const std::wstring& outputFolder);
  /// Writes the new file, compares and names it; the run's code.
  int rebuild();
  /// The new file, without a name or under a temporary one, in pending_.
  /// Throws JobFailure when it cannot be created.
  void createPendingFile();
  /// Writes the pieces into `out` (named `shown`), compares and names it;
  /// the run's code.
  int writeAndName(FileIO_IF& out, const std::wstring& shown);
  /// Once the new file is named or given up, with `out` still open: removes
  /// its temporary name and folder, never another's file.
  void settlePendingFile();
  /// settlePendingFile with pendingMutex_ held.
  void releasePendingFile();
  /// What an interrupt of the user does before the rebuilt file is named:
  /// the temporary file removed, one line; the code the process ends with.
  /// Once it is named, platform::kInterruptTooLate: the run finishes.
  int interrupted();
  /// The line that the temporary file or folder of this run is left; empty
  /// when none is.
  std::wstring leftTemporaryLine() const;
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
  /// The line of a failure (any end but a success) on the error stream, on
  /// a line of its own after progress dots; nothing once the interrupt was
  /// told.
  void printLine(const std::wstring& line);
  /// The line of a success on the console, after the dots' line end.
  void printSuccess(const std::wstring& line);
  /// `line` on `stream`, after the dots' line end. Call with the console lock held.
  void writeLine(std::wostream& stream, const std::wstring& line);
  /// Ends the dots' line on the console, once. Call with the console lock held.
  void endDots();

  std::wostream& console_;
  std::wostream& errors_;
  std::wstring scriptPath_;
  std::wstring folder_;  // the script's, where the pieces are
  std::wstring digestPath_;
  std::string expectedDigest_;  // lowercase hex; empty when there is no digest file
  bool digestEmpty_ = false;    // the digest file is there and holds nothing
  // The pieces are not held: each pass reads their names from the script,
  // so that memory does not grow with their number.
  ScriptOutline script_;
  uint64_t fullSize_ = 0;  // of every piece but the last
  uint64_t lastSize_ = 0;
  uint64_t total_ = 0;
  unsigned firstPiecePermissions_ = 0;
  std::wstring outputFolder_;
  // The output folder held from its check to the end of the job: the
  // rebuilt file is created and named in that very folder. Declared before
  // pending_, which refers to it.
  std::unique_ptr<platform::OutputFolder> heldFolder_;
  // The folders above the output folder that the run created, innermost
  // first, with the one above them: flushed after the name, like the output
  // folder, so that a name that survives a power cut has a path leading to it.
  std::vector<std::wstring> foldersAbove_;
  std::wstring targetPath_;
  // The file being written and whether its descriptor is still open, shared
  // with the interrupt's thread.
  std::mutex pendingMutex_;
  platform::PendingFile pending_;
  bool pendingOpen_ = false;
  bool named_ = false;  // the rebuilt file has its final name: an interrupt is too late
  std::unique_ptr<transfer::Progress> progress_;
  bool dotsEnded_ = false;
  // The user's interrupt ended the run: nothing more is created, named or
  // printed. Set with pendingMutex_ and the console lock held; read under either.
  bool interrupted_ = false;
};
