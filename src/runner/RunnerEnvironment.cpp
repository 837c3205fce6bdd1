#include "runner/RunnerEnvironment.h"

#include <clocale>

#include "runtime/Cp932.h"
#include "runtime/LocaleSettings.h"

namespace qmk {

EnvironmentFacts CollectEnvironment(platform::RunnerHost& host, const std::string& display,
                                    bool privateServer, int dpi) {
    EnvironmentFacts facts;
    facts.Display = display;
    facts.PrivateServer = privateServer;
    facts.Dpi = dpi;

    const platform::DisplayFacts server = host.DescribeDisplay(display);
    facts.ServerVendor = server.ServerVendor;
    facts.VendorRelease = server.VendorRelease;
    facts.Depth = server.Depth;
    facts.VisualClass = server.VisualClass;
    facts.ScreenWidth = server.ScreenWidth;
    facts.ScreenHeight = server.ScreenHeight;

    const char* locale = std::setlocale(LC_ALL, nullptr);
    facts.Locale = locale != nullptr ? locale : "";
    facts.TimePattern = Cp932ToUtf8(TimePatternLong);
    facts.DecimalSeparator = std::string(1, DecimalSeparatorChar);

    const platform::MachineFacts machine = host.DescribeMachine();
    facts.Processor = machine.Processor;
    facts.Processors = machine.Processors;
    facts.Load = host.OneMinuteLoad();
    return facts;
}

}  // namespace qmk
