#pragma once

/// The wide entries of the processes, on every platform: each runs its tool's
/// command line on the console with the user's locale and returns the exit
/// code.
int filesplitMain(int argc, wchar_t** argv);
int filejoinMain(int argc, wchar_t** argv);
