#include "search/SearchPanel.h"

#include "frame/SkinnedForm.h"
#include "search/RecentList.h"
#include "settings/Settings.h"

namespace surfdeck::search_panel {

void label(forms::Label& l, double left, double top, double width, std::string caption,
           std::string toolTip) {
    l.move(left, top, width, kLabelHeight);
    l.setCaption(std::move(caption));
    if (!toolTip.empty()) l.setToolTipText(std::move(toolTip));
}

void editable(forms::ComboBox& c, double left, double top, double width, double height) {
    c.move(left, top, width, height);
    c.setStyle(forms::ComboBox::Style::Editable);
}

void listOnly(forms::ComboBox& c, double left, double top, double width, double height,
              std::initializer_list<const char*> items) {
    c.move(left, top, width, height);
    c.setStyle(forms::ComboBox::Style::ListOnly);
    for (const char* item : items) c.addItem(item);
}

void line(forms::Shape& s, double top, double panelWidth) {
    // One pixel high.
    s.move(kLineMargin, top, panelWidth - 2 * kLineMargin, 15);
    s.setStyle(forms::Shape::Style::Line);
    s.setFillColour(kLineColour);
}

void button(forms::CommandButton& b, double left, double top, double width, double height,
            std::string caption) {
    b.move(left, top, width, height);
    b.setCaption(std::move(caption));
}

void fillFromRecent(const std::string& list, forms::ComboBox& combo) {
    combo.clear();
    for (auto& item : FillRecentCombo(list)) combo.addItem(std::move(item));
}

void placeFrom(SkinnedForm& panel, const std::string& section, const std::string& ini) {
    panel.setTop(Val(ReadIni(section, "top", "100", ini)));
    panel.setLeft(Val(ReadIni(section, "left", "100", ini)));
    panel.keepTitleBandOnScreen();
}

void savePlace(const SkinnedForm& panel, const std::string& section, const std::string& ini) {
    WriteIni(section, "Top", FormatNumber(panel.top()), ini);
    WriteIni(section, "Left", FormatNumber(panel.left()), ini);
}

}  // namespace surfdeck::search_panel
