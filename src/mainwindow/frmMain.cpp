#include "mainwindow/frmMain.h"

#include "frame/Skin.h"

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

}  // namespace

frmMain::frmMain(AppContext& app)
    : SkinnedForm(app, mainDesign()), rollUp_(*this, Timer2, Toolbar1, shpTitle, app.desktop) {
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

    minimizeRequested = [this] { setWindowState(forms::WindowState::Minimized); };
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

}  // namespace surfdeck
