// Facts about the machine that POSIX systems tell: the processor's model,
// the load average and the number of processors online.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qmk::platform {

// The first "model name" of a /proc/cpuinfo text; empty when there is
// none (some processors name themselves under other keys only).
std::string ProcessorModel(std::string_view cpuinfo);
// ProcessorModel of this machine's /proc/cpuinfo.
std::string ThisProcessorModel();

// The one-minute load average, if the system tells it.
std::optional<double> OneMinuteLoad();
// Processors online; 0 when the system does not say.
int ProcessorCount();

}  // namespace qmk::platform
