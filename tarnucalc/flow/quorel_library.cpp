#include "quorel_library.h"

#include <algorithm>
#include <climits>

#include "Quorel32.h"
#include "dynamic_library.h"

namespace tarnu {

namespace {

enum { kInit, kCompile, kCalculate, kFree };

constexpr int kIllegalCharacter = QUOREL_ERR_BAD_TOKEN;

using InitFn = decltype(&InitQuorel);
using CompileFn = decltype(&RealCom);
using CalculateFn = decltype(&RealCal);
using FreeFn = decltype(&FreeQuorel);
using ErrorTextFn = decltype(&QuorelErrorText);
using InterruptFn = decltype(&InterruptQuorel);

}  // namespace

QuorelLibrary::QuorelLibrary(std::vector<std::string> candidates)
    : candidates_(std::move(candidates)) {}

QuorelLibrary::~QuorelLibrary() {
    if (library_) unloadLibrary(library_);
}

std::vector<std::string> QuorelLibrary::defaultCandidates(const std::string &programDir) {
    std::vector<std::string> list;
    if (!programDir.empty()) {
#ifdef _WIN32
        list.push_back(programDir + "\\" + kEngineFileName);
#else
        list.push_back(programDir + "/" + kEngineFileName);
        list.push_back(programDir + "/../lib/" + kEngineFileName);
#ifdef TARNU_ENGINE_SONAME
        // The engine's package holds only the versioned name.
        list.push_back(programDir + "/../lib/" + TARNU_ENGINE_SONAME);
#endif
#endif
    }
#ifdef TARNU_ENGINE_SONAME
    list.push_back(TARNU_ENGINE_SONAME);
#endif
    list.push_back(kEngineFileName);
    return list;
}

std::string QuorelLibrary::bindingMessage(const char *library, const char *exportName) {
    std::string text = "运行时出错!\n\n错误信息：";
    if (library && *library)
        text +=
            std::string("无法找到指定DLL库文件“") + library + "”中的输出命令“" + exportName + "”";
    else
        text += std::string("无法找到指定DLL库文件中的输出命令“") + exportName + "”";
    return text;
}

void *QuorelLibrary::bind(int index, const char *exportName) {
    if (procs_[index]) return procs_[index];
    for (size_t i = 0; !library_ && i < candidates_.size(); ++i)
        library_ = loadLibrary(candidates_[i]);
    void *proc = library_ ? libraryProc(library_, exportName) : nullptr;
    if (!proc) throw BindingError(bindingMessage(kEngineFileName, exportName));
    procs_[index] = proc;
    if (!interrupt_.load()) interrupt_.store(libraryProc(library_, "InterruptQuorel"));
    return proc;
}

bool QuorelLibrary::interrupt() {
    void *fn = interrupt_.load();
    if (fn) reinterpret_cast<InterruptFn>(fn)();
    return fn != nullptr;
}

void QuorelLibrary::init() {
    reinterpret_cast<InitFn>(bind(kInit, "InitQuorel"))();
}

int QuorelLibrary::compile(const std::string &text, void **handle, int *errBegin, int *errEnd) {
    auto fn = reinterpret_cast<CompileFn>(bind(kCompile, "RealCom"));
    int paraCode = -1;
    double *para = nullptr;
    *handle = nullptr;
    // The engine reads up to a NUL byte: the rest would be dropped unseen and the result
    // shown for a text it was not calculated from. A NUL is an illegal character.
    if (size_t nul = text.find('\0'); nul != std::string::npos) {
        *errBegin = *errEnd = static_cast<int>(std::min<size_t>(nul, INT_MAX));
        return kIllegalCharacter;
    }
    return fn(text.c_str(), 0, handle, &paraCode, &para, errBegin, errEnd);
}

double QuorelLibrary::calculate(void *handle) {
    auto fn = reinterpret_cast<CalculateFn>(bind(kCalculate, "RealCal"));
    double args[1] = {0.0};
    return fn(handle, args);
}

void QuorelLibrary::release() {
    reinterpret_cast<FreeFn>(bind(kFree, "FreeQuorel"))();
}

const char *QuorelLibrary::errorText(int code) {
    if (!errorText_ && library_) errorText_ = libraryProc(library_, "QuorelErrorText");
    return errorText_ ? reinterpret_cast<ErrorTextFn>(errorText_)(code) : nullptr;
}

}  // namespace tarnu
