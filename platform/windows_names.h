// How Windows stores a name, a rule both builds apply: the outputs may be
// carried to Windows, and the Windows build creates its folders by it.
#pragma once

#include <string>

namespace windows_names {

/// `name` as Windows stores the last name of a plain path: its trailing dots
/// and blanks dropped ("x.bat " is "x.bat", "Holiday " is "Holiday").
inline std::wstring stored(const std::wstring& name) {
  return name.substr(0, name.find_last_not_of(L". ") + 1);
}

}  // namespace windows_names
