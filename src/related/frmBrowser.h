#pragma once
#include <functional>
#include <memory>
#include <string>

#include "browser/ActiveBrowser.h"
#include "forms/Controls.h"
#include "frame/ResizeGrip.h"
#include "frame/SkinnedPanel.h"
#include "ports/Automation.h"
#include "settings/AppContext.h"

namespace surfdeck {

// The related-sites panel, captioned "Surfdeck - Related links" and titled "Related links": a
// toolbar, the results browser, a status line and a resize grip inside the skinned frame. A lookup
// sends the hidden query browser to the search service's related-pages answer for the active
// browser window's site; the answer becomes the panel's own page.
class frmBrowser : public SkinnedPanel {
  public:
    // A panel this high or higher lays out its content; a lower one leaves it alone.
    static constexpr double ContentLimit = 300;

    frmBrowser(AppContext& app, ActiveBrowser& browser);
    ~frmBrowser() override;

    forms::Toolbar Toolbar1{*this, "Toolbar1"};
    // The debug box: ticked, a lookup reads the saved answer g1.htm instead of asking.
    forms::CheckBox Check1{*this, "Check1"};
    // The query browser, never shown.
    forms::WebBrowserHost WebBrowser1{*this, "WebBrowser1"};
    forms::WebBrowserHost WebBrowser2{*this, "WebBrowser2"};
    forms::Shape Shape1{*this, "Shape1"};
    forms::Label lblStatus{*this, "lblStatus"};
    forms::Image Image8{*this, "Image8"};
    // Drives the grip for as long as the panel exists.
    forms::Timer Timer1{*this, "Timer1"};

    // Run at activation to connect the results page's document events.
    std::function<void()> connectDocumentEvents;

    void Form_Load() override;
    void Form_Unload() override;
    void saveSettings() override;
    void Form_Resize() override;
    void Form_Activate() override;
    void Image4_Click() override;
    void Image8_MouseDown(int Button, int Shift, float X, float Y);
    void Image8_MouseUp(int Button, int Shift, float X, float Y);
    void Timer1_Timer();
    // The "update" button starts a lookup; a failing lookup stops silently.
    void Toolbar1_ButtonClick(forms::Toolbar::Button& Button);

    // Starts a lookup and returns once the query browser is on its way. A failing step
    // ends the lookup with one log line.
    void UpdateRelated();

    // Query browser: the answer has loaded (each frame's document too).
    void WebBrowser1_DocumentComplete(Dispatch* pDisp, const std::string& URL);
    // Results browser: only the panel's own loads proceed; any other navigation (a
    // click on a link) opens in the active browser window instead.
    void WebBrowser2_BeforeNavigate2(BeforeNavigateArgs& args);
    void WebBrowser2_StatusTextChange(const std::string& Text);
    // The list page keeps the browser's own context menu.
    bool WebDoc_oncontextmenu();

    // Has the active browser window open st. Needs no loaded panel; a failure is logged.
    static void OpenInIE(ActiveBrowser& browser, const std::string& st);
    void OpenInIE(const std::string& st) { OpenInIE(browser_, st); }

    // The site a lookup asks about, from the active window's address as GetActiveIEURL
    // gives it: the host, without scheme and path.
    static std::string relatedSite(const std::string& activeUrl);

    // The smallest size at which every part of the content has a size of zero or more.
    double minContentWidth() const;
    double minContentHeight() const;

    const ResizeGrip& grip() const { return grip_; }

  private:
    ActiveBrowser& browser_;
    class QueryEvents;
    class ResultsEvents;
    class DocEvents;

    // Grows a panel that is too small for its content; true when it did (the nested
    // layout pass has then laid it out).
    bool growToContent();
    void layoutContent();
    void placeCheckBox();

    // The lookup and the answer handling proper; they throw at their first failure.
    void startLookup();
    void processAnswer(const std::string& URL);
    // Runs a browser event as the message loop runs a handler.
    void dispatch(const std::function<void()>& handler);
    void connectWebDoc();
    void disconnectBrowsers();

    ResizeGrip grip_;
    std::unique_ptr<QueryEvents> queryEvents_;
    std::unique_ptr<ResultsEvents> resultsEvents_;
    std::unique_ptr<DocEvents> docEvents_;
    // The browsers our receivers are advised on.
    std::shared_ptr<EmbeddedBrowser> queryBrowser_, resultsBrowser_;
    Cookie queryCookie_ = 0;
    Cookie resultsCookie_ = 0;
    // The results page's document with its events connected (WebDoc).
    std::shared_ptr<HtmlDocument> WebDoc;
    Cookie webDocCookie_ = 0;
};

}  // namespace surfdeck
