#include "engine_pipe.h"

#include <vector>

namespace tarnu::win32 {

namespace {

// Each request is an operation byte and its arguments; each reply starts with a status
// byte. Numbers travel in the machine's own layout: both ends are the same program.
enum Op : std::uint8_t { kInit = 'I', kCompile = 'C', kCalculate = 'K', kRelease = 'R' };
enum Status : std::uint8_t { kOk = 0, kBindingError = 1 };

// A corrupt length must not allocate gigabytes.
constexpr std::uint32_t kTextLimit = 64u << 20;

bool ReadAll(HANDLE h, void *data, DWORD size) {
    auto *p = static_cast<char *>(data);
    while (size > 0) {
        DWORD got = 0;
        if (!ReadFile(h, p, size, &got, nullptr) || got == 0) return false;
        p += got;
        size -= got;
    }
    return true;
}

bool WriteAll(HANDLE h, const void *data, DWORD size) {
    auto *p = static_cast<const char *>(data);
    while (size > 0) {
        DWORD put = 0;
        if (!WriteFile(h, p, size, &put, nullptr) || put == 0) return false;
        p += put;
        size -= put;
    }
    return true;
}

template <class T>
bool Put(HANDLE h, const T &v) {
    return WriteAll(h, &v, sizeof v);
}
template <class T>
bool Get(HANDLE h, T &v) {
    return ReadAll(h, &v, sizeof v);
}

bool PutText(HANDLE h, const std::string &text) {
    const auto size = static_cast<std::uint32_t>(text.size());
    return text.size() <= kTextLimit && Put(h, size) && WriteAll(h, text.data(), size);
}

bool GetText(HANDLE h, std::string &text) {
    std::uint32_t size = 0;
    if (!Get(h, size) || size > kTextLimit) return false;
    text.assign(size, '\0');
    return ReadAll(h, text.data(), size);
}

void Close(HANDLE &h) {
    if (h) CloseHandle(h);
    h = nullptr;
}

}  // namespace

EnginePipe::EnginePipe(std::wstring program) : program_(std::move(program)) {}

EnginePipe::~EnginePipe() {
    lose();
}

bool EnginePipe::ensureStarted() {
    if (process_) return true;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE childIn = nullptr, childOut = nullptr;
    if (!CreatePipe(&childIn, &toHost_, &inherit, 0)) return false;
    if (!CreatePipe(&fromHost_, &childOut, &inherit, 0)) {
        Close(childIn);
        Close(toHost_);
        return false;
    }
    // Only the child's ends are inherited.
    SetHandleInformation(toHost_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(fromHost_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = childIn;
    si.hStdOutput = childOut;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::wstring command = L"\"" + program_ + L"\" --engine-host";
    PROCESS_INFORMATION pi{};
    const BOOL ok = CreateProcessW(program_.c_str(), command.data(), nullptr, nullptr, TRUE,
                                   CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    Close(childIn);
    Close(childOut);
    if (!ok) {
        Close(toHost_);
        Close(fromHost_);
        return false;
    }
    CloseHandle(pi.hThread);
    std::lock_guard<std::mutex> lock(processLock_);
    process_ = pi.hProcess;
    return true;
}

void EnginePipe::drop() {
    Close(toHost_);
    Close(fromHost_);
    std::lock_guard<std::mutex> lock(processLock_);
    if (process_) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    Close(process_);
}

void EnginePipe::lose() {
    drop();
    interrupted_ = true;
}

void EnginePipe::abort() {
    std::lock_guard<std::mutex> lock(processLock_);
    interrupted_ = true;
    // The blocked read sees its pipe end and returns; lose() then closes the rest.
    if (process_) TerminateProcess(process_, 1);
}

bool EnginePipe::write(const void *data, DWORD size) {
    return WriteAll(toHost_, data, size) || (lose(), false);
}

bool EnginePipe::read(void *data, DWORD size) {
    return ReadAll(fromHost_, data, size) || (lose(), false);
}

bool EnginePipe::writeText(const std::string &text) {
    return PutText(toHost_, text) || (lose(), false);
}

bool EnginePipe::readText(std::string &text) {
    return GetText(fromHost_, text) || (lose(), false);
}

bool EnginePipe::start(std::uint8_t op) {
    if (interrupted_) return false;  // the rest of a cancelled cycle does nothing
    if (!ensureStarted() || interrupted_) return lose(), false;
    return write(&op, 1);
}

bool EnginePipe::finish() {
    std::uint8_t status = 0;
    if (!read(&status, 1)) return false;
    if (status == kOk) return true;
    std::string message;
    if (status != kBindingError || !readText(message)) return lose(), false;
    throw BindingError(message);
}

void EnginePipe::init() {
    // A helper that ended while idle is replaced once, quietly, so that the user's
    // calculation is not lost to it.
    if (interrupted_) return;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::uint8_t op = kInit;
        if (ensureStarted() && !interrupted_ && WriteAll(toHost_, &op, 1)) {
            finish();
            return;
        }
        drop();
    }
    lose();
}

int EnginePipe::compile(const std::string &text, void **handle, int *errBegin, int *errEnd) {
    *handle = nullptr;
    std::int32_t code = -1, begin = 0, end = 0;
    std::uint64_t token = 0;
    if (!start(kCompile) || !writeText(text) || !finish()) return -1;
    if (!read(&code, sizeof code) || !read(&token, sizeof token) || !read(&begin, sizeof begin) ||
        !read(&end, sizeof end))
        return -1;
    *handle = reinterpret_cast<void *>(static_cast<std::uintptr_t>(token));
    *errBegin = begin;
    *errEnd = end;
    return code;
}

double EnginePipe::calculate(void *handle) {
    double value = 0;
    const auto token = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
    if (!start(kCalculate) || !write(&token, sizeof token) || !finish()) return 0;
    if (!read(&value, sizeof value)) return 0;
    return value;
}

void EnginePipe::release() {
    if (start(kRelease)) finish();
}

namespace {

bool Serve(HANDLE in, HANDLE out, Engine &engine, std::uint8_t op) {
    try {
        switch (op) {
            case kInit:
                engine.init();
                return Put(out, kOk);
            case kCompile: {
                std::string text;
                if (!GetText(in, text)) return false;
                void *handle = nullptr;
                int begin = 0, end = 0;
                const std::int32_t code = engine.compile(text, &handle, &begin, &end);
                const auto token =
                    static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
                return Put(out, kOk) && Put(out, code) && Put(out, token) &&
                       Put(out, std::int32_t{begin}) && Put(out, std::int32_t{end});
            }
            case kCalculate: {
                std::uint64_t token = 0;
                if (!Get(in, token)) return false;
                const double value =
                    engine.calculate(reinterpret_cast<void *>(static_cast<std::uintptr_t>(token)));
                return Put(out, kOk) && Put(out, value);
            }
            case kRelease:
                engine.release();
                return Put(out, kOk);
            default:
                return false;  // not our peer: stop rather than guess
        }
    } catch (const BindingError &e) {
        return Put(out, kBindingError) && PutText(out, e.what());
    }
}

}  // namespace

int ServeEngine(Engine &engine) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE);
    std::uint8_t op = 0;
    while (Get(in, op)) {
        if (!Serve(in, out, engine, op)) break;
    }
    return 0;
}

}  // namespace tarnu::win32
