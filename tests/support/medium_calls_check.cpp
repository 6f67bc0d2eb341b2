#include "medium_calls_check.h"

#include <gtest/gtest.h>

#include <string>

uint64_t expectWholeAlignedSectors(const platform_test_hooks::MediumCalls& calls) {
  EXPECT_TRUE(calls.allBypassTheCache);
  const uint32_t sector = calls.sectorSize;
  EXPECT_GT(sector, 0u);
  EXPECT_FALSE(calls.sizes.empty());
  if (sector == 0) return 0;
  uint64_t total = 0;
  for (size_t i = 0; i < calls.sizes.size(); ++i) {
    SCOPED_TRACE("call " + std::to_string(i));
    EXPECT_EQ(calls.buffers[i] % sector, 0u);
    EXPECT_GT(calls.sizes[i], 0u);
    EXPECT_EQ(calls.sizes[i] % sector, 0u);
    EXPECT_EQ(calls.offsets[i] % sector, 0u);
    total += calls.sizes[i];
  }
  return total;
}
