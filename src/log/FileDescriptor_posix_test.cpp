#include "log/FileDescriptor.h"

#include <fcntl.h>
#include <gtest/gtest.h>

TEST(FileDescriptorTest, ClosesOnceWhateverWayItsOwnerEnds) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  {
    CFileDescriptor reader(fds[0]), writer(fds[1]);
    CFileDescriptor moved(std::move(reader));
    const int kept = writer.Release();
    EXPECT_EQ(std::tuple(reader.IsOpen(), moved.Get(), writer.IsOpen(), kept), std::tuple(false, fds[0], false, fds[1]));
    writer.Reset(kept);
    EXPECT_TRUE(writer.Close());
    EXPECT_EQ(fcntl(fds[1], F_GETFD), -1);
    EXPECT_TRUE(writer.Close()) << "nothing left to close";
  }
  EXPECT_EQ(fcntl(fds[0], F_GETFD), -1);
}
