#include "platform/qt/QtResultsBrowser.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QTextFrame>
#include <QTimer>
#include <QUrl>
#include <optional>
#include <vector>

namespace surfdeck {

namespace {

// The text browser with its mouse and context menu reported to the document's
// receivers. Cut off from its browser when that goes first.
class ResultsView : public QTextBrowser {
  public:
    explicit ResultsView(QtResultsBrowser* owner) : owner_(owner) {
        setOpenLinks(false);
        setOpenExternalLinks(false);
        // The page sets its text in the smallest HTML size, which Qt makes 0.7 of the
        // document's font: from the toolkit's 9 points that is too small to read. This
        // makes it the 8 points of the panel's other text.
        QFont f = document()->defaultFont();
        f.setPointSizeF(8.0 / 0.7);
        document()->setDefaultFont(f);
    }
    void forget() { owner_ = nullptr; }

  protected:
    void mousePressEvent(QMouseEvent* e) override {
        if (owner_) owner_->mouseDown();
        QTextBrowser::mousePressEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (owner_) owner_->mouseUp();
        QTextBrowser::mouseReleaseEvent(e);
    }
    void contextMenuEvent(QContextMenuEvent* e) override {
        if (owner_ && !owner_->contextMenuAllowed()) {
            e->accept();
            return;
        }
        QTextBrowser::contextMenuEvent(e);
    }

  private:
    QtResultsBrowser* owner_;
};

}  // namespace

// The page of the results view: the body's content as last written, and its margins.
class QtResultsDocument : public HtmlDocument {
  public:
    explicit QtResultsDocument(QTextBrowser* view) : view_(view) {}

    std::string bodyOuterHTML() override { return "<body>" + inner_ + "</body>"; }
    void setBodyInnerHTML(const std::string& html) override {
        inner_ = html;
        show();
    }
    void setBodyLeftMargin(int pixels) override {
        left_ = pixels;
        applyMargins();
    }
    void setBodyTopMargin(int pixels) override {
        top_ = pixels;
        applyMargins();
    }
    Cookie advise(DocumentEvents* sink) override {
        const Cookie c = next_++;
        sinks_[c] = sink;
        return c;
    }
    void unadvise(Cookie cookie) override { sinks_.erase(cookie); }

    void blank() {
        inner_.clear();
        show();
    }
    template <class F>
    void raise(F&& call) {
        std::vector<Cookie> cookies;
        for (const auto& [c, s] : sinks_) cookies.push_back(c);
        for (Cookie c : cookies) {
            auto it = sinks_.find(c);
            if (it != sinks_.end()) call(*it->second);
        }
    }

  private:
    void show() {
        if (!view_) return;
        view_->setHtml(shownMarkup(QString::fromStdString(inner_)));
        applyMargins();
    }
    // Qt's rich text keeps a line break that ends a block, which a web browser drops: the
    // page's "<br>" before each list block would show as an empty line of its own.
    static QString shownMarkup(QString markup) {
        static const QRegularExpression breakBeforeBlock(
            QStringLiteral("<br\\s*/?>\\s*(?=<(div|hr|p)\\b)"),
            QRegularExpression::CaseInsensitiveOption);
        return markup.replace(breakBeforeBlock, QString());
    }
    // Written markup resets the page's frame; the margins are put back each time.
    void applyMargins() {
        if (!view_) return;
        QTextFrame* root = view_->document()->rootFrame();
        QTextFrameFormat f = root->frameFormat();
        if (left_) f.setLeftMargin(*left_);
        if (top_) f.setTopMargin(*top_);
        root->setFrameFormat(f);
    }

    QPointer<QTextBrowser> view_;
    std::string inner_;
    std::optional<int> left_, top_;
    std::map<Cookie, DocumentEvents*> sinks_;
    Cookie next_ = 1;
};

QtResultsBrowser::QtResultsBrowser(QtDispatcher dispatcher)
    : dispatcher_(std::move(dispatcher)), alive_(std::make_shared<int>(0)) {
    auto* view = new ResultsView(this);
    view_ = view;
    document_ = std::make_shared<QtResultsDocument>(view);
    QObject::connect(view, &QTextBrowser::anchorClicked, view, [this](const QUrl& url) {
        linkClicked(url.toString(QUrl::FullyEncoded).toStdString());
    });
    QObject::connect(view, QOverload<const QUrl&>::of(&QTextBrowser::highlighted), view,
                     [this](const QUrl& url) {
                         linkHovered(url.isEmpty()
                                         ? std::string()
                                         : url.toString(QUrl::FullyEncoded).toStdString());
                     });
}

QtResultsBrowser::~QtResultsBrowser() {
    if (view_) {
        static_cast<ResultsView*>(view_.data())->forget();
        QObject::disconnect(view_, nullptr, nullptr, nullptr);
        view_->hide();
        view_->setParent(nullptr);
        // Later: this may go while one of the view's own events is running.
        view_->deleteLater();
    }
}

QWidget* QtResultsBrowser::widget() {
    return view_;
}

QTextBrowser* QtResultsBrowser::view() const {
    return view_;
}

void QtResultsBrowser::run(const std::function<void()>& handler) {
    if (dispatcher_) {
        dispatcher_(handler);
        return;
    }
    // Nothing may throw across Qt's event loop; with no dispatcher to log it, an error
    // escaping a receiver ends with that receiver.
    try {
        handler();
    } catch (...) {
    }
}

template <class F>
void QtResultsBrowser::raise(F&& call) {
    std::vector<Cookie> cookies;
    for (const auto& [c, s] : sinks_) cookies.push_back(c);
    for (Cookie c : cookies) {
        auto it = sinks_.find(c);
        if (it != sinks_.end()) call(*it->second);
    }
}

void QtResultsBrowser::Navigate(const std::string& url) {
    BeforeNavigateArgs args;
    args.pDisp = this;
    args.url = url;
    raise([&](BrowserEvents& s) { s.BeforeNavigate2(args); });
    if (args.cancel) return;
    load(url);
}

void QtResultsBrowser::load(const std::string& url) {
    const int serial = ++loadSerial_;
    location_ = url;
    // Only a local file is read; anything else shows an empty page, as nothing here
    // goes out to the network.
    const QUrl address(QString::fromStdString(url));
    QFile file(address.isLocalFile() ? address.toLocalFile() : QString());
    if (address.isLocalFile() && file.open(QIODevice::ReadOnly)) {
        document_->setBodyInnerHTML(QString::fromUtf8(file.readAll()).toStdString());
    } else {
        document_->blank();
    }
    std::weak_ptr<int> alive = alive_;
    QTimer::singleShot(0, view_, [this, alive, serial, url] {
        if (alive.expired() || serial != loadSerial_) return;
        run([&] {
            raise([&](BrowserEvents& s) { s.NavigateComplete2(this, url); });
            raise([&](BrowserEvents& s) { s.DocumentComplete(this, url); });
        });
    });
}

void QtResultsBrowser::Stop() {
    ++loadSerial_;
}

std::shared_ptr<HtmlDocument> QtResultsBrowser::Document() {
    return document_;
}

Cookie QtResultsBrowser::advise(BrowserEvents* sink) {
    const Cookie c = nextCookie_++;
    sinks_[c] = sink;
    return c;
}

void QtResultsBrowser::unadvise(Cookie cookie) {
    sinks_.erase(cookie);
}

void QtResultsBrowser::linkClicked(const std::string& url) {
    run([&] {
        BeforeNavigateArgs args;
        args.pDisp = this;
        args.url = url;
        raise([&](BrowserEvents& s) { s.BeforeNavigate2(args); });
        // Cancelled, the page stays as it is.
        if (!args.cancel) load(args.url);
    });
}

void QtResultsBrowser::linkHovered(const std::string& url) {
    if (url == status_) return;
    status_ = url;
    run([&] { raise([&](BrowserEvents& s) { s.StatusTextChange(url); }); });
}

bool QtResultsBrowser::contextMenuAllowed() {
    bool allowed = true;
    run([&] {
        document_->raise([&](DocumentEvents& s) { allowed = s.oncontextmenu() && allowed; });
    });
    return allowed;
}

void QtResultsBrowser::mouseDown() {
    run([&] { document_->raise([](DocumentEvents& s) { s.onmousedown(); }); });
}

void QtResultsBrowser::mouseUp() {
    run([&] { document_->raise([](DocumentEvents& s) { s.onmouseup(); }); });
}

std::shared_ptr<EmbeddedBrowser> makeQtResultsBrowser(QtDispatcher dispatcher) {
    return std::make_shared<QtResultsBrowser>(std::move(dispatcher));
}

}  // namespace surfdeck
