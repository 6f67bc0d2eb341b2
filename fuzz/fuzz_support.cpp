#include "fuzz_support.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

std::vector<std::wstring> wideTexts(const uint8_t* data, size_t size, size_t most) {
  std::vector<std::wstring> texts(1);
  for (size_t at = 0; at < size;) {
    const uint8_t byte = data[at++];
    if (byte == 0) {
      if (texts.size() == most) break;
      texts.emplace_back();
    } else if (byte < 0xF0 || at + 3 > size) {
      texts.back().push_back(static_cast<wchar_t>(byte));
    } else {
      const uint32_t value = (uint32_t{byte} & 0x0F) << 24 | uint32_t{data[at]} << 16 |
                             uint32_t{data[at + 1]} << 8 | data[at + 2];
      texts.back().push_back(static_cast<wchar_t>(value));
      at += 3;
    }
  }
  return texts;
}

void invariantBroken(const std::string& what, const std::vector<std::wstring>& texts) {
  std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
  for (const auto& text : texts) {
    std::fprintf(stderr, "  text:");
    for (const wchar_t c : text) std::fprintf(stderr, " %X", static_cast<unsigned>(c));
    std::fprintf(stderr, "\n");
  }
  std::abort();
}

void prepareFuzzProcess() {
  platform::initProcess();
  std::setlocale(LC_ALL, "C.UTF-8");
}
