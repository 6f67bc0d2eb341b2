// What the fuzz targets share: turning the fuzzer's bytes into wide texts,
// and stopping loudly when an invariant breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// Up to `most` wide texts from `data`. A 0 byte ends a text; a byte below
/// 0xF0 is that character; a byte from 0xF0 up takes the next three bytes
/// along and makes any 28-bit value, so that non-characters, surrogates and
/// values past U+10FFFF all come up.
std::vector<std::wstring> wideTexts(const uint8_t* data, size_t size, size_t most);

/// Prints `what` with the texts of the case and aborts, so that the fuzzer
/// keeps the input as a crash.
[[noreturn]] void invariantBroken(const std::string& what, const std::vector<std::wstring>& texts);

/// Readies the process like the tool's own, with UTF-8 as the encoding of
/// file names whatever the environment says.
void prepareFuzzProcess();
