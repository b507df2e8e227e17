#include "skin/pixels/Resample.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace skin {

namespace {

// The source pixels that make one target pixel along an axis, with their weights (summing to 1).
struct Taps {
    int first = 0;
    std::vector<float> weights;
};

std::vector<Taps> axisTaps(int from, int to) {
    const double scale = static_cast<double>(from) / to;
    const double radius = std::max(1.0, scale);
    std::vector<Taps> taps(static_cast<std::size_t>(to));
    for (int i = 0; i < to; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        const int lo = static_cast<int>(std::ceil(centre - radius));
        const int hi = static_cast<int>(std::floor(centre + radius));
        Taps& t = taps[static_cast<std::size_t>(i)];
        t.first = std::clamp(lo, 0, from - 1);
        const int last = std::clamp(hi, 0, from - 1);
        t.weights.assign(static_cast<std::size_t>(last) - static_cast<std::size_t>(t.first) + 1, 0.0f);
        double sum = 0;
        for (int j = lo; j <= hi; ++j) {
            const double w = std::max(0.0, 1.0 - std::abs(j - centre) / radius);
            // Beyond the edge the edge pixel stands in.
            t.weights[static_cast<std::size_t>(std::clamp(j, 0, from - 1) - t.first)] +=
                static_cast<float>(w);
            sum += w;
        }
        for (float& w : t.weights) w = static_cast<float>(w / sum);
    }
    return taps;
}

std::uint8_t toByte(float value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

}  // namespace

void resampleImage(const Image& source, Image& target) {
    if (source.width() <= 0 || source.height() <= 0 || target.width() <= 0 || target.height() <= 0) return;
    const int channels = bytesPerPixel(source.format());
    if (source.width() == target.width() && source.height() == target.height()) {
        for (int y = 0; y < source.height(); ++y)
            std::copy_n(source.row(y), source.width() * channels, target.row(y));
        return;
    }
    const bool alpha = source.format() == PixelFormat::Bits32;
    const int width = target.width(), height = target.height();
    const std::vector<Taps> across = axisTaps(source.width(), width);
    const std::vector<Taps> down = axisTaps(source.height(), height);

    // Across each source row, colour weighted by alpha: rows of the source's height, target's width.
    const auto at = [channels](int x, int c) {
        return static_cast<std::size_t>(x) * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c);
    };
    std::vector<float> wide(static_cast<std::size_t>(source.height()) * at(width, 0));
    for (int y = 0; y < source.height(); ++y) {
        const std::uint8_t* in = source.row(y);
        float* out = wide.data() + static_cast<std::size_t>(y) * at(width, 0);
        for (int x = 0; x < width; ++x) {
            const Taps& t = across[static_cast<std::size_t>(x)];
            for (std::size_t k = 0; k < t.weights.size(); ++k) {
                const std::uint8_t* p = in + at(t.first + static_cast<int>(k), 0);
                const float a = alpha ? static_cast<float>(p[3]) / 255.0f : 1.0f;
                const float w = t.weights[k];
                for (int c = 0; c < 3; ++c) out[at(x, c)] += w * a * static_cast<float>(p[c]);
                if (alpha) out[at(x, 3)] += w * static_cast<float>(p[3]);
            }
        }
    }
    float pixel[4];
    for (int y = 0; y < height; ++y) {
        const Taps& t = down[static_cast<std::size_t>(y)];
        std::uint8_t* out = target.row(y);
        for (int x = 0; x < width; ++x) {
            std::fill_n(pixel, 4, 0.0f);
            for (std::size_t k = 0; k < t.weights.size(); ++k) {
                const float* p =
                    wide.data() + (static_cast<std::size_t>(t.first) + k) * at(width, 0) + at(x, 0);
                for (int c = 0; c < channels; ++c) pixel[c] += t.weights[k] * p[c];
            }
            std::uint8_t* q = out + at(x, 0);
            const std::uint8_t a = alpha ? toByte(pixel[3]) : 255;
            for (int c = 0; c < 3; ++c)
                q[c] = a == 0 ? 0 : toByte(alpha ? pixel[c] * 255.0f / pixel[3] : pixel[c]);
            if (alpha) q[3] = a;
        }
    }
}

}  // namespace skin
