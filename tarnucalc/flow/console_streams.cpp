#include "console_streams.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <streambuf>
#include <string>

#include "encoding.h"
#include "wide_text.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarnu {

#ifdef _WIN32
namespace {

bool isConsole(HANDLE h) {
    DWORD mode;
    return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode);
}

UINT orAnsi(UINT cp) {
    return cp ? cp : GetACP();
}

std::string toCodePage(const std::wstring &w, UINT cp) {
    if (w.empty()) return {};
    int n = static_cast<int>(w.size());
    int len = WideCharToMultiByte(cp, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(len > 0 ? len : 0), '\0');
    if (len > 0) WideCharToMultiByte(cp, 0, w.data(), n, out.data(), len, nullptr, nullptr);
    return out;
}

std::wstring fromCodePage(const std::string &s, UINT cp) {
    if (s.empty()) return {};
    int n = static_cast<int>(s.size());
    int len = MultiByteToWideChar(cp, 0, s.data(), n, nullptr, 0);
    std::wstring out(static_cast<size_t>(len > 0 ? len : 0), L'\0');
    if (len > 0) MultiByteToWideChar(cp, 0, s.data(), n, out.data(), len);
    return out;
}

// Length of s without a UTF-8 sequence cut at its end, which waits for its other bytes.
size_t completeLength(const std::string &s) {
    size_t i = s.size();
    for (size_t back = 0; back < 4 && i > 0; ++back) {
        unsigned char c = static_cast<unsigned char>(s[i - 1 - back]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte
        size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return back + 1 < need ? i - 1 - back : i;
    }
    return i;
}

// Output: a console gets wide characters (shown right whatever its code page); a pipe or
// file gets the console's output code page, as other console programs write.
class OutputBuffer : public std::streambuf {
  public:
    explicit OutputBuffer(DWORD which) : handle_(GetStdHandle(which)) {}

  protected:
    int overflow(int c) override {
        if (c == traits_type::eof()) return sync() == 0 ? 0 : traits_type::eof();
        pending_ += static_cast<char>(c);
        if (c == '\n' || pending_.size() >= 4096) sync();
        return c;
    }
    std::streamsize xsputn(const char *s, std::streamsize n) override {
        pending_.append(s, static_cast<size_t>(n));
        if (pending_.find('\n') != std::string::npos || pending_.size() >= 4096) sync();
        return n;
    }
    int sync() override {
        size_t n = completeLength(pending_);
        std::wstring w = widen(pending_.substr(0, n));
        pending_.erase(0, n);
        DWORD done = 0;
        if (isConsole(handle_))
            return WriteConsoleW(handle_, w.data(), static_cast<DWORD>(w.size()), &done, nullptr)
                       ? 0
                       : -1;
        std::string bytes = toCodePage(w, orAnsi(GetConsoleOutputCP()));
        return bytes.empty() || WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()),
                                          &done, nullptr)
                   ? 0
                   : -1;
    }

  private:
    HANDLE handle_;
    std::string pending_;
};

// Input, a line at a time: typed text from the console as wide characters; piped text as
// UTF-8 when it is valid UTF-8, otherwise in the console's input code page.
class InputBuffer : public std::streambuf {
  protected:
    int underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        if (!readLine()) return traits_type::eof();
        setg(line_.data(), line_.data(), line_.data() + line_.size());
        return traits_type::to_int_type(*gptr());
    }

  private:
    bool readLine() {
        HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
        line_.clear();
        if (isConsole(in)) {
            wchar_t buf[1024];
            DWORD n = 0;
            if (!ReadConsoleW(in, buf, 1024, &n, nullptr) || n == 0) return false;
            std::wstring w(buf, n);
            if (w.find(L'\x1A') == 0) return false;  // Ctrl-Z ends the input
            line_ = narrow(w);
            return !line_.empty();
        }
        int c;
        while ((c = std::fgetc(stdin)) != EOF) {
            line_ += static_cast<char>(c);
            if (c == '\n') break;
        }
        if (line_.empty()) return false;
        if (!isValidUtf8(line_)) line_ = narrow(fromCodePage(line_, orAnsi(GetConsoleCP())));
        return true;
    }

    std::string line_;
};

}  // namespace

void useConsoleCodePage() {
    // Never destroyed: the standard streams are flushed after static objects are gone.
    std::cout.rdbuf(new OutputBuffer(STD_OUTPUT_HANDLE));
    std::cerr.rdbuf(new OutputBuffer(STD_ERROR_HANDLE));
    std::cin.rdbuf(new InputBuffer);
}

bool inputIsInteractive() {
    return _isatty(_fileno(stdin));
}

bool inputIsData() {
    DWORD type = GetFileType(GetStdHandle(STD_INPUT_HANDLE));
    return type == FILE_TYPE_PIPE || type == FILE_TYPE_DISK;
}
#else
void useConsoleCodePage() {}

bool inputIsInteractive() {
    return isatty(STDIN_FILENO);
}

bool inputIsData() {
    struct stat st {};
    if (fstat(STDIN_FILENO, &st) != 0) return false;
    return S_ISFIFO(st.st_mode) || S_ISREG(st.st_mode);
}
#endif

}  // namespace tarnu
