// Reading rejoin scripts back, on arbitrary input. With an even first byte
// the rest are names: every script written for plain names reads back to
// exactly those names. With an odd one the rest is a script's bytes: what is
// accepted holds only plain names, and the writer, given them, writes the
// same lines again.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "script/rejoin_script.h"
#include "script/script_reader.h"
#include "script_rules.h"

namespace {

// Names the script carries unchanged: plain, and Unicode scalar values only
// (the writer puts U+FFFD for the rest).
bool carriedUnchanged(const std::wstring& name) {
  if (!isPlainFileName(name)) return false;
  for (const wchar_t c : name) {
    const auto code = static_cast<uint32_t>(c);
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
  }
  return true;
}

// The text without CRs before LFs and without a final line end.
std::string normalised(const std::string& bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i)
    if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
      text.push_back(bytes[i]);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

void namesReadBack(const uint8_t* data, size_t size) {
  std::vector<std::wstring> texts = wideTexts(data, size, 3000);
  if (texts.size() < 2) return;
  for (const auto& text : texts)
    if (!carriedUnchanged(text)) return;
  RejoinScript script(texts.front());
  for (size_t i = 1; i < texts.size(); ++i) script.addPiece(texts[i].c_str());
  RejoinManifest manifest;
  ScriptFault fault;
  if (!readRejoinScript(storedScript(script.finish()), manifest, fault))
    invariantBroken("a written script was refused at line " + std::to_string(fault.line), texts);
  if (manifest.target != texts.front() ||
      manifest.pieces != std::vector<std::wstring>(texts.begin() + 1, texts.end()))
    invariantBroken("other names were read back", texts);
}

void acceptedIsWritten(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  RejoinManifest manifest;
  ScriptFault fault;
  if (!readRejoinScript(bytes, manifest, fault)) {
    if (fault.line < 1 || fault.reason.empty()) invariantBroken("a refusal without its line", {});
    return;
  }
  std::vector<std::wstring> names{manifest.target};
  names.insert(names.end(), manifest.pieces.begin(), manifest.pieces.end());
  for (const auto& name : names)
    if (!isPlainFileName(name)) invariantBroken("a name that is not plain was accepted", names);
  RejoinScript script(manifest.target);
  for (const auto& piece : manifest.pieces) script.addPiece(piece.c_str());
  if (normalised(script.finish()) != normalised(bytes))
    invariantBroken("an accepted script is not what the writer writes", names);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  prepareFuzzProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (data[0] % 2 == 0)
    namesReadBack(data + 1, size - 1);
  else
    acceptedIsWritten(data + 1, size - 1);
  return 0;
}
