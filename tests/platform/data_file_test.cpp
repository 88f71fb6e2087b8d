#include "platform/data_file.h"
#include "platform/atomic_file.h"
#include "platform/positioned_io.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/un.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <future>
#include <numeric>

#include "test_files.h"

using namespace ninetrace;
using ninetrace::testing::BoundUnixSocket;
using ninetrace::testing::TFileSizeLimit;
using ninetrace::testing::TTempDirectory;

namespace {

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t start) {
  std::vector<std::uint8_t> bytes(size);
  std::iota(bytes.begin(), bytes.end(), start);
  return bytes;
}

TEST(DataFile, CreateNewReportsATakenNameAndLeavesThatFileAlone) {
  TTempDirectory dir;
  const auto name = dir / "160302 090507.bin";
  TDataFile first;
  ASSERT_TRUE(first.CreateNew(name));
  const auto bytes = Pattern(100, 1);
  first.WriteAll(bytes.data(), 100);
  first.Close();

  TDataFile second;
  EXPECT_FALSE(second.CreateNew(name));
  EXPECT_FALSE(second.IsOpen());
  EXPECT_EQ(ninetrace::testing::ReadWholeFile(name), bytes);

  try {
    (void)second.CreateNew(dir / "missing-folder" / "x.bin");
    FAIL() << "created a file in a folder that does not exist";
  } catch (const TFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create " + (dir / "missing-folder" / "x.bin").string() +
                                         ": No such file or directory");
  }
}

TEST(DataFile, OpenReadNamesTheFileAndTheReason) {
  TTempDirectory dir;
  TDataFile file;
  try {
    file.OpenRead(dir / "nothing.bin");
    FAIL() << "opened a file that does not exist";
  } catch (const TFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open " + (dir / "nothing.bin").string() + ": No such file or directory");
    EXPECT_EQ(e.Reason(), "No such file or directory");
  }
  EXPECT_FALSE(file.IsOpen());
}

TEST(DataFile, PagesRoundTripAtOffsetsBeyondFourGigabytes) {
  TTempDirectory dir;
  const auto name = dir / "big.bin";
  constexpr std::int64_t far = 5'000'000'000;  // sparse: takes no disk space
  const auto first = Pattern(7000, 0), last = Pattern(7000, 100);
  {
    TDataFile file;
    ASSERT_TRUE(file.CreateNew(name));
    file.WriteAll(first.data(), 7000);
    file.SeekTo(far);
    file.WriteAll(last.data(), 7000);
    EXPECT_EQ(file.Size(), far + 7000);
  }
  TDataFile file;
  file.OpenRead(name);
  EXPECT_EQ(file.SeekEnd(), far + 7000);
  std::vector<std::uint8_t> page(7000);
  file.SeekTo(far);
  EXPECT_EQ(file.Read(page.data(), 7000), 7000);
  EXPECT_EQ(page, last);
  EXPECT_EQ(file.Read(page.data(), 7000), 0);  // at the end
  file.SeekTo(0);
  EXPECT_EQ(file.Read(page.data(), 7000), 7000);
  EXPECT_EQ(page, first);
  file.SeekTo(far + 3000);
  EXPECT_EQ(file.Read(page.data(), 7000), 4000);
}

// What a deep zoom from a cold disk asks ahead for, and skips when warm.
TEST(DataFile, InMemoryTellsWhetherAReadWouldWaitForTheDisk) {
  TTempDirectory dir;
  struct statfs fs {};
  ASSERT_EQ(::statfs(dir.Path().c_str(), &fs), 0);
  if (fs.f_type == TMPFS_MAGIC) GTEST_SKIP() << "a memory file system never waits for a disk";
  TDataFile file;
  ASSERT_TRUE(file.CreateNew(dir / "page.bin"));
  const auto page = Pattern(7000, 3);
  file.WriteAll(page.data(), 7000);
  EXPECT_TRUE(InMemoryAt(file.Descriptor(), 6999));  // just written
  ASSERT_EQ(::fdatasync(file.Descriptor()), 0);
  ASSERT_EQ(::posix_fadvise(file.Descriptor(), 0, 0, POSIX_FADV_DONTNEED), 0);
  EXPECT_FALSE(InMemoryAt(file.Descriptor(), 10));
  std::vector<std::uint8_t> read(7000);
  EXPECT_EQ(ReadAt(file.Descriptor(), read.data(), 7000, 0), 7000);
  EXPECT_TRUE(InMemoryAt(file.Descriptor(), 10));
}

TEST(DataFile, AShortWriteIsReportedWithItsReasonAndCanBeCutAway) {
  TTempDirectory dir;
  const auto page = Pattern(7000, 7);
  TDataFile file;
  ASSERT_TRUE(file.CreateNew(dir / "full.bin"));
  {
    TFileSizeLimit limit(10000);
    file.WriteAll(page.data(), 7000);
    try {
      file.WriteAll(page.data(), 7000);
      FAIL() << "wrote past the file size limit";
    } catch (const TFileError& e) {
      EXPECT_EQ(e.Reason(), "File too large");
      EXPECT_EQ(std::string(e.what()), "Cannot write to " + (dir / "full.bin").string() + ": File too large");
    }
    EXPECT_EQ(file.Size(), 10000);  // part of the second page got through
    file.Truncate(7000);
  }
  EXPECT_EQ(file.Size(), 7000);
}

}  // namespace

namespace {

// A FIFO, a socket and a device are not recordings: refused at once with what they are, where a
// plain open of the FIFO would wait for a writer forever.
TEST(DataFile, OpenReadRefusesWhatIsNotARegularFileWithoutWaiting) {
  TTempDirectory dir;
  const auto fifo = dir / "line.fifo", socketPath = dir / "line.sock";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const TFileDescriptor listener = BoundUnixSocket(socketPath);

  const struct {
    std::filesystem::path Name;
    std::string Kind;
  } rows[] = {{fifo, "a pipe (FIFO)"}, {socketPath, "a socket"}, {"/dev/zero", "a device"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    auto opening = std::async(std::launch::async, [&] {
      TDataFile file;
      try {
        file.OpenRead(row.Name);
        return std::string("opened");
      } catch (const TFileError& e) {
        return std::string(e.what());
      }
    });
    if (opening.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
      ADD_FAILURE() << "OpenRead is still waiting";
      ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));  // lets it go, so the test can end
    }
    EXPECT_EQ(opening.get(), "Cannot open " + row.Name.string() + ": it is " + row.Kind + ", not a recording file.");
  }
}

}  // namespace

// A file written whole replaces its target only when complete, through a link to the file it
// leads to, keeping who may read it; abandoned, it leaves the target and no temporary behind.
TEST(AtomicFile, TheTargetChangesOnlyWhenWholeAndStaysWhatItWas) {
  namespace fs = std::filesystem;
  TTempDirectory dir;
  const auto text = [](const fs::path& name) {
    std::ifstream in(name);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  const fs::path target = dir / "out.csv", link = dir / "link.csv";
  std::ofstream(target) << "old";
  ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
  fs::create_symlink(target, link);
  {
    TAtomicFile file(link);
    EXPECT_TRUE(file.Replaces());
    file.Write("new, half", 9);
    EXPECT_EQ(text(target), "old");
  }  // abandoned: a signal or a full disk on the way
  EXPECT_EQ(text(target), "old");
  EXPECT_EQ(dir.Names().size(), 2u) << "a temporary was left";

  WriteWholeFile(link, "new", 3);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(text(target), "new");
  EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(dir.Names().size(), 2u);

  TAtomicFile device("/dev/null");  // cannot be replaced: written where it is
  EXPECT_FALSE(device.Replaces());
  device.Write("x", 1);
  EXPECT_NO_THROW(device.Commit());
  EXPECT_THROW(TAtomicFile(dir / "no-such-folder" / "out.csv"), TFileError);
}
