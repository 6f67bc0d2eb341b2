// filejoin's exit codes: what each result of a join or check means to a
// caller. The numbers are the documented ones (README, man page) and never
// change; 3 and 4 mean other things than filesplit's.
#pragma once

namespace join_exit {

/// Rebuilt (or, with --check, checked) and the digest matched.
constexpr int kSuccess = 0;
/// A read, write, flush, close or naming failed (with --check: a piece that
/// cannot be read from the medium, its pages staying cached), a piece
/// changed while read, the rebuilt file would not fit, memory ran out or a
/// thread could not be started; also a temporary name taken over by another
/// file meanwhile (a temporary name found taken at creation is no failure:
/// the next one is tried).
constexpr int kFailed = 1;
/// No or too many arguments, or an unknown option.
constexpr int kUsage = 2;
/// A piece is missing, or is no file.
constexpr int kPieceMissing = 3;
/// The script is missing, unreadable or not one the splitter writes; a
/// folder argument with no or several scripts; a malformed digest file.
constexpr int kScriptRefused = 4;
/// A piece has the wrong size.
constexpr int kPieceSizeWrong = 5;
/// Something is at the final name already (a dangling symbolic link too).
constexpr int kOutputExists = 8;
/// The output folder could not be checked or created.
constexpr int kOutputFolderFailed = 9;
/// The digest does not match.
constexpr int kDigestMismatch = 10;
/// No digest file: rebuilt or checked, but not verified.
constexpr int kUnverified = 11;
/// Interrupted by the user (Ctrl+C, a signal): nothing left under the final
/// name by this run, and its temporary file removed.
constexpr int kInterrupted = 12;

}  // namespace join_exit
