#include "core/rrColors.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vx {
namespace {

void ExpectHls(double r, double g, double b, double h, double l, double s) {
    HLSTriple out;
    RGB2HLS({r, g, b}, out);
    EXPECT_NEAR(out.h, h, 1e-9) << r << "," << g << "," << b;
    EXPECT_NEAR(out.l, l, 1e-9) << r << "," << g << "," << b;
    EXPECT_NEAR(out.s, s, 1e-9) << r << "," << g << "," << b;
}

TEST(RGB2HLS, GreysPrimariesAndTies) {
    ExpectHls(0.5, 0.5, 0.5, 0, 0.5, 0);
    ExpectHls(0, 0, 0, 0, 0, 0);
    ExpectHls(1, 1, 1, 0, 1, 0);
    ExpectHls(0.2, 0.2, 0.2, 0, 0.2, 0);
    ExpectHls(0.8, 0.8, 0.8, 0, 0.8, 0);
    ExpectHls(1, 0, 0, 1, 0.5, 1);  // hue 1, not 0
    ExpectHls(0, 1, 0, 1.0 / 3, 0.5, 1);
    ExpectHls(0, 0, 1, 2.0 / 3, 0.5, 1);
    ExpectHls(1, 1, 0, 1.0 / 6, 0.5, 1);
    ExpectHls(212 / 255.0, 208 / 255.0, 200 / 255.0, 1.0 / 9, 206 / 255.0, 6.0 / 49);
}

TEST(RGB2HLS, RoundTripsThroughHLS2RGB) {
    for (int r = 0; r <= 255; r += 51)
        for (int g = 0; g <= 255; g += 17)
            for (int b = 0; b <= 255; b += 85) {
                HLSTriple hls;
                RGB2HLS({r / 255.0, g / 255.0, b / 255.0}, hls);
                RGBTriple back;
                HLS2RGB(hls, back);
                EXPECT_NEAR(back.r * 255, r, 1e-6);
                EXPECT_NEAR(back.g * 255, g, 1e-6);
                EXPECT_NEAR(back.b * 255, b, 1e-6);
            }
}

TEST(HLS2RGB, HueOneEqualsHueZero) {
    RGBTriple a, b;
    HLS2RGB({0, 0.4, 0.7}, a);
    HLS2RGB({1, 0.4, 0.7}, b);
    EXPECT_DOUBLE_EQ(a.r, b.r);
    EXPECT_DOUBLE_EQ(a.g, b.g);
    EXPECT_DOUBLE_EQ(a.b, b.b);
}

TEST(ColorConv, NamesFirstOffendingComponentAndLeavesOutput) {
    RGBTriple rgb{0.1, 0.2, 0.3};
    try {
        HLS2RGB({0, 0.5, 1.0000001}, rgb);
        FAIL();
    } catch (const EColorConv& e) {
        EXPECT_STREQ(e.what(), "HLS2RGB: 0 <= Saturation value <= 1 required");
    }
    EXPECT_EQ(rgb.r, 0.1);
    HLSTriple hls{0.7, 0.7, 0.7};
    try {
        RGB2HLS({-0.1, 2, 0}, hls);
        FAIL();
    } catch (const EColorConv& e) {
        EXPECT_STREQ(e.what(), "RGB2HLS: 0 <= Red value <= 1 required");
    }
    EXPECT_EQ(hls.h, 0.7);
    EXPECT_THROW(HLS2RGB({std::nan(""), 0.5, 0.5}, rgb), EColorConv);
}

TEST(ShadeColors, LightAndDarkPairs) {
    struct Case {
        int r, g, b, lr, lg, lb, dr, dg, db;
    } cases[] = {
        {192, 192, 192, 223, 223, 223, 115, 115, 115},
        {212, 208, 200, 233, 231, 227, 139, 129, 108},
        {0, 0, 0, 127, 127, 127, 0, 0, 0},
        {255, 255, 255, 255, 255, 255, 153, 153, 153},
        {255, 0, 0, 255, 127, 127, 153, 0, 0},
    };
    for (const auto& c : cases) {
        TColor light, dark;
        ShadeColors(RGBColor(c.r, c.g, c.b), 0.5f, 0.6f, light, dark);
        EXPECT_EQ(light, RGBColor(c.lr, c.lg, c.lb)) << c.r << "," << c.g << "," << c.b;
        EXPECT_EQ(dark, RGBColor(c.dr, c.dg, c.db)) << c.r << "," << c.g << "," << c.b;
    }
    // The light shade is 255 - round(factor x (256 - byte)): at these bytes
    // 255 - byte would round the other way.
    TColor light, dark;
    ShadeColors(RGBColor(254, 253, 2), 0.5f, 0.6f, light, dark);
    EXPECT_EQ(light, RGBColor(254, 253, 128));
}

TEST(ShadeColors, SystemColorsResolveFirstAndLuminanceAboveOneRaises) {
    SetSystemColorResolver([](int index) { return index == 15 ? RGBColor(192, 192, 192) : 0; });
    TColor light, dark;
    ShadeColors(static_cast<TColor>(0x8000000F), 0.5f, 0.6f, light, dark);
    EXPECT_EQ(light, RGBColor(223, 223, 223));
    EXPECT_EQ(dark, RGBColor(115, 115, 115));
    SetSystemColorResolver(nullptr);
    EXPECT_THROW(ShadeColors(RGBColor(250, 250, 250), 0.5f, 2.0f, light, dark), EColorConv);
}

TEST(ShadeColors, UnusableLightFactorsAreRefused) {
    TColor light = 0, dark = 0;
    for (const float f : {std::nanf(""), INFINITY, 1e30f, -1e30f})
        EXPECT_THROW(ShadeColors(RGBColor(10, 20, 30), f, 0.6f, light, dark), EColorConv) << f;
    EXPECT_NO_THROW(ShadeColors(RGBColor(10, 20, 30), 0.5f, 0.6f, light, dark));
}

}  // namespace
}  // namespace vx
