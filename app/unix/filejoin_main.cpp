// The process entry of filejoin on POSIX systems.
#include "app/entry.h"
#include "join/join_exit_codes.h"
#include "platform/unix/wide_main.h"
#include "texts/shared_texts.h"

int main(int argc, char** argv) {
  return posix_main::run(
      argc, argv, filejoinMain,
      {shared_texts::kOutOfMemory, platform::StandardStream::error, join_exit::kFailed});
}
