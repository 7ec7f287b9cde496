#pragma once
#include <functional>
#include <string>

#include "ports/Registry.h"

namespace surfdeck {

// The browser integration entries: a context-menu entry "Save text to file" for the
// current user, and two toolbar buttons (start Surfdeck, show the saved text), written
// again at every start; and the context-menu page context1.htm made from c1.h1.
// A key that cannot be created is logged through `log` and the rest still runs.
// Returns false when some key could not be created.
bool RegisterIEExtensions(Registry& registry, const std::string& programFolder,
                          const std::function<void(const std::string&)>& log);

// The desktop program's file name in the program folder.
inline constexpr const char* kExecutableName = "surfdeck";

}  // namespace surfdeck
