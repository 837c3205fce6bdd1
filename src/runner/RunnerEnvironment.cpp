#include "runner/RunnerEnvironment.h"

#include "runtime/Cp932.h"
#include "runtime/LocaleSettings.h"

namespace qmk {

EnvironmentFacts CollectEnvironment(platform::RunnerHost& host, const std::string& display,
                                    bool privateServer, int dpi) {
    EnvironmentFacts facts;
    facts.Display = display;
    facts.PrivateServer = privateServer;
    facts.Dpi = dpi;

    facts.Server = host.DescribeDisplay(display);

    facts.Locale = host.LocaleName();
    facts.TimePattern = Cp932ToUtf8(TimePatternLong);
    facts.DecimalSeparator = std::string(1, DecimalSeparatorChar);

    facts.Machine = host.DescribeMachine();
    facts.Load = host.OneMinuteLoad();
    return facts;
}

}  // namespace qmk
