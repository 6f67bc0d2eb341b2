// The file handle against real files: the open modes, their error texts,
// text and binary writes, and the end-of-file test.
#include "fileio/file_ptr.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "fileio/my_file_error.h"
#include "in_process.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform_facts.h"
#include "process.h"
#include "temp_dir.h"

namespace {

namespace hooks = platform_test_hooks;
using platform::FaultPoint;

// The message a File_ptr open fails with, or "" when it opens. The failure
// is a MyFileError, the one the tools' guarded run tells by its text.
std::string openError(const wchar_t* name, const OpenMode& mode) {
  try {
    File_ptr file(name, mode);
    return "";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(dynamic_cast<const MyFileError*>(&error), nullptr) << "not a MyFileError";
    return error.what();
  }
}

struct OpenCase {
  const char* name;
  std::wstring file;  // below the temp folder
  const OpenMode* mode;
  std::string expected;
};

void PrintTo(const OpenCase& c, std::ostream* out) { *out << c.name; }

class FilePtrOpenTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(FilePtrOpenTest, FailsWithItsMessageAndLeavesFilesAlone) {
  TempDir dir;
  writeFile(dir / L"existing", "keep me");
  const auto before = snapshot(dir.wide());
  const OpenCase& c = GetParam();
  EXPECT_EQ(openError((dir / c.file).c_str(), *c.mode), c.expected);
  if (!c.expected.empty()) {
    EXPECT_TRUE(sameFiles(snapshot(dir.wide()), before));
  }
}

// "Input File Not found." (of an output too) and "Output File exist." are
// kept on purpose: callers compare these texts.
INSTANTIATE_TEST_SUITE_P(
    Modes, FilePtrOpenTest,
    ::testing::Values(OpenCase{"InputMissing", L"missing", &kInputMode, "Input File Not found."},
                      OpenCase{"PieceInMissingFolder", L"nofolder/piece_1", &kPieceMode,
                               "Input File Not found."},
                      OpenCase{"TextInMissingFolder", L"nofolder/x.bat", &kTextOutputMode,
                               "Input File Not found."},
                      OpenCase{"PieceExisting", L"existing", &kPieceMode, "Output File exist."},
                      OpenCase{"TextExisting", L"existing", &kTextOutputMode, "Output File exist."},
                      OpenCase{"InputExisting", L"existing", &kInputMode, ""},
                      OpenCase{"PieceNew", L"new_1", &kPieceMode, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// "Fileneme" misspelt, kept on purpose: callers compare this text.
TEST(FilePtrTest, NullNameTouchesNothing) {
  TempDir dir;
  writeFile(dir / L"existing", "keep me");
  const CurrentFolder inside(dir.wide());
  const auto before = snapshot(dir.wide());
  for (const OpenMode* mode : {&kInputMode, &kPieceMode, &kTextOutputMode})
    EXPECT_EQ(openError(nullptr, *mode), "Fileneme was a null pointer.");
  EXPECT_TRUE(sameFiles(snapshot(dir.wide()), before));
}

// No blank before the number, kept on purpose: callers compare this text.
TEST(FilePtrTest, InvalidNameIsAnOpenErrorWithItsNumber) {
  TempDir dir;
  // Joined as text: the path library may not take the name at all.
  EXPECT_EQ(openError((dir.wide() + L"/" + invalidFileName()).c_str(), kPieceMode),
            "File open error.22");
  EXPECT_TRUE(snapshot(dir.wide()).empty());
}

// Our open input keeps writers out on Windows, by its share mode. On Linux
// a writer goes on at once, and the input's facts count it: through the read
// lease held while it is open, or where none can be had, a watch for writes.
TEST(FilePtrTest, WriterOfOurInputIsSeenAndGoesOnAtOnceUnlessAShareModeKeepsItOut) {
  for (const int leaseRefused : {0, EINVAL}) {
    TempDir dir;
    writeFile(dir / L"in.bin", "data");
    hooks::resetFaults();
    if (leaseRefused &&
        !hooks::injectFault({FaultPoint::inputWatch, 1, leaseRefused, SIZE_MAX, {}}))
      continue;  // no seam here, or no lease on this platform
    const File_ptr input((dir / L"in.bin").c_str(), kInputMode);
    EXPECT_EQ(writerWritesAtOnce(dir / L"in.bin"), !windowsPlatform()) << leaseRefused;
    platform::OpenFileFacts facts;
    ASSERT_EQ(input.describe(facts), 0);
    EXPECT_EQ(facts.writersSeen > 0, !windowsPlatform()) << leaseRefused;
    hooks::resetFaults();
  }
}

TEST(FilePtrTest, InputHeldOpenForWritingIsRefused) {
  TempDir dir;
  writeFile(dir / L"busy", "data");
  std::ofstream writer(platform::nativePath(dir / L"busy"), std::ios::app);
  ASSERT_TRUE(writer.is_open());
  EXPECT_EQ(openError((dir / L"busy").c_str(), kInputMode), "Permission denied.");
  writer.close();
  EXPECT_EQ(openError((dir / L"busy").c_str(), kInputMode), "");
}

struct WriteCase {
  const char* name;
  const OpenMode* mode;
  std::string written;
  std::string stored;
};

void PrintTo(const WriteCase& c, std::ostream* out) { *out << c.name; }

class FilePtrWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(FilePtrWriteTest, StoresBytesAndCountsTheCallersOnly) {
  TempDir dir;
  const WriteCase& c = GetParam();
  {
    std::unique_ptr<FileIO_IF> file(new File_ptr((dir / L"out").c_str(), *c.mode));
    EXPECT_EQ(file->write(c.written.data(), static_cast<uint32_t>(c.written.size())),
              static_cast<int>(c.written.size()));
  }
  EXPECT_EQ(readFile(dir / L"out"), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FilePtrWriteTest,
    ::testing::Values(WriteCase{"TextLf", &kTextOutputMode, "a\nb", "a\r\nb"},
                      WriteCase{"TextLfAtBothEnds", &kTextOutputMode, "\nx\n\n", "\r\nx\r\n\r\n"},
                      WriteCase{"TextUtf8Untouched", &kTextOutputMode, "\xC3\xA9\n",
                                "\xC3\xA9\r\n"},
                      WriteCase{"BinaryLf", &kPieceMode, "a\nb", "a\nb"},
                      WriteCase{"BinaryCrLf", &kPieceMode, "\r\n\n", "\r\n\n"},
                      // A whole block, and an odd length the system may take in slices.
                      WriteCase{"BinaryWholeBlock", &kPieceMode, patternBytes(1048576, 3),
                                patternBytes(1048576, 3)},
                      WriteCase{"BinaryOddLength", &kPieceMode, patternBytes(100001, 5),
                                patternBytes(100001, 5)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FilePtrTest, EofOnEmptyAndAfterTheLastByte) {
  TempDir dir;
  writeFile(dir / L"empty", "");
  writeFile(dir / L"three", "abc");
  char buffer[8];
  {
    File_ptr empty((dir / L"empty").c_str(), kInputMode);
    EXPECT_TRUE(empty.eof());
    EXPECT_EQ(empty.read(buffer, sizeof buffer), 0);
  }
  File_ptr three((dir / L"three").c_str(), kInputMode);
  EXPECT_FALSE(three.eof());
  EXPECT_FALSE(three.eof()) << "eof must not move the position";
  EXPECT_EQ(three.read(buffer, 2), 2);
  EXPECT_FALSE(three.eof());
  EXPECT_EQ(three.read(buffer, sizeof buffer), 1);
  EXPECT_EQ(buffer[0], 'c');
  EXPECT_TRUE(three.eof());
}

}  // namespace
