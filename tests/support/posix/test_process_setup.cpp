#include <langinfo.h>

#include <clocale>
#include <cstring>
#include <stdexcept>

#include "../test_setup.h"
#include "platform/platform.h"

void prepareTestProcess() {
  platform::initProcess();
  // Tests name files in UTF-8 whatever the caller's locale.
  if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0 &&
      std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr)
    throw std::runtime_error("the tests need the C.UTF-8 locale");
}
