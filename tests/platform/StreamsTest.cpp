#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <unistd.h>

using namespace gz;

TEST(MemoryStream, WritesReadsAndSeeks)
{
    TMemoryStream s;
    s.WriteBuffer("hello", 5);
    s.Seek(10, soBeginning);
    s.WriteBuffer("!", 1);
    EXPECT_EQ(s.Size(), 11);
    EXPECT_EQ(s.Memory()[7], 0) << "a gap left by seeking past the end reads as zero";
    s.Seek(-6, soEnd);
    EXPECT_EQ(s.Position(), 5);
    s.SetPosition(1);
    char buf[4] = {};
    s.ReadBuffer(buf, 3);
    EXPECT_EQ(std::string(buf, 3), "ell");
    s.SetPosition(9);
    EXPECT_EQ(s.Read(buf, 4), 2u);
    EXPECT_THROW(s.ReadBuffer(buf, 1), EReadError);
    EXPECT_THROW(s.Seek(-1, soBeginning), EStreamError);
}

TEST(MemoryStream, ViewReadsInPlaceAndRefusesWrites)
{
    const char data[] = "abcdef";
    TMemoryViewStream v(data, 6);
    EXPECT_EQ(static_cast<const void*>(v.Memory()), static_cast<const void*>(data));
    EXPECT_THROW(v.WriteBuffer("x", 1), EWriteError);
    TMemoryStream copy;
    copy.CopyFrom(v, 0);
    EXPECT_EQ(copy.Size(), 6);
    EXPECT_EQ(std::memcmp(copy.Memory(), data, 6), 0);
}

TEST(FileStream, RoundTripsAndNamesTheFileInErrors)
{
    const auto dir = std::filesystem::temp_directory_path() / ("gz-streams-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "a.bin").string();
    {
        TFileStream out(path, fmCreate);
        out.WriteBuffer("0123456789", 10);
        out.SetSize(4);
        EXPECT_EQ(out.Size(), 4);
    }
    TMemoryStream in;
    in.LoadFromFile(path);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(in.Memory()), 4), "0123");

    try {
        TFileStream missing((dir / "missing.bin").string(), fmOpenRead);
        FAIL() << "opening a missing file must fail";
    } catch (const EFOpenError& e) {
        EXPECT_NE(std::string(e.what()).find("missing.bin"), std::string::npos);
    }
    EXPECT_THROW(TFileStream((dir / "no" / "such" / "dir.bin").string(), fmCreate), EFCreateError);
    std::filesystem::remove_all(dir);

    // A read that the system refuses (a folder opened as a file) is an error, not an end.
    TFileStream folder(std::filesystem::temp_directory_path().string(), fmOpenRead);
    char byte = 0;
    try {
        folder.Read(&byte, 1);
        FAIL() << "a failed read must raise";
    } catch (const EReadError& e) {
        EXPECT_NE(std::string(e.what()).find(std::filesystem::temp_directory_path().string()), std::string::npos);
    }
}

#include "platform/SafeFile.h"

TEST(SafeFile, ReplacesOnlyAfterACompleteWriteAndLeavesNoTemporary)
{
    const auto dir = std::filesystem::temp_directory_path() / ("gz-safe-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "out.bin").string();
    WriteFileAtomically(path, [](TStream& s) { s.WriteBuffer("good", 4); });

    EXPECT_THROW(WriteFileAtomically(path,
                                     [](TStream& s) {
                                         s.WriteBuffer("bad", 3);
                                         throw EWriteError("disk full");
                                     }),
                 EWriteError);
    TMemoryStream in;
    in.LoadFromFile(path);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(in.Memory()), std::size_t(in.Size())), "good");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1)
        << "no temporary file may stay behind";

    EXPECT_THROW(WriteFileAtomically((dir / "missing" / "x.bin").string(), [](TStream&) {}), EFCreateError);
    std::filesystem::remove_all(dir);
}
