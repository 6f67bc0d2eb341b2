// On Windows the core's calls are the real ones: the C runtime's low-level
// file calls, _itoa_s and sprintf_s, CNG and the code-page conversions.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
// clang-format off
#include <windows.h>  // before every other Windows header
// clang-format on

#include <bcrypt.h>
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>
