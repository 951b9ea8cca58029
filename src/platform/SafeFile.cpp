#include "platform/SafeFile.h"

#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace gz {

namespace {

// A TFileStream-like stream over a descriptor we opened ourselves.
class TDescriptorStream : public TStream {
public:
    TDescriptorStream(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    std::size_t Read(void* buffer, std::size_t count) override
    {
        const ssize_t n = ::read(fd_, buffer, count);
        return n > 0 ? std::size_t(n) : 0;
    }
    std::size_t Write(const void* buffer, std::size_t count) override
    {
        for (;;) {
            const ssize_t n = ::write(fd_, buffer, count);
            if (n >= 0)
                return std::size_t(n);
            if (errno != EINTR)
                throw EWriteError("Stream write error: " + name_ + ": " + std::strerror(errno));
        }
    }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override
    {
        const int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
        const off_t r = ::lseek(fd_, off_t(offset), whence);
        if (r < 0)
            throw EStreamError("Invalid stream position");
        return r;
    }

private:
    int fd_;
    std::string name_;
};

std::string FolderOf(const std::string& fileName)
{
    const auto slash = fileName.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : fileName.substr(0, slash);
}

} // namespace

void WriteFileAtomically(const std::string& fileName, const std::function<void(TStream&)>& write)
{
    const std::string base = fileName.substr(fileName.rfind('/') == std::string::npos ? 0 : fileName.rfind('/') + 1);
    std::string pattern = FolderOf(fileName) + "/." + base + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
    const std::string tempName(name.data());
    bool closed = false;
    try {
        // Keep the permissions a newly created file would get, or the old file's.
        struct stat old {};
        if (::stat(fileName.c_str(), &old) == 0) {
            ::fchmod(fd, old.st_mode & 07777);
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(fd, 0666 & ~mask);
        }
        TDescriptorStream stream(fd, fileName);
        write(stream);
        if (::fsync(fd) != 0)
            throw EWriteError("Stream write error: " + fileName + ": " + std::strerror(errno));
        closed = true;
        if (::close(fd) != 0)
            throw EWriteError("Stream write error: " + fileName + ": " + std::strerror(errno));
    } catch (...) {
        if (!closed)
            ::close(fd);
        ::unlink(tempName.c_str());
        throw;
    }
    if (std::rename(tempName.c_str(), fileName.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        ::unlink(tempName.c_str());
        throw EFCreateError("Cannot create file \"" + fileName + "\". " + reason);
    }
}

} // namespace gz
