#include "app/RunnerEnvironment.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "platform/x11/X11Display.h"
#include "platform/x11/X11Resources.h"
#include "runtime/Cp932.h"
#include "runtime/LocaleSettings.h"

namespace qmk {

namespace {

std::string_view Trim(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string ProcessorModel(std::string_view cpuinfo) {
    while (!cpuinfo.empty()) {
        const std::size_t end = cpuinfo.find('\n');
        const std::string_view line = cpuinfo.substr(0, end);
        cpuinfo = end == std::string_view::npos ? std::string_view() : cpuinfo.substr(end + 1);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        if (Trim(line.substr(0, colon)) == "model name") {
            return std::string(Trim(line.substr(colon + 1)));
        }
    }
    return {};
}

std::optional<double> OneMinuteLoad() {
    double load[1];
    if (getloadavg(load, 1) != 1) return std::nullopt;
    return load[0];
}

int ProcessorCount() {
    const long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 && count < 1 << 20 ? static_cast<int>(count) : 0;
}

EnvironmentFacts CollectEnvironment(const std::string& display, bool privateServer, int dpi) {
    EnvironmentFacts facts;
    facts.Display = display;
    facts.PrivateServer = privateServer;
    facts.Dpi = dpi;

    const platform::x11::X11Display server(display.c_str());
    // VendorText is the vendor, a space and the release number.
    const std::string vendor = server.VendorText();
    const std::size_t space = vendor.rfind(' ');
    facts.ServerVendor = space == std::string::npos ? vendor : vendor.substr(0, space);
    if (space != std::string::npos) {
        const char* first = vendor.data() + space + 1;
        std::from_chars(first, vendor.data() + vendor.size(), facts.VendorRelease);
    }
    facts.Depth = server.Depth();
    facts.VisualClass = platform::x11::VisualClassName(server);
    facts.ScreenWidth = server.ScreenWidth();
    facts.ScreenHeight = server.ScreenHeight();

    const char* locale = std::setlocale(LC_ALL, nullptr);
    facts.Locale = locale != nullptr ? locale : "";
    facts.TimePattern = Cp932ToUtf8(TimePatternLong);
    facts.DecimalSeparator = std::string(1, DecimalSeparatorChar);

    std::ifstream cpuinfo("/proc/cpuinfo");
    std::ostringstream text;
    text << cpuinfo.rdbuf();
    facts.Processor = ProcessorModel(text.str());
    facts.Processors = ProcessorCount();
    facts.Load = OneMinuteLoad();
    return facts;
}

}  // namespace qmk
