// Wide text in a Windows code page, as the console writes it to a pipe or a
// file.
#pragma once

#include <string>

namespace code_page_text {

/// `text` in `codePage`, with no "best fit" look-alikes: a character the code
/// page lacks is written as "?", except a no-break or narrow no-break space
/// (the digit group separator of French and other locales), which is written
/// as a plain space. Never fails: where the code page cannot be used at all,
/// ASCII stays and the rest is "?".
std::string encode(const std::wstring& text, unsigned codePage);

}  // namespace code_page_text
