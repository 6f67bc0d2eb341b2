#include "script_rules.h"

#include <algorithm>
#include <cstdint>
#include <sstream>

#include "script/rejoin_script.h"

namespace {

// The length of a well-formed UTF-8 sequence starting with `lead`; 0 if none.
size_t sequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

std::vector<std::string> splitAt(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

// `quoted` with each run of "%" halved; false when a run is odd (a "%" the
// interpreter would expand).
bool unescapePercents(const std::string& quoted, std::string& plain) {
  plain.clear();
  for (size_t at = 0; at < quoted.size();) {
    if (quoted[at] != '%') {
      plain.push_back(quoted[at++]);
      continue;
    }
    const size_t run = quoted.find_first_not_of('%', at) == std::string::npos
                           ? quoted.size() - at
                           : quoted.find_first_not_of('%', at) - at;
    if (run % 2 != 0) return false;
    plain.append(run / 2, '%');
    at += run;
  }
  return true;
}

// The UTF-16 length of a name as written, each "%" doubled.
int32_t writtenLength(const std::wstring& name) {
  return utf16Length(name) + static_cast<int32_t>(std::count(name.begin(), name.end(), L'%'));
}

// What a piece name counts towards its line.
int32_t countedLength(const std::wstring& name) {
  return std::min(writtenLength(name), RejoinScript::kNameCap);
}

class ScriptChecker {
 public:
  ScriptChecker(const std::wstring& target, const std::vector<std::wstring>& pieces)
      : target_(target), pieces_(pieces) {}

  std::string check(const std::string& text);

 private:
  void checkCopyLine(const std::string& line, bool first, bool last);
  void checkName(const std::string& quoted);
  void fail(const std::string& finding) { findings_ << finding << '\n'; }

  const std::wstring& target_;
  const std::vector<std::wstring>& pieces_;
  size_t next_ = 0;  // the next piece expected
  std::ostringstream findings_;
};

std::string ScriptChecker::check(const std::string& text) {
  if (!isValidUtf8(text)) fail("not valid UTF-8");
  if (text.find('\r') != std::string::npos) fail("holds a CR");
  std::vector<std::string> lines = splitAt(text, '\n');
  const bool endsWithLineEnd = lines.back().empty();
  if (endsWithLineEnd) lines.pop_back();
  if (lines.size() < 2 || lines[0] != "chcp 65001") return "no chcp line and copy line\n";
  if (endsWithLineEnd != (lines.size() == 2)) fail("wrong line end after the last line");
  for (size_t i = 1; i < lines.size(); ++i) checkCopyLine(lines[i], i == 1, i + 1 == lines.size());
  if (next_ != pieces_.size()) fail("pieces missing from the script");
  return findings_.str();
}

// A copy line taken apart at its quotes (names hold none): "copy /b ", then
// names with " + " between, the target first on a further line and last,
// after " ", on the first one.
void ScriptChecker::checkCopyLine(const std::string& line, bool first, bool last) {
  const std::vector<std::string> parts = splitAt(line, '"');
  const std::string target = toUtf8(escapeForBatch(target_));
  if (parts.size() < 5 || parts.size() % 2 == 0 || parts.front() != "copy /b " ||
      !parts.back().empty())
    return fail("malformed copy line: " + line);
  const size_t names = (parts.size() - 1) / 2;  // the target included
  const size_t targetAt = first ? parts.size() - 2 : 1;
  if (parts[targetAt] != target) fail("target misplaced: " + line);
  for (size_t at = 1; at + 2 < parts.size(); at += 2)
    if (parts[at + 1] != (first && at + 2 == targetAt ? " " : " + "))
      fail("bad separator: " + line);
  int32_t counted = first ? 7 : 10 + writtenLength(target_);
  int32_t lastAdded = 0;
  for (size_t k = 0; k < names; ++k) {
    const size_t at = 2 * k + 1;
    if (at == targetAt) continue;
    if (next_ >= pieces_.size()) return fail("more names than pieces");
    lastAdded = (first && k == 0 ? 0 : 2) + 3 + countedLength(pieces_[next_]);
    counted += lastAdded;
    checkName(parts[at]);
  }
  if (!last &&
      (counted <= RejoinScript::kLineLimit || counted - lastAdded > RejoinScript::kLineLimit))
    fail("line break not after the piece that passed the limit");
}

void ScriptChecker::checkName(const std::string& quoted) {
  std::string plain;
  if (!unescapePercents(quoted, plain)) fail("a \"%\" not doubled: " + quoted);
  if (plain != toUtf8(pieces_[next_])) fail("piece " + std::to_string(next_ + 1) + " misnamed");
  ++next_;
}

}  // namespace

std::string scriptRuleViolations(const std::string& text, const std::wstring& target,
                                 const std::vector<std::wstring>& pieces) {
  return ScriptChecker(target, pieces).check(text);
}

bool isValidUtf8(const std::string& bytes) {
  for (size_t at = 0; at < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    const size_t length = sequenceLength(lead);
    if (length == 0 || at + length > bytes.size()) return false;
    uint32_t value = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
      const auto unit = static_cast<unsigned char>(bytes[at + k]);
      if ((unit & 0xC0) != 0x80) return false;
      value = (value << 6) | (unit & 0x3F);
    }
    const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
      return false;
    at += length;
  }
  return true;
}

std::vector<std::wstring> pieceNames(const std::wstring& base, int count) {
  std::vector<std::wstring> names;
  for (int i = 1; i <= count; ++i) names.push_back(base + L"_" + std::to_wstring(i));
  return names;
}

std::string storedScript(const std::string& text) {
  std::string bytes;
  for (const char c : text) {
    if (c == '\n') bytes.push_back('\r');
    bytes.push_back(c);
  }
  return bytes;
}
