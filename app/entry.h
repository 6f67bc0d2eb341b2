#pragma once

/// The wide entry of the process, on every platform: runs the command line
/// on the console with the user's locale and returns the exit code.
int filesplitMain(int argc, wchar_t** argv);
