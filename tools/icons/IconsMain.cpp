// qmk-icons OUTDIR NAME SIZE...: writes the program's icon as
// OUTDIR/SIZExSIZE/apps/NAME.png for each size (the icon theme's layout) and
// as OUTDIR/NAME.xpm at its own 32 × 32. Run by the build.
#include <charconv>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "app/AppIcon.h"
#include "tools/icons/IconImage.h"

namespace {

void WriteFile(const std::filesystem::path& path, const void* data, std::size_t size) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: qmk-icons OUTDIR NAME SIZE...\n");
        return 2;
    }
    try {
        const std::filesystem::path out = argv[1];
        const std::string name = argv[2];
        const qmk::icons::RgbaImage icon = qmk::icons::FromIcon(qmk::MainIcon());
        for (int i = 3; i < argc; ++i) {
            const std::string_view text = argv[i];
            int size = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
            if (error != std::errc() || end != text.data() + text.size() || size <= 0 || size > 1024) {
                std::fprintf(stderr, "qmk-icons: bad size '%s'\n", argv[i]);
                return 2;
            }
            const auto png = qmk::icons::EncodePng(qmk::icons::ScaleNearest(icon, size, size));
            const std::string folder = std::string(text) + "x" + std::string(text);
            WriteFile(out / folder / "apps" / (name + ".png"), png.data(), png.size());
        }
        // The XPM's C name only has to be an identifier; nothing links it.
        const std::string xpm = qmk::icons::EncodeXpm(icon, "qmk_icon");
        WriteFile(out / (name + ".xpm"), xpm.data(), xpm.size());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qmk-icons: %s\n", e.what());
        return 1;
    }
    return 0;
}
