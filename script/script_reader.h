// Reading back what the splitter's rejoin script names, strictly: a damaged
// or crafted script is refused with the line where it goes wrong.
#pragma once

#include <string>
#include <vector>

/// What a rejoin script names: the file it rebuilds and the pieces, in order.
struct RejoinManifest {
  std::wstring target;
  std::vector<std::wstring> pieces;
};

/// Why a script was refused: the line it was found on (1 for the first)
/// and what is wrong there, as a phrase for a message.
struct ScriptFault {
  int line = 0;
  std::wstring reason;
};

/// Reads back the bytes of a rejoin script: exactly what RejoinScript writes
/// (line ends CR LF, or LF alone as an editor may save them; the final line
/// end optional), "%%" read as "%". Every name must be a plain file name
/// (isPlainFileName). Returns true with `manifest` filled, or false with
/// `fault` telling the first line the splitter would not have written.
bool readRejoinScript(const std::string& bytes, RejoinManifest& manifest, ScriptFault& fault);

/// Whether `name` names a file in the folder it is looked up in, and
/// nothing else: not empty, not "." or "..", no separator ("/" or "\"), no
/// drive prefix ("C:"), no control character and no double quote.
bool isPlainFileName(const std::wstring& name);
