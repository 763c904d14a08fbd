#include "streams/CXStreamFile.h"

#include "platform/File.h"
#include "support/ScratchFolder.h"

#include <fstream>
#include <gtest/gtest.h>

TEST(CXStreamFileAdoptTest, ReadsWritesAndClosesAnAdoptedDescriptor)
{
    ScratchFolder scratch;
    std::string path = scratch / "file";
    std::ofstream(path) << "hello";
    int fd = -1;
    ASSERT_EQ(0, Platform::OpenFile(path, Platform::kOpenWrite, 0, fd));
    {
        CXStreamFile stream;
        EXPECT_FALSE(stream.AdoptDescriptor(-1, CXStreamFile::kModeRead));
        ASSERT_TRUE(stream.AdoptDescriptor(fd, CXStreamFile::kModeRead | CXStreamFile::kModeWrite));
        EXPECT_FALSE(stream.AdoptDescriptor(fd, CXStreamFile::kModeRead));
        EXPECT_EQ(kCXAlreadyOpen, stream.GetResult());
        EXPECT_EQ(5u, stream.GetSize());
        char buffer[5] = {};
        EXPECT_EQ(5u, stream.Read(buffer, 5));
        EXPECT_EQ(std::string("hello"), std::string(buffer, 5));
        EXPECT_EQ(3u, stream.Write("!!!", 3));
        EXPECT_EQ(kCXOK, stream.Close());
    }
    // The stream closed the descriptor.
    Platform::FileInfo info;
    EXPECT_NE(0, Platform::StatFile(fd, info));
    std::ifstream in(path);
    std::string text;
    in >> text;
    EXPECT_EQ("hello!!!", text);
}

TEST(CXStreamFileAdoptTest, ReadOnlyAdoptionRefusesWrites)
{
    ScratchFolder scratch;
    std::string path = scratch / "file";
    std::ofstream(path) << "data";
    int fd = -1;
    ASSERT_EQ(0, Platform::OpenFile(path, Platform::kOpenRead, 0, fd));
    CXStreamFile stream;
    ASSERT_TRUE(stream.AdoptDescriptor(fd, CXStreamFile::kModeRead));
    EXPECT_EQ(0u, stream.Write("x", 1));
}
