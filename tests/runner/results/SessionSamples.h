// Sessions for the results tests: a full one, and hostile texts.
#pragma once

#include <string>

#include "runner/results/Session.h"

namespace qmk::results::testing {

// Every field set; scores follow the program's rule from the samples.
inline Session FullSession(const std::string& id = "20261208T011502Z-8f3a2c1d", const std::string& machine = "host-a",
                           int cpuBase = 120, int runs = 2) {
    Session s;
    s.Id = id;
    s.Machine = machine;
    s.Label = "after the driver update";
    s.Tags = {"nightly", "kernel-6.1"};
    s.StartedUtc = id.substr(0, 4) + "-" + id.substr(4, 2) + "-" + id.substr(6, 2) + "T" + id.substr(9, 2) + ":" +
                   id.substr(11, 2) + ":" + id.substr(13, 2) + ".123Z";
    s.WallSeconds = 17.412;
    s.ProgramName = "qmk-run";
    s.ProgramVersion = "1.1.0";
    s.CpuSeconds = 2;
    s.VideoSeconds = 3;
    for (int i = 0; i < runs; ++i) {
        Run run;
        run.Cpu.Samples = {cpuBase + i, cpuBase + 6 + i};
        run.Cpu.Score = static_cast<std::int32_t>(((2 * cpuBase + 6 + 2 * i) / 2 + cpuBase + 6 + i) / 2);
        run.Cpu.Percent = run.Cpu.Score / 19.92;
        run.Cpu.PercentText = "6.17";
        run.Cpu.Line = "ＣＰＵ：" + std::to_string(run.Cpu.Score) + " (6.17%)";
        run.Video.Samples = {450, 460, 455 + i};
        run.Video.Score = static_cast<std::int32_t>(((1365 + i) / 3 + 460) / 2);
        run.Video.Percent = 19.24;
        run.Video.PercentText = "19.24";
        run.Video.Line = "ビデオ：456 (19.24%)";
        run.LoadAverage = 0.42;
        run.StartedUtc = "2026-12-08T01:15:0" + std::to_string(3 + i) + ".120Z";
        run.WallSeconds = 5.873;
        s.Runs.push_back(run);
    }
    Environment& e = s.Env;
    e.Display = ":1";
    e.PrivateServer = true;
    e.ServerVendor = "The X.Org Foundation";
    e.VendorRelease = 12101007;
    e.Depth = 24;
    e.VisualClass = "TrueColor";
    e.ScreenWidth = 1280;
    e.ScreenHeight = 1024;
    e.Dpi = 96;
    e.Locale = "ja_JP.UTF-8";
    e.TimePattern = "H:mm:ss";
    e.DecimalSeparator = ".";
    e.Processor = "Example CPU @ 2.0GHz";
    e.Processors = 2;
    e.LoadAverage = 0.1;
    e.PixelAccess = "shared-memory";
    s.BuildFacts = {"Release", "GNU 12.2.0", "-O2 -DNDEBUG"};
    return s;
}

// Texts a file may carry that no output may pass on as they are: markup,
// quotes, separators of the export formats, control characters, a
// direction override, and bytes that are not UTF-8.
inline const std::string HostileText = "<script>alert(\"x\")</script> a,b=c d'e\\f\x01\x1b[31m\n\r\t\u202Eevil\xff\xc3";

}  // namespace qmk::results::testing
