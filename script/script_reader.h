// Reading back what the splitter's rejoin script names, strictly: a damaged
// or crafted script is refused with the line where it goes wrong. The
// script is read as a stream, so that memory does not grow with its pieces.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// What a rejoin script names: the file it rebuilds and the pieces, in order.
struct RejoinManifest {
  std::wstring target;
  std::vector<std::wstring> pieces;
};

/// What a script read as a stream names: the file it rebuilds and how many
/// pieces (each was handed over as it was read).
struct ScriptOutline {
  std::wstring target;
  uint64_t pieceCount = 0;
};

/// Why a script was refused: the line it was found on (1 for the first; 0
/// when its bytes could not be read) and what is wrong there, as a phrase
/// for a message.
struct ScriptFault {
  int line = 0;
  std::wstring reason;
};

/// The script's bytes, front to back: fills `buffer` with up to `size` bytes
/// and returns how many, 0 at the end, -1 when they cannot be read.
using ScriptSource = std::function<int(char* buffer, uint32_t size)>;

/// Reads a rejoin script from `source`: exactly what RejoinScript writes
/// (line ends CR LF, or LF alone as an editor may save them; the final line
/// end optional), "%%" read as "%". Every name must be a plain file name
/// (isPlainFileName). Hands each piece's name to `onPiece` in order as its
/// line is read (a later line may still refuse the script); when it returns
/// false, reading stops there with false and an empty reason. Memory is
/// bounded by the longest line, which is refused past 64 KiB (its line end
/// not counted). Returns true with `outline` filled, or false with `fault`
/// telling the first line the splitter would not have written.
bool readRejoinScript(const ScriptSource& source, ScriptOutline& outline,
                      const std::function<bool(const std::wstring&)>& onPiece, ScriptFault& fault);

/// readRejoinScript over the bytes of a whole script, the pieces collected
/// in `manifest`.
bool readRejoinScript(const std::string& bytes, RejoinManifest& manifest, ScriptFault& fault);

/// Whether `name` names a file in the folder it is looked up in, and
/// nothing else: a name this platform holds as a plain file
/// (platform::isFileName) that the script can carry (scriptCanCarry).
bool isPlainFileName(const std::wstring& name);
