// The engine library bound by file name at run time ("Quorel32.dll" on Windows,
// libQuorel32.so here). Each procedure is resolved at its first call and kept.
#ifndef TARNU_FLOW_QUOREL_LIBRARY_H
#define TARNU_FLOW_QUOREL_LIBRARY_H

#include <atomic>
#include <string>
#include <vector>

#include "engine.h"

namespace tarnu {

#ifdef _WIN32
inline constexpr const char *kEngineFileName = "Quorel32.dll";
#else
inline constexpr const char *kEngineFileName = "libQuorel32.so";
#endif

class QuorelLibrary : public Engine {
  public:
    // Candidates are tried in order; a bare file name goes through the system's search.
    explicit QuorelLibrary(std::vector<std::string> candidates);
    ~QuorelLibrary() override;
    QuorelLibrary(const QuorelLibrary &) = delete;
    QuorelLibrary &operator=(const QuorelLibrary &) = delete;

    // Beside the program, then ../lib (not on Windows), then the system's search path.
    static std::vector<std::string> defaultCandidates(const std::string &programDir);

    void init() override;
    int compile(const std::string &text, void **handle, int *errBegin, int *errEnd) override;
    double calculate(void *handle) override;
    void release() override;
    const char *errorText(int code) override;
    bool interrupt() override;
    bool canInterrupt() const override { return interrupt_.load() != nullptr; }

    // The text of the run-time error box for a missing library or export.
    static std::string bindingMessage(const char *library, const char *exportName);

  private:
    void *bind(int index, const char *exportName);

    std::vector<std::string> candidates_;
    void *library_ = nullptr;
    void *procs_[4] = {};
    void *errorText_ = nullptr;  // QuorelErrorText, looked up once; optional
    // InterruptQuorel, optional: looked up when the library is loaded, read by other
    // threads.
    std::atomic<void *> interrupt_{nullptr};
};

}  // namespace tarnu

#endif
