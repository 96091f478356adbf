#include "core/model/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace varnel {

namespace {

Refusal ErrnoWriteRefusal(const std::string& path, int error)
{
    const Code code = error == EACCES || error == EPERM || error == EROFS ? Code::FileNotWritable
                      : error == EISDIR                                   ? Code::FileIsDirectory
                                                                          : Code::FileWriteFailed;
    return WriteRefusal(code, path, std::strerror(error));
}

Refusal ReadRefusal(const std::string& path, int error)
{
    const Code code = error == ENOENT || error == ENOTDIR ? Code::FileMissing
                      : error == EISDIR                   ? Code::FileIsDirectory
                                                          : Code::FileUnreadable;
    // The system's wording for a folder ("Is a directory") reads like a
    // sentence start; say it as the rest of the line does.
    const std::string reason = error == EISDIR ? "is a directory" : std::strerror(error);
    return Refuse(code, "无法打开文件 " + path + ": " + reason);
}

std::string Folder(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a path finally names: symbolic links followed (at most 40, as the
// system does), a relative link taken from the folder of the link.
std::string LinkTarget(const std::string& path)
{
    std::string target = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st;
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096), '\0');
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n <= 0) break;
        link.resize(static_cast<std::size_t>(n));
        target = link.front() == '/' ? link : Folder(target) + "/" + link;
    }
    return target;
}

bool WriteAll(int fd, std::string_view content)
{
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

Refusal WriteRefusal(Code code, const std::string& path, const std::string& reason)
{
    return Refuse(code, "无法写入文件 " + path + ": " + reason);
}

Status WriteFileAtomically(const std::string& path, std::string_view content)
{
    const std::string target = LinkTarget(path);
    struct stat old;
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) return ErrnoWriteRefusal(path, EISDIR);
    // Renaming over a file needs only the folder's permission: ask the file.
    if (exists && ::access(target.c_str(), W_OK) != 0) return ErrnoWriteRefusal(path, errno);

    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return ErrnoWriteRefusal(path, errno);
    int error = WriteAll(fd, content) ? 0 : errno;
    if (exists) {
        // Owner first: changing it may clear set-id bits that the mode restores.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)::fchown(fd, old.st_uid, old.st_gid);
        if (error == 0 && ::fchmod(fd, old.st_mode & 07777) != 0) error = errno;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (error == 0 && ::fchmod(fd, 0666 & ~mask) != 0) error = errno;
    }
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && std::rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return ErrnoWriteRefusal(path, error);
    }
    return {};
}

Result<std::string> ReadWholeFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return ReadRefusal(path, errno);
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return ReadRefusal(path, EISDIR);
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return ReadRefusal(path, error);
        }
        if (n == 0) break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return content;
}

}  // namespace varnel
