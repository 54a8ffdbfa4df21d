// What the status line says after a save, for every file the window writes.
#pragma once

#include <QString>

#include "results/atomic_file.h"

namespace vx::ui {

// "Saved <path>", or "Could not save <path>: <cause>".
QString SaveStatusText(const QString& path, const WriteResult& written);

}  // namespace vx::ui
