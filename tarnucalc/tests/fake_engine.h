// A stand-in engine that knows the answers in advance and records every call.
#ifndef TARNU_TESTS_FAKE_ENGINE_H
#define TARNU_TESTS_FAKE_ENGINE_H

#include <map>
#include <string>
#include <vector>

#include "engine.h"

class FakeEngine : public tarnu::Engine {
  public:
    std::map<std::string, double> values;  // texts that compile, and their values
    std::vector<std::string> calls;        // "init", "com:TEXT", "cal", "free"
    bool missing = false;                  // behave like an absent library

    void init() override {
        if (missing) throw tarnu::BindingError("missing");
        calls.push_back("init");
        ++open;
    }
    int compile(const std::string &text, void **handle, int *errBegin, int *errEnd) override {
        calls.push_back("com:" + text);
        auto it = values.find(text);
        if (it == values.end()) {
            *errBegin = 0;
            *errEnd = static_cast<int>(text.size()) - 1;
            return 23;
        }
        *handle = &it->second;
        return 0;
    }
    double calculate(void *handle) override {
        calls.push_back("cal");
        return *static_cast<double *>(handle);
    }
    void release() override {
        calls.push_back("free");
        --open;
    }
    const char *errorText(int code) override { return code == 23 ? "two in a row" : nullptr; }

    int open = 0;  // init without free
};

#endif
