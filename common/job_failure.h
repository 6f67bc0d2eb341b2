#pragma once

#include <stdexcept>
#include <string>

/// A failure of a job after its files were opened (a read or write that
/// failed or fell short, an input that changed while it was read). Carries
/// the one console line that tells the user what happened, and the exit
/// code when it is not the tool's code for a failed run (0 then).
class JobFailure : public std::runtime_error {
 public:
  explicit JobFailure(std::wstring line, int exitCode = 0)
      : std::runtime_error("job failed"), line_(std::move(line)), exitCode_(exitCode) {}
  const std::wstring& line() const { return line_; }
  int exitCode() const { return exitCode_; }

 private:
  std::wstring line_;
  int exitCode_;
};
