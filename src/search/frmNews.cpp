#include "search/frmNews.h"

#include "frame/Skin.h"
#include "search/RecentList.h"
#include "search/SearchAddress.h"
#include "search/SearchPanel.h"

namespace surfdeck {

namespace {

FrameDesign panelDesign() {
    FrameDesign d;
    d.name = "frmNews";
    d.caption = "Newsgroup search";
    d.title = "Newsgroup search";
    d.width = 3792;
    d.height = 5400;
    d.titleBand = 230;
    d.bottomEdge = 45;
    d.firstButton = skin::Collapse;
    d.firstButtonPressed = skin::CollapsePressed;
    return d;
}

constexpr const char* kSection = "NewsSearchWindow";
constexpr double kBoxHeight = 315;

}  // namespace

frmNews::frmNews(AppContext& app, ActiveBrowser& browser)
    : SkinnedPanel(app, panelDesign()), browser_(browser) {
    using namespace search_panel;
    const double w = design().width;
    for (forms::Control* c : std::initializer_list<forms::Control*>{
             &Combo19, &Label13, &Combo10, &Shape1,  &Label29, &Label30, &Combo20,
             &Label31, &Shape2,  &Label2,  &Label28, &Combo21, &Shape3,  &Label3,
             &Label26, &Combo22, &Shape4,  &Label4,  &Label32, &Combo23, &Label25,
             &Shape5,  &Label33, &Combo11, &Combo13, &Combo12, &Command5})
        add(*c);

    editable(Combo19, 120, 300, 3552, kBoxHeight);
    label(Label13, 120, 720, 915, "Find results ");
    listOnly(Combo10, 1500, 660, 2172, kBoxHeight,
             {"with all of the words", "with the exact phrase", "with at least one of the words",
              "without the words"});
    line(Shape1, 1020, w);
    label(Label29, 120, 1140, 3030, "Return only messages from the newsgroup");
    label(Label30, 120, 1440, 825, "Newsgroup");
    editable(Combo20, 1500, 1380, 2172, kBoxHeight);
    // The hint sits a pixel higher and its separator a pixel lower than drawn at first:
    // at 8 points the hint's descenders reached the line.
    label(Label31, 1440, 1665, 2175, "Example: rec.games.*");
    line(Shape2, 1875, w);
    label(Label2, 120, 1980, 3510, "Return only messages where the subject contains");
    label(Label28, 120, 2280, 690, "Subject is");
    editable(Combo21, 1440, 2220, 2232, kBoxHeight);
    line(Shape3, 2580, w);
    label(Label3, 120, 2700, 2970, "Return only messages where the author is");
    label(Label26, 120, 3000, 615, "Author is");
    editable(Combo22, 1440, 2940, 2232, kBoxHeight);
    line(Shape4, 3300, w);
    label(Label4, 120, 3420, 2490, "Find the message with message ID");
    label(Label32, 120, 3720, 870, "Message ID");
    editable(Combo23, 1440, 3660, 2232, kBoxHeight);
    label(Label25, 1380, 3960, 2235, "Example: someone@example.com");
    line(Shape5, 4200, w);
    label(Label33, 2340, 4320, 1155, "Message Dates");
    listOnly(Combo11, 120, 4560, 1632, kBoxHeight,
             {"10 results", "20 results", "30 results", "50 results", "100 results"});
    listOnly(Combo13, 2340, 4560, 1332, kBoxHeight,
             {"anytime", "past 24 hours", "past week", "past month", "past 3 months",
              "past 6 months", "past year"});
    listOnly(Combo12, 120, 4980, 1632, kBoxHeight, {"sort by relevance", "sort by date"});
    button(Command5, 2340, 4980, 1332, kBoxHeight, "Search");
    Command5.onClick = [this] { Command5_Click(); };
}

void frmNews::Form_Load() {
    const SettingsValues& s = app().settings;
    search_panel::fillFromRecent(s.RecentGroupText, Combo19);
    search_panel::fillFromRecent(s.RecentGroupGroup, Combo20);
    search_panel::fillFromRecent(s.RecentGroupSubject, Combo21);
    search_panel::fillFromRecent(s.RecentGroupAuthor, Combo22);
    search_panel::fillFromRecent(s.RecentGroupMessageID, Combo23);
    for (forms::ComboBox* c : {&Combo10, &Combo11, &Combo12, &Combo13}) c->setListIndex(0);
    search_panel::placeFrom(*this, kSection, app().iniPath());
    stayOnTop();
}

void frmNews::Form_Unload() {
    saveSettings();
}

void frmNews::saveSettings() {
    const SettingsValues& s = app().settings;
    const std::string ini = app().iniPath();
    SaveRecent("RecentGroupAuthor", s.RecentGroupAuthor, ini);
    SaveRecent("RecentGroupGroup", s.RecentGroupGroup, ini);
    SaveRecent("RecentGroupMessageID", s.RecentGroupMessageID, ini);
    SaveRecent("RecentGroupSubject", s.RecentGroupSubject, ini);
    SaveRecent("RecentGroupText", s.RecentGroupText, ini);
    search_panel::savePlace(*this, kSection, ini);
}

void frmNews::Command5_Click() {
    SettingsValues& s = app().settings;
    AddToRecent(Combo19.text(), s.RecentGroupText, s.RecentLengh);
    AddToRecent(Combo20.text(), s.RecentGroupGroup, s.RecentLengh);
    AddToRecent(Combo21.text(), s.RecentGroupSubject, s.RecentLengh);
    AddToRecent(Combo22.text(), s.RecentGroupAuthor, s.RecentLengh);
    AddToRecent(Combo23.text(), s.RecentGroupMessageID, s.RecentLengh);
    const std::string address = BuildNewsSearchAddress(
        {
            .words = Combo19.text(),
            .matchMode = Combo10.listIndex(),
            .group = Combo20.text(),
            .subject = Combo21.text(),
            .author = Combo22.text(),
            .messageId = Combo23.text(),
            .results = Combo11.listIndex(),
            .dates = Combo13.listIndex(),
            .sort = Combo12.listIndex(),
        },
        readSearchHosts(app().iniPath()).groups);
    // The main window's OpenInIE, straight: this panel has none of its own.
    browser_.openFromPanel(address);
}

}  // namespace surfdeck
