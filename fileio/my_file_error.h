#pragma once

#include <stdexcept>
#include <string>

/// A file that could not be opened; what() says why in one English sentence.
struct MyFileError : std::runtime_error {
  explicit MyFileError(const std::string& message) : std::runtime_error(message) {}
};
