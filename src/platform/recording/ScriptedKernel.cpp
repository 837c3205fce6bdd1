#include "platform/recording/ScriptedKernel.h"

#include <cstring>
#include <memory>

namespace qmk::platform {

void ScriptedKernel::QueueLocalTimes(const std::vector<SystemTime>& times) {
    localQueue_.insert(localQueue_.end(), times.begin(), times.end());
}

ScriptedKernel::ClockSource ScriptedKernel::SteppingClock(SystemTime start,
                                                          std::uint32_t stepMilliseconds) {
    constexpr std::uint64_t Day = 86400000;
    std::uint64_t first = ((start.Hour * 60ull + start.Minute) * 60ull + start.Second) * 1000ull +
                          start.Milliseconds;
    auto next = std::make_shared<std::uint64_t>(first % Day);
    return [next, stepMilliseconds]() {
        std::uint64_t ms = *next;
        *next = (ms + stepMilliseconds) % Day;
        SystemTime time;
        time.Hour = static_cast<std::uint16_t>(ms / 3600000);
        time.Minute = static_cast<std::uint16_t>(ms / 60000 % 60);
        time.Second = static_cast<std::uint16_t>(ms / 1000 % 60);
        time.Milliseconds = static_cast<std::uint16_t>(ms % 1000);
        return time;
    };
}

void ScriptedKernel::ClearCounts() {
    localCalls_ = 0;
    systemCalls_ = 0;
    localeCalls_.clear();
}

SystemTime ScriptedKernel::Next(std::deque<SystemTime>& queue, const ClockSource& source,
                                SystemTime fixed) {
    if (!queue.empty()) {
        SystemTime time = queue.front();
        queue.pop_front();
        return time;
    }
    return source ? source() : fixed;
}

SystemTime ScriptedKernel::GetLocalTime() {
    ++localCalls_;
    return Next(localQueue_, localSource_, localFixed_);
}

SystemTime ScriptedKernel::GetSystemTime() {
    ++systemCalls_;
    return Next(systemQueue_, systemSource_, systemFixed_);
}

int ScriptedKernel::GetLocaleInfo(std::uint32_t item, char* buffer, int size) {
    localeCalls_.push_back({item, size});
    auto found = locale_.find(item);
    if (found == locale_.end() || buffer == nullptr || size <= 0) return 0;
    const std::string& text = found->second;
    if (text.size() + 1 > static_cast<std::size_t>(size)) return 0;
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return static_cast<int>(text.size() + 1);
}

}  // namespace qmk::platform
