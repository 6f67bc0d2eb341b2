#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// The text of the batch script that rebuilds the input from its pieces
/// with "copy /b". Copy lines are broken once they pass kLineLimit counted
/// characters, so that the command interpreter can take them.
class RejoinScript {
 public:
  static constexpr int32_t kLineLimit = 4000;
  /// A piece name counts at most this much towards a line's length.
  static constexpr int32_t kNameCap = 260;

  /// Starts the script for rebuilding the file named `target`.
  explicit RejoinScript(const std::wstring& target);

  /// Adds the next piece, by its file name. Always true.
  bool addPiece(const wchar_t* pieceName);

  /// The UTF-8 bytes (LF line ends) of the text added since the last call,
  /// which are then forgotten: how a reader compares a long script with
  /// what the writer makes of its names, piece by piece.
  std::string takeBytes();

  /// Closes the first copy line if no line break did, and returns the
  /// script's UTF-8 bytes (LF line ends) not taken yet. Later calls return
  /// the same bytes.
  std::string finish();

 private:
  std::wstring text;
  std::wstring targetName;
  bool targetWritten = false;
  bool firstPiece = true;
  int32_t lineLength = 7;
};

/// Whether the script can carry `name` between double quotes: false for a
/// double quote (it would end the quoted name, and let a crafted name run a
/// command) and for control characters such as CR and LF (they would break
/// its lines). No Windows file name holds them. False too for a name whose
/// UTF-8 in the script would not read back as the same name: bytes that do
/// not decode here (carried as escapes), or an unpaired surrogate on Windows;
/// the script would name another file.
bool scriptCanCarry(const std::wstring& name);

/// The batch interpreter expands "%...%" even between double quotes, so a
/// name goes into the script with each "%" doubled.
std::wstring escapeForBatch(const std::wstring& name);

/// The length of `text` in UTF-16 code units (a character outside the Basic
/// Multilingual Plane counts 2), whatever the width of wchar_t.
int32_t utf16Length(const std::wstring& text);

/// The UTF-8 encoding of `text`; ill-formed UTF-16 becomes U+FFFD.
std::string toUtf8(const std::wstring& text);

/// The UTF-8 bytes (LF line ends) of the script that rebuilds the file at
/// path `input` from the files at paths `pieces`, in order; the script names
/// each by its file name alone.
std::string rejoinScriptBytes(const std::wstring& input, const std::vector<std::wstring>& pieces);

/// The script that rebuilds the file named `target` from its pieces named
/// `target_1` to `target_COUNT` (the bytes rejoinScriptBytes makes of them),
/// handed to `take` part after part (none empty) as it is made, nothing of
/// it kept: it is counted and written in memory that does not grow with
/// the pieces.
void makeRejoinScript(const std::wstring& target, uint64_t count,
                      const std::function<void(const std::string&)>& take);
