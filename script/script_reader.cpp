#include "script/script_reader.h"

#include <algorithm>

#include "platform/ascii_letters.h"
#include "script/rejoin_script.h"

namespace {

constexpr wchar_t kCopy[] = L"copy /b";

// Strict UTF-8 (no overlong form, no surrogate, nothing past U+10FFFF) to
// wide text; false when `bytes` are not that.
bool fromUtf8(const std::string& bytes, std::wstring& wide) {
  wide.clear();
  for (size_t at = 0; at < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    size_t length = 0;
    uint32_t code = 0;
    uint32_t least = 0;
    if (lead < 0x80) {
      length = 1;
      code = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1Fu;
      least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0Fu;
      least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07u;
      least = 0x10000;
    } else {
      return false;
    }
    if (bytes.size() - at < length) return false;
    for (size_t i = 1; i < length; ++i) {
      const auto next = static_cast<unsigned char>(bytes[at + i]);
      if ((next & 0xC0u) != 0x80u) return false;
      code = (code << 6) | (next & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (sizeof(wchar_t) == 2 && code > 0xFFFF) {
      wide.push_back(static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10)));
      wide.push_back(static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      wide.push_back(static_cast<wchar_t>(code));
    }
    at += length;
  }
  return true;
}

// The lines of `bytes`, each without its line end (CR LF or LF); a line end
// at the very end starts no further line.
std::vector<std::string> scriptLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
    const size_t cut = end > start && bytes[end - 1] == '\r' ? end - 1 : end;
    lines.push_back(bytes.substr(start, cut - start));
  }
  if (start < bytes.size() || lines.empty()) lines.push_back(bytes.substr(start));
  return lines;
}

// Takes one line of a script apart, from position `at`.
class LineReader {
 public:
  explicit LineReader(const std::wstring& line) : line_(line) {}

  bool atEnd() const { return at_ == line_.size(); }

  // Takes `text` when the line goes on with it.
  bool take(const wchar_t* text) {
    const std::wstring expected(text);
    if (line_.compare(at_, expected.size(), expected) != 0) return false;
    at_ += expected.size();
    return true;
  }

  // Takes a blank and a name between double quotes, "%%" read as "%".
  // False with `reason` set when what follows is not that.
  bool takeName(std::wstring& name, std::wstring& reason) {
    if (!take(L" \"")) {
      reason = L"a blank and a name in double quotes expected";
      return false;
    }
    const size_t close = line_.find(L'"', at_);
    if (close == std::wstring::npos) {
      reason = L"a name without its closing double quote";
      return false;
    }
    name.clear();
    for (size_t i = at_; i < close; ++i) {
      name.push_back(line_[i]);
      if (line_[i] != L'%') continue;
      if (i + 1 == close || line_[i + 1] != L'%') {
        reason = L"a single \"%\" in a name";
        return false;
      }
      ++i;
    }
    at_ = close + 1;
    if (!isPlainFileName(name)) {
      reason = L"\"" + name + L"\" is not a plain file name";
      return false;
    }
    return true;
  }

 private:
  const std::wstring& line_;
  size_t at_ = 0;
};

// Reads the copy line `text` (line number `number`) into `manifest`.
bool readCopyLine(const std::wstring& text, int number, RejoinManifest& manifest,
                  ScriptFault& fault) {
  LineReader line(text);
  fault.line = number;
  if (!line.take(kCopy)) {
    fault.reason = L"\"copy /b\" expected";
    return false;
  }
  std::wstring name;
  if (number == 2) {
    // The pieces joined by " +", then the target.
    if (!line.takeName(name, fault.reason)) return false;
    manifest.pieces.push_back(name);
    for (;;) {
      if (line.atEnd()) {
        fault.reason = L"the line ends without the name of the file to rebuild";
        return false;
      }
      const bool piece = line.take(L" +");
      if (!line.takeName(name, fault.reason)) return false;
      if (!piece) break;
      manifest.pieces.push_back(name);
    }
    manifest.target = name;
  } else {
    // The target, then the pieces, each after " +".
    if (!line.takeName(name, fault.reason)) return false;
    if (name != manifest.target) {
      fault.reason = L"\"" + name + L"\" where \"" + manifest.target + L"\" was named before";
      return false;
    }
    do {
      if (!line.take(L" +")) {
        fault.reason = L"\" +\" and a piece expected";
        return false;
      }
      if (!line.takeName(name, fault.reason)) return false;
      manifest.pieces.push_back(name);
    } while (!line.atEnd());
  }
  if (line.atEnd()) return true;
  fault.reason = L"more text after the name of the file to rebuild";
  return false;
}

}  // namespace

bool isPlainFileName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  if (ascii_letters::startsWithDrive(name)) return false;
  return name.find_first_of(L"/\\") == std::wstring::npos && scriptCanCarry(name);
}

bool readRejoinScript(const std::string& bytes, RejoinManifest& manifest, ScriptFault& fault) {
  manifest = RejoinManifest{};
  const std::vector<std::string> lines = scriptLines(bytes);
  std::vector<std::wstring> texts(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    if (fromUtf8(lines[i], texts[i])) continue;
    fault = {static_cast<int>(i + 1), L"not UTF-8 text"};
    return false;
  }
  if (texts[0] != L"chcp 65001") {
    fault = {1, L"\"chcp 65001\" expected"};
    return false;
  }
  if (texts.size() < 2) {
    fault = {2, L"a copy line expected"};
    return false;
  }
  for (size_t i = 1; i < texts.size(); ++i)
    if (!readCopyLine(texts[i], static_cast<int>(i + 1), manifest, fault)) return false;
  // The names are right; the lines must also break where the splitter's do.
  RejoinScript script(manifest.target);
  for (const std::wstring& piece : manifest.pieces) script.addPiece(piece.c_str());
  const std::vector<std::string> written = scriptLines(script.finish());
  for (size_t i = 0; i < std::max(lines.size(), written.size()); ++i) {
    if (i < written.size() && i < lines.size() && written[i] == lines[i]) continue;
    fault = {static_cast<int>(i + 1),
             L"the copy lines break where the splitter does not break them"};
    return false;
  }
  return true;
}
