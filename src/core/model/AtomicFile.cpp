#include "core/model/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace varnel {

namespace {
Message WriteFailure(const std::string& path, int error)
{
    return ErrorMessage("无法写入文件 " + path + ": " + std::strerror(error));
}
}  // namespace

LegacyRefusal WriteFileAtomically(const std::string& path, std::string_view content)
{
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return WriteFailure(path, errno);
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int error = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            return WriteFailure(path, error);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    // Keep the permissions an ordinary new file would get.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    int syncError = ::fsync(fd) != 0 ? errno : 0;
    int closeError = ::close(fd) != 0 ? errno : 0;
    if (syncError != 0 || closeError != 0) {
        int error = syncError != 0 ? syncError : closeError;
        ::unlink(temp.c_str());
        return WriteFailure(path, error);
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(temp.c_str());
        return WriteFailure(path, error);
    }
    return std::nullopt;
}

bool ReadWholeFile(const std::string& path, std::string& content)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad())
        return false;
    content = ss.str();
    return true;
}

}  // namespace varnel
