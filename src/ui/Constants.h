// Constants the windows share.
#pragma once

namespace vx::ui {

// The product's homepage: Help > Homepage opens it, and a new link label
// shows it until given its own.
inline constexpr const char* kHomepage = "http://www.vexorin.example/";

}  // namespace vx::ui
