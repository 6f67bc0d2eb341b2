#include "script/rejoin_script.h"

#include <algorithm>

#include "common/narrow_cast.h"
#include "platform/utf8.h"
#include "script/path_rules.h"

RejoinScript::RejoinScript(const std::wstring& target)
    : text(L"chcp 65001\ncopy /b"), targetName(escapeForBatch(target)) {}

bool RejoinScript::addPiece(const wchar_t* pieceName) {
  const std::wstring name = escapeForBatch(pieceName);
  if (lineLength > kLineLimit) {
    if (!targetWritten) {
      text += L" \"" + targetName + L"\"";
      targetWritten = true;
    }
    text += L"\ncopy /b \"" + targetName + L"\"";
    lineLength = 10 + utf16Length(targetName);
  }
  if (!firstPiece) {
    text += L" +";
    lineLength += 2;
  }
  firstPiece = false;
  text += L" \"" + name + L"\"";
  lineLength += 3 + std::min(utf16Length(name), kNameCap);
  return true;
}

std::string RejoinScript::takeBytes() {
  std::string bytes = toUtf8(text);
  text.clear();
  return bytes;
}

std::string RejoinScript::finish() {
  if (!targetWritten) {
    text += L" \"" + targetName + L"\"\n";
    targetWritten = true;
  }
  return toUtf8(text);
}

bool scriptCanCarry(const std::wstring& name) {
  for (const wchar_t c : name)
    if (c == L'"' || c < 0x20 || c == 0x7F) return false;
  const std::string bytes = toUtf8(name);
  std::wstring readBack;
  return utf8::decode(bytes.data(), bytes.size(), readBack) && readBack == name;
}

std::wstring escapeForBatch(const std::wstring& name) {
  std::wstring escaped;
  escaped.reserve(name.size());
  for (const wchar_t c : name) {
    escaped.push_back(c);
    if (c == L'%') escaped.push_back(L'%');
  }
  return escaped;
}

int32_t utf16Length(const std::wstring& text) {
  size_t units = text.size();
  // Where wchar_t is 16 bits (Windows), a surrogate pair is two units already.
  for (const wchar_t c : text) {
    // wchar_t is 16 or 32 bits wide: nothing to sign-extend, whatever the
    // check takes it for.
    const uint32_t code = static_cast<uint32_t>(c);  // NOLINT(bugprone-signed-char-misuse)
    if (code > 0xFFFF) ++units;
  }
  return narrow_cast<int32_t>(units);
}

std::string toUtf8(const std::wstring& text) { return utf8::encode(text.data(), text.size()); }

std::string rejoinScriptBytes(const std::wstring& input, const std::vector<std::wstring>& pieces) {
  RejoinScript script(path_rules::fileName(input));
  for (const std::wstring& piece : pieces) script.addPiece(path_rules::fileName(piece).c_str());
  return script.finish();
}

void makeRejoinScript(const std::wstring& target, uint64_t count,
                      const std::function<void(const std::string&)>& take) {
  constexpr uint64_t kPiecesAPart = 4096;
  RejoinScript script(target);
  const std::wstring stem = target + L"_";
  for (uint64_t number = 1; number <= count; ++number) {
    script.addPiece((stem + std::to_wstring(number)).c_str());
    if (number % kPiecesAPart == 0) take(script.takeBytes());
  }
  // Empty where the last part ended the script already.
  const std::string rest = script.finish();
  if (!rest.empty()) take(rest);
}
