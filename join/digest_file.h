#pragma once

#include <string>

namespace digest_file {

/// The most bytes a digest file may hold: 32 digits and room for what an
/// editor adds (blanks, a line end).
constexpr size_t kMostBytes = 4096;

/// Reads the text of a digest file as the splitter writes it: 32
/// hexadecimal digits (either case), then nothing but blanks, tabs and line
/// ends. Returns the digits in lowercase, or "" when the text is not that.
std::string digits(const std::string& text);

}  // namespace digest_file
