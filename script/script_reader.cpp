#include "script/script_reader.h"

#include <algorithm>
#include <deque>
#include <optional>

#include "platform/platform.h"
#include "platform/utf8.h"
#include "script/rejoin_script.h"

namespace {

constexpr wchar_t kCopy[] = L"copy /b";

constexpr size_t kMostLineBytes = 65536;

// The lines of a script's bytes, each without its line end (CR LF or LF); a
// line end at the very end starts no further line, and no bytes at all are
// one empty line.
class LineSplitter {
 public:
  enum class Next { line, end, unreadable, tooLong };

  explicit LineSplitter(const ScriptSource& source) : source_(source), buffer_(kMostLineBytes) {}

  // The next line into `line`.
  Next next(std::string& line) {
    line.clear();
    for (;;) {
      if (at_ == filled_) {
        const int n = ended_ ? 0 : source_(buffer_.data(), static_cast<uint32_t>(buffer_.size()));
        if (n < 0) return Next::unreadable;
        at_ = 0;
        filled_ = static_cast<size_t>(n);
        if (n == 0) {
          ended_ = true;
          if (line.empty() && lines_ > 0) return Next::end;
          return whole(line);
        }
      }
      const char* begin = buffer_.data() + at_;
      const char* end = buffer_.data() + filled_;
      const char* lineEnd = std::find(begin, end, '\n');
      line.append(begin, lineEnd);
      at_ = static_cast<size_t>(lineEnd - buffer_.data());
      // The CR of a CR LF line end may stand one past the line's most bytes.
      if (line.size() > kMostLineBytes + 1) return Next::tooLong;
      if (lineEnd == end) continue;
      ++at_;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return whole(line);
    }
  }

 private:
  // Counts `line`, read to its end: tooLong past the most bytes a line has.
  Next whole(const std::string& line) {
    ++lines_;
    return line.size() > kMostLineBytes ? Next::tooLong : Next::line;
  }

  const ScriptSource& source_;
  std::vector<char> buffer_;
  size_t at_ = 0;
  size_t filled_ = 0;
  bool ended_ = false;
  int lines_ = 0;
};

// Compares the lines read with the lines the writer makes of their names,
// each pair as soon as both are whole.
class BreakCheck {
 public:
  void read(const std::string& line) { read_.push_back(line); }

  // The writer's next bytes; with `last`, its final ones.
  void written(const std::string& bytes, bool last) {
    tail_ += bytes;
    size_t start = 0;
    for (size_t end; (end = tail_.find('\n', start)) != std::string::npos; start = end + 1)
      written_.push_back(tail_.substr(start, end - start));
    tail_.erase(0, start);
    if (last && !tail_.empty()) written_.push_back(tail_);
  }

  // False with `fault` set at the first pair that differs; with `last`, at
  // a line one side has and the other has not.
  bool agrees(bool last, ScriptFault& fault) {
    for (; !read_.empty() && !written_.empty(); read_.pop_front(), written_.pop_front()) {
      ++compared_;
      if (read_.front() != written_.front()) return refuse(fault);
    }
    if (!last || (read_.empty() && written_.empty())) return true;
    ++compared_;
    return refuse(fault);
  }

 private:
  bool refuse(ScriptFault& fault) const {
    fault = {compared_, L"the copy lines break where the splitter does not break them"};
    return false;
  }

  std::deque<std::string> read_;
  std::deque<std::string> written_;
  std::string tail_;
  int compared_ = 0;
};

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

// Reads the copy line `text` (line number `number`): the pieces it names
// into `pieces`, the target into `target` (line 2) or checked against it.
bool readCopyLine(const std::wstring& text, int number, std::wstring& target,
                  std::vector<std::wstring>& pieces, ScriptFault& fault) {
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
    pieces.push_back(name);
    for (;;) {
      if (line.atEnd()) {
        fault.reason = L"the line ends without the name of the file to rebuild";
        return false;
      }
      const bool piece = line.take(L" +");
      if (!line.takeName(name, fault.reason)) return false;
      if (!piece) break;
      pieces.push_back(name);
    }
    target = name;
  } else {
    // The target, then the pieces, each after " +".
    if (!line.takeName(name, fault.reason)) return false;
    if (name != target) {
      fault.reason = L"\"" + name + L"\" where \"" + target + L"\" was named before";
      return false;
    }
    do {
      if (!line.take(L" +")) {
        fault.reason = L"\" +\" and a piece expected";
        return false;
      }
      if (!line.takeName(name, fault.reason)) return false;
      pieces.push_back(name);
    } while (!line.atEnd());
  }
  if (line.atEnd()) return true;
  fault.reason = L"more text after the name of the file to rebuild";
  return false;
}

}  // namespace

bool isPlainFileName(const std::wstring& name) {
  return platform::isFileName(name) && scriptCanCarry(name);
}

bool readRejoinScript(const ScriptSource& source, ScriptOutline& outline,
                      const std::function<bool(const std::wstring&)>& onPiece, ScriptFault& fault) {
  outline = ScriptOutline{};
  LineSplitter lines(source);
  BreakCheck breaks;
  std::optional<RejoinScript> writer;
  std::string bytes;
  std::wstring text;
  std::vector<std::wstring> pieces;
  int number = 0;
  for (LineSplitter::Next next; (next = lines.next(bytes)) != LineSplitter::Next::end;) {
    if (next == LineSplitter::Next::unreadable) {
      fault = {0, L"its bytes cannot be read"};
      return false;
    }
    ++number;
    if (next == LineSplitter::Next::tooLong) {
      fault = {number, L"a line longer than any the splitter writes"};
      return false;
    }
    if (!utf8::decode(bytes.data(), bytes.size(), text)) {
      fault = {number, L"not UTF-8 text"};
      return false;
    }
    if (number == 1 && text != L"chcp 65001") {
      fault = {1, L"\"chcp 65001\" expected"};
      return false;
    }
    breaks.read(bytes);
    if (number == 1) continue;
    pieces.clear();
    if (!readCopyLine(text, number, outline.target, pieces, fault)) return false;
    if (!writer) writer.emplace(outline.target);
    for (const std::wstring& piece : pieces) {
      writer->addPiece(piece.c_str());
      if (onPiece(piece)) continue;
      fault = {number, L""};
      return false;
    }
    outline.pieceCount += pieces.size();
    // The names are right; the lines must also break where the splitter's do.
    breaks.written(writer->takeBytes(), false);
    if (!breaks.agrees(false, fault)) return false;
  }
  if (number < 2) {
    fault = {2, L"a copy line expected"};
    return false;
  }
  breaks.written(writer->finish(), true);
  return breaks.agrees(true, fault);
}

bool readRejoinScript(const std::string& bytes, RejoinManifest& manifest, ScriptFault& fault) {
  manifest = RejoinManifest{};
  size_t at = 0;
  const ScriptSource source = [&](char* buffer, uint32_t size) {
    const size_t n = std::min<size_t>(size, bytes.size() - at);
    std::copy(bytes.data() + at, bytes.data() + at + n, buffer);
    at += n;
    return static_cast<int>(n);
  };
  ScriptOutline outline;
  const bool read = readRejoinScript(
      source, outline,
      [&](const std::wstring& piece) {
        manifest.pieces.push_back(piece);
        return true;
      },
      fault);
  manifest.target = outline.target;
  return read;
}
