#include "mainwindow/frmMain.h"

#include <exception>
#include <vector>

#include "base/ErrorText.h"
#include "frame/Skin.h"
#include "mainwindow/frmMenu.h"
#include "related/frmBrowser.h"
#include "search/frmImage.h"
#include "search/frmNews.h"
#include "search/frmWeb.h"
#include "settings/Settings.h"

namespace surfdeck {

namespace {

FrameDesign mainDesign() {
    FrameDesign d;
    d.name = "frmMain";
    d.caption = "Surfdeck";
    d.title = "Surfdeck";
    d.width = 5208;
    d.height = 1380;
    d.titleBand = 228;
    d.firstButton = skin::Minimise;
    d.firstButtonPressed = skin::MinimisePressed;
    return d;
}

struct ButtonDesign {
    const char* word;
    const char* toolTip;
};

constexpr ButtonDesign kButtons[] = {
    {"news", "Search in the newsgroup"},
    {"options", "Options"},
    {"image", "Images search"},
    {"web", "Search in the web"},
    {"related", "Get Related Links and Category"},
    {"window", "Window"},
    {"stop", "Stop"},
    {"refresh", "Refresh"},
    {"home", "Go home"},
    {"full", "Full Screen"},
    {"back", "Go back"},
    {"forward", "Go forward"},
};

// Height the window takes when it is activated; the refit then fits it exactly.
constexpr double kActivatedHeight = 732;

// One step of a handler that skips whatever fails and goes on with the next.
template <class F>
void step(F&& f) {
    try {
        f();
    } catch (const std::exception&) {
    }
}

// Where each character of a UTF-8 text starts. A character is a lead byte and the
// continuation bytes after it, at most four bytes; invalid bytes count one each, so a
// cut never splits a valid character and never reads past the text.
std::vector<std::size_t> characterStarts(const std::string& text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
        if (!continuation || starts.empty() || i - starts.back() >= 4) starts.push_back(i);
    }
    return starts;
}

// A menu caption of at most kMenuCaptionMost characters: a longer text keeps its start
// and its end, with "…" between them, so that a long address still shows its host and
// its last part and the menu stays on the screen.
constexpr std::size_t kMenuCaptionMost = 80;

std::string menuCaption(const std::string& text) {
    const auto starts = characterStarts(text);
    if (starts.size() <= kMenuCaptionMost) return text;
    const std::size_t head = (kMenuCaptionMost - 1) / 2 + (kMenuCaptionMost - 1) % 2;
    const std::size_t tail = kMenuCaptionMost - 1 - head;
    return text.substr(0, starts[head]) + "\xE2\x80\xA6" +
           text.substr(starts[starts.size() - tail]);
}

}  // namespace

frmMain::frmMain(AppContext& app, ActiveBrowser& browser, ProgramWindows& windows)
    : SkinnedForm(app, mainDesign()),
      browser_(browser),
      windows_(windows),
      rollUp_(*this, Timer2, Toolbar1, shpTitle, app.desktop) {
    add(Toolbar1);
    add(Timer2);

    Toolbar1.move(36, 216, 2340, 360);
    for (const ButtonDesign& b : kButtons) {
        forms::Toolbar::Button button;
        button.key = b.word;
        button.description = b.word;
        button.toolTipText = b.toolTip;
        button.picture = std::string("tb-") + b.word + ".svg";
        Toolbar1.addButton(std::move(button));
    }

    Timer2.setInterval(RollUp::StartPeriod);
    Timer2.onTimer = [this] { Timer2_Timer(); };
    add(Timer10);
    Timer10.setInterval(PollInterval);
    Timer10.onTimer = [this] { Timer10_Timer(); };
    Toolbar1.onButtonClick = [this](forms::Toolbar::Button& b) { Toolbar1_ButtonClick(b); };

    minimizeRequested = [this] { setWindowState(forms::WindowState::Minimized); };
}

frmMain::~frmMain() {
    if (browser_.mainWindow() == this) browser_.setMainWindow(nullptr);
}

void frmMain::Form_Resize() {
    if (windowState() == forms::WindowState::Normal && height() > RollUp::RolledLimit) {
        // Each setter raises this step again; the nested pass finds the size fitted.
        setWidth(Toolbar1.width() + Toolbar1.left() + Image2.width());
        setHeight(Toolbar1.height() + Toolbar1.top() + Image3.height());
    }
    layoutFrame();
}

void frmMain::Form_Activate() {
    setHeight(kActivatedHeight);
    Label1.setCaption(caption());
}

void frmMain::Image4_Click() {
    if (minimizeRequested) minimizeRequested();
}

void frmMain::Timer2_Timer() {
    rollUp_.tick(app().settings.RollUp, app().settings.RollUpDelay);
}

void frmMain::Form_Load() {
    showStatus();
    browser_.setMainWindow(this);
    try {
        browser_.openWindowList();
    } catch (const std::exception& e) {
        // Without the shell's window list the program still starts; it only has no
        // browser window to drive.
        app().log("Form_Load error " + errorLogText(e));
    }
}

void frmMain::showStatus() {
    // The band and its text alike: the text does not always cover the band.
    const std::string text = windows_.status.titleToolTip();
    Label1.setToolTipText(text);
    shpTitle.setToolTipText(text);
}

void frmMain::Form_Unload() {
    browser_.closeWindowList();
    if (browser_.mainWindow() == this) browser_.setMainWindow(nullptr);
    saveSettings();
}

void frmMain::saveSettings() {
    const std::string ini = app().iniPath();
    WriteIni("MainWindow", "Top", FormatNumber(top()), ini);
    WriteIni("MainWindow", "Left", FormatNumber(left()), ini);
}

void frmMain::Timer10_Timer() {
    try {
        if (auto ie = browser_.followFront()) {
            Toolbar1.setButtonEnabled("back", ie->EnableBack());
            Toolbar1.setButtonEnabled("forward", ie->EnableForward());
        }
    } catch (const std::exception&) {
        app().log("Error in timer1.sub");
    }
}

void frmMain::Toolbar1_ButtonClick(forms::Toolbar::Button& Button) {
    ProgramWindows& program = windows_;
    const std::string word = Button.description;
    if (word == "image") {
        step([&] { program.image.show(); });
    } else if (word == "news") {
        step([&] { program.news.show(); });
    } else if (word == "web") {
        step([&] { program.web.show(); });
    } else if (word == "related") {
        step([&] { program.related.show(); });
        step([&] {
            if (frmBrowser* related = program.related.get()) related->UpdateRelated();
        });
    } else if (word == "options" || word == "window") {
        step([&] { program.menu.load(); });
        if (word == "window") step([&] { FillWindowMenu(); });
        step([&] {
            if (frmMenu* menu = program.menu.get())
                popupMenu(word == "options" ? menu->mnuTools : menu->mnuWindow);
        });
        // Exit ends the program inside the menu: this window and its list are gone.
        if (program.ended() || !loaded()) return;
        step([&] { program.menu.unload(); });
    }
    if (!loaded()) return;

    // Every button looks for the active browser window; only the browser commands use
    // it. A window whose handle cannot be read is passed over.
    std::shared_ptr<IE_Class> ie;
    step([&] { ie = browser_.activeIE(true); });
    if (!ie) return;
    // Held here: nested events may rebuild the list and drop the wrapper's other owners.
    const std::shared_ptr<BrowserWindow> browser = ie->IEctl();
    if (!browser) return;
    const std::string command = Button.description;
    if (command == "back") {
        step([&] { browser->GoBack(); });
    } else if (command == "forward") {
        step([&] { browser->GoForward(); });
    } else if (command == "refresh") {
        step([&] { browser->Refresh2(); });
    } else if (command == "stop") {
        step([&] { browser->Stop(); });
    } else if (command == "home") {
        step([&] { browser->GoHome(); });
    } else if (command == "full") {
        step([&] { browser->setFullScreen(!browser->FullScreen()); });
        // Read back: the browser may not have switched.
        step([&] { browser->setToolBar(browser->FullScreen() ? 0 : -1); });
    }
}

void frmMain::FillWindowMenu() {
    frmMenu* menu = windows_.menu.get();
    if (!menu) return;
    forms::MenuItem& window = menu->mnuWindow;
    for (int i = window.upperBound("mnuWin"); i >= 1; --i) {
        step([&] { window.unloadCopy("mnuWin", i); });
    }
    if (!browser_.IEWin) return;
    int n = 0;
    for (const auto& ie : browser_.IEWin->NewEnum()) {
        // A window whose address cannot be read is left out, rather than listed with
        // another entry's caption and handle.
        std::string address;
        try {
            address = browserOf(*ie).LocationURL();
        } catch (const std::exception&) {
            continue;
        }
        forms::MenuItem* entry = n == 0 ? window.child("mnuWin", 0) : &window.loadCopy("mnuWin", n);
        if (!entry) return;
        entry->setCaption(menuCaption(address));
        entry->setTag(std::to_string(ie->IEHandle()));
        ++n;
    }
}

void frmMain::OpenInIE(const std::string& address) {
    browser_.navigate(address);
}

std::string frmMain::GetActiveIEURL() {
    return browser_.activeAddress();
}

}  // namespace surfdeck
