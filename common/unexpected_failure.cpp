#include "common/unexpected_failure.h"

#include <exception>

#include "platform/to_wide.h"

std::wstring unexpectedFailureLine() {
  try {
    throw;
  } catch (const std::exception& error) {
    return printableText(error.what());
  } catch (...) {
    return L"An error occurred that carries no description.";
  }
}
