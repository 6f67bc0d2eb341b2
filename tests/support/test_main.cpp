#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "process.h"
#include "test_setup.h"

namespace {

// The end-to-end tests of another build (kBinaryUnderTestVariable) when its
// binary is not there: skipped, or failed where the test command requires
// every build.
class BinaryUnderTest : public ::testing::Environment {
 public:
  void SetUp() override {
    bool present = false;
    const std::string binary = filesplitBinary(present);
    if (present) return;
    const char* required = std::getenv("FILESPLIT_REQUIRE_BOTH_BUILDS");
    if (required != nullptr && std::string(required) == "1") FAIL() << "no binary at " << binary;
    GTEST_SKIP() << "no binary at " << binary << ": build it first";
  }
};

}  // namespace

int main(int argc, char** argv) {
  prepareTestProcess();
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new BinaryUnderTest);
  return RUN_ALL_TESTS();
}
