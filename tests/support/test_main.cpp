#include <gtest/gtest.h>

#include "test_setup.h"

int main(int argc, char** argv) {
  prepareTestProcess();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
