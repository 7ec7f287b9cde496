#include "platform/qt/QtControlViews.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "platform/qt/QtEmbeddedWidget.h"
#include "platform/qt/QtFormHost.h"
#include "platform/qt/QtFormWindow.h"
#include "platform/qt/QtSkin.h"

namespace surfdeck {

namespace {

QColor toQColor(forms::Colour c) {
    return QColor(static_cast<int>((c >> 16) & 0xff), static_cast<int>((c >> 8) & 0xff),
                  static_cast<int>(c & 0xff));
}

int shiftMask(Qt::KeyboardModifiers m) {
    int s = 0;
    if (m & Qt::ShiftModifier) s |= forms::ShiftKey;
    if (m & Qt::ControlModifier) s |= forms::CtrlKey;
    if (m & Qt::AltModifier) s |= forms::AltKey;
    return s;
}

int buttonMask(Qt::MouseButtons b) {
    int m = 0;
    if (b & Qt::LeftButton) m |= forms::LeftButton;
    if (b & Qt::RightButton) m |= forms::RightButton;
    if (b & Qt::MiddleButton) m |= forms::MiddleButton;
    return m;
}

}  // namespace

QFont controlFont(bool bold) {
    QFont f = QApplication::font();
    if (bold) {
        // A bold sans stands in where Verdana is not installed.
        f.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"),
                       QStringLiteral("Liberation Sans")});
        f.setBold(true);
    } else {
        // The designed label widths suit a narrow sans: at 8 points Arial and its
        // look-alikes cut the longer one-line labels of the search panels short.
        f.setFamilies({QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial Narrow"),
                       QStringLiteral("Liberation Sans Narrow"),
                       QStringLiteral("Nimbus Sans Narrow"), QStringLiteral("Arial"),
                       QStringLiteral("Liberation Sans"), QApplication::font().family()});
    }
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(8);
    return f;
}

PaintedView::PaintedView(QtFormWindow& window, forms::Control& control)
    : QWidget(&window), window_(window), control_(&control) {
    // Shapes take no input; labels and pictures report moves with no button as well.
    const bool takesMouse = control.kind() != forms::ControlKind::Shape;
    setAttribute(Qt::WA_TransparentForMouseEvents, !takesMouse);
    setMouseTracking(takesMouse);
}

forms::Control* PaintedView::control() const {
    return window_.form() ? control_ : nullptr;
}

void PaintedView::paintEvent(QPaintEvent*) {
    forms::Control* c = control();
    if (!c) return;
    QPainter p(this);
    switch (c->kind()) {
        case forms::ControlKind::Shape: {
            auto& s = static_cast<forms::Shape&>(*c);
            if (s.style() == forms::Shape::Style::Line) {
                p.setPen(QPen(toQColor(s.fillColour()), 1));
                if (width() >= height()) {
                    p.drawLine(0, 0, width() - 1, 0);
                } else {
                    p.drawLine(0, 0, 0, height() - 1);
                }
            } else {
                p.fillRect(rect(), toQColor(s.fillColour()));
            }
            break;
        }
        case forms::ControlKind::Label: {
            auto& l = static_cast<forms::Label&>(*c);
            if (!l.transparent()) p.fillRect(rect(), toQColor(l.backColour()));
            const QPalette::ColorRole role =
                l.foreRole() == "highlight-text" ? QPalette::HighlightedText : QPalette::WindowText;
            p.setPen(QApplication::palette().color(
                isEnabled() ? QPalette::Active : QPalette::Disabled, role));
            const QFont font = controlFont(l.bold());
            p.setFont(font);
            // Words wrap in a label of two lines or more; a one-line label keeps its
            // text on that line, cut at its end rather than half hidden below it.
            const bool wraps = height() >= 2 * QFontMetrics(font).lineSpacing();
            p.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | (wraps ? Qt::TextWordWrap : 0),
                       QString::fromStdString(l.caption()));
            break;
        }
        case forms::ControlKind::Image: {
            auto& i = static_cast<forms::Image&>(*c);
            QtSkin& skin = window_.host().skin();
            if (i.stretch()) {
                skin.draw(p, i.picture(), QRectF(rect()), QtSkin::Scaling::Pixels);
            } else {
                // A picture larger than its place shrinks into it rather than being cut
                // off: the 11-pixel caption faces have 132 twips, 9 pixels at 96 dpi.
                QSizeF natural(skin.naturalSize(i.picture()));
                if (natural.width() > width() || natural.height() > height()) {
                    natural.scale(QSizeF(size()), Qt::KeepAspectRatio);
                }
                skin.draw(p, i.picture(), QRectF(QPointF(0, 0), natural));
            }
            break;
        }
        default:
            break;
    }
}

QPointF PaintedView::pixelsAt(const QMouseEvent& event) const {
    return event.globalPosition() - QPointF(window_.placedOrigin() + pos());
}

QPointF PaintedView::twipsAt(const QMouseEvent& event) const {
    const QPointF px = pixelsAt(event);
    return {px.x() * window_.host().twipsPerPixelX(), px.y() * window_.host().twipsPerPixelY()};
}

void PaintedView::mousePressEvent(QMouseEvent* event) {
    forms::Control* c = control();
    if (!c) return;
    const int button = buttonMask(event->button());
    const int shift = shiftMask(event->modifiers());
    const QPointF t = twipsAt(*event);
    pressed_ |= button;
    window_.dispatch(
        [&] { c->mouseDown(button, shift, static_cast<float>(t.x()), static_cast<float>(t.y())); });
}

void PaintedView::mouseReleaseEvent(QMouseEvent* event) {
    forms::Control* c = control();
    if (!c) return;
    const int button = buttonMask(event->button());
    const int shift = shiftMask(event->modifiers());
    const QPointF t = twipsAt(*event);
    const bool wasPressed = (pressed_ & button) != 0;
    pressed_ &= ~button;
    window_.dispatch(
        [&] { c->mouseUp(button, shift, static_cast<float>(t.x()), static_cast<float>(t.y())); });
    // A click is a left press and release on the same control, the release inside it.
    if (button != forms::LeftButton || !wasPressed) return;
    if (!QRectF(rect()).contains(pixelsAt(*event))) return;
    c = control();  // the release may have unloaded the form
    if (!c) return;
    window_.dispatch([&] { c->click(); });
}

void PaintedView::mouseMoveEvent(QMouseEvent* event) {
    forms::Control* c = control();
    if (!c) return;
    const int buttons = buttonMask(event->buttons());
    const int shift = shiftMask(event->modifiers());
    const QPointF t = twipsAt(*event);
    window_.dispatch([&] {
        c->mouseMove(buttons, shift, static_cast<float>(t.x()), static_cast<float>(t.y()));
    });
}

ToolbarView::ToolbarView(QtFormWindow& window, forms::Toolbar& toolbar)
    : QWidget(&window), window_(window), toolbar_(toolbar) {}

void ToolbarView::render() {
    const auto& model = toolbar_.buttons();
    std::vector<std::string> keys;
    for (const auto& b : model) keys.push_back(b.key);
    if (keys != keys_) {
        // Later: the click that changed the buttons may still be running in one of them.
        for (QToolButton* b : buttons_) {
            b->hide();
            b->deleteLater();
        }
        buttons_.clear();
        keys_ = keys;
        for (const std::string& key : keys_) {
            auto* b = new QToolButton(this);
            b->setAutoRaise(true);
            b->setFocusPolicy(Qt::NoFocus);
            b->setObjectName(QString::fromStdString(key));
            QPointer<QtFormWindow> w(&window_);
            forms::Toolbar* tb = &toolbar_;
            connect(b, &QToolButton::clicked, this, [w, tb, key] {
                if (w && w->form()) w->dispatch([tb, &key] { tb->clickButton(key); });
            });
            buttons_.push_back(b);
            b->show();
        }
    }
    QtSkin& skin = window_.host().skin();
    const double tx = window_.host().twipsPerPixelX();
    const double ty = window_.host().twipsPerPixelY();
    const int bw = static_cast<int>(std::lround(toolbar_.buttonWidth() / tx));
    const int bh = static_cast<int>(std::lround(toolbar_.buttonHeight() / ty));
    const int perRow = toolbar_.buttonsPerRow();
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        const auto& m = model[i];
        QToolButton* b = buttons_[i];
        // Only what differs is set: each setter repaints the button.
        const QIcon icon = skin.icon(m.picture);
        if (b->icon().cacheKey() != icon.cacheKey()) b->setIcon(icon);
        const QSize natural = skin.naturalSize(m.picture);
        if (!natural.isEmpty() && b->iconSize() != natural) b->setIconSize(natural);
        const QString caption = QString::fromStdString(m.caption);
        if (b->text() != caption) b->setText(caption);
        b->setToolTip(QString::fromStdString(m.toolTipText.empty() ? m.caption : m.toolTipText));
        const QFont font = controlFont(false);
        if (b->font() != font) b->setFont(font);
        // Every button keeps the toolbar's button size, which the form lays out by; a
        // caption shows beside the picture only where it fits in that size.
        Qt::ToolButtonStyle style = Qt::ToolButtonIconOnly;
        if (natural.isEmpty() && !caption.isEmpty()) {
            style = Qt::ToolButtonTextOnly;
        } else if (!caption.isEmpty()) {
            b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
            if (b->sizeHint().width() <= bw) style = Qt::ToolButtonTextBesideIcon;
        }
        b->setToolButtonStyle(style);
        b->setEnabled(m.enabled && toolbar_.enabled());
        const int column = static_cast<int>(i) % perRow;
        const int row = static_cast<int>(i) / perRow;
        b->setGeometry(column * bw, row * bh, bw, bh);
    }
}

ComboView::ComboView(QtFormWindow& window, forms::ComboBox& combo)
    : QComboBox(&window), window_(window), combo_(combo) {
    setInsertPolicy(QComboBox::NoInsert);
    QPointer<QtFormWindow> w(&window_);
    forms::ComboBox* c = &combo_;
    connect(this, QOverload<int>::of(&QComboBox::activated), this, [w, c](int index) {
        if (!w || !w->form() || w->rendering()) return;
        w->dispatch([c, index] {
            c->setListIndex(index);
            if (c->onChange) c->onChange();
        });
    });
}

void ComboView::connectEditor() {
    QLineEdit* edit = lineEdit();
    if (!edit || edit == connectedEditor_) return;
    connectedEditor_ = edit;
    // No inline completion: the box shows what was typed, as the model holds it.
    setCompleter(nullptr);
    QPointer<QtFormWindow> w(&window_);
    forms::ComboBox* c = &combo_;
    connect(edit, &QLineEdit::textEdited, this, [w, c](const QString& text) {
        if (!w || !w->form() || w->rendering()) return;
        const std::string typed = text.toStdString();
        w->dispatch([c, &typed] {
            c->setText(typed);
            if (c->onChange) c->onChange();
        });
    });
}

void ComboView::render() {
    const bool editable = combo_.style() == forms::ComboBox::Style::Editable;
    if (isEditable() != editable) setEditable(editable);
    if (editable) connectEditor();
    QStringList items;
    for (const auto& i : combo_.items()) items << QString::fromStdString(i);
    QStringList shown;
    for (int i = 0; i < count(); ++i) shown << itemText(i);
    if (items != shown) {
        clear();
        addItems(items);
    }
    const int index = combo_.listIndex();
    // An editable box whose text was typed has no selected item; selecting none would
    // wipe the typed text.
    if (index >= 0 || !editable) {
        if (currentIndex() != index) setCurrentIndex(index);
    }
    if (editable) {
        const QString text = QString::fromStdString(combo_.text());
        if (currentText() != text) setEditText(text);
    }
}

BrowserView::BrowserView(QtFormWindow& window, forms::WebBrowserHost& host)
    : QWidget(&window), host_(host) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

BrowserView::~BrowserView() {
    release();
}

void BrowserView::release() {
    if (hosted_) {
        layout()->removeWidget(hosted_);
        hosted_->hide();
        hosted_->setParent(nullptr);
    }
    hosted_ = nullptr;
}

void BrowserView::render() {
    QWidget* wanted = nullptr;
    if (auto* embedded = dynamic_cast<QtEmbeddedWidget*>(host_.browser().get())) {
        wanted = embedded->widget();
    }
    if (wanted == hosted_) return;
    release();
    if (!wanted) return;
    hosted_ = wanted;
    wanted->setParent(this);
    layout()->addWidget(wanted);
    wanted->show();
}

}  // namespace surfdeck
