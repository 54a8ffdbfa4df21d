#include "core/rrColors.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/text.h"

namespace vx {

namespace {

constexpr long double kEps = 1e-8L;

constexpr int kCorner[6][3] = {{+1, -1, -1}, {+1, +1, -1}, {-1, +1, -1},
                               {-1, +1, +1}, {-1, -1, +1}, {+1, -1, +1}};

bool OutOfRange(double v) {
    return std::isnan(v) || v < 0.0 || v > 1.0;
}

double Clamp01(double v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

bool Differ(double a, double b) {
    return std::fabs(static_cast<long double>(b) - a) > kEps;
}

double HueOf(const double h[3], int k) {
    double x = 0;
    switch (k) {
        case 2:
            x = h[0] > h[1] ? (h[1] + 1) / 2 : 2 - (h[0] + 1) / 2;
            break;
        case 0:
            x = h[1] > h[2] ? (h[2] + 1) / 2 + 2 : 4 - (h[1] + 1) / 2;
            break;
        case 1:
            x = h[2] > h[0] ? (h[0] + 1) / 2 + 4 : 6 - (h[2] + 1) / 2;
            break;
        default:
            x = 0;
    }
    return x / 6;
}

constexpr int kPairs[3][2] = {{0, 1}, {1, 2}, {0, 2}};

// The first component lowest below 1, or 0 when none is.
int LowestBelowOne(const double h[3]) {
    double low = 1.0;
    int k = 0;
    for (int i = 0; i < 3; ++i) {
        if (h[i] < low) {
            low = h[i];
            k = i;
        }
    }
    return k;
}

SystemColorResolver& Resolver() {
    static SystemColorResolver r;
    return r;
}

}  // namespace

void HLS2RGB(const HLSTriple& hls, RGBTriple& rgb) {
    const double in[3] = {hls.h, hls.l, hls.s};
    const char* names[3] = {"Hue", "Luminance", "Saturation"};
    for (int i = 0; i < 3; ++i)
        if (OutOfRange(in[i]))
            throw EColorConv(std::string("HLS2RGB: 0 <= ") + names[i] + " value <= 1 required");
    const double x = 6 * hls.h;
    const double whole = std::trunc(x);
    const int k = static_cast<int>(whole) % 6;
    const int next = (k + 1) % 6;
    const double f = x - whole;
    double c[3];
    for (int i = 0; i < 3; ++i) {
        c[i] = kCorner[k][i] + f * (kCorner[next][i] - kCorner[k][i]);
        c[i] *= hls.s;
        c[i] = hls.l > 0.5 ? hls.l + (1 - hls.l) * c[i] : hls.l * (c[i] + 1);
        c[i] = Clamp01(c[i]);
    }
    rgb = {c[0], c[1], c[2]};
}

void RGB2HLS(const RGBTriple& rgb, HLSTriple& hls) {
    const double in[3] = {rgb.r, rgb.g, rgb.b};
    const char* names[3] = {"Red", "Green", "Blue"};
    for (int i = 0; i < 3; ++i)
        if (OutOfRange(in[i]))
            throw EColorConv(std::string("RGB2HLS: 0 <= ") + names[i] + " value <= 1 required");
    double v[3], u[3], h[3];
    double m = 0;
    int d = 0;
    for (int i = 0; i < 3; ++i) {
        v[i] = 2 * in[i] - 1;
        if (std::fabs(v[i]) > m) {
            m = std::fabs(v[i]);
            d = i;
        }
    }
    if (m < kEps) {
        hls = {0, 0.5, 0};
        return;
    }
    for (int i = 0; i < 3; ++i) u[i] = v[i] * (1 / m);
    // The dark half (the dominant component at or below the middle) and the
    // light half mirror each other: sign flips the signs, endOffset moves from
    // the black to the white end.
    const bool dark = v[d] <= 0;
    const double sign = dark ? 1 : -1, endOffset = dark ? 1 : -1;
    double m2 = 0;
    for (int i = 0; i < 3; ++i) m2 = std::max(m2, sign * (u[i] + endOffset));
    if (m2 < kEps) {
        hls = {0, in[0], 0};
        return;
    }
    for (int i = 0; i < 3; ++i) h[i] = sign * ((sign * (u[i] + endOffset)) * (2 / m2) - 1);
    const double H = HueOf(h, dark ? d : LowestBelowOne(h));
    double S = 0;
    for (const auto& p : kPairs) {
        const int a = p[0], b = p[1];
        if (Differ(v[a], v[b])) {
            S = sign * (v[b] - v[a]) / ((v[a] + endOffset) * h[b] - (v[b] + endOffset) * h[a]);
            break;
        }
    }
    double c = v[0] + endOffset;
    for (const auto& p : kPairs) {
        const int a = p[0], b = p[1];
        if (Differ(h[a], h[b])) {
            c = ((v[a] + endOffset) * h[b] - (v[b] + endOffset) * h[a]) / (h[b] - h[a]);
            break;
        }
    }
    const double L = dark ? c * 0.5 : c * 0.5 + 1;
    hls = {Clamp01(H), Clamp01(L), Clamp01(S)};
}

void SetSystemColorResolver(SystemColorResolver resolver) {
    Resolver() = std::move(resolver);
}

TColor ColorToRGB(TColor color) {
    if (color >= 0) return color & 0xFFFFFF;
    if (Resolver()) return Resolver()(color & 0xFF) & 0xFFFFFF;
    return SystemColorEntryFor(color & 0xFF).classic;
}

const SystemColorEntry kSystemColors[7] = {
    {SysColor::Window, RGBColor(255, 255, 255)},
    {SysColor::WindowText, RGBColor(0, 0, 0)},
    {SysColor::BtnFace, RGBColor(212, 208, 200)},
    {SysColor::BtnShadow, RGBColor(128, 128, 128)},
    {SysColor::GrayText, RGBColor(128, 128, 128)},
    {SysColor::BtnText, RGBColor(0, 0, 0)},
    {SysColor::BtnHighlight, RGBColor(255, 255, 255)},
};

const SystemColorEntry& SystemColorEntryFor(int index) {
    for (const SystemColorEntry& e : kSystemColors)
        if (static_cast<int>(e.id) == index) return e;
    for (const SystemColorEntry& e : kSystemColors)
        if (e.id == SysColor::BtnFace) return e;
    return kSystemColors[0];
}

void ShadeColors(TColor color, float lightFactor, float darkFactor, TColor& light, TColor& dark) {
    // A light factor that does not make a number for every byte is refused
    // like any other bad input, never left to undefined behaviour.
    if (!std::isfinite(lightFactor) || std::fabs(static_cast<double>(lightFactor)) * 256 > 2.0e9)
        throw EColorConv("ShadeColors: the light factor is not a usable number");
    const TColor c = ColorToRGB(color);
    const int bytes[3] = {RedOf(c), GreenOf(c), BlueOf(c)};
    int lt[3];
    for (int i = 0; i < 3; ++i) {
        const double prod = static_cast<double>(256 - bytes[i]) * static_cast<double>(lightFactor);
        lt[i] = (255 - static_cast<int>(RoundHalfEven(prod))) & 0xFF;
    }
    HLSTriple hls;
    RGB2HLS({bytes[0] / 255.0, bytes[1] / 255.0, bytes[2] / 255.0}, hls);
    hls.l *= static_cast<double>(darkFactor);
    RGBTriple rgb;
    HLS2RGB(hls, rgb);
    light = RGBColor(lt[0], lt[1], lt[2]);
    dark = RGBColor(static_cast<int>(RoundHalfEven(rgb.r * 255)),
                    static_cast<int>(RoundHalfEven(rgb.g * 255)),
                    static_cast<int>(RoundHalfEven(rgb.b * 255)));
}

}  // namespace vx
