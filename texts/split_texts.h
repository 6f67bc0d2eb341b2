// Every line filesplit prints, in one place for the tool and its tests.
//
// Callers' scripts compare these texts and filesplit's exit codes: every
// byte stays as it is, the odd ones too (docs/design.md, "Behaviour kept on
// purpose").
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "texts/shared_texts.h"

namespace split_texts {

using namespace shared_texts;  // the lines filejoin prints too

/// The empty line and the usage text, with `program` (argument 0, its
/// control characters escaped) in it: printed after every failure, and it
/// is all that is printed for exits 3, 4, 5 and 8. The example keeps its
/// Windows paths on every system.
std::wstring usage(const std::wstring& program);

/// The settings lines before a split: "File: ", "Divide size: " with the
/// size in MB (`sizeMb` as the console writes the number), and "Output
/// Folder: " only when `folder` is given (as a third operand; a fourth
/// argument is ignored, and so is this line then). Each ends with a line end.
std::wstring settings(const std::wstring& file, const std::wstring& sizeMb,
                      const std::optional<std::wstring>& folder = std::nullopt);

/// Printed once per character of the size that is not a digit, or once for
/// a zero size: "Invalid Divide-size.", its hyphen and all.
constexpr const wchar_t* kInvalidSize = L"Invalid Divide-size.";

/// The line before the copying; the split's dots follow the next line, and
/// a successful split ends with them, no line end after.
constexpr const wchar_t* kDividing = L"Dividing.....";

/// The input is smaller than one piece.
constexpr const wchar_t* kNoNeedToSplit = L"No need to split.";

/// More than 2147483647 pieces.
constexpr const wchar_t* kTooManyPieces =
    L"Too many pieces: a split makes at most 2147483647; choose a larger divide size.";

/// An input name the rejoin script cannot carry.
constexpr const wchar_t* kNameScriptCannotCarry =
    L"The file name holds a double quote, a control character or bytes that are no character in "
    L"this system's encoding, which the rejoin script cannot carry.";

/// The rejoin script would take the input's own name `name`.
std::wstring scriptNamedLikeInput(const std::wstring& name);

/// The digest file would take the input's own name `name`.
std::wstring digestNamedLikeInput(const std::wstring& name);

/// `name` is no file name on this system.
std::wstring notAFileNameHere(const std::wstring& name);

/// The input changed while it was copied.
std::wstring inputChanged(const std::wstring& input);

/// What needs the space, in the free-space line.
constexpr const wchar_t* kWhatNeedsSpace = L"the split";
/// What FAT or the file-size limit cannot hold, beginning its line.
constexpr const wchar_t* kWhatMayNotFit = L"The pieces";
/// The script, where it is what FAT or the file-size limit cannot hold.
constexpr const wchar_t* kScriptMayNotFit = L"The rejoin script";
/// What to do about FAT: the largest divide size it holds, in MB digits
/// one can type.
std::wstring fatAdvice(uint64_t mostMb);

}  // namespace split_texts
