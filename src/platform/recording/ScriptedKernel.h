// A kernel for tests: clock readings come from a queue, then from a
// settable source, then from a fixed time; locale answers come from a
// table. Every call is counted or recorded so tests can check the exact
// sequence the code under test makes.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Kernel.h"

namespace qmk::platform {

class ScriptedKernel : public Kernel {
public:
    using ClockSource = std::function<SystemTime()>;

    struct LocaleCall {
        std::uint32_t Item = 0;
        int Size = 0;
        friend bool operator==(const LocaleCall&, const LocaleCall&) = default;
    };

    // --- local clock (GetLocalTime) ---
    void QueueLocalTime(SystemTime time) { localQueue_.push_back(time); }
    void QueueLocalTimes(const std::vector<SystemTime>& times);
    // Answers once the queue is empty; replaces the fixed time.
    void SetLocalTimeSource(ClockSource source) { localSource_ = std::move(source); }
    // The answer when neither queue nor source gives one.
    void SetLocalTime(SystemTime time) { localFixed_ = time; }
    // A clock that starts at `start` and moves on by stepMilliseconds per
    // reading, wrapping at midnight.
    static ClockSource SteppingClock(SystemTime start, std::uint32_t stepMilliseconds);

    // --- UTC clock (GetSystemTime) ---
    void QueueSystemTime(SystemTime time) { systemQueue_.push_back(time); }
    void SetSystemTimeSource(ClockSource source) { systemSource_ = std::move(source); }
    void SetSystemTime(SystemTime time) { systemFixed_ = time; }

    // --- locale table (code page 932 texts) ---
    void SetLocaleItem(std::uint32_t item, std::string text) { locale_[item] = std::move(text); }
    void RemoveLocaleItem(std::uint32_t item) { locale_.erase(item); }
    void ClearLocale() { locale_.clear(); }

    // --- the program's file (code page 932) ---
    void SetModuleFileName(std::string path) { moduleFileName_ = std::move(path); }

    int LocalTimeCalls() const { return localCalls_; }
    int SystemTimeCalls() const { return systemCalls_; }
    const std::vector<LocaleCall>& LocaleCalls() const { return localeCalls_; }
    void ClearCounts();

    SystemTime GetLocalTime() override;
    SystemTime GetSystemTime() override;
    // Like GetLocaleInfoA: copies the text and its terminator when they fit
    // in size bytes and returns the count; 0 for an unknown item or a text
    // that does not fit.
    int GetLocaleInfo(std::uint32_t item, char* buffer, int size) override;
    std::string GetModuleFileName() override { return moduleFileName_; }

private:
    static SystemTime Next(std::deque<SystemTime>& queue, const ClockSource& source,
                           SystemTime fixed);

    std::deque<SystemTime> localQueue_;
    ClockSource localSource_;
    SystemTime localFixed_;
    std::deque<SystemTime> systemQueue_;
    ClockSource systemSource_;
    SystemTime systemFixed_;
    std::map<std::uint32_t, std::string> locale_;
    int localCalls_ = 0;
    int systemCalls_ = 0;
    std::vector<LocaleCall> localeCalls_;
    std::string moduleFileName_ = "/usr/bin/qmk";
};

}  // namespace qmk::platform
