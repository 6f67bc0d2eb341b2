// The process entry of filesplit on POSIX systems.
#include "app/entry.h"
#include "platform/unix/wide_main.h"
#include "split/split_exit_codes.h"
#include "texts/shared_texts.h"

int main(int argc, char** argv) {
  return posix_main::run(
      argc, argv, filesplitMain,
      {shared_texts::kOutOfMemory, platform::StandardStream::output, split_exit::kFailed});
}
