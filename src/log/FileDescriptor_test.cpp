#include "log/FileDescriptor.h"

#include <fcntl.h>
#include <gtest/gtest.h>

namespace {

bool IsOpenFd(int fd) { return fcntl(fd, F_GETFD) != -1; }

TEST(FileDescriptorTest, ClosesOnceWhateverWayItsOwnerEnds) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  {
    CFileDescriptor reader(fds[0]);
    CFileDescriptor writer(fds[1]);
    CFileDescriptor moved(std::move(reader));
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(moved.Get(), fds[0]);
    const int kept = writer.Release();
    EXPECT_EQ(kept, fds[1]);
    EXPECT_FALSE(writer.IsOpen());
    writer.Reset(kept);
    EXPECT_TRUE(writer.Close());
    EXPECT_FALSE(IsOpenFd(fds[1]));
    EXPECT_TRUE(writer.Close()) << "nothing left to close";
  }
  EXPECT_FALSE(IsOpenFd(fds[0]));
}

}  // namespace
