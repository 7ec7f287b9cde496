#include "search/frmWeb.h"

#include "frame/Skin.h"
#include "search/RecentList.h"
#include "search/SearchAddress.h"
#include "search/SearchPanel.h"

namespace surfdeck {

namespace {

FrameDesign panelDesign() {
    FrameDesign d;
    d.name = "frmWeb";
    d.caption = "Web Search";
    d.title = "Web Search";
    d.width = 3456;
    d.height = 4680;
    d.titleBand = 228;
    d.bottomEdge = 48;
    d.firstButton = skin::Collapse;
    d.firstButtonPressed = skin::CollapsePressed;
    return d;
}

constexpr const char* kSection = "WebSearchWindow";
constexpr double kBoxHeight = 288;

}  // namespace

frmWeb::frmWeb(AppContext& app, std::function<void(const std::string&)> relatedOpenInIE)
    : SkinnedPanel(app, panelDesign()), relatedOpenInIE_(std::move(relatedOpenInIE)) {
    using namespace search_panel;
    const double w = design().width;
    for (forms::Control* c : std::initializer_list<forms::Control*>{
             &Combo15, &Label3, &Combo1,  &Shape1,  &Label15, &Label4, &Combo2,  &Shape2,
             &Label16, &Label5, &Combo3,  &Shape3,  &Label17, &Label6, &Combo4,  &Shape4,
             &Label18, &Label7, &Combo16, &Label19, &Shape5,  &Combo5, &Command3})
        add(*c);

    editable(Combo15, 120, 300, 3192, kBoxHeight);
    label(Label3, 120, 660, 912, "Find results ");
    listOnly(Combo1, 1140, 600, 2172, kBoxHeight,
             {"with all of the words", "with the exact phrase", "with at least one of the words",
              "without the words"});
    line(Shape1, 960, w);
    label(Label15, 120, 1080, 2448, "Return results of the file format only");
    label(Label4, 120, 1380, 852, "File Format", "Only return results of the file format");
    listOnly(
        Combo2, 1140, 1320, 2172, kBoxHeight,
        {"any format", "Adobe Acrobat (.pdf)", "Adobe Postscript (.ps)", "Microsoft Word (.doc)",
         "Microsoft Excel (.xls)", "Microsoft Powerpoint (.ppt)", "RichTextFormat (.rtf)"});
    line(Shape2, 1680, w);
    label(Label16, 120, 1824, 2388, "Return web pages updated in the ");
    label(Label5, 120, 2100, 732, "Date", "Return web pages updated in the ");
    listOnly(Combo3, 1140, 2076, 2172, kBoxHeight,
             {"anytime", "past 3 months", "past 6 months", "past year"});
    line(Shape3, 2460, w);
    label(Label17, 120, 2556, 2556, "Return results where my terms occur");
    label(Label6, 120, 2856, 912, "Occurrences", "Return results where my terms occur");
    listOnly(Combo4, 1140, 2808, 2172, kBoxHeight,
             {"anywhere in the page", "in the title of the page", "in the text of the page",
              "in the url of the page", "in links to the page"});
    line(Shape4, 3180, w);
    label(Label18, 120, 3300, 2952, "Return results from the site or domain only");
    label(Label7, 120, 3600, 564, "Domain", "Only return results from the site or domain");
    editable(Combo16, 1140, 3540, 2172, kBoxHeight);
    label(Label19, 1200, 3840, 2064, "e.g. example.com, .org");
    line(Shape5, 4080, w);
    listOnly(Combo5, 120, 4200, 1512, kBoxHeight,
             {"10 results", "20 results", "30 results", "50 results", "100 results"});
    button(Command3, 2160, 4200, 1092, kBoxHeight, "Search");
    Command3.onClick = [this] { Command3_Click(); };
}

void frmWeb::Form_Load() {
    for (forms::ComboBox* c : {&Combo1, &Combo2, &Combo3, &Combo4, &Combo5}) c->setListIndex(0);
    const SettingsValues& s = app().settings;
    search_panel::fillFromRecent(s.RecentWebText, Combo15);
    search_panel::fillFromRecent(s.RecentWebDomain, Combo16);
    search_panel::placeFrom(*this, kSection, app().iniPath());
    stayOnTop();
}

void frmWeb::Form_Unload() {
    saveSettings();
}

void frmWeb::saveSettings() {
    const SettingsValues& s = app().settings;
    const std::string ini = app().iniPath();
    SaveRecent("RecentWebText", s.RecentWebText, ini);
    SaveRecent("RecentWebDomain", s.RecentWebDomain, ini);
    search_panel::savePlace(*this, kSection, ini);
}

void frmWeb::Command3_Click() {
    SettingsValues& s = app().settings;
    AddToRecent(Combo15.text(), s.RecentWebText, s.RecentLengh);
    AddToRecent(Combo16.text(), s.RecentWebDomain, s.RecentLengh);
    const std::string address = BuildWebSearchAddress(
        {
            .words = Combo15.text(),
            .matchMode = Combo1.listIndex(),
            .results = Combo5.listIndex(),
            .fileFormat = Combo2.listIndex(),
            .date = Combo3.listIndex(),
            .occurrences = Combo4.listIndex(),
            .domain = Combo16.text(),
        },
        readSearchHosts(app().iniPath()).web);
    OpenInIE(address);
}

void frmWeb::OpenInIE(const std::string& st) {
    relatedOpenInIE_(st);
}

}  // namespace surfdeck
