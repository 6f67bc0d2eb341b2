// The process entry of filesplit on POSIX systems.
#include "app/entry.h"
#include "platform/unix/wide_main.h"

int main(int argc, char** argv) { return posix_main::run(argc, argv, filesplitMain); }
