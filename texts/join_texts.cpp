#include "texts/join_texts.h"

#include "platform/platform.h"
#include "texts/in_quotes.h"

namespace join_texts {

std::wstring usageLines(const std::wstring& program) {
  const std::wstring shown = platform::escapeControls(program);
  return L"Usage:\n"
         L"> " +
         shown +
         L" [--unverified] [--] script [output folder]\n"
         L"> " +
         shown +
         L" --check [--] script\n"
         L"> " +
         shown +
         L" --version\n"
         L"> " +
         shown +
         L" --help\n"
         L"  script: the .bat file filesplit wrote, or the folder holding it; the pieces are read "
         L"beside it.\n"
         L"  if [output folder] is not entered, the script's folder is used.\n"
         L"  --check reads the pieces and compares them with the .md5 file; it writes nothing.\n"
         L"  --unverified rebuilds even without the .md5 file, which a split that did not finish "
         L"lacks.\n"
         L"  -- ends the options: a script named like an option follows it.\n"
         L"  Exit codes: 0 done and verified, 1 a read, write or rename failed or no room, 2 "
         L"usage, 3 a piece is missing or no file (a link is not followed),\n"
         L"  4 the script or .md5 file is unusable, 5 a piece has the wrong size, 8 the file "
         L"exists,\n"
         L"  9 no output folder, 10 the digest differs, 11 no or an empty .md5 file (not "
         L"verified),\n"
         L"  12 interrupted. A failure is told on standard error, the dots and a success on "
         L"standard output.\n"
         L"  ex. " +
         shown + L" " + platform::kJoinUsageExample + L"\n";
}

std::wstring usage(const std::wstring& program) { return L"\n" + usageLines(program); }

std::wstring version() { return L"filejoin " FILESPLIT_VERSION; }

std::wstring unknownOption(const std::wstring& option) {
  return L"Unknown option " + inQuotes(option) + L".";
}

std::wstring settings(const std::wstring& script, const std::wstring& folder) {
  std::wstring lines = L"Script: " + platform::escapeControls(script) + L"\n";
  if (!folder.empty()) lines += L"Output Folder: " + platform::escapeControls(folder) + L"\n";
  return lines;
}

std::wstring cannotUse(const std::filesystem::filesystem_error& error, const std::wstring& what) {
  const int reason = error.code().default_error_condition().value();
  return L"Cannot use " + (what.empty() ? inQuotes(platform::widePath(error.path1())) : what) +
         L": " + platform::systemErrorText(reason);
}

std::wstring scriptMissing(const std::wstring& script) {
  return L"The script " + inQuotes(script) + L" does not exist.";
}

std::wstring holdsNoScript(const std::wstring& folder) {
  return inQuotes(folder) + L" holds no .bat file.";
}

std::wstring holdsScripts(const std::wstring& folder, const std::wstring& count) {
  return inQuotes(folder) + L" holds " + count + L" .bat files; name the one to use.";
}

std::wstring notAFile(const std::wstring& path) { return inQuotes(path) + L" is not a file."; }

std::wstring notARejoinScript(const std::wstring& script, const std::wstring& line,
                              const std::wstring& reason) {
  return inQuotes(script) + L" is not a rejoin script of filesplit (line " + line + L": " + reason +
         L").";
}

std::wstring scriptChanged(const std::wstring& script) {
  return L"The script " + inQuotes(script) + L" changed while it was read.";
}

std::wstring notADigest(const std::wstring& digestFile) {
  return inQuotes(digestFile) + L" does not hold an MD5 digest (32 hexadecimal digits).";
}

std::wstring tooLargeToHold(const std::wstring& path) {
  return inQuotes(path) + L" is too large for what it should hold.";
}

std::wstring noDigestReason(const std::wstring& digestFile, bool empty) {
  return empty ? inQuotes(digestFile) + L" is empty" : L"there is no " + inQuotes(digestFile);
}

std::wstring refusedWithoutDigest(const std::wstring& digestFile, bool empty) {
  std::wstring reason = noDigestReason(digestFile, empty);
  if (!empty) reason[0] = L'T';  // "there is no ..." begins the line
  return reason +
         L": the split may not have finished; nothing was written (--unverified rebuilds anyway).";
}

std::wstring pieceMissing(const std::wstring& piece) {
  return L"The piece " + inQuotes(piece) + L" is missing.";
}

std::wstring pieceNotAFile(const std::wstring& piece) {
  return L"The piece " + inQuotes(piece) + L" is not a file.";
}

std::wstring pieceEmpty(const std::wstring& piece) {
  return L"The piece " + inQuotes(piece) + L" is empty.";
}

std::wstring pieceSizeWrong(const std::wstring& piece, const std::wstring& size,
                            const std::wstring& expected) {
  return L"The piece " + inQuotes(piece) + L" has " + size + L" bytes; " + expected + L" expected.";
}

std::wstring lastPieceTooLarge(const std::wstring& piece, const std::wstring& size,
                               const std::wstring& most) {
  return L"The piece " + inQuotes(piece) + L" has " + size + L" bytes; at most " + most +
         L" expected.";
}

std::wstring pieceChanged(const std::wstring& piece) {
  return L"The piece " + inQuotes(piece) + L" changed while it was read.";
}

std::wstring cannotReadFromMedium(const std::wstring& piece) {
  return L"Cannot read " + inQuotes(piece) +
         L" from the medium: its pages stay in the system's cache (another program may have it "
         L"mapped).";
}

std::wstring theOutputFolder(const std::wstring& folder) {
  return L"the output folder " + inQuotes(folder);
}

std::wstring cannotCheck(const std::wstring& path, const std::wstring& reason) {
  return L"Cannot check " + inQuotes(path) + L": " + reason;
}

std::wstring existsAlready(const std::wstring& path) {
  return inQuotes(path) + L" exists already.";
}

std::wstring folderRemoved(const std::wstring& folder) {
  return L"The output folder " + inQuotes(folder.empty() ? L"." : folder) +
         L" was removed during the join, and the rebuilt file with it.";
}

std::wstring temporaryNameTakenOver(const std::wstring& target, const std::wstring& temporary) {
  return L"Cannot give the rebuilt file its name " + inQuotes(target) + L": its temporary name " +
         inQuotes(temporary) + L" was taken over by another file, which was left there.";
}

std::wstring nameHoldsAnotherFile(const std::wstring& target) {
  return inQuotes(target) +
         L" is not the rebuilt file: its temporary name was taken over; the rebuilt bytes are "
         L"lost.";
}

std::wstring cannotName(const std::wstring& target, const std::wstring& reason) {
  return L"Cannot give the rebuilt file its name " + inQuotes(target) + L": " + reason;
}

std::wstring cannotRename(const std::wstring& temporary, const std::wstring& target,
                          const std::wstring& reason) {
  return L"Cannot rename " + inQuotes(temporary) + L" to " + inQuotes(target) + L": " + reason;
}

std::wstring leftFromThisRun(const std::wstring& path) {
  return inQuotes(path) + L" is left from this run and may be removed.";
}

std::wstring rebuiltDiffers(const std::wstring& digestFile) {
  return L"The rebuilt file does not match " + inQuotes(digestFile) + L".";
}

std::wstring rebuiltUnverified(const std::wstring& target, const std::wstring& reason) {
  return inQuotes(target) + L" was rebuilt but not verified: " + reason + L".";
}

std::wstring rebuiltAndMatches(const std::wstring& target, const std::wstring& digestFile) {
  return inQuotes(target) + L" was rebuilt and matches " + inQuotes(digestFile) + L".";
}

std::wstring piecesUnverified(const std::wstring& reason) {
  return L"The pieces were read but not verified: " + reason + L".";
}

std::wstring piecesDiffer(const std::wstring& digestFile) {
  return L"The pieces do not match " + inQuotes(digestFile) + L".";
}

std::wstring piecesMatch(const std::wstring& digestFile) {
  return L"The pieces match " + inQuotes(digestFile) + L".";
}

}  // namespace join_texts
