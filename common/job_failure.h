#pragma once

#include <stdexcept>
#include <string>

/// A failure of a job after its files were opened (a read or write that
/// failed or fell short, an input that changed while it was read). Carries
/// the one console line that tells the user what happened.
class JobFailure : public std::runtime_error {
 public:
  explicit JobFailure(std::wstring line)
      : std::runtime_error("job failed"), line_(std::move(line)) {}
  const std::wstring& line() const { return line_; }

 private:
  std::wstring line_;
};
