#include "runtime/Generator.h"

#include "platform/Platform.h"

namespace qmk {

void SeedFromClock() {
    platform::SystemTime now = platform::KernelApi().GetSystemTime();
    GeneratorState = ((static_cast<std::uint32_t>(now.Hour) * 60u + now.Minute) * 60u + now.Second) *
                         1000u +
                     now.Milliseconds;
}

}  // namespace qmk
