#include "platform/posix/PosixMachine.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace qmk::platform {

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

std::string ThisProcessorModel() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::ostringstream text;
    text << cpuinfo.rdbuf();
    return ProcessorModel(text.str());
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

}  // namespace qmk::platform
