// The facts about the machine that a score depends on, gathered for
// qmk-run's JSON document.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/RunnerReport.h"

namespace qmk {

// The first "model name" of a /proc/cpuinfo text; empty when there is
// none (some processors name themselves under other keys only).
std::string ProcessorModel(std::string_view cpuinfo);

// The one-minute load average, if the system tells it.
std::optional<double> OneMinuteLoad();
// Processors online; 0 when the system does not say.
int ProcessorCount();

// Asks the X server on `display` over a connection of its own; the locale
// facts are those the program runs with, so call it after the start.
EnvironmentFacts CollectEnvironment(const std::string& display, bool privateServer, int dpi);

}  // namespace qmk
