#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <variant>

#include "ports/Automation.h"

namespace surfdeck {

struct TrackingContext;
class IE_Class;

// One item of a forwarded event's argument array: a reference to a value the wrapper
// (or the browser) owns, or, for Cancel, a plain copy.
using IEEventArg = std::variant<std::monostate, Dispatch*, const std::string*, const std::int32_t*,
                                bool*, const bool*, const std::int16_t*, const float*, bool>;

// Event kinds a wrapper forwards.
namespace ie_event {
inline constexpr std::int32_t BeforeNavigate2 = 1;
inline constexpr std::int32_t NavigateComplete2 = 2;
inline constexpr std::int32_t DownloadBegin = 3;
inline constexpr std::int32_t DownloadComplete = 4;
inline constexpr std::int32_t DocumentComplete = 5;
inline constexpr std::int32_t MouseDown = 6;
inline constexpr std::int32_t MouseUp = 7;
inline constexpr std::int32_t ContextMenu = 8;
inline constexpr std::int32_t CommandStateChange = 9;
}  // namespace ie_event

// Hands one wrapper event to the list in ctx.IEWindowsPtr, which raises its public event
// before this returns. The arguments are copied into a new array by kind (Cancel becomes
// a copy, so no receiver can cancel the browser's navigation). An event from a wrapper
// that no list keeps any more, or that comes when no list exists, is dropped.
void ForwardIEEvent(TrackingContext& ctx, const IE_Class& source, std::int32_t kind,
                    const std::int32_t& IEHandle, std::span<const IEEventArg> args);

}  // namespace surfdeck
