// A medium with a bad patch, for the tests that put a loop device on it: a
// FUSE file system with one file, "image", that stands for a backing file
// and refuses with EIO every write carrying a marked block. Where a file
// system lays out a file is its own business; its bytes are the test's:
// 4 KiB blocks of the input that begin with kMarker fail wherever they land.
//   failing_medium BACKING_FILE MOUNT_POINT [FUSE OPTION...]
//   failing_medium --marked-blocks COUNT    (the blocks, to standard output)
#define FUSE_USE_VERSION 31
#include <fcntl.h>
#include <fuse.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

/// What a block of a failing write begins with (--marked-blocks makes them).
constexpr char kMarker[] = "FAILING-MEDIUM!\n";
constexpr size_t kMarkerSize = sizeof kMarker - 1;
constexpr off_t kBlockSize = 4096;
constexpr char kImagePath[] = "/image";

int backingFd = -1;

/// Whether the write of `size` bytes at `offset` of the image carries a
/// block, aligned in the image, that begins with the marker.
bool carriesMarker(const char* data, size_t size, off_t offset) {
  const off_t intoBlock = offset % kBlockSize;
  for (off_t at = intoBlock == 0 ? 0 : kBlockSize - intoBlock;
       at + static_cast<off_t>(kMarkerSize) <= static_cast<off_t>(size); at += kBlockSize)
    if (std::memcmp(data + at, kMarker, kMarkerSize) == 0) return true;
  return false;
}

/// Writes `count` marked blocks to standard output, each one's bytes after
/// the marker its own.
int writeMarkedBlocks(unsigned long count) {
  std::vector<char> block(kBlockSize);
  std::memcpy(block.data(), kMarker, kMarkerSize);
  uint32_t state = 2463534242U;  // xorshift32: any sequence that differs
  for (unsigned long written = 0; written < count; ++written) {
    for (size_t at = kMarkerSize; at < block.size(); ++at) {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      block[at] = static_cast<char>(state);
    }
    if (std::fwrite(block.data(), 1, block.size(), stdout) != block.size()) return 1;
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int getImageAttributes(const char* path, struct stat* info, fuse_file_info* /*file*/) {
  if (std::strcmp(path, "/") == 0) {
    *info = {};
    info->st_mode = S_IFDIR | 0755;
    info->st_nlink = 2;
    return 0;
  }
  if (std::strcmp(path, kImagePath) != 0) return -ENOENT;
  if (fstat(backingFd, info) != 0) return -errno;
  return 0;
}

int listRoot(const char* path, void* buffer, fuse_fill_dir_t fill, off_t /*offset*/,
             fuse_file_info* /*file*/, fuse_readdir_flags /*flags*/) {
  if (std::strcmp(path, "/") != 0) return -ENOTDIR;
  for (const char* name : {".", "..", kImagePath + 1})
    if (fill(buffer, name, nullptr, 0, static_cast<fuse_fill_dir_flags>(0)) != 0) break;
  return 0;
}

int openImage(const char* path, fuse_file_info* /*file*/) {
  return std::strcmp(path, kImagePath) == 0 ? 0 : -ENOENT;
}

int readImage(const char* /*path*/, char* buffer, size_t size, off_t offset,
              fuse_file_info* /*file*/) {
  const ssize_t done = pread(backingFd, buffer, size, offset);
  return done < 0 ? -errno : static_cast<int>(done);
}

int writeImage(const char* /*path*/, const char* data, size_t size, off_t offset,
               fuse_file_info* /*file*/) {
  if (carriesMarker(data, size, offset)) return -EIO;
  const ssize_t done = pwrite(backingFd, data, size, offset);
  return done < 0 ? -errno : static_cast<int>(done);
}

int syncImage(const char* /*path*/, int /*dataOnly*/, fuse_file_info* /*file*/) {
  return fdatasync(backingFd) == 0 ? 0 : -errno;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc == 3 && std::strcmp(argv[1], "--marked-blocks") == 0)
    return writeMarkedBlocks(std::strtoul(argv[2], nullptr, 10));
  if (argc < 3) {
    (void)std::fputs(
        "usage: failing_medium BACKING_FILE MOUNT_POINT [FUSE OPTION...]\n"
        "       failing_medium --marked-blocks COUNT\n",
        stderr);
    return 2;
  }
  // FUSE runs in the background from "/": the backing file opened first.
  backingFd = open(argv[1], O_RDWR | O_CLOEXEC);
  if (backingFd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  fuse_operations operations{};
  operations.getattr = getImageAttributes;
  operations.readdir = listRoot;
  operations.open = openImage;
  operations.read = readImage;
  operations.write = writeImage;
  operations.fsync = syncImage;
  std::vector<char*> fuseArguments{argv[0]};
  fuseArguments.insert(fuseArguments.end(), argv + 2, argv + argc);
  return fuse_main(static_cast<int>(fuseArguments.size()), fuseArguments.data(), &operations,
                   nullptr);
}
