#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "fileio/file_io.h"
#include "platform/output_file.h"
#include "platform/platform.h"

/// How a file is opened: the runtime's open flags, sharing flags and
/// permission bits, passed unchanged to the open call.
struct OpenMode {
  int oflag;
  int shflag;
  int pmode;
};

/// The input: read only, bytes untranslated, no writer elsewhere.
extern const OpenMode kInputMode;
/// A piece read by filejoin: kInputMode, but a symbolic link at the name is
/// not followed (POSIX; the open fails), so that a crafted set of pieces
/// cannot make it read a file outside the pieces' folder.
extern const OpenMode kPieceReadMode;
/// A piece: created new (never over an existing file), binary, unshared.
extern const OpenMode kPieceMode;
/// The script and the digest: created new, text (LF stored as CR LF), unshared.
extern const OpenMode kTextOutputMode;

/// The bytes `text` takes on disk once written in kTextOutputMode: its own,
/// and a CR before each LF.
uint64_t storedTextSize(const std::string& text);

/// Opens `path` in `mode` (kInputMode or kPieceReadMode), never waiting at
/// the open for a writer (a FIFO), and checks on the open file that it is a
/// regular file. Returns it, or null when it is something else (a pipe, a
/// device, a folder, a link that kPieceReadMode does not follow). Throws
/// MyFileError as File_ptr does, also when the open file cannot be told
/// ("File open error." and the errno value). `facts`, when given, receives
/// what the open file is.
std::unique_ptr<FileIO_IF> openRegularInput(const std::wstring& path,
                                            platform::OpenFileFacts* facts = nullptr,
                                            const OpenMode& mode = kInputMode);

/// Owner of one open low-level file descriptor of the C runtime. It exists
/// only while the file is open, until close() or the destructor closes it.
class File_ptr : public FileIO_IF {
 public:
  /// Opens `fileName` with the given flags. Throws MyFileError: "Fileneme was
  /// a null pointer." for a null name, "Input File Not found." (ENOENT, also
  /// for a missing folder), "Permission denied." (EACCES, also a sharing
  /// conflict), "Output File exist." (EEXIST; the file is left untouched), or
  /// "File open error." directly followed by the errno value.
  File_ptr(const wchar_t* fileName, int oflag, int shflag, int pmode);
  File_ptr(const wchar_t* fileName, const OpenMode& mode);
  /// Takes over `openDescriptor`, a descriptor of the C runtime open on the
  /// file `name` already; `bypassSector` as PendingFile tells it.
  File_ptr(int openDescriptor, const std::wstring& name, uint32_t bypassSector = 0);
  ~File_ptr() override;

  /// What the open file is: 0, or an errno value when it cannot be told.
  int describe(platform::OpenFileFacts& facts) const override;

  File_ptr(const File_ptr&) = delete;
  File_ptr& operator=(const File_ptr&) = delete;

  int read(void* buffer, uint32_t count) override;
  int write(const void* buffer, uint32_t count) override;
  bool eof() override;
  bool flush() override;
  bool startWriteBack(uint64_t offset, uint64_t count) override;
  bool readFromMedium(uint32_t bufferSize) override;
  void readMediumWhereUncached(uint32_t bufferSize) override;
  bool writeToMedium() override;
  int writeSectors(const void* buffer, uint32_t count) override;
  int writeLast(unsigned char* buffer, uint32_t count) override;
  bool close() override;

 private:
  std::wstring fileName;
  int fd = -1;
  // Where the reads come from the medium through a handle of their own.
  std::unique_ptr<platform::MediumReader> mediumReader;
  // Where whole sectors are written past the cache.
  std::unique_ptr<platform::MediumWriter> mediumWriter;
  uint32_t bypassSector = 0;
};
