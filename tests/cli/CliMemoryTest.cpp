// gazorin-cli under a 1 GB address-space limit: a load or a join that needs more ends with
// the out-of-memory message and exit status 1, writes nothing and leaves an older output file
// as it was.

#include "support/MemoryLimits.h"
#include "support/Rasters.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace gz;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<char>;

Bytes ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

class CliMemoryTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("gz-cli-memory-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        test::MakeBitmap(20, 10, [](int x, int) { return RGBColor(std::uint8_t(x * 10), 0, 0); })
            .SaveToFile((dir_ / "small.bmp").string());
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs gazorin-cli in the folder with its address space limited to 1 GB; returns the exit
    // status (-1 when it did not exit by itself) and keeps what it wrote to standard error.
    int RunLimited(const std::vector<std::string>& args)
    {
        std::vector<std::string> all{GAZORIN_CLI};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string errFile = (dir_ / "stderr.txt").string(), folder = dir_.string();
        const pid_t pid = ::fork();
        if (pid == 0) {
            const rlimit limit{rlim_t(1) << 30, rlim_t(1) << 30};
            const int fd = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (::chdir(folder.c_str()) != 0 || ::setrlimit(RLIMIT_AS, &limit) != 0 || fd < 0 || ::dup2(fd, 2) < 0)
                ::_exit(126);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        const Bytes err = ReadAll(errFile);
        errors_.assign(err.begin(), err.end());
        fs::remove(errFile);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The named output is as it was and no temporary file is left beside it.
    void ExpectOutputUntouched(const Bytes& before)
    {
        EXPECT_EQ(ReadAll(dir_ / "out.png"), before);
        for (const auto& entry : fs::directory_iterator(dir_))
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    }

    fs::path dir_;
    std::string errors_;
};

TEST_F(CliMemoryTest, LoadsAndJoinsThatNeedMoreThanTheLimitFailCleanly)
{
    ASSERT_EQ(RunLimited({"small.bmp", "small.bmp", "-o", "out.png"}), 0) << errors_;
    const Bytes before = ReadAll(dir_ / "out.png");

    // A JPEG file of a few hundred bytes whose header claims 30000 x 30000 pixels (2.7 GB decoded).
    // Joined in memory it is decoded whole; streamed, mirrored upside down, too.
    test::WriteJpegClaimingSize((dir_ / "huge.jpg").string(), 30000, 30000);
    for (const char* way : {"--no-stream", "--flip-ud"}) {
        EXPECT_EQ(RunLimited({"small.bmp", way, "huge.jpg", "-o", "out.png"}), 1) << way;
        EXPECT_NE(errors_.find("huge.jpg: Out of system resources: not enough memory"), std::string::npos) << errors_;
        ExpectOutputUntouched(before);
    }

    // Two 12000 x 12000 pictures load (18 MB each at 1 bit per pixel) and the first becomes a
    // 432 MB raster, but the joined 24000 x 12000 canvas does not fit beside them.
    test::WriteBilevelPng((dir_ / "wide.png").string(), 12000, 12000);
    EXPECT_EQ(RunLimited({"wide.png", "wide.png", "--no-stream", "-o", "out.png"}), 1);
    EXPECT_NE(errors_.find("wide.png: Out of system resources: not enough memory"), std::string::npos) << errors_;
    ExpectOutputUntouched(before);
    // Streamed, the same join holds a few rows of each at a time.
    EXPECT_EQ(RunLimited({"wide.png", "wide.png", "-o", "out.png"}), 0) << errors_;
}

} // namespace
