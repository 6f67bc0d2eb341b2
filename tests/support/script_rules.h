// The rules every rejoin script keeps, checked on the builder's text, for
// the unit tests and the fuzz target alike.
#pragma once

#include <string>
#include <vector>

/// Checks `text` (what RejoinScript::finish returned for `target` and
/// `pieces`, LF line ends) and returns what it breaks, one finding per
/// line; empty when nothing. The rules: valid UTF-8 without CR; "chcp 65001"
/// first; every copy line "copy /b" with its pieces joined by " +", the first
/// line ending with the target, each further one starting with it; every
/// piece once and in order, each "%" doubled; every copy line but the last
/// past the line limit by at most its last piece; a line end after the only
/// copy line, none after the last of several.
std::string scriptRuleViolations(const std::string& text, const std::wstring& target,
                                 const std::vector<std::wstring>& pieces);

/// The pieces of `base` as the splitter names them: BASE_1 to BASE_COUNT.
std::vector<std::wstring> pieceNames(const std::wstring& base, int count);

/// `text` (LF line ends) as the script file stores it: every LF as CR LF.
std::string storedScript(const std::string& text);

/// Whether `bytes` are well-formed UTF-8 (no overlong form, no surrogate,
/// nothing above U+10FFFF).
bool isValidUtf8(const std::string& bytes);
