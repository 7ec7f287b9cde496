#pragma once
#include <exception>
#include <string>

#include "settings/AppContext.h"

namespace surfdeck {

// Has the main window open address in the active browser window (nothing when there is
// none, or no main window). The panels show nothing on failure: a navigation that fails
// writes one line, "OpenInIE error " with the error's number and text, to the log.
void openInActiveWindow(AppContext& app, const std::string& address);

// An error as the log writes it: the number in decimal followed by the description for
// an automation error, the message for any other.
std::string describeError(const std::exception& e);

}  // namespace surfdeck
