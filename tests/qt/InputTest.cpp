#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolButton>

#include "QtTestForms.h"

using namespace surfdeck;
using namespace surfdeck::qttest;

namespace {

QToolButton* toolButton(QtFormHost& host, forms::Toolbar& tb, const char* key) {
    return host.widget(tb)->findChild<QToolButton*>(QString::fromLatin1(key));
}

// The main window's frame holds the button over the title text; the press goes to it.
struct Shown {
    Fixture f;
    FrameForm form{f.context};
    QWidget* w = showAndWait(f.host, form);
    QWindow* window() { return w->windowHandle(); }
};

}  // namespace

TEST(ToolbarInput, AClickReachesTheModelAndADisabledButtonIgnoresIt) {
    Shown s;
    QTest::mouseClick(toolButton(s.f.host, s.form.Toolbar1, "web"), Qt::LeftButton);
    EXPECT_EQ(s.form.clicked, std::vector<std::string>{"web"});
    s.form.Toolbar1.setButtonEnabled("back", false);
    QToolButton* back = toolButton(s.f.host, s.form.Toolbar1, "back");
    EXPECT_FALSE(back->isEnabled());
    QTest::mouseClick(back, Qt::LeftButton);
    EXPECT_EQ(s.form.clicked.size(), 1u);
}

TEST(ToolbarInput, ButtonsWrapToTheToolbarsWidthWithPictureAndTooltip) {
    Shown s;
    QToolButton* news = toolButton(s.f.host, s.form.Toolbar1, "news");
    QToolButton* stop = toolButton(s.f.host, s.form.Toolbar1, "stop");
    EXPECT_EQ(news->geometry(), QRect(0, 0, 26, 24));
    EXPECT_EQ(stop->geometry(), QRect(0, 24, 26, 24));  // the seventh starts row two
    EXPECT_EQ(stop->toolTip(), "tip stop");
    EXPECT_FALSE(stop->icon().isNull());
    // Two buttons wide: six rows.
    s.form.Toolbar1.setWidth(390 * 2 + 50);
    EXPECT_EQ(stop->geometry().topLeft(), QPoint(0, 72));
    EXPECT_EQ(s.f.host.widget(s.form.Toolbar1)->height(), 144);
}

TEST(ComboInput, TypingReachesTheModelWithoutEchoingBack) {
    Shown s;
    auto* combo = static_cast<QComboBox*>(s.f.host.widget(s.form.Combo1));
    QTest::keyClicks(combo->lineEdit(), "abc");
    EXPECT_EQ(s.form.Combo1.text(), "abc");
    EXPECT_EQ(s.form.comboChanges, (std::vector<std::string>{"a", "ab", "abc"}));
    EXPECT_EQ(combo->lineEdit()->text(), "abc");
    EXPECT_EQ(combo->lineEdit()->cursorPosition(), 3);
    EXPECT_EQ(combo->count(), 2);  // Return does not add the text to the list
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(combo->count(), 2);
}

TEST(ComboInput, APickSelectsTheItemInTheModel) {
    Shown s;
    auto* combo = static_cast<QComboBox*>(s.f.host.widget(s.form.Combo2));
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(s.form.Combo2.listIndex(), 1);
    EXPECT_EQ(s.form.comboChanges, std::vector<std::string>{"20 results"});
    // A change made by the program raises nothing.
    s.form.Combo2.setListIndex(0);
    EXPECT_EQ(s.form.comboChanges.size(), 1u);
}

TEST(ButtonInput, CheckBoxAndCommandButtonClicksReachTheModel) {
    Shown s;
    QTest::mouseClick(static_cast<QAbstractButton*>(s.f.host.widget(s.form.Check1)),
                      Qt::LeftButton);
    EXPECT_EQ(s.form.Check1.value(), 1);
    EXPECT_EQ(s.form.checkClicks, std::vector<int>{1});
    QTest::mouseClick(static_cast<QAbstractButton*>(s.f.host.widget(s.form.Command1)),
                      Qt::LeftButton);
    EXPECT_EQ(s.form.commandClicks, 1);
}

TEST(MouseInput, PressesGoToTheCaptionButtonAboveTheTitleText) {
    Shown s;
    const QPoint p = inWindow(s.f.host, s.form.Image4, QPoint(2, 3));
    QTest::mousePress(s.window(), Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier, p);
    ASSERT_EQ(s.form.calls.size(), 1u);
    EXPECT_EQ(s.form.calls[0].what, "Image4_MouseDown");
    EXPECT_EQ(s.form.calls[0].button, 2);
    EXPECT_EQ(s.form.calls[0].shift, 3);
    EXPECT_FLOAT_EQ(s.form.calls[0].x, 30);
    EXPECT_FLOAT_EQ(s.form.calls[0].y, 45);
    QTest::mouseRelease(s.window(), Qt::RightButton, {}, p);
    // Only the left button clicks.
    EXPECT_EQ(s.form.calls.back().what, "Image4_MouseUp");
}

TEST(MouseInput, ACaptionButtonShowsItsPressedFaceWhileHeld) {
    Shown s;
    QWidget* button = s.f.host.widget(s.form.Image4);
    QtSkin& skin = s.f.host.skin();
    const QPoint p = inWindow(s.f.host, s.form.Image4, QPoint(5, 5));
    QTest::mousePress(s.window(), Qt::LeftButton, {}, p);
    EXPECT_EQ(s.form.Image4.picture(), "min-pressed.svg");
    EXPECT_EQ(button->grab().toImage().convertToFormat(QImage::Format_RGB32),
              skin.render("min-pressed.svg", button->size()).convertToFormat(QImage::Format_RGB32));
    QTest::mouseRelease(s.window(), Qt::LeftButton, {}, p);
    EXPECT_EQ(s.form.Image4.picture(), "min.svg");
    EXPECT_EQ(button->grab().toImage().convertToFormat(QImage::Format_RGB32),
              skin.render("min.svg", button->size()).convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(s.form.calls.back().what, "Image4_Click");
}

TEST(MouseInput, AReleaseOutsideThePictureIsNoClick) {
    Shown s;
    QTest::mousePress(s.window(), Qt::LeftButton, {},
                      inWindow(s.f.host, s.form.Image4, QPoint(5, 5)));
    QTest::mouseRelease(s.window(), Qt::LeftButton, {}, QPoint(60, 60));
    ASSERT_EQ(s.form.calls.size(), 2u);
    EXPECT_EQ(s.form.calls[1].what, "Image4_MouseUp");
}

TEST(MouseInput, MovesKeepReachingThePressedLabelOutsideIt) {
    Shown s;
    const QPoint grab = inWindow(s.f.host, s.form.Label1, QPoint(10, 5));
    QTest::mousePress(s.window(), Qt::LeftButton, {}, grab);
    ASSERT_EQ(s.form.calls.back().what, "Label1_MouseDown");
    QTest::mouseMove(s.window(), QPoint(grab.x() - 40, 120));
    const MouseCall& move = s.form.calls.back();
    EXPECT_EQ(move.what, "Label1_MouseMove");
    EXPECT_EQ(move.button, 1);
    EXPECT_FLOAT_EQ(move.x, -30 * 15);
    EXPECT_FLOAT_EQ(move.y, 120 * 15);
    QTest::mouseRelease(s.window(), Qt::LeftButton, {}, QPoint(grab.x() - 40, 120));
    EXPECT_EQ(s.form.calls.back().what, "Label1_MouseUp");
}

TEST(MouseInput, PositionsFollowWhereTheModelPutTheWindow) {
    Shown s;
    QWidget* label = s.f.host.widget(s.form.Label1);
    // The form was moved by a drag; the event still carries a position worked out
    // from where the window was before.
    s.form.move(1515 + 300, 1500);
    const QPointF screen(101 + 20 + 16 + 10, 100 + 5);
    QMouseEvent stale(QEvent::MouseMove, QPointF(30, 5), screen, Qt::NoButton, Qt::NoButton, {});
    QApplication::sendEvent(label, &stale);
    ASSERT_FALSE(s.form.calls.empty());
    EXPECT_FLOAT_EQ(s.form.calls.back().x, 150);  // 10 pixels into the label
    EXPECT_FLOAT_EQ(s.form.calls.back().y, 75);
}

TEST(MouseInput, AFormUnloadedByItsOwnClickGoesQuietly) {
    Fixture f;
    forms::FormSlot<FrameForm> slot([&] { return std::make_unique<FrameForm>(f.context); });
    FrameForm& form = slot.show();
    QWidget* w = showAndWait(f.host, form);
    form.Image4.onClick = [&] { slot.unload(); };
    const QPoint p = inWindow(f.host, form.Image4, QPoint(5, 5));
    QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, p);
    EXPECT_FALSE(slot.loaded());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(f.errors.empty());
}

TEST(MouseInput, AnErrorInAHandlerBecomesOneLogLine) {
    Shown s;
    s.form.Command1.onClick = [] { throw std::runtime_error("boom"); };
    QTest::mouseClick(static_cast<QAbstractButton*>(s.f.host.widget(s.form.Command1)),
                      Qt::LeftButton);
    EXPECT_EQ(s.f.errors, std::vector<std::string>{"Error boom"});
}

TEST(ToolbarInput, ACaptionedButtonKeepsTheButtonSizeTheFormLaysOutBy) {
    Shown s;
    s.form.Toolbar1.button(1)->caption = "Update";
    s.form.Toolbar1.setButtonSize(390, 360);  // the form's layout places the next control
    QToolButton* first = toolButton(s.f.host, s.form.Toolbar1, "news");
    EXPECT_EQ(first->geometry(), QRect(0, 0, 26, 24));
    EXPECT_EQ(first->toolButtonStyle(), Qt::ToolButtonIconOnly);
    s.form.Toolbar1.setButtonSize(1200, 360);
    EXPECT_EQ(first->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_EQ(first->text(), "Update");
}
