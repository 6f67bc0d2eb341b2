#include "common/unexpected_failure.h"

#include <exception>
#include <new>

#include "platform/platform.h"
#include "platform/threads.h"
#include "platform/to_wide.h"

std::wstring unexpectedFailureLine() {
  try {
    throw;
  } catch (const platform::ThreadStartFailure& failure) {
    return L"Cannot start a thread: " + platform::systemErrorText(failure.error());
  } catch (const std::bad_alloc&) {
    return L"Out of memory.";
  } catch (const std::exception& error) {
    return printableText(error.what());
  } catch (...) {
    return L"An error occurred that carries no description.";
  }
}
