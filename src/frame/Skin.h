#pragma once

// The skin's picture files (skin/files/), by role. Backends load them by these names.
namespace surfdeck::skin {

inline constexpr const char* Corner = "corner.svg";
inline constexpr const char* EdgeLeft = "edge-left.svg";
inline constexpr const char* EdgeRight = "edge-right.svg";
inline constexpr const char* EdgeBottom = "edge-bottom.svg";
inline constexpr const char* Minimise = "min.svg";
inline constexpr const char* MinimisePressed = "min-pressed.svg";
inline constexpr const char* Collapse = "collapse.svg";
inline constexpr const char* CollapsePressed = "collapse-pressed.svg";
inline constexpr const char* Close = "close.svg";
inline constexpr const char* ClosePressed = "close-pressed.svg";
inline constexpr const char* Grip = "grip.svg";

}  // namespace surfdeck::skin
