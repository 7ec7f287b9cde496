#pragma once
// A skinned form like the program's, shown by the Qt host for the tests.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <string>
#include <vector>

#include "forms/Form.h"
#include "platform/qt/QtFormHost.h"
#include "platform/qt/QtTimers.h"

namespace surfdeck::qttest {

struct Fixture {
    QtFormHost host{QStringLiteral(SURFDECK_BIN_DIR)};
    QtTimers timers;
    forms::FormContext context{host, timers};
    std::vector<std::string> errors;
    Fixture() {
        context.setErrorSink([this](const std::string& m) { errors.push_back(m); });
    }
};

struct MouseCall {
    std::string what;
    int button;
    int shift;
    float x;
    float y;
};

class FrameForm : public forms::Form {
  public:
    explicit FrameForm(forms::FormContext& c, std::string name = "frmMain")
        : Form(c, std::move(name)) {
        designSize(1515, 1500, 3000, 2000);
        // The caption button comes first on purpose: it must still lie above the label.
        add(Image4);
        add(Image41);
        add(Image42);
        add(shpTitle);
        add(Label1);
        add(imgLeftCorner);
        add(Toolbar1);
        add(Combo1);
        add(Combo2);
        add(Check1);
        add(Command1);
        shpTitle.move(0, 0, 3000, 228);
        shpTitle.setFillColour(forms::rgb(0, 88, 240));
        Label1.move(240, 0, 3000, 216);
        Label1.setTransparent(true);
        Label1.setBold(true);
        Label1.setForeRole("highlight-text");
        Label1.setCaption("Surfdeck");
        imgLeftCorner.move(0, 0, 192, 192);
        imgLeftCorner.setPicture("corner.svg");
        Image4.move(2700, 36, 165, 165);
        Image4.setStretch(true);
        Image4.setPicture("min.svg");
        Image41.setPicture("min.svg");
        Image41.setVisible(false);
        Image42.setPicture("min-pressed.svg");
        Image42.setVisible(false);
        Image4.onMouseDown = [this](int b, int s, float x, float y) {
            calls.push_back({"Image4_MouseDown", b, s, x, y});
            Image4.setPicture(Image42.picture());
        };
        Image4.onMouseUp = [this](int b, int s, float x, float y) {
            calls.push_back({"Image4_MouseUp", b, s, x, y});
            Image4.setPicture(Image41.picture());
        };
        Image4.onClick = [this] { calls.push_back({"Image4_Click", 0, 0, 0, 0}); };
        Label1.onMouseDown = [this](int b, int s, float x, float y) {
            calls.push_back({"Label1_MouseDown", b, s, x, y});
        };
        Label1.onMouseMove = [this](int b, int s, float x, float y) {
            calls.push_back({"Label1_MouseMove", b, s, x, y});
        };
        Label1.onMouseUp = [this](int b, int s, float x, float y) {
            calls.push_back({"Label1_MouseUp", b, s, x, y});
        };
        Toolbar1.move(36, 300, 390 * 6 + 50, 360);
        for (const char* key : {"news", "options", "image", "web", "related", "window", "stop",
                                "refresh", "home", "full", "back", "forward"}) {
            Toolbar1.addButton(
                {key, key, std::string("tip ") + key, "", std::string("tb-") + key + ".svg", true});
        }
        Toolbar1.onButtonClick = [this](forms::Toolbar::Button& b) { clicked.push_back(b.key); };
        Combo1.move(120, 1100, 2000, 288);
        Combo1.setStyle(forms::ComboBox::Style::Editable);
        Combo1.addItem("first");
        Combo1.addItem("second");
        Combo1.onChange = [this] { comboChanges.push_back(Combo1.text()); };
        Combo2.move(120, 1450, 2000, 288);
        Combo2.setStyle(forms::ComboBox::Style::ListOnly);
        for (const char* i : {"10 results", "20 results", "30 results"}) Combo2.addItem(i);
        Combo2.setListIndex(0);
        Combo2.onChange = [this] { comboChanges.push_back(Combo2.text()); };
        Check1.move(120, 1750, 1000, 200);
        Check1.setCaption("debug");
        Check1.onClick = [this] { checkClicks.push_back(Check1.value()); };
        Command1.move(1500, 1750, 1000, 220);
        Command1.setCaption("Search");
        Command1.onClick = [this] { ++commandClicks; };
    }
    void Form_Activate() override { ++activations; }

    forms::Shape shpTitle{*this, "shpTitle"};
    forms::Label Label1{*this, "Label1"};
    forms::Image imgLeftCorner{*this, "imgLeftCorner"};
    forms::Image Image4{*this, "Image4"};
    forms::Image Image41{*this, "Image41"};
    forms::Image Image42{*this, "Image42"};
    forms::Toolbar Toolbar1{*this, "Toolbar1"};
    forms::ComboBox Combo1{*this, "Combo1"};
    forms::ComboBox Combo2{*this, "Combo2"};
    forms::CheckBox Check1{*this, "Check1"};
    forms::CommandButton Command1{*this, "Command1"};

    std::vector<MouseCall> calls;
    std::vector<std::string> clicked;
    std::vector<std::string> comboChanges;
    std::vector<int> checkClicks;
    int commandClicks = 0;
    int activations = 0;
};

// Shows the form and waits until its window is on the (offscreen) screen.
inline QWidget* showAndWait(QtFormHost& host, forms::Form& form) {
    form.show();
    QWidget* w = host.window(form);
    if (w) (void)QTest::qWaitForWindowExposed(w);
    return w;
}

// A point of a control's widget, in its window's coordinates.
inline QPoint inWindow(QtFormHost& host, const forms::Control& c, QPoint local) {
    QWidget* v = host.widget(c);
    return v->mapTo(v->window(), local);
}

}  // namespace surfdeck::qttest
