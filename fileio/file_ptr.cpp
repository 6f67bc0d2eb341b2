#include "fileio/file_ptr.h"

#include <algorithm>
#include <cerrno>

#include "fileio/my_file_error.h"
#include "platform/platform.h"
#include "texts/shared_texts.h"

const OpenMode kInputMode{_O_BINARY | _O_RDONLY, _SH_DENYWR, _S_IREAD};
const OpenMode kPieceReadMode{_O_BINARY | _O_RDONLY | platform::kOpenNoFollow, _SH_DENYWR,
                              _S_IREAD};
const OpenMode kPieceMode{_O_BINARY | _O_EXCL | _O_CREAT | _O_RDWR, _SH_DENYRW,
                          _S_IREAD | _S_IWRITE};
const OpenMode kTextOutputMode{_O_TEXT | _O_EXCL | _O_CREAT | _O_RDWR, _SH_DENYRW,
                               _S_IREAD | _S_IWRITE};

uint64_t storedTextSize(const std::string& text) {
  return text.size() + static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n'));
}

namespace {

// The sentence for a failed open with errno value `error`.
std::string openErrorText(errno_t error) {
  switch (error) {
    case ENOENT:
      return shared_texts::kInputNotFound;
    case EACCES:
      return shared_texts::kPermissionDenied;
    case EEXIST:
      return shared_texts::kOutputExists;
    default: {
      // The runtime's own conversion, as the line was always made.
      char number[256] = {};
      _itoa_s(error, number, sizeof number, 10);
      return shared_texts::fileOpenError(number);
    }
  }
}

}  // namespace

File_ptr::File_ptr(const wchar_t* name, int oflag, int shflag, int pmode) {
  if (name == nullptr) throw MyFileError(shared_texts::kNullFileName);
  fileName = name;
  const errno_t error = _wsopen_s(&fd, fileName.c_str(), oflag, shflag, pmode);
  if (error != 0) throw MyFileError(openErrorText(error));
}

File_ptr::File_ptr(const wchar_t* name, const OpenMode& mode)
    : File_ptr(name, mode.oflag, mode.shflag, mode.pmode) {}

File_ptr::File_ptr(int openDescriptor, const std::wstring& name, uint32_t bypassSector)
    : fileName(name), fd(openDescriptor), bypassSector(bypassSector) {}

int File_ptr::describe(platform::OpenFileFacts& facts) const {
  return platform::describeOpenFile(fd, facts);
}

std::unique_ptr<FileIO_IF> openRegularInput(const std::wstring& path,
                                            platform::OpenFileFacts* facts, const OpenMode& mode) {
  int fd = -1;
  const errno_t error = _wsopen_s(&fd, path.c_str(), mode.oflag, mode.shflag, mode.pmode);
  if (error == ELOOP && (mode.oflag & platform::kOpenNoFollow) != 0) return nullptr;  // a link
  if (error != 0) throw MyFileError(openErrorText(error));
  auto file = std::make_unique<File_ptr>(fd, path, 0);
  platform::OpenFileFacts told;
  if (const int error = file->describe(told)) throw MyFileError(openErrorText(error));
  if (!told.regularFile) return nullptr;
  if (facts != nullptr) *facts = told;
  return file;
}

File_ptr::~File_ptr() {
  if (fd >= 0) _close(fd);  // a failure here has no one left to tell
}

int File_ptr::read(void* buffer, uint32_t count) {
  return mediumReader ? mediumReader->read(buffer, count) : _read(fd, buffer, count);
}

int File_ptr::write(const void* buffer, uint32_t count) { return _write(fd, buffer, count); }

// From 64-bit positions: a runtime whose _eof still seeks with 32-bit
// offsets would end every input after 2 GiB. A failed query counts as the
// end, as _eof's -1 does.
bool File_ptr::eof() {
  if (mediumReader) return mediumReader->eof();
  const int64_t position = _telli64(fd);
  const int64_t length = _filelengthi64(fd);
  return position < 0 || length < 0 || position >= length;
}

namespace {

// True for 0; else false with errno set to `error`.
bool succeeded(int error) {
  errno = error;
  return error == 0;
}

}  // namespace

bool File_ptr::flush() { return succeeded(platform::flushToMedium(fd)); }

bool File_ptr::startWriteBack(uint64_t offset, uint64_t count) {
  return succeeded(platform::startWriteBack(fd, offset, count));
}

bool File_ptr::readFromMedium(uint32_t bufferSize) {
  return succeeded(platform::readFromMedium(fd, bufferSize, mediumReader));
}

void File_ptr::readMediumWhereUncached(uint32_t bufferSize) {
  platform::readMediumWhereUncached(fd, bufferSize, mediumReader);
}

bool File_ptr::writeToMedium() {
  mediumWriter = platform::mediumWriter(fd, bypassSector);
  return mediumWriter != nullptr;
}

int File_ptr::writeSectors(const void* buffer, uint32_t count) {
  return mediumWriter->write(buffer, count);
}

int File_ptr::writeLast(unsigned char* buffer, uint32_t count) {
  const int written = mediumWriter->writeLast(buffer, count);
  const int error = errno;
  mediumWriter.reset();
  errno = error;
  return written;
}

bool File_ptr::close() {
  if (fd < 0) return true;
  mediumReader.reset();
  mediumWriter.reset();
  const int result = _close(fd);
  fd = -1;
  return result == 0;
}
