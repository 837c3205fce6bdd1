// The facts that a score depends on besides the code, gathered for
// qmk-run's JSON document.
#pragma once

#include <string>

#include "platform/RunnerHost.h"
#include "runner/RunnerReport.h"

namespace qmk {

// The display's and the machine's facts from the host, the locale's from
// the program as it runs, so call it after the start. dpi: what the
// program's screen object read.
EnvironmentFacts CollectEnvironment(platform::RunnerHost& host, const std::string& display,
                                    bool privateServer, int dpi);

}  // namespace qmk
