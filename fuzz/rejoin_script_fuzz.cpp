// The rejoin script builder on arbitrary names: every name the plan lets
// through must give a script that keeps every rule (script_rules.h).
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "script/rejoin_script.h"
#include "script_rules.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  prepareFuzzProcess();
  return 0;
}

// The first text is the target, the others the pieces; names the plan
// refuses never reach the builder.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::wstring> texts = wideTexts(data, size, 3000);
  const std::wstring target = texts.front();
  std::vector<std::wstring> pieces(texts.begin() + 1, texts.end());
  if (pieces.empty() || !scriptCanCarry(target)) return 0;
  for (const auto& piece : pieces)
    if (!scriptCanCarry(piece)) return 0;
  RejoinScript script(target);
  for (const auto& piece : pieces) script.addPiece(piece.c_str());
  const std::string findings = scriptRuleViolations(script.finish(), target, pieces);
  if (!findings.empty()) invariantBroken(findings, texts);
  return 0;
}
