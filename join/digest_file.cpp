#include "join/digest_file.h"

namespace digest_file {

std::string digits(const std::string& text) {
  if (text.size() < 32) return "";
  std::string lower;
  for (size_t i = 0; i < 32; ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      lower.push_back(c);
    } else if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) {
      lower.push_back(static_cast<char>(c | 0x20));
    } else {
      return "";
    }
  }
  for (size_t i = 32; i < text.size(); ++i)
    if (text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n') return "";
  return lower;
}

}  // namespace digest_file
