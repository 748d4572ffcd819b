// File, directory and system commands: copy, delete, existence tests, the current directory,
// the directory listing with its wildcard rule, shell commands and the command line.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/openfile.h"
#include "files/files_local.h"
#include "files/lookup.h"
#include "voxa/files.h"
#include "voxa/window.h"

namespace {

bool CharMatches(char p, char c) {
    if (p == '?') return c != '.';
    if (std::isalpha(static_cast<unsigned char>(p)) && static_cast<unsigned char>(p) < 128) {
        return std::tolower(static_cast<unsigned char>(p)) == std::tolower(static_cast<unsigned char>(c));
    }
    return p == c;
}

// Removes the destination of a failed copy, but only when the name still holds the very
// regular file the copy created or truncated (written: its fstat while open). A FIFO, a device
// (a copy onto /dev/full fails every write), a symbolic link, or a file put there since is left
// alone.
void RemoveFailedCopy(const std::string& destination, const struct stat& written) {
    struct stat named;
    std::string name = ExistingPathNoCase(destination); // the name the copy opened
    if (S_ISREG(written.st_mode) && !name.empty() && lstat(name.c_str(), &named) == 0 &&
        named.st_dev == written.st_dev && named.st_ino == written.st_ino) {
        unlink(name.c_str());
    }
}

} // namespace

bool MatchWildcard(const char* pattern, const char* name) {
    const char* star = nullptr; // the pattern just after the last '*'
    const char* resume = name;  // where the text after that '*' is tried next
    while (*name != '\0') {
        if (*pattern == '*') {
            while (*pattern == '*') ++pattern;
            if (*pattern == '\0') return true;
            star = pattern;
            resume = name;
        } else if (*pattern != '\0' && CharMatches(*pattern, *name)) {
            ++pattern;
            ++name;
        } else if (star != nullptr) {
            pattern = star;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

double CopyFile(const DynString& source, const DynString& destination) {
    FILE* in = OpenFileNoCase(source.CStr(), "rb");
    if (in == nullptr) return 0;
    // Opening the source itself for writing would empty it before a byte was copied. (Compared
    // by stat, not by opening: opening a FIFO there would wait for a writer.)
    std::string existing = ExistingPathNoCase(destination.CStr());
    struct stat from, onto;
    if (!existing.empty() && fstat(fileno(in), &from) == 0 && stat(existing.c_str(), &onto) == 0 &&
        from.st_dev == onto.st_dev && from.st_ino == onto.st_ino) {
        std::fclose(in);
        return 0;
    }
    QuietPipeWrites quiet; // the destination may be a FIFO whose reader quits
    FILE* out = OpenFileNoCase(destination.CStr(), "wb");
    if (out == nullptr) {
        std::fclose(in);
        return 0;
    }
    struct stat written{};
    bool ok = fstat(fileno(out), &written) == 0;
    char block[4096];
    for (size_t n; ok && (n = std::fread(block, 1, sizeof block, in)) > 0;) ok = std::fwrite(block, 1, n, out) == n;
    ok = ok && !std::ferror(in);
    std::fclose(in);
    ok = std::fclose(out) == 0 && ok;
    if (!ok) RemoveFailedCopy(destination.CStr(), written);
    return ok ? 1 : 0;
}

double DeleteFile(const DynString& path) { return std::remove(path.CStr()); }

double FileExists(const DynString& path) {
    FILE* f = OpenFileNoCase(path.CStr(), "rb");
    if (f == nullptr) return 0;
    std::fclose(f);
    return 1;
}

double IsDirectory(const DynString& path) {
    struct stat st;
    return stat(path.CStr(), &st) == 0 && S_ISDIR(st.st_mode) ? 1 : 0;
}

DynString GetCurrentDir() {
    char buf[PATH_MAX + 2];
    if (getcwd(buf, PATH_MAX) == nullptr) return DynString("");
    DynString dir(buf);
    ToSlashes(dir);
    if (dir.Length() == 0 || dir.CStr()[dir.Length() - 1] != '/') dir += "/";
    return dir;
}

double SetCurrentDir(const DynString& path) { return chdir(path.CStr()) == 0 ? 1 : 0; }

double ShellCommand(const DynString& command) {
    std::fflush(nullptr); // the command's output follows ours
    return std::system(command.CStr());
}

DynString GetCommandLine() { return gSettings.commandLine; }

double GetFileList(const DynString& pattern, DynStringArray& list) {
    std::vector<std::string> dirs, files;
    if (DIR* d = opendir(".")) {
        while (dirent* e = readdir(d)) {
            struct stat st;
            if (stat(e->d_name, &st) == 0 && S_ISDIR(st.st_mode)) {
                dirs.push_back(e->d_name);
            } else if (MatchWildcard(pattern.CStr(), e->d_name)) {
                files.push_back(e->d_name);
            }
        }
        closedir(d);
    }
    size_t total = dirs.size() + files.size();
    list.Dim(double(total));
    size_t i = 0;
    for (const std::string& n : dirs) list.At(double(i++)) = n.c_str();
    for (const std::string& n : files) list.At(double(i++)) = n.c_str();
    return double(total);
}

void ToSlashes(DynString& text) {
    char* p = text.GetBuffer(0);
    for (uint32_t i = 0; i < text.Length(); ++i) {
        if (p[i] == '\\') p[i] = '/';
    }
}
