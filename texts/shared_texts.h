// The lines both tools print: a failed read or write, a write that does not
// fit, a failure no job foresaw, and the file library's sentences. Each
// tool's catalogue (split_texts.h, join_texts.h) takes these in under its
// own name, so that a caller reads one catalogue per tool.
//
// Callers' scripts compare these texts and the exit codes that come with
// them: every byte stays as it is, odd ones too.
#pragma once

#include <cstdint>
#include <locale>
#include <string>

namespace shared_texts {

/// `value` in decimal digits, grouped as `locale` groups them: how every
/// number in a line is written but the ones the user types.
std::wstring grouped(uint64_t value, const std::locale& locale);

/// "Cannot read "path": reason".
std::wstring cannotRead(const std::wstring& path, const std::wstring& reason);

/// "Cannot write "path": reason".
std::wstring cannotWrite(const std::wstring& path, const std::wstring& reason);

/// The reason of a short write: "only 3 of 5 bytes were written".
std::wstring onlyWritten(int written, size_t wanted);

/// The free space is short: `job` ("the split") needs `bytes` and `freeBytes`
/// are free in `folder` (numbers as the console groups them). The folder is
/// quoted as given, its control characters not escaped, as it always was.
std::wstring notEnoughSpace(const std::wstring& folder, const std::wstring& job,
                            const std::wstring& bytes, const std::wstring& freeBytes);

/// `files` ("The pieces") are larger than the FAT file system of `folder`
/// holds (`largest` bytes); `advice`, when not empty, follows after "; ".
std::wstring tooLargeForFat(const std::wstring& files, const std::wstring& folder,
                            const std::wstring& largest, const std::wstring& advice);

/// `files` are larger than this process may write (`limit` bytes, ulimit -f).
std::wstring tooLargeForLimit(const std::wstring& files, const std::wstring& limit);

/// "Cannot compute the digest of "file": reason".
std::wstring cannotComputeDigest(const std::wstring& file, const std::wstring& reason);

/// Before a console window of the tool's own closes (a double-click on
/// Windows), so that its lines can be read.
constexpr const wchar_t* kPressAnyKey = L"Press any key to close this window.";

/// A thread could not be started; `reason` is the system's.
std::wstring cannotStartThread(const std::wstring& reason);

/// Memory ran out. Narrow ASCII: the last resort writes it as it is,
/// allocating nothing.
constexpr const char* kOutOfMemory = "Out of memory.";

/// A failure that carries no text of its own.
constexpr const wchar_t* kNoDescription = L"An error occurred that carries no description.";

// The sentences of a failed open (File_ptr), in the file library's words.
// They read oddly and stay so: "Input File Not found." is said of an output
// too, and filesplit has always printed them like this.

/// The file is missing (ENOENT).
constexpr const char* kInputNotFound = "Input File Not found.";
/// Access denied (EACCES).
constexpr const char* kPermissionDenied = "Permission denied.";
/// The name is taken (EEXIST); "exist" without its "s", as it always was.
constexpr const char* kOutputExists = "Output File exist.";
/// No name at all; the misspelt "Fileneme" is kept as it always was.
constexpr const char* kNullFileName = "Fileneme was a null pointer.";
/// Any other failed open: "File open error." and the errno value's decimal
/// `number`, with no blank between them, as it always was.
std::string fileOpenError(const char* number);

}  // namespace shared_texts
