#pragma once

#include <QString>
#include <string>

namespace vx::ui {

// Bytes to text: UTF-8 when valid, else Windows-1252 (BytesToUtf8).
QString ToQString(const std::string& bytes);
std::string ToBytes(const QString& text);

}  // namespace vx::ui
