// Every line filejoin prints, in one place for the tool and its tests.
//
// Callers' scripts compare these texts and filejoin's exit codes: every
// byte stays as it is. Numbers come in as the console writes them
// (shared_texts::grouped).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "texts/shared_texts.h"

namespace join_texts {

using namespace shared_texts;  // the lines filesplit prints too

// The command line.

/// The usage text with `program` (argument 0, its control characters
/// escaped) in it, as --help prints it.
std::wstring usageLines(const std::wstring& program);
/// The empty line and the usage text: what follows a command line that
/// cannot be run.
std::wstring usage(const std::wstring& program);
/// "filejoin" and the version.
std::wstring version();
/// An option not known, or one after the script.
std::wstring unknownOption(const std::wstring& option);
constexpr const wchar_t* kTooManyArguments = L"Too many arguments.";
constexpr const wchar_t* kCheckNeedsScript = L"--check needs the script.";
/// "Script: " and, when `folder` is not empty, "Output Folder: ", each
/// ending with a line end.
std::wstring settings(const std::wstring& script, const std::wstring& folder = std::wstring());
/// The line before the reading; the dots follow on the next line.
constexpr const wchar_t* kChecking = L"Checking.....";
constexpr const wchar_t* kJoining = L"Joining.....";

// The script and the digest file.

/// A failed query of the file-system library, in filejoin's words:
/// "Cannot use", what it was asked about (`what`, or the path of the
/// query), and the system's reason; never the library's text.
std::wstring cannotUse(const std::filesystem::filesystem_error& error,
                       const std::wstring& what = std::wstring());
/// Why a file could not be opened, when the system says more than errno.
constexpr const wchar_t* kInUse = L"it is in use by another program";
constexpr const wchar_t* kPathTooLong = L"the path is too long";
std::wstring scriptMissing(const std::wstring& script);
std::wstring holdsNoScript(const std::wstring& folder);
/// `count` as the console writes it.
std::wstring holdsScripts(const std::wstring& folder, const std::wstring& count);
std::wstring notAFile(const std::wstring& path);
/// `line` as the console writes it.
std::wstring notARejoinScript(const std::wstring& script, const std::wstring& line,
                              const std::wstring& reason);
std::wstring scriptChanged(const std::wstring& script);
std::wstring notADigest(const std::wstring& digestFile);
std::wstring tooLargeToHold(const std::wstring& path);
/// Why nothing is verified: "there is no "x.md5"" or ""x.md5" is empty".
std::wstring noDigestReason(const std::wstring& digestFile, bool empty);
/// A join refused for want of a digest (without --unverified).
std::wstring refusedWithoutDigest(const std::wstring& digestFile, bool empty);

// The pieces.

std::wstring pieceMissing(const std::wstring& piece);
std::wstring pieceNotAFile(const std::wstring& piece);
std::wstring pieceEmpty(const std::wstring& piece);
/// A piece but the last has `size` bytes where `expected` (numbers as the
/// console writes them).
std::wstring pieceSizeWrong(const std::wstring& piece, const std::wstring& size,
                            const std::wstring& expected);
/// The last piece has `size` bytes, more than `most`.
std::wstring lastPieceTooLarge(const std::wstring& piece, const std::wstring& size,
                               const std::wstring& most);
std::wstring pieceChanged(const std::wstring& piece);
/// A piece whose pages the system keeps in its cache.
std::wstring cannotReadFromMedium(const std::wstring& piece);

// The output.

/// What a failed query of the output folder names.
std::wstring theOutputFolder(const std::wstring& folder);
std::wstring cannotCheck(const std::wstring& path, const std::wstring& reason);
std::wstring existsAlready(const std::wstring& path);
/// What needs the space, and what may not fit, in the fit check's lines.
constexpr const wchar_t* kWhatNeedsSpace = L"the rebuilt file";
constexpr const wchar_t* kWhatMayNotFit = L"The rebuilt file";
/// The output folder ("" is the current one, named ".") went away.
std::wstring folderRemoved(const std::wstring& folder);
std::wstring temporaryNameTakenOver(const std::wstring& target, const std::wstring& temporary);
std::wstring nameHoldsAnotherFile(const std::wstring& target);
std::wstring cannotName(const std::wstring& target, const std::wstring& reason);
std::wstring cannotRename(const std::wstring& temporary, const std::wstring& target,
                          const std::wstring& reason);
std::wstring leftFromThisRun(const std::wstring& path);
constexpr const wchar_t* kInterrupted = L"Interrupted.";

// The outcome.

std::wstring rebuiltDiffers(const std::wstring& digestFile);
std::wstring rebuiltUnverified(const std::wstring& target, const std::wstring& reason);
std::wstring rebuiltAndMatches(const std::wstring& target, const std::wstring& digestFile);
std::wstring piecesUnverified(const std::wstring& reason);
std::wstring piecesDiffer(const std::wstring& digestFile);
std::wstring piecesMatch(const std::wstring& digestFile);

}  // namespace join_texts
