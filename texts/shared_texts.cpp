#include "texts/shared_texts.h"

#include <sstream>

#include "texts/in_quotes.h"

namespace shared_texts {

std::wstring grouped(uint64_t value, const std::locale& locale) {
  std::wostringstream text;
  text.imbue(locale);
  text << value;
  return text.str();
}

std::wstring cannotRead(const std::wstring& path, const std::wstring& reason) {
  return L"Cannot read " + inQuotes(path) + L": " + reason;
}

std::wstring cannotWrite(const std::wstring& path, const std::wstring& reason) {
  return L"Cannot write " + inQuotes(path) + L": " + reason;
}

std::wstring onlyWritten(int written, size_t wanted) {
  return L"only " + std::to_wstring(written) + L" of " + std::to_wstring(wanted) +
         L" bytes were written";
}

std::wstring notEnoughSpace(const std::wstring& folder, const std::wstring& job,
                            const std::wstring& bytes, const std::wstring& freeBytes) {
  return L"Not enough free space in \"" + folder + L"\": " + job + L" needs " + bytes +
         L" bytes; " + freeBytes + L" are free.";
}

std::wstring tooLargeForFat(const std::wstring& files, const std::wstring& folder,
                            const std::wstring& largest, const std::wstring& advice) {
  return files + L" would not fit on \"" + folder +
         L"\": its FAT file system holds files of at most " + largest + L" bytes" +
         (advice.empty() ? L"" : L"; ") + advice + L".";
}

std::wstring tooLargeForLimit(const std::wstring& files, const std::wstring& limit) {
  return files + L" would not be written whole: this process may write files of at most " + limit +
         L" bytes (ulimit -f).";
}

std::wstring cannotComputeDigest(const std::wstring& file, const std::wstring& reason) {
  return L"Cannot compute the digest of " + inQuotes(file) + L": " + reason;
}

std::wstring cannotStartThread(const std::wstring& reason) {
  return L"Cannot start a thread: " + reason;
}

std::string fileOpenError(const char* number) { return std::string("File open error.") + number; }

}  // namespace shared_texts
