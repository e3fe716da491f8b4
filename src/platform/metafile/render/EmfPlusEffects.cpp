#include "platform/metafile/render/EmfPlusEffects.h"

#include <QColor>
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <vector>

namespace plume::metafile {

using namespace emfplus;

namespace {

using Table = std::array<uint8_t, 256>;

uint8_t clampByte(double v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); }

// A channel curve of intensities 0..1 as a table of bytes.
Table curve(const std::function<double(double)>& f) {
    Table t{};
    for (int i = 0; i < 256; ++i) t[size_t(i)] = clampByte(255.0 * f(i / 255.0));
    return t;
}

Table identity() {
    return curve([](double t) { return t; });
}

// Contrast about mid grey: -100 flattens to grey, 100 is a step.
double contrast(double t, int32_t level) {
    const double c = std::clamp(level, -100, 100);
    const double k = c <= 0 ? (100 + c) / 100 : 100 / std::max(100 - c, 1.0);
    return (t - 0.5) * k + 0.5;
}

// Every pixel (straight alpha) through tables of red, green, blue and alpha.
void mapChannels(QImage& image, const Table& r, const Table& g, const Table& b, const Table& a) {
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            line[x] = qRgba(r[qRed(p)], g[qGreen(p)], b[qBlue(p)], a[qAlpha(p)]);
        }
    }
}

// The eight colour curve adjustments (exposure, density, contrast, highlight, shadow,
// midtone, white and black saturation) on the channels given (0 all, 1 red, 2 green, 3 blue).
void colorCurve(QImage& image, int32_t adjustment, int32_t channel, int32_t level) {
    const double v = level;
    std::function<double(double)> f;
    switch (adjustment) {
        case 0: f = [v](double t) { return t * (1 + v / 255); }; break;
        case 1:
            f = [v](double t) { return v >= 0 ? t + (1 - t) * v / 255 : t * (1 + v / 255); };
            break;
        case 2: f = [level](double t) { return contrast(t, level); }; break;
        case 3:
            f = [v](double t) { return t > 0.5 ? t + v / 100 * (2 * t - 1) * (1 - t) : t; };
            break;
        case 4: f = [v](double t) { return t < 0.5 ? t + v / 100 * t * (1 - 2 * t) : t; }; break;
        case 5:
            f = [g = std::exp2(-std::clamp(v, -100.0, 100.0) / 100)](double t) {
                return std::pow(t, g);
            };
            break;
        case 6: f = [v](double t) { return v > 0 ? t * 255 / v : 1.0; }; break;
        case 7: f = [v](double t) { return v < 255 ? (t * 255 - v) / (255 - v) : 0.0; }; break;
        default: return;
    }
    const Table c = curve(f), same = identity();
    mapChannels(image, channel == 0 || channel == 1 ? c : same,
                channel == 0 || channel == 2 ? c : same, channel == 0 || channel == 3 ? c : same,
                same);
}

// Each pixel's colour through f(r, g, b) on 0..1 values, alpha kept.
template <typename F>
void mapColors(QImage& image, F f) {
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            std::array<double, 3> c{qRed(p) / 255.0, qGreen(p) / 255.0, qBlue(p) / 255.0};
            f(c);
            line[x] = qRgba(clampByte(c[0] * 255), clampByte(c[1] * 255), clampByte(c[2] * 255),
                            qAlpha(p));
        }
    }
}

// The 5 x 5 matrix on the row vector (r, g, b, a, 1), all on 0..1.
void colorMatrix(QImage& image, const std::array<float, 25>& m) {
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            const double in[5] = {qRed(p) / 255.0, qGreen(p) / 255.0, qBlue(p) / 255.0,
                                  qAlpha(p) / 255.0, 1};
            double out[4] = {};
            for (int j = 0; j < 4; ++j)
                for (int i = 0; i < 5; ++i) out[j] += in[i] * double(m[size_t(i * 5 + j)]);
            line[x] = qRgba(clampByte(out[0] * 255), clampByte(out[1] * 255),
                            clampByte(out[2] * 255), clampByte(out[3] * 255));
        }
    }
}

double luminance(const std::array<double, 3>& c) {
    return 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2];
}

// The fully saturated colour of a hue (degrees).
std::array<double, 3> hueColor(double degrees) {
    const double turn = std::fmod(std::fmod(degrees, 360) + 360, 360) / 360;
    const QColor c = QColor::fromHslF(float(turn), 1, 0.5f);
    return {c.redF(), c.greenF(), c.blueF()};
}

// Hue turned by `hue` degrees, saturation scaled by 1 + s/100, then lightness: towards white
// (l > 0) or black (l < 0) by |l| per cent.
void hueSaturationLightness(QImage& image, int32_t hue, int32_t saturation, int32_t lightness) {
    const double l = std::clamp(lightness, -100, 100) / 100.0;
    const double s = 1 + std::clamp(saturation, -100, 100) / 100.0;
    mapColors(image, [&](std::array<double, 3>& c) {
        if (hue != 0 || saturation != 0) {
            float h, sat, light;
            QColor::fromRgbF(float(c[0]), float(c[1]), float(c[2])).getHslF(&h, &sat, &light);
            if (h < 0) h = 0;
            h = float(std::fmod(h * 360.0 + hue + 360.0 * 2, 360.0) / 360.0);
            const QColor o = QColor::fromHslF(h, float(std::clamp(sat * s, 0.0, 1.0)), light);
            c = {o.redF(), o.greenF(), o.blueF()};
        }
        for (double& v : c) v = l >= 0 ? v + (1 - v) * l : v * (1 + l);
    });
}

// Towards the colour of `hue` at the pixel's own luminance by `amount` per cent (a negative
// amount tints with the opposite hue); black and white stay.
void tint(QImage& image, int32_t hue, int32_t amount) {
    const double k = std::clamp(std::abs(amount), 0, 100) / 100.0;
    const auto tone = hueColor(amount < 0 ? hue + 180.0 : hue);
    const double toneLuminance = luminance(tone);
    mapColors(image, [&](std::array<double, 3>& c) {
        const double y = luminance(c);
        for (size_t i = 0; i < 3; ++i) {
            const double target = std::min(1.0, tone[i] * y / toneLuminance);
            c[i] += (target - c[i]) * k;
        }
    });
}

// A box blur of `radius` pixels, twice across and twice down (close to a Gaussian), on
// premultiplied pixels; past the edges the image is transparent (`expandEdge`, its edges
// soften) or its edge pixels go on.
QImage boxBlur(const QImage& source, int radius, bool expandEdge) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (radius <= 0) return image;
    const int w = image.width(), h = image.height();
    std::vector<uint32_t> line;
    std::vector<QRgb> out;
    const auto pass = [&](bool vertical) {
        const int n = vertical ? h : w, lines = vertical ? w : h;
        line.assign(size_t(n), 0);
        out.assign(size_t(n), 0);
        const auto pixel = [&](int i, int at) -> QRgb& {
            return vertical ? reinterpret_cast<QRgb*>(image.scanLine(at))[i]
                            : reinterpret_cast<QRgb*>(image.scanLine(i))[at];
        };
        for (int i = 0; i < lines; ++i) {
            const auto sample = [&](int at) -> QRgb {
                if (at < 0 || at >= n) {
                    if (expandEdge) return 0;
                    at = std::clamp(at, 0, n - 1);
                }
                return pixel(i, at);
            };
            std::array<int64_t, 4> sum{};
            const auto add = [&](QRgb p, int sign) {
                sum[0] += sign * qRed(p), sum[1] += sign * qGreen(p);
                sum[2] += sign * qBlue(p), sum[3] += sign * qAlpha(p);
            };
            for (int k = -radius; k <= radius; ++k) add(sample(k), 1);
            const int64_t span = 2 * radius + 1;
            for (int at = 0; at < n; ++at) {
                out[size_t(at)] = qRgba(int(sum[0] / span), int(sum[1] / span),
                                        int(sum[2] / span), int(sum[3] / span));
                add(sample(at - radius), -1);
                add(sample(at + radius + 1), 1);
            }
            for (int at = 0; at < n; ++at) pixel(i, at) = out[size_t(at)];
        }
    };
    for (int round = 0; round < 2; ++round) {
        pass(false);
        pass(true);
    }
    return image;
}

// Unsharp masking: each colour moved away from its blurred surroundings by `amount` per cent.
void sharpen(QImage& image, float radius, float amount) {
    const int r = int(std::clamp(std::lround(radius), 1L, 255L));
    const QImage blurred =
        boxBlur(image, r, false).convertToFormat(QImage::Format_ARGB32);
    const double k = std::clamp(double(amount), 0.0, 100.0) / 100;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const auto* soft = reinterpret_cast<const QRgb*>(blurred.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x], b = soft[x];
            const auto sharp = [k](int v, int blur) { return clampByte(v + (v - blur) * k); };
            line[x] = qRgba(sharp(qRed(p), qRed(b)), sharp(qGreen(p), qGreen(b)),
                            sharp(qBlue(p), qBlue(b)), qAlpha(p));
        }
    }
}

// In each area, a pixel whose red stands well above its green and blue takes their mean.
void redEye(QImage& image, const std::vector<QRect>& areas) {
    for (const QRect& area : areas) {
        const QRect box = area.intersected(image.rect());
        for (int y = box.top(); y <= box.bottom(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = box.left(); x <= box.right(); ++x) {
                const QRgb p = line[x];
                const int rest = (qGreen(p) + qBlue(p)) / 2;
                if (qRed(p) > 64 && qRed(p) - std::max(qGreen(p), qBlue(p)) > 40)
                    line[x] = qRgba(rest, qGreen(p), qBlue(p), qAlpha(p));
            }
        }
    }
}

}  // namespace

// Brightness adds up to 255 to each channel; contrast scales about mid grey. Colour balance
// bends each channel's middle (its ends stay): cyan-red the red, magenta-green the green,
// yellow-blue the blue, by up to a quarter of full intensity. Levels stretch the channel
// values between the shadow and highlight per cents to the whole range, then bend them by
// the midtone. The lookup table maps each channel by its own table. Blur and sharpen use a
// box blur of the radius (twice across and down).
QImage applyImageEffect(const QImage& source, const ImageEffectRecord& e) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    // Plain variables, not a structured binding: lambdas below capture them.
    const int32_t v0 = e.values[0], v1 = e.values[1], v2 = e.values[2];
    const Table same = identity();
    switch (e.effect) {
        case ImageEffect::BrightnessContrast: {
            const Table t = curve([&](double t) {
                return contrast(t, v1) + std::clamp(v0, -255, 255) / 255.0;
            });
            mapChannels(image, t, t, t, same);
            break;
        }
        case ImageEffect::ColorBalance: {
            const auto bend = [](int32_t level) {
                const double k = std::clamp(level, -100, 100) / 100.0;
                return curve([k](double t) { return t + k * t * (1 - t); });
            };
            mapChannels(image, bend(v0), bend(v1), bend(v2), same);
            break;
        }
        case ImageEffect::ColorCurve:
            colorCurve(image, v0, v1, v2);
            break;
        case ImageEffect::ColorLookupTable: {
            if (e.table.size() != 1024) break;
            Table t[4];
            for (size_t i = 0; i < 4; ++i)
                std::copy_n(e.table.begin() + ptrdiff_t(i * 256), 256, t[i].begin());
            mapChannels(image, t[2], t[1], t[0], t[3]);
            break;
        }
        case ImageEffect::ColorMatrix:
            colorMatrix(image, e.matrix);
            break;
        case ImageEffect::HueSaturationLightness:
            hueSaturationLightness(image, v0, v1, v2);
            break;
        case ImageEffect::Levels: {
            const double high = std::clamp(v0, 0, 100) / 100.0;
            const double low = std::clamp(v2, 0, 100) / 100.0;
            const double gamma = std::exp2(-std::clamp(v1, -100, 100) / 100.0);
            const Table t = curve([&](double t) {
                const double u = high != low ? std::clamp((t - low) / (high - low), 0.0, 1.0)
                                             : (t >= low ? 1.0 : 0.0);
                return std::pow(u, gamma);
            });
            mapChannels(image, t, t, t, same);
            break;
        }
        case ImageEffect::Tint:
            tint(image, v0, v1);
            break;
        case ImageEffect::RedEyeCorrection:
            redEye(image, e.areas);
            break;
        case ImageEffect::Sharpen:
            sharpen(image, e.radius, e.amount);
            break;
        case ImageEffect::Blur:
            return boxBlur(image, int(std::clamp(std::lround(e.radius), 0L, 255L)), e.amount != 0)
                .convertToFormat(QImage::Format_ARGB32);
        case ImageEffect::None:
            break;
    }
    return image;
}

}  // namespace plume::metafile
