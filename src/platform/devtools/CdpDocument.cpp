#include "platform/devtools/CdpDocument.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "platform/devtools/CdpTab.h"

namespace surfdeck::chromium {

namespace {

// text as a script string literal.
QString scriptString(const std::string& text) {
    const QByteArray array =
        QJsonDocument(QJsonArray{QString::fromStdString(text)}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

AutomationError noBody() {
    return AutomationError(automation_error::Failed, "The page has no body");
}

}  // namespace

std::shared_ptr<CdpTab> CdpDocument::tab() {
    auto t = tab_ ? tab_() : nullptr;
    if (!t || t->closed())
        throw AutomationError(automation_error::Disconnected, "The document has gone");
    return t;
}

std::string CdpDocument::bodyOuterHTML() {
    const QJsonObject r = tab()->evaluate("document.body ? document.body.outerHTML : null");
    if (r.value("type").toString() != "string") throw noBody();
    return r.value("value").toString().toStdString();
}

void CdpDocument::setBodyInnerHTML(const std::string& html) {
    const QJsonObject r =
        tab()->evaluate("(() => { if (!document.body) return false; document.body.innerHTML = " +
                        scriptString(html) + "; return true; })()");
    if (!r.value("value").toBool()) throw noBody();
}

void CdpDocument::setBodyStyle(const char* property, int pixels) {
    const QJsonObject r = tab()->evaluate(
        QStringLiteral("(() => { if (!document.body) return false; document.body.style.%1 = "
                       "'%2px'; return true; })()")
            .arg(QLatin1String(property))
            .arg(pixels));
    if (!r.value("value").toBool()) throw noBody();
}

void CdpDocument::setBodyLeftMargin(int pixels) {
    setBodyStyle("marginLeft", pixels);
}

void CdpDocument::setBodyTopMargin(int pixels) {
    setBodyStyle("marginTop", pixels);
}

Cookie CdpDocument::advise(DocumentEvents* sink) {
    return sinks_.add(sink);
}

void CdpDocument::unadvise(Cookie cookie) {
    sinks_.remove(cookie);
}

void CdpDocument::dispatch(const std::string& kind) {
    raisePageEvent(sinks_, kind);
}

}  // namespace surfdeck::chromium
