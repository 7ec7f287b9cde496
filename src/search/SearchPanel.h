#pragma once
#include <initializer_list>
#include <string>

#include "forms/Controls.h"

// Building blocks the three search panels share: their controls as designed, the recent
// lists in their boxes, and the panel's place in conf.ini.
namespace surfdeck {

class SkinnedForm;

namespace search_panel {

inline constexpr forms::Colour kLineColour = forms::rgb(160, 160, 160);
inline constexpr double kLabelHeight = 240;
// Separator lines keep this margin at both ends.
inline constexpr double kLineMargin = 120;

void label(forms::Label& l, double left, double top, double width, std::string caption,
           std::string toolTip = {});
// An editable box, empty until its recent list fills it.
void editable(forms::ComboBox& c, double left, double top, double width, double height);
// A list-only box with its fixed items.
void listOnly(forms::ComboBox& c, double left, double top, double width, double height,
              std::initializer_list<const char*> items);
// A separator line across the panel at top.
void line(forms::Shape& s, double top, double panelWidth);
void button(forms::CommandButton& b, double left, double top, double width, double height,
            std::string caption);

// The box's items become the list's entries (the box's text is emptied too).
void fillFromRecent(const std::string& list, forms::ComboBox& combo);

// The panel's top, then its left, from section (keys "top" and "left", default 100).
void placeFrom(SkinnedForm& panel, const std::string& section, const std::string& ini);
// The panel's "Top", then its "Left", to section.
void savePlace(const SkinnedForm& panel, const std::string& section, const std::string& ini);

}  // namespace search_panel
}  // namespace surfdeck
