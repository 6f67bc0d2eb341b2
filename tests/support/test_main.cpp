#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "process.h"
#include "test_setup.h"

namespace {

constexpr int kSkipped = 77;  // the tests' SKIP_RETURN_CODE

// Whether the tests can run: false, after saying why, when the binary of
// another build (kToolsUnderTestVariable) is not there.
bool binaryThere() {
  bool present = false;
  const std::string binary = filesplitBinary(present);
  if (!present) std::cout << "no binary at " << binary << ": build it first\n";
  return present;
}

bool everyBuildRequired() {
  const char* required = std::getenv("FILESPLIT_REQUIRE_BOTH_BUILDS");
  return required != nullptr && std::string(required) == "1";
}

}  // namespace

int main(int argc, char** argv) {
  prepareTestProcess();
  ::testing::InitGoogleTest(&argc, argv);
  if (!::testing::GTEST_FLAG(list_tests) && !binaryThere())
    return everyBuildRequired() ? 1 : kSkipped;
  return RUN_ALL_TESTS();
}
