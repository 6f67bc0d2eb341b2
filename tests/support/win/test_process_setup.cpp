#include "../test_setup.h"
#include "platform/platform.h"

void prepareTestProcess() { platform::initProcess(); }
