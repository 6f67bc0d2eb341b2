#include <algorithm>
#include <vector>

#include "../platform_facts.h"
#include "platform/platform.h"

bool windowsPlatform() { return true; }

bool piecesPastTheCache() { return false; }

// Windows tells no cheap way which pages of a file its cache holds.
int64_t cachedBytes(const std::wstring&, bool) { return -1; }

// No file system of Windows keeps space back for an administrator.
bool runsAsSuperuser() { return false; }

void leaveSystemError(unsigned long code) {
  _doserrno = code;
  SetLastError(code);
}

// Any UTF-16 text is a valid name to NTFS, lone surrogates included; the
// characters < > : " / \ | ? * are not.
std::wstring invalidFileName() { return L"bad|name"; }

namespace {

std::wstring localeText(LCTYPE type) {
  wchar_t text[64] = {};
  return GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, text, 64) > 0 ? text : L"";
}

}  // namespace

// The child takes the Windows user locale: its separator, and its group
// sizes from the right ("3;0": threes throughout; "3;2;0": three, then
// twos; "3": one group of three, then the rest ungrouped). (Wine's
// GetNumberFormatEx gets "3;0" wrong, so it is not asked.)
std::wstring childNumber(uint64_t value) {
  std::wstring digits = std::to_wstring(value);  // not const: returned by move
  const std::wstring separator = localeText(LOCALE_STHOUSAND);
  std::vector<size_t> sizes;
  bool repeat = false;
  for (const wchar_t c : localeText(LOCALE_SGROUPING)) {
    if (c == L';') continue;
    repeat = c == L'0';
    if (!repeat) sizes.push_back(static_cast<size_t>(c - L'0'));
  }
  if (separator.size() != 1 || sizes.empty()) return digits;
  std::wstring grouped;
  size_t left = digits.size();
  for (size_t group = 0; left > 0; ++group) {
    const size_t size = group < sizes.size() ? sizes[group] : (repeat ? sizes.back() : left);
    const size_t take = size < left ? size : left;
    grouped.insert(0, digits.substr(left - take, take));
    left -= take;
    if (left > 0) grouped.insert(0, separator);
  }
  return grouped;
}

std::wstring shownAsJoined(const std::wstring& path) {
  std::wstring shown = path;
  std::replace(shown.begin(), shown.end(), L'/', L'\\');
  return shown;
}

// The open input shares no writing there.
bool changeAsOtherProgram(const std::wstring&, bool) { return false; }
bool takeDescriptorsBelow(int) { return false; }
void endOtherPrograms() {}
