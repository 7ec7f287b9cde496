#include "search/frmImage.h"

#include "frame/Skin.h"
#include "search/RecentList.h"
#include "search/SearchAddress.h"
#include "search/SearchPanel.h"

namespace surfdeck {

namespace {

FrameDesign panelDesign() {
    FrameDesign d;
    d.name = "frmImage";
    d.caption = "Image search";
    d.title = "Image search";
    d.width = 3420;
    d.height = 4740;
    d.titleBand = 228;
    d.bottomEdge = 45;
    d.firstButton = skin::Collapse;
    d.firstButtonPressed = skin::CollapsePressed;
    return d;
}

constexpr const char* kSection = "ImageSearchWindow";
constexpr double kBoxHeight = 315;

}  // namespace

frmImage::frmImage(AppContext& app, ActiveBrowser& browser)
    : SkinnedPanel(app, panelDesign()), browser_(browser) {
    using namespace search_panel;
    const double w = design().width;
    for (forms::Control* c : std::initializer_list<forms::Control*>{
             &Combo17, &Label8,  &Combo6,  &Shape1,  &Label20, &Label9,  &Combo7,  &Shape2,
             &Label21, &Label10, &Combo8,  &Shape3,  &Label22, &Label11, &Combo9,  &Shape4,
             &Label23, &Label12, &Combo18, &Label24, &Shape5,  &Combo14, &Command4})
        add(*c);

    editable(Combo17, 120, 300, 3192, kBoxHeight);
    label(Label8, 120, 720, 915, "Find results ");
    listOnly(Combo6, 1140, 660, 2172, kBoxHeight,
             {"with all of the words", "with the exact phrase", "with at least one of the words",
              "without the words"});
    line(Shape1, 1020, w);
    label(Label20, 120, 1140, 1605, "Return images that are");
    label(Label9, 120, 1440, 315, "Size");
    listOnly(
        Combo7, 1140, 1395, 2172, kBoxHeight,
        {"any size", "icon-sized", "small", "medium", "large", "very-large", "wallpaper-sized"});
    line(Shape2, 1740, w);
    label(Label21, 120, 1890, 2550, "Return only image files formatted as");
    label(Label10, 120, 2160, 855, "Filetypes");
    listOnly(Combo8, 1140, 2160, 2172, kBoxHeight, {"any filetype", "JPG files", "GIF files"});
    line(Shape3, 2520, w);
    label(Label22, 120, 2610, 1530, "Return only images in");
    label(Label11, 120, 2910, 855, "Coloration");
    listOnly(Combo9, 1140, 2865, 2172, kBoxHeight,
             {"any colors", "black and white", "grayscale", "full color"});
    line(Shape4, 3240, w);
    label(Label23, 120, 3360, 2955, "Return results from the site or domain only");
    label(Label12, 120, 3660, 570, "Domain");
    editable(Combo18, 1140, 3600, 2172, kBoxHeight);
    label(Label24, 1140, 3900, 2100, "Example: example.com, .org");
    line(Shape5, 4140, w);
    listOnly(Combo14, 120, 4260, 1512, kBoxHeight,
             {"10 results", "20 results", "30 results", "50 results", "100 results"});
    button(Command4, 2220, 4260, 1092, kBoxHeight, "Search");
    Command4.onClick = [this] { Command4_Click(); };
}

void frmImage::Form_Load() {
    const SettingsValues& s = app().settings;
    search_panel::fillFromRecent(s.RecentImageText, Combo17);
    search_panel::fillFromRecent(s.RecentImageDomain, Combo18);
    for (forms::ComboBox* c : {&Combo6, &Combo7, &Combo8, &Combo9, &Combo14}) c->setListIndex(0);
    search_panel::placeFrom(*this, kSection, app().iniPath());
    stayOnTop();
}

void frmImage::Form_Unload() {
    saveSettings();
}

void frmImage::saveSettings() {
    const SettingsValues& s = app().settings;
    const std::string ini = app().iniPath();
    SaveRecent("RecentImageText", s.RecentImageText, ini);
    SaveRecent("RecentImageDomain", s.RecentImageDomain, ini);
    search_panel::savePlace(*this, kSection, ini);
}

void frmImage::Command4_Click() {
    SettingsValues& s = app().settings;
    AddToRecent(Combo17.text(), s.RecentImageText, s.RecentLengh);
    AddToRecent(Combo18.text(), s.RecentImageDomain, s.RecentLengh);
    const std::string address = BuildImageSearchAddress(
        {
            .words = Combo17.text(),
            .matchMode = Combo6.listIndex(),
            .size = Combo7.listIndex(),
            .fileType = Combo8.listIndex(),
            .coloration = Combo9.listIndex(),
            .domain = Combo18.text(),
            .results = Combo14.listIndex(),
        },
        readSearchHosts(app().iniPath()).images);
    // The main window's OpenInIE, straight: this panel has none of its own.
    browser_.openFromPanel(address);
}

}  // namespace surfdeck
