#include "tools/icons/IconImage.h"

#include <array>
#include <cstdio>
#include <map>
#include <stdexcept>

#include <zlib.h>

namespace qmk::icons {

namespace {

void AppendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 24));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void AppendChunk(std::vector<std::uint8_t>& out, const char (&type)[5],
                 const std::vector<std::uint8_t>& data) {
    AppendBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeStart = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    // The CRC covers the type and the data, not the length.
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, out.data() + typeStart, static_cast<uInt>(out.size() - typeStart));
    AppendBigEndian(out, static_cast<std::uint32_t>(crc));
}

bool Valid(const RgbaImage& image) {
    return image.Width > 0 && image.Height > 0 &&
           image.Pixels.size() == static_cast<std::size_t>(image.Width) *
                                      static_cast<std::size_t>(image.Height) * 4;
}

}  // namespace

RgbaImage FromIcon(const TIconData& icon) {
    RgbaImage image;
    if (icon.Empty()) return image;
    image.Width = icon.Width;
    image.Height = icon.Height;
    image.Pixels.reserve(icon.Argb.size() * 4);
    for (const std::uint32_t argb : icon.Argb) {
        image.Pixels.push_back(static_cast<std::uint8_t>(argb >> 16));
        image.Pixels.push_back(static_cast<std::uint8_t>(argb >> 8));
        image.Pixels.push_back(static_cast<std::uint8_t>(argb));
        image.Pixels.push_back(static_cast<std::uint8_t>(argb >> 24));
    }
    return image;
}

RgbaImage ScaleNearest(const RgbaImage& image, std::int32_t width, std::int32_t height) {
    RgbaImage scaled;
    if (!Valid(image) || width <= 0 || height <= 0) return scaled;
    scaled.Width = width;
    scaled.Height = height;
    scaled.Pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    for (std::int64_t y = 0; y < height; ++y) {
        // Centre of target pixel y, (y + 1/2) * source / target, rounded down.
        const std::int64_t sy = (2 * y + 1) * image.Height / (2 * std::int64_t{height});
        for (std::int64_t x = 0; x < width; ++x) {
            const std::int64_t sx = (2 * x + 1) * image.Width / (2 * std::int64_t{width});
            const std::size_t from = static_cast<std::size_t>((sy * image.Width + sx) * 4);
            const std::size_t to = static_cast<std::size_t>((y * width + x) * 4);
            for (std::size_t c = 0; c < 4; ++c) scaled.Pixels[to + c] = image.Pixels[from + c];
        }
    }
    return scaled;
}

std::vector<std::uint8_t> EncodePng(const RgbaImage& image) {
    if (!Valid(image)) throw std::runtime_error("PNG: empty or inconsistent image");

    const std::size_t rowBytes = static_cast<std::size_t>(image.Width) * 4;
    std::vector<std::uint8_t> raw;
    raw.reserve((rowBytes + 1) * static_cast<std::size_t>(image.Height));
    for (std::size_t y = 0; y < static_cast<std::size_t>(image.Height); ++y) {
        raw.push_back(0);  // filter type None: pixel art compresses well without
        const auto row = image.Pixels.begin() + static_cast<std::ptrdiff_t>(y * rowBytes);
        raw.insert(raw.end(), row, row + static_cast<std::ptrdiff_t>(rowBytes));
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
        throw std::runtime_error("PNG: zlib could not compress the image");
    }
    packed.resize(packedSize);

    std::vector<std::uint8_t> header;
    AppendBigEndian(header, static_cast<std::uint32_t>(image.Width));
    AppendBigEndian(header, static_cast<std::uint32_t>(image.Height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, filter set 0, no interlace

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "IDAT", packed);
    AppendChunk(png, "IEND", {});
    return png;
}

std::string EncodeXpm(const RgbaImage& image, std::string_view name) {
    if (!Valid(image)) throw std::runtime_error("XPM: empty or inconsistent image");

    // Characters that need no escaping inside a C string; the space is
    // kept for the transparent colour, which reads best in the text.
    static constexpr std::string_view Symbols =
        ".#+@$%&*=-;>,')!~{]^/(_:<[}|1234567890abcdefghijklmnopqrstuvwxyz"
        "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    constexpr std::uint32_t Transparent = 0xFFFFFFFFu;

    const std::size_t count = static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height);
    std::vector<std::uint32_t> keys(count);
    std::map<std::uint32_t, char> symbols;
    std::vector<std::uint32_t> order;  // colours in order of first appearance
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = &image.Pixels[i * 4];
        keys[i] = p[3] == 0 ? Transparent
                            : (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
        if (symbols.count(keys[i]) != 0) continue;
        if (keys[i] == Transparent) {
            symbols[keys[i]] = ' ';
        } else {
            const std::size_t used = order.size() - (symbols.count(Transparent) != 0 ? 1 : 0);
            if (used >= Symbols.size()) throw std::runtime_error("XPM: too many colours");
            symbols[keys[i]] = Symbols[used];
        }
        order.push_back(keys[i]);
    }

    std::string text = "/* XPM */\nstatic char *" + std::string(name) + "[] = {\n";
    text += "\"" + std::to_string(image.Width) + " " + std::to_string(image.Height) + " " +
            std::to_string(order.size()) + " 1\",\n";
    for (const std::uint32_t key : order) {
        if (key == Transparent) {
            text += "\"  c None\",\n";
            continue;
        }
        char colour[16];
        std::snprintf(colour, sizeof colour, "#%06X", static_cast<unsigned>(key & 0xFFFFFFu));
        text += "\"" + std::string(1, symbols[key]) + " c " + colour + "\",\n";
    }
    for (std::int32_t y = 0; y < image.Height; ++y) {
        text += "\"";
        for (std::int32_t x = 0; x < image.Width; ++x) {
            text += symbols[keys[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.Width) +
                                static_cast<std::size_t>(x)]];
        }
        text += y + 1 < image.Height ? "\",\n" : "\"\n";
    }
    text += "};\n";
    return text;
}

}  // namespace qmk::icons
