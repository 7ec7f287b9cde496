#include "base/ErrorText.h"

namespace surfdeck {

std::string errorLogText(const std::exception& e) {
    if (const auto* n = dynamic_cast<const NumberedError*>(&e)) {
        return std::to_string(n->number()) + n->description();
    }
    return std::to_string(kUnnumberedError) + e.what();
}

}  // namespace surfdeck
