// The unit the tests size their files in.
#pragma once

#include <cstdint>

/// A mebibyte: what a piece size of 1 (MB) stands for.
constexpr uint64_t kMiB = 1048576;
