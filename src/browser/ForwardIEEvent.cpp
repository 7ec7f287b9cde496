#include "browser/ForwardIEEvent.h"

#include <algorithm>
#include <array>

#include "browser/IE_Class.h"
#include "browser/cIEWindows.h"

namespace surfdeck {

void ForwardIEEvent(TrackingContext& ctx, const IE_Class& source, std::int32_t kind,
                    const std::int32_t& IEHandle, std::span<const IEEventArg> args) {
    cIEWindows* list = ctx.IEWindowsPtr;
    if (!list || !source.owner_) return;

    std::array<IEEventArg, 7> copy{};
    std::size_t count = 0;
    auto take = [&](std::size_t wanted) {
        count = std::min(wanted, args.size());
        std::copy_n(args.begin(), count, copy.begin());
    };
    switch (kind) {
        case ie_event::BeforeNavigate2:
            take(7);
            // Cancel travels as a plain copy of its value.
            if (count == 7) {
                if (auto cancel = std::get_if<bool*>(&copy[6]); cancel && *cancel)
                    copy[6] = **cancel;
            }
            break;
        case ie_event::NavigateComplete2:
        case ie_event::DocumentComplete:
        case ie_event::CommandStateChange:
            take(2);
            break;
        case ie_event::MouseDown:
        case ie_event::MouseUp:
            take(4);
            break;
        default:
            break;
    }
    list->FireIEEvent(kind, IEHandle, std::span<const IEEventArg>(copy.data(), count));
}

}  // namespace surfdeck
