// Writing a file back safely and finding a file's real name without regard to case.
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <vector>

#include "files/files_local.h"
#include "files/packfile.h"

std::string ExistingPathNoCase(const std::string& path) {
    struct stat st;
    if (path.empty()) return "";
    if (lstat(path.c_str(), &st) == 0) return path;
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    // The same match as OpenFileNoCase's, without its warning: a file about to be written may
    // well not exist yet.
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string openDir = dir.empty() ? "." : dir;
    DIR* d = opendir(openDir.c_str());
    if (d == nullptr) return "";
    std::string found;
    while (dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, name.c_str()) == 0) {
            found = dir + e->d_name;
            break;
        }
    }
    closedir(d);
    return found;
}

namespace {

// Writes content over the file itself: for a file that may be written in a directory that does
// not let this user make a new file or rename one over it (a read-only folder, another user's
// file in a sticky one). Not atomic, but the only way such a file is written at all.
bool WriteInPlace(const std::string& target, const std::string& content) {
    int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              WriteFully(fd, content.data(), content.size()) == content.size();
    return ::close(fd) == 0 && ok;
}

// The directory refused the new file or the rename: the user may not change its entries.
bool DirectoryRefused(int error) { return error == EACCES || error == EPERM || error == EROFS; }

} // namespace

bool ReplaceFileContents(const std::string& path, const std::string& content) {
    if (path.empty()) return false;
    std::string target = path;
    struct stat st;
    bool existed = lstat(path.c_str(), &st) == 0;
    if (existed && S_ISLNK(st.st_mode)) {
        char real[PATH_MAX];
        if (realpath(path.c_str(), real) == nullptr) return false;
        target = real;
        existed = stat(real, &st) == 0;
    }
    if (existed && !S_ISREG(st.st_mode)) return false;
    size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? "." : target.substr(0, slash == 0 ? 1 : slash);
    std::string tmpl = dir + (dir == "/" ? "" : "/") + ".voxa-write-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) return existed && DirectoryRefused(errno) && WriteInPlace(target, content);
    mode_t mode;
    if (existed) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    bool ok = fchmod(fd, mode) == 0 && WriteFully(fd, content.data(), content.size()) == content.size();
    ok = ok && fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        unlink(name.data());
        return false;
    }
    if (std::rename(name.data(), target.c_str()) == 0) return true;
    const int error = errno;
    unlink(name.data());
    return existed && DirectoryRefused(error) && WriteInPlace(target, content);
}
