#pragma once
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/qt/QtEmbeddedWidget.h"
#include "ports/Automation.h"

class QTextBrowser;
class QWidget;

namespace surfdeck {

class QtResultsDocument;

// Runs one handler from the outside world (a link click, a hover) in the program's
// dispatcher; without one the handler runs with any error it lets escape dropped.
using QtDispatcher = std::function<void(const std::function<void()>&)>;

// The related-sites panel's results view: a text browser that shows the page the panel
// writes. It loads nothing from the network: every link click is offered to the
// program as a cancellable BeforeNavigate2, and the address under the pointer is
// reported as status text.
class QtResultsBrowser : public EmbeddedBrowser, public QtEmbeddedWidget {
  public:
    explicit QtResultsBrowser(QtDispatcher dispatcher = {});
    ~QtResultsBrowser() override;
    QtResultsBrowser(const QtResultsBrowser&) = delete;
    QtResultsBrowser& operator=(const QtResultsBrowser&) = delete;

    void Navigate(const std::string& url) override;
    void Stop() override;
    std::shared_ptr<HtmlDocument> Document() override;
    Cookie advise(BrowserEvents* sink) override;
    void unadvise(Cookie cookie) override;

    QWidget* widget() override;
    QTextBrowser* view() const;
    // The address shown: "about:blank", a local file's address, or the last one loaded.
    const std::string& locationURL() const { return location_; }

    // From the view.
    void linkClicked(const std::string& url);
    void linkHovered(const std::string& url);
    bool contextMenuAllowed();
    void mouseDown();
    void mouseUp();

  private:
    // Loads the address once BeforeNavigate2 has let it through.
    void load(const std::string& url);
    void run(const std::function<void()>& handler);
    template <class F>
    void raise(F&& call);

    QtDispatcher dispatcher_;
    QPointer<QTextBrowser> view_;
    std::shared_ptr<QtResultsDocument> document_;
    std::map<Cookie, BrowserEvents*> sinks_;
    Cookie nextCookie_ = 1;
    std::string location_ = "about:blank";
    std::string status_;
    // Bumped by every load and by Stop: a completion that was overtaken is dropped.
    int loadSerial_ = 0;
    // Expires with this object: a completion queued for later checks it.
    std::shared_ptr<int> alive_;
};

// For the composite automation: the results control of the related-sites panel.
std::shared_ptr<EmbeddedBrowser> makeQtResultsBrowser(QtDispatcher dispatcher = {});

}  // namespace surfdeck
