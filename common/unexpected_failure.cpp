#include "common/unexpected_failure.h"

#include <cstring>
#include <exception>
#include <new>

#include "platform/platform.h"
#include "platform/threads.h"
#include "platform/to_wide.h"
#include "texts/shared_texts.h"

std::wstring unexpectedFailureLine() {
  try {
    throw;
  } catch (const platform::ThreadStartFailure& failure) {
    return shared_texts::cannotStartThread(platform::systemErrorText(failure.error()));
  } catch (const std::bad_alloc&) {
    const char* const text = shared_texts::kOutOfMemory;
    return std::wstring(text, text + std::strlen(text));
  } catch (const std::exception& error) {
    return printableText(error.what());
  } catch (...) {
    return shared_texts::kNoDescription;
  }
}
