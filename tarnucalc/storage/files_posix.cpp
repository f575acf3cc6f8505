// Reading and atomic replacement of files with the POSIX calls.
#ifndef _WIN32
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "files.h"

namespace tarnu {

namespace {

bool writeAll(int fd, const std::string &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string directoryOf(const std::string &path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

ReadStatus readFileBytes(const std::string &path, std::string &bytes) {
    bytes.clear();
    // Without O_NONBLOCK, opening a named pipe nobody writes to would wait forever; once
    // open, reads may block again (a pipe with no writer reads as empty).
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadStatus::Missing : ReadStatus::Unreadable;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        close(fd);
        return ReadStatus::Unreadable;
    }
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            bytes.clear();
            return ReadStatus::Unreadable;
        }
        if (n == 0) break;
        bytes.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return ReadStatus::Ok;
}

bool makeDirectories(const std::string &dir) {
    if (dir.empty()) return true;
    struct stat st;
    if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeDirectories(dir.substr(0, slash)))
        return false;
    return mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST;
}

bool replaceFile(const std::string &givenPath, const std::string &bytes) {
    // Replace what a symbolic link points at, not the link.
    std::string path = givenPath;
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char *real = realpath(path.c_str(), nullptr)) {
            path = real;
            free(real);
        } else {
            // A link to a file not there yet: that file is created, the link stays.
            std::vector<char> target(PATH_MAX);
            ssize_t n = readlink(path.c_str(), target.data(), target.size());
            std::string to(target.data(), n > 0 ? static_cast<size_t>(n) : 0);
            if (!to.empty()) path = to[0] == '/' ? to : directoryOf(path) + "/" + to;
        }
    }
    // Only a regular file is replaced: renaming over a device, a pipe or a directory would
    // put a plain file in its place (as root, even over /dev/null).
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return false;
    std::string dir = directoryOf(path);
    if (!makeDirectories(dir)) return false;
    // A short name of its own: the file's name plus a suffix could exceed the longest name
    // the directory allows, while the file's name itself fits.
    std::string pattern = (dir == "/" ? "" : dir) + "/.tarnu-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) return false;
    // Keep the permissions of the file being replaced.
    mode_t mode = 0644;
    if (stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
    bool ok = writeAll(fd, bytes) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok) ok = rename(name.data(), path.c_str()) == 0;
    if (!ok) unlink(name.data());
    return ok;
}

bool fileExists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace tarnu
#endif
