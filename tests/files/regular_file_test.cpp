#include "files/regular_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace auralith::files {
namespace {

class RegularFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(mkdtemp(folder_), nullptr); }
  void TearDown() override {
    for (const std::string& path : made_) unlink(path.c_str());
    rmdir(folder_);
  }
  std::string Path(const char* name) {
    made_.push_back(std::string(folder_) + "/" + name);
    return made_.back();
  }
  std::string Write(const char* name, const std::string& contents) {
    const std::string path = Path(name);
    FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    std::fwrite(contents.data(), 1, contents.size(), file);
    std::fclose(file);
    return path;
  }

  char folder_[32] = "/tmp/auralith-files-XXXXXX";
  std::vector<std::string> made_;
};

TEST_F(RegularFileTest, ReadsARegularFileAndALinkToOne) {
  const std::string path = Write("a.txt", std::string("one\0two", 7));
  const ReadResult read = ReadRegularFile(path, 7);
  ASSERT_TRUE(read.contents) << read.error;
  EXPECT_EQ(*read.contents, std::string("one\0two", 7));
  const std::string link = Path("link.txt");
  ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
  EXPECT_EQ(ReadRegularFile(link, 100).contents, read.contents);
  EXPECT_EQ(ReadRegularFile(Write("empty", ""), 0).contents, std::string());
}

TEST_F(RegularFileTest, RefusesWhatIsNoRegularFileWithoutBlocking) {
  const std::string fifo = Path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero"), std::string(folder_)}) {
    const OpenResult opened = OpenRegularFile(path, 1 << 20);
    EXPECT_FALSE(opened.file.valid()) << path;
    EXPECT_EQ(opened.error, "not a regular file") << path;
    EXPECT_FALSE(ReadRegularFile(path, 1 << 20).contents) << path;
  }
  const ReadResult missing = ReadRegularFile(std::string(folder_) + "/none", 10);
  EXPECT_FALSE(missing.contents);
  EXPECT_FALSE(missing.error.empty());
}

TEST_F(RegularFileTest, SizeCapIsInclusive) {
  const std::string path = Write("ten", "0123456789");
  EXPECT_TRUE(ReadRegularFile(path, 10).contents);
  const ReadResult refused = ReadRegularFile(path, 9);
  EXPECT_FALSE(refused.contents);
  EXPECT_EQ(refused.error, "larger than 9 bytes");
}

TEST_F(RegularFileTest, OpenedDescriptorBlocksAgainAndIsHandedOver) {
  const std::string path = Write("b", "xyz");
  OpenResult opened = OpenRegularFile(path, 3);
  ASSERT_TRUE(opened.file.valid());
  EXPECT_EQ(opened.size, 3u);
  EXPECT_EQ(fcntl(opened.file.get(), F_GETFL) & O_NONBLOCK, 0);
  EXPECT_NE(fcntl(opened.file.get(), F_GETFD) & FD_CLOEXEC, 0);
  const int fd = opened.file.release();
  EXPECT_FALSE(opened.file.valid());
  char buffer[4] = {};
  EXPECT_EQ(read(fd, buffer, sizeof buffer), 3);
  close(fd);
}

}  // namespace
}  // namespace auralith::files
