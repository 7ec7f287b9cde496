#include "related/frmBrowser.h"

#include <algorithm>
#include <cstdio>

#include "base/ErrorText.h"
#include "base/Text.h"
#include "frame/Skin.h"
#include "related/PageAddress.h"
#include "related/ResultsPage.h"
#include "search/SearchAddress.h"
#include "settings/Settings.h"

namespace surfdeck {

namespace {

FrameDesign browserDesign() {
    FrameDesign d;
    d.name = "frmBrowser";
    d.caption = "Surfdeck - Related links";
    d.title = "Related links";
    d.width = 3804;
    d.height = 5328;
    d.titleBand = 230;
    // The right edge picture stands beyond the window's edge.
    d.rightEdgeOverhang = 10;
    d.firstButton = skin::Collapse;
    d.firstButtonPressed = skin::CollapsePressed;
    return d;
}

constexpr forms::Colour kStatusColour = forms::rgb(240, 240, 224);
// The status text sits this far below the top of its band.
constexpr double kStatusOffset = 50;
// Room between the status text and the grip, and between the browser and the status.
constexpr double kStatusGap = 200;
constexpr double kBrowserGap = 10;
// The toolbar sits this far from the title band's bottom: above it when expanded (it
// overlaps the band's edge), below it when collapsed (out of sight).
constexpr double kToolbarShift = 20;

double atLeastZero(double v) {
    return std::max(0.0, v);
}

// The debug box sits on the toolbar row, right of the "Update" button.
constexpr double kCheckGap = 120;
constexpr double kCheckWidth = 855;
constexpr double kCheckHeight = 240;

constexpr const char* kSection = "RelatedSearchWindow";

// The answer markup taken for the page, and the page itself: beyond these the results
// browser holds the window up for longer than half a second or so.
constexpr std::size_t kAnswerLimit = std::size_t{2} * 1024 * 1024;
constexpr std::size_t kPageBudget = std::size_t{1024} * 1024;
constexpr std::size_t kFixedPieces = 1024;
// Left-out links logged one by one; the rest are counted in one line.
constexpr std::size_t kLeftOutLines = 20;

// The system's default date and time text: short date, a blank, long time
// ("12/6/2026 9:30:00 AM").
std::string dateTimeText(const LocalDateTime& t) {
    const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%02d:%02d %s", t.month, t.day, t.year, hour12,
                  t.minute, t.second, t.hour < 12 ? "AM" : "PM");
    return buf;
}

// A control's browser, or a failure a lookup can log.
EmbeddedBrowser& browserOf(const forms::WebBrowserHost& host) {
    if (!host.browser())
        throw AutomationError(automation_error::Failed, host.name() + " has no browser");
    return *host.browser();
}

// Held by the caller: a browser may hand out a fresh document object on every call, owned
// by nobody else.
std::shared_ptr<HtmlDocument> documentOf(EmbeddedBrowser& browser, const std::string& name) {
    auto doc = browser.Document();
    if (!doc) throw AutomationError(automation_error::Failed, name + " has no document");
    return doc;
}

}  // namespace

class frmBrowser::QueryEvents : public BrowserEvents {
  public:
    explicit QueryEvents(frmBrowser& f) : f_(f) {}
    void DocumentComplete(Dispatch* pDisp, const std::string& url) override {
        f_.dispatch([&] { f_.WebBrowser1_DocumentComplete(pDisp, url); });
    }

  private:
    frmBrowser& f_;
};

class frmBrowser::ResultsEvents : public BrowserEvents {
  public:
    explicit ResultsEvents(frmBrowser& f) : f_(f) {}
    void BeforeNavigate2(BeforeNavigateArgs& args) override {
        f_.dispatch([&] { f_.WebBrowser2_BeforeNavigate2(args); });
    }
    void StatusTextChange(const std::string& text) override {
        f_.dispatch([&] { f_.WebBrowser2_StatusTextChange(text); });
    }

  private:
    frmBrowser& f_;
};

class frmBrowser::DocEvents : public DocumentEvents {
  public:
    explicit DocEvents(frmBrowser& f) : f_(f) {}
    bool oncontextmenu() override { return f_.WebDoc_oncontextmenu(); }

  private:
    frmBrowser& f_;
};

frmBrowser::frmBrowser(AppContext& app, ActiveBrowser& browser)
    : SkinnedPanel(app, browserDesign()),
      browser_(browser),
      grip_(*this, Image8, Image2, Image3, app.desktop) {
    add(Toolbar1);
    add(Check1);
    add(WebBrowser1);
    add(WebBrowser2);
    add(Shape1);
    add(lblStatus);
    add(Image8);
    add(Timer1);

    Toolbar1.move(36, 216, 3696, 360);
    forms::Toolbar::Button update;
    update.key = "update";
    update.description = "update";
    update.caption = "Update";
    update.picture = "tb-update.svg";
    Toolbar1.addButton(std::move(update));
    Toolbar1.onButtonClick = [this](forms::Toolbar::Button& b) { Toolbar1_ButtonClick(b); };

    Check1.setCaption("debug");
    placeCheckBox();

    WebBrowser1.move(60, 600, 0, 0);
    WebBrowser1.setVisible(false);

    WebBrowser2.move(60, 600, 3612, 3792);

    Shape1.move(60, 5040, 3732, 252);
    Shape1.setFillColour(kStatusColour);

    lblStatus.move(120, 5040, 2712, 192);
    lblStatus.setBackColour(kStatusColour);

    Image8.move(3540, 5100, 144, 144);
    Image8.setPicture(skin::Grip);
    Image8.onMouseDown = [this](int b, int s, float x, float y) { Image8_MouseDown(b, s, x, y); };
    Image8.onMouseUp = [this](int b, int s, float x, float y) { Image8_MouseUp(b, s, x, y); };

    Timer1.setIdle(true);  // until the grip is pressed
    Timer1.setInterval(ResizeGrip::TimerPeriod);
    Timer1.onTimer = [this] { Timer1_Timer(); };
}

frmBrowser::~frmBrowser() {
    disconnectBrowsers();
}

void frmBrowser::placeCheckBox() {
    Check1.move(Toolbar1.left() + Toolbar1.buttonWidth() + kCheckGap,
                Toolbar1.top() + (Toolbar1.buttonHeight() - kCheckHeight) / 2, kCheckWidth,
                kCheckHeight);
}

void frmBrowser::dispatch(const std::function<void()>& handler) {
    app().forms.dispatch(handler);
}

void frmBrowser::Form_Load() {
    // The two browser controls come with the panel; one that cannot be made is logged
    // and the panel works without it.
    try {
        queryBrowser_ = browser_.tracking().automation.createEmbeddedBrowser(EmbeddedRole::Query);
        WebBrowser1.setBrowser(queryBrowser_);
        queryEvents_ = std::make_unique<QueryEvents>(*this);
        queryCookie_ = queryBrowser_->advise(queryEvents_.get());
    } catch (const std::exception& e) {
        app().log("Create webbrowser1 error " + errorLogText(e));
    }
    try {
        resultsBrowser_ =
            browser_.tracking().automation.createEmbeddedBrowser(EmbeddedRole::Results);
        WebBrowser2.setBrowser(resultsBrowser_);
        resultsEvents_ = std::make_unique<ResultsEvents>(*this);
        resultsCookie_ = resultsBrowser_->advise(resultsEvents_.get());
    } catch (const std::exception& e) {
        app().log("Create webbrowser2 error " + errorLogText(e));
    }

    app().log("Start at " + dateTimeText(app().clock.now()) + "\r\n" + "Form Load");

    WebBrowser2.setTag("1");
    try {
        if (WebBrowser2.browser()) WebBrowser2.browser()->Navigate("about:blank");
    } catch (const std::exception& e) {
        app().log("Blank page error " + errorLogText(e));
    }
    WebBrowser2.setTag("");

    const std::string ini = app().iniPath();
    setTop(Val(ReadIni(kSection, "top", "100", ini)));
    setLeft(Val(ReadIni(kSection, "left", "100", ini)));
    setWidth(Val(ReadIni(kSection, "width", "4000", ini)));
    setHeight(Val(ReadIni(kSection, "height", "6000", ini)));
    keepTitleBandOnScreen();

    stayOnTop();
}

void frmBrowser::Form_Unload() {
    saveSettings();
    // A closed panel hears no more of its browsers.
    disconnectBrowsers();
}

void frmBrowser::saveSettings() {
    const std::string ini = app().iniPath();
    WriteIni(kSection, "Top", FormatNumber(top()), ini);
    WriteIni(kSection, "Left", FormatNumber(left()), ini);
    WriteIni(kSection, "Width", FormatNumber(width()), ini);
    // A collapsed panel keeps the height it was last opened to.
    if (height() > ContentLimit) WriteIni(kSection, "Height", FormatNumber(height()), ini);
}

void frmBrowser::disconnectBrowsers() {
    // Each connection goes with the object it was made on, even one the control no
    // longer holds; a browser that has gone meanwhile has nothing left to disconnect.
    try {
        if (WebDoc && webDocCookie_) WebDoc->unadvise(webDocCookie_);
    } catch (const std::exception&) {
    }
    WebDoc.reset();
    webDocCookie_ = 0;
    try {
        if (queryBrowser_ && queryCookie_) {
            // An answer still on its way is of no use any more.
            queryBrowser_->Stop();
            queryBrowser_->unadvise(queryCookie_);
        }
    } catch (const std::exception&) {
    }
    queryCookie_ = 0;
    try {
        if (resultsBrowser_ && resultsCookie_) resultsBrowser_->unadvise(resultsCookie_);
    } catch (const std::exception&) {
    }
    resultsCookie_ = 0;
}

double frmBrowser::minContentWidth() const {
    // The status text's width, the browser's width and the toolbar's width.
    return std::max({Image8.width() + Image2.width() + kStatusGap, 2 * WebBrowser2.left(),
                     Toolbar1.left() + Image2.width() - design().rightEdgeOverhang});
}

double frmBrowser::minContentHeight() const {
    // The browser's height: it ends just above the status text.
    return WebBrowser2.top() + kBrowserGap + Image3.height() + Shape1.height() - kStatusOffset;
}

bool frmBrowser::growToContent() {
    const double w = std::max(width(), minContentWidth());
    const double h = std::max(height(), minContentHeight());
    if (w == width() && h == height()) return false;
    setWidth(w);
    setHeight(h);
    return true;
}

void frmBrowser::Form_Resize() {
    // A collapsed panel shows its frame only and keeps its content where it was.
    if (height() >= ContentLimit && growToContent()) return;
    layoutFrame();
    if (height() >= ContentLimit) layoutContent();
}

void frmBrowser::layoutContent() {
    const double w = width();
    const double h = height();
    Toolbar1.setWidth(atLeastZero(Image2.left() - Toolbar1.left()));
    Shape1.setWidth(w);
    Shape1.setTop(Image3.top() - Shape1.height());
    lblStatus.setTop(Shape1.top() + kStatusOffset);
    Image8.setLeft(w - Image8.width() - Image2.width());
    Image8.setTop(h - Image8.height() - Image3.height());
    lblStatus.setWidth(atLeastZero(Image8.left() - kStatusGap));
    WebBrowser2.setWidth(atLeastZero(w - 2 * WebBrowser2.left()));
    WebBrowser2.setHeight(atLeastZero(lblStatus.top() - WebBrowser2.top() - kBrowserGap));
}

void frmBrowser::Form_Activate() {
    // The title keeps its designed text.
    connectWebDoc();
    if (connectDocumentEvents) connectDocumentEvents();
}

void frmBrowser::connectWebDoc() {
    if (!resultsCookie_ || !WebBrowser2.browser()) return;
    try {
        auto doc = WebBrowser2.browser()->Document();
        if (doc == WebDoc) return;
        if (WebDoc && webDocCookie_) WebDoc->unadvise(webDocCookie_);
        WebDoc = doc;
        webDocCookie_ = 0;
        if (!docEvents_) docEvents_ = std::make_unique<DocEvents>(*this);
        if (WebDoc) webDocCookie_ = WebDoc->advise(docEvents_.get());
    } catch (const std::exception& e) {
        app().log("WebDoc error " + errorLogText(e));
    }
}

void frmBrowser::Image4_Click() {
    const bool expanding = height() <= CollapsedLimit;
    SkinnedPanel::Image4_Click();
    Toolbar1.setTop(expanding ? shpTitle.height() - kToolbarShift
                              : shpTitle.height() + kToolbarShift);
    placeCheckBox();
}

void frmBrowser::Toolbar1_ButtonClick(forms::Toolbar::Button& Button) {
    if (Button.description != "update") return;
    try {
        startLookup();
    } catch (const std::exception&) {
        // A lookup asked for from the panel's own button stops without a log line; the
        // status line still tells that it failed.
        lblStatus.setCaption("Related list error");
    }
}

std::string frmBrowser::relatedSite(const std::string& activeUrl) {
    std::string site = activeUrl;
    if (startsWithNoCase(site, "http") || startsWithNoCase(site, "ftp")) {
        // Without "//" the address is taken as it stands (a host whose name begins
        // with "ftp", say).
        const auto slashes = site.find("//");
        if (slashes != std::string::npos) site = site.substr(slashes + 2);
    }
    const auto slash = site.find('/');
    if (slash != std::string::npos) site = site.substr(0, slash);
    return site;
}

void frmBrowser::UpdateRelated() {
    try {
        startLookup();
    } catch (const std::exception& e) {
        lblStatus.setCaption("Related list error");
        app().log("UpdateRelated error " + errorLogText(e));
    }
}

void frmBrowser::startLookup() {
    app().log("Prepare Search url");
    lblStatus.setCaption("Wait for replay");
    EmbeddedBrowser& query = browserOf(WebBrowser1);
    query.Stop();
    const std::string site = relatedSite(browser_.activeAddressFromPanel());
    app().log("GetActiveIEURL=" + site);
    const std::string ini = app().iniPath();
    const std::string address = BuildRelatedQueryAddress(site, readSearchHosts(ini).web);
    WebBrowser1.setTag("1");
    app().log("Url ready " + address);
    if (Check1.value() != 0) {
        const std::string saved = programFile(app().programFolder, "g1.htm");
        app().log("Start webbrowser1 navigate " + saved);
        query.Navigate("file://" + saved);
    } else {
        app().log("Start webbrowser1 navigate " + address);
        query.Navigate(address);
    }
    WebBrowser1.setTag("0");
}

void frmBrowser::WebBrowser1_DocumentComplete(Dispatch*, const std::string& URL) {
    if (WebBrowser1.tag().empty()) return;
    try {
        processAnswer(URL);
    } catch (const std::exception& e) {
        // The results browser must not stay open to navigations of its own.
        WebBrowser2.setTag("");
        lblStatus.setCaption("Related list error");
        app().log("Related list error " + errorLogText(e));
    }
}

void frmBrowser::processAnswer(const std::string& URL) {
    app().log("webbrowser1 document complete");
    lblStatus.setCaption("Related list complete");
    WebBrowser2.setTag("1");
    const auto answer = documentOf(browserOf(WebBrowser1), "WebBrowser1");
    // A huge answer would freeze the window while the page is built and shown.
    bool cutLogged = false;
    const auto readMarkup = [&] {
        std::string markup = answer->bodyOuterHTML();
        if (markup.size() <= kAnswerLimit) return markup;
        const std::size_t whole = markup.size();
        markup = capMarkup(markup, kAnswerLimit);
        if (!cutLogged)
            app().log("Answer cut to " + std::to_string(markup.size()) + " of " +
                      std::to_string(whole) + " bytes");
        cutLogged = true;
        return markup;
    };
    std::string markup = readMarkup();
    const auto eq = URL.find('=');
    const std::string source = eq == std::string::npos ? URL : URL.substr(eq + 1);
    PageBuild build;
    build.base = answerBase(markup, URL);
    // Half for each list, so that a long related list leaves room for the categories.
    build.budget = kPageBudget / 2;
    const std::string related = GetRelatedHTML(markup, source, build);
    markup = readMarkup();
    const bool relatedFull = build.full;
    build.full = false;
    // The category half's fixed pieces come on top of its budget.
    build.budget = kPageBudget - kFixedPieces - std::min(related.size(), kPageBudget / 2);
    const std::string page = related + GetCategoryHTML(markup, build);
    for (std::size_t i = 0; i < build.leftOut.size() && i < kLeftOutLines; ++i)
        app().log("Link left out " + logText(build.leftOut[i]));
    if (build.leftOut.size() > kLeftOutLines)
        app().log("Links left out " + std::to_string(build.leftOut.size() - kLeftOutLines) +
                  " more");
    if (relatedFull || build.full)
        app().log("Related list cut to " + std::to_string(page.size()) + " bytes");
    app().log("html results ready, load in webbrowser");
    const auto results = documentOf(browserOf(WebBrowser2), "WebBrowser2");
    results->setBodyInnerHTML(page);
    WebBrowser2.setTag("");
    results->setBodyLeftMargin(3);
    results->setBodyTopMargin(3);
    app().log("html results load complete");
}

void frmBrowser::WebBrowser2_BeforeNavigate2(BeforeNavigateArgs& args) {
    if (WebBrowser2.tag() == "1") return;
    args.cancel = true;
    // Whatever the page asks to open (a link, a script, a refresh) goes to the user's
    // window only as a web address: never a local or browser-internal page.
    if (!isWebAddress(args.url)) {
        app().log("Link left out " + logText(args.url));
        return;
    }
    OpenInIE(args.url);
}

void frmBrowser::WebBrowser2_StatusTextChange(const std::string& Text) {
    lblStatus.setCaption(Text);
}

bool frmBrowser::WebDoc_oncontextmenu() {
    return true;
}

void frmBrowser::OpenInIE(ActiveBrowser& browser, const std::string& st) {
    browser.openFromPanel(st);
}

void frmBrowser::Image8_MouseDown(int, int, float, float) {
    grip_.press();
    Timer1.setIdle(grip_.GripActive != 1);
}

void frmBrowser::Image8_MouseUp(int, int, float, float) {
    grip_.release();
    // A tick does nothing while the grip is not held: the timer need not wake.
    Timer1.setIdle(grip_.GripActive != 1);
}

void frmBrowser::Timer1_Timer() {
    grip_.tick(minContentWidth(), minContentHeight());
}

}  // namespace surfdeck
