// A clean-up that runs when its scope is left, by a return or an
// exception, unless it was dismissed first. Guards declared one after the
// other run in the reverse order, as nested clean-ups do.
#pragma once

#include <utility>

namespace qmk {

template <class CleanUp>
class ScopeExit {
public:
    explicit ScopeExit(CleanUp cleanUp) : cleanUp_(std::move(cleanUp)) {}
    ~ScopeExit() {
        if (active_) cleanUp_();
    }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

    // The work succeeded: what was made is kept.
    void Dismiss() { active_ = false; }

private:
    CleanUp cleanUp_;
    bool active_ = true;
};

}  // namespace qmk
