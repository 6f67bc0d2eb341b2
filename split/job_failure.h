#pragma once

#include <stdexcept>
#include <string>

/// A failure of the split after its files were opened (a read or write that
/// failed or fell short, an input that changed during the split). Carries
/// the one console line that tells the user what happened.
class JobFailure : public std::runtime_error {
 public:
  explicit JobFailure(std::wstring line)
      : std::runtime_error("split failed"), line_(std::move(line)) {}
  const std::wstring& line() const { return line_; }

 private:
  std::wstring line_;
};
