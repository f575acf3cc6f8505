// Reading and atomic replacement of files with the Windows calls, by wide-character
// names, so "配置.ini" and "公式" work whatever the system's code page.
#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <climits>
#include <random>

#include "files.h"
#include "wide_text.h"

namespace tarnu {

namespace {

bool isSeparator(wchar_t c) {
    return c == L'/' || c == L'\\';
}

std::wstring directoryOf(const std::wstring &path) {
    size_t sep = path.find_last_of(L"/\\");
    if (sep == std::wstring::npos) return L".";
    // "C:\" and "\" keep their separator: without it they name another directory.
    if (sep == 0 || (sep == 2 && path[1] == L':')) return path.substr(0, sep + 1);
    return path.substr(0, sep);
}

bool isDirectory(const std::wstring &path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool makeWideDirectories(const std::wstring &dir) {
    if (dir.empty() || dir == L"." || isDirectory(dir)) return true;
    if (GetFileAttributesW(dir.c_str()) != INVALID_FILE_ATTRIBUTES) return false;  // a file
    std::wstring parent = directoryOf(dir);
    if (parent != dir && !isSeparator(dir.back()) && !makeWideDirectories(parent)) return false;
    return CreateDirectoryW(dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool writeAll(HANDLE h, const std::string &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 30)), n = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &n, nullptr) || n == 0) return false;
        done += n;
    }
    return true;
}

// A name of its own beside the file, created only if nobody has it.
HANDLE createTemporary(const std::wstring &dir, std::wstring &name) {
    static std::mt19937 random(std::random_device{}() ^ GetCurrentProcessId());
    std::wstring base = dir == L"." ? L"" : dir;
    if (!base.empty() && !isSeparator(base.back())) base += L'\\';
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = base + L".tarnu-" + std::to_wstring(random() % 1000000000u);
        HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

ReadStatus readFileBytes(const std::string &path, std::string &bytes) {
    bytes.clear();
    std::wstring name = widen(path);
    HANDLE h = CreateFileW(name.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? ReadStatus::Missing
                                                                      : ReadStatus::Unreadable;
    }
    // Only files on disk: a device or a pipe could block or never end.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return ReadStatus::Unreadable;
    }
    char buf[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(h, buf, sizeof buf, &n, nullptr)) {
            CloseHandle(h);
            bytes.clear();
            return ReadStatus::Unreadable;
        }
        if (n == 0) break;
        bytes.append(buf, n);
    }
    CloseHandle(h);
    return ReadStatus::Ok;
}

bool replaceFile(const std::string &givenPath, const std::string &bytes) {
    std::wstring path = widen(givenPath);
    if (path.empty() || isSeparator(path.back()) || isDirectory(path)) return false;
    // A read-only file is the user's "do not change": keep it (not every file system refuses
    // the replacement by itself).
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    std::wstring dir = directoryOf(path);
    if (!makeWideDirectories(dir)) return false;
    std::wstring temporary;
    HANDLE h = createTemporary(dir, temporary);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = writeAll(h, bytes) && FlushFileBuffers(h);
    ok = CloseHandle(h) && ok;
    // The old file stays whole until the new one is complete, then is replaced in one step.
    if (ok)
        ok = MoveFileExW(temporary.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(temporary.c_str());
    return ok;
}

bool makeDirectories(const std::string &dir) {
    return makeWideDirectories(widen(dir));
}

bool fileExists(const std::string &path) {
    DWORD a = GetFileAttributesW(widen(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace tarnu
#endif
