#include "platform/Files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qmk::platform {

namespace {

[[noreturn]] void Fail(const char* what, const std::filesystem::path& path, int error) {
    throw FileError(std::string("cannot ") + what + " '" + PathText(path) + "': " + std::strerror(error));
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    // close() reports what an earlier write-back could not do (NFS), so
    // its answer counts.
    int Close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

}  // namespace

bool WriteNewFile(const std::filesystem::path& path, std::string_view data) {
    Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (file.Get() < 0) {
        if (errno == EEXIST) return false;
        Fail("create", path, errno);
    }
    const auto failAndRemove = [&](const char* what) {
        const int error = errno;
        file.Close();
        ::unlink(path.c_str());
        Fail(what, path, error);
    };
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(file.Get(), data.data() + written, data.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            failAndRemove("write");
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(file.Get()) != 0) failAndRemove("flush");
    if (file.Close() != 0) {
        const int error = errno;
        ::unlink(path.c_str());
        Fail("write", path, error);
    }
    return true;
}

bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EEXIST) return false;
    // Some file systems do not know the flag; a hard link refuses an
    // existing name just as well.
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) Fail("rename to", to, errno);
#endif
    if (::link(from.c_str(), to.c_str()) != 0) {
        if (errno == EEXIST) return false;
        Fail("link to", to, errno);
    }
    if (::unlink(from.c_str()) != 0) Fail("remove", from, errno);
    return true;
}

void RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) Fail("rename to", to, errno);
}

void SyncFolder(const std::filesystem::path& folder) {
    Descriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.Get() < 0) Fail("open", folder, errno);
    // Some file systems cannot flush a folder (EINVAL); the file itself is
    // on the disk already.
    if (::fsync(directory.Get()) != 0 && errno != EINVAL) Fail("flush", folder, errno);
}

std::optional<std::filesystem::path> EnvironmentPath(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::filesystem::path(value);
}

}  // namespace qmk::platform
