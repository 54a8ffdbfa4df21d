// Pictures of our own drawing: the banner, the menu pictures and the button
// glyphs, made by the asset tool at their native pixel sizes (the banner at
// 1x and 2x) and loaded from the resources, so they stay crisp.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace vx::ui::art {

enum class Picture {
    PageOfText,     // 0 Save keywords list
    OpenDoor,       // 1 Exit
    FloppyDisk,     // 2 Save investigation
    OpenFolder,     // 3 Open investigation
    QuestionMark,   // 4 Contents
    Globe,          // 5 Homepage
    LightBulb,      // 6 About
    GearWithSpark,  // Start, 17 x 15
    NoEntry,        // Stop and Cancel, 16 x 16
    Magnifier,      // Investigate, 22 x 21
    ScatterChart,   // Opportunity chart
};
constexpr int kPictureCount = 11;

// The picture's file name under pictures/, without ".png"; the asset painter
// writes these files and the application loads them.
constexpr const char* FileName(Picture picture) {
    constexpr const char* kNames[kPictureCount] = {
        "page-of-text", "open-door",  "floppy-disk", "open-folder", "question-mark", "globe",
        "light-bulb",   "gear-spark", "no-entry",    "magnifier",   "scatter-chart"};
    return kNames[static_cast<int>(picture)];
}

QPixmap Draw(Picture picture);
QIcon Icon(Picture picture);
// 490 x 55 logical pixels, JPEG; twice the pixels for a ratio above 1.
QPixmap Banner(qreal devicePixelRatio = 1.0);
QPixmap AboutPicture();  // 150 x 140, JPEG

}  // namespace vx::ui::art
