// One guard for "do this when the scope ends": restoring a mode, closing a
// file, undoing half-done work when an error leaves early. A guard that
// only undoes on failure is dismissed once the work has succeeded.
#pragma once

#include <utility>

namespace rt {

template <class Step>
class ScopeGuard {
public:
    explicit ScopeGuard(Step step) : step_(std::move(step)) {}
    ~ScopeGuard() {
        if (armed_) step_();
    }
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;

    // The step will not run.
    void dismiss() { armed_ = false; }

private:
    Step step_;
    bool armed_ = true;
};

}  // namespace rt
