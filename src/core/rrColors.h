// RGB <-> HLS (double hexcone) conversion and the light/dark shade pair the
// oval button draws its bevel with.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>

namespace vx {

class EColorConv : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Low byte red, then green, then blue; a value with the high bit set names a
// system colour by its low byte.
using TColor = int32_t;

struct RGBTriple {
    double r = 0, g = 0, b = 0;
};
struct HLSTriple {
    double h = 0, l = 0, s = 0;
};

void HLS2RGB(const HLSTriple& hls, RGBTriple& rgb);
void RGB2HLS(const RGBTriple& rgb, HLSTriple& hls);

// The system colours the controls draw with, by index; a colour value with
// the high bit set names one of them by its low byte.
enum class SysColor : int {
    Window = 5,
    WindowText = 8,
    BtnFace = 15,
    BtnShadow = 16,
    GrayText = 17,
    BtnText = 18,
    BtnHighlight = 20,
};
constexpr TColor SystemColor(SysColor c) {
    return static_cast<TColor>(0x80000000u | static_cast<unsigned>(c));
}
constexpr TColor clWindowText = SystemColor(SysColor::WindowText);
constexpr TColor clBtnFace = SystemColor(SysColor::BtnFace);
constexpr TColor clGrayText = SystemColor(SysColor::GrayText);

// The one table of system colours: each with its classic value, which
// serves where no desktop palette is installed. An index not in the table
// resolves as the button face.
struct SystemColorEntry {
    SysColor id;
    TColor classic;
};
extern const SystemColorEntry kSystemColors[7];
// The entry for an index; the button face's for an index not in the table.
const SystemColorEntry& SystemColorEntryFor(int index);

// Resolves a system colour index to its current RGB colour value; the GUI
// installs the palette's resolver; without one the classic values serve.
using SystemColorResolver = std::function<TColor(int index)>;
void SetSystemColorResolver(SystemColorResolver resolver);
TColor ColorToRGB(TColor color);

void ShadeColors(TColor color, float lightFactor, float darkFactor, TColor& light, TColor& dark);

constexpr TColor RGBColor(int r, int g, int b) {
    return r | (g << 8) | (b << 16);
}
constexpr int RedOf(TColor c) {
    return c & 0xFF;
}
constexpr int GreenOf(TColor c) {
    return (c >> 8) & 0xFF;
}
constexpr int BlueOf(TColor c) {
    return (c >> 16) & 0xFF;
}

}  // namespace vx
