#include "platform/devtools/BrowserSettings.h"

#include <arpa/inet.h>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>
#include <QUrl>

#include <cctype>
#include <cstring>

#include "settings/Settings.h"

namespace surfdeck::chromium {

namespace {

// An address literal on this machine in its plain written form: 127.0.0.0/8, ::1, or an
// IPv4 loopback address written as IPv6 (taken as the IPv4 one). Nothing otherwise.
std::optional<std::string> loopbackLiteral(const std::string& host) {
    char text[INET6_ADDRSTRLEN] = {};
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) {
        if ((ntohl(v4.s_addr) >> 24) != 127) return std::nullopt;
        return std::string(inet_ntop(AF_INET, &v4, text, sizeof text));
    }
    in6_addr v6{};
    if (inet_pton(AF_INET6, host.c_str(), &v6) != 1) return std::nullopt;
    if (IN6_IS_ADDR_LOOPBACK(&v6)) return std::string("::1");
    if (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127) {
        std::memcpy(&v4, &v6.s6_addr[12], 4);
        return std::string(inet_ntop(AF_INET, &v4, text, sizeof text));
    }
    return std::nullopt;
}

}  // namespace

BrowserSettings readBrowserSettings(const std::string& programFolder) {
    const std::string file = settingsPath(programFolder);
    BrowserSettings s;
    s.address = ReadIni("Browser", "DevTools", s.address, file);
    s.startBrowser = readConnect(programFolder) == Connect::DevTools &&
                     ReadIni("Browser", "StartBrowser", "1", file) != "0";
    s.executable = ReadIni("Browser", "Executable", "", file);
    s.profile = ReadIni("Browser", "Profile", "", file);
    if (s.profile.empty()) s.profile = programFile(programFolder, "browser-profile");
    s.flags = ReadIni("Browser", "Flags", "", file);
    s.homePage = ReadIni("Browser", "HomePage", s.homePage, file);
    return s;
}

Connect readConnect(const std::string& programFolder) {
    const QString value = QString::fromStdString(
        ReadIni("Browser", "Connect", "extension", settingsPath(programFolder)));
    return value.compare(QLatin1String("devtools"), Qt::CaseInsensitive) == 0 ? Connect::DevTools
                                                                              : Connect::Extension;
}

std::optional<Endpoint> parseLoopbackEndpoint(const std::string& address) {
    QString text = QString::fromStdString(address).trimmed();
    for (const char* prefix : {"http://", "ws://"}) {
        if (text.startsWith(QLatin1String(prefix), Qt::CaseInsensitive)) {
            text = text.mid(static_cast<int>(std::char_traits<char>::length(prefix)));
            break;
        }
    }
    if (text.endsWith('/')) text.chop(1);

    QString host = text;
    QString portText = QStringLiteral("9222");
    if (text.startsWith('[')) {
        const auto close = text.indexOf(']');
        if (close < 0) return std::nullopt;
        host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(':')) return std::nullopt;
            portText = rest.mid(1);
        }
    } else if (text.count(':') == 1) {
        const auto colon = text.indexOf(':');
        host = text.left(colon);
        portText = text.mid(colon + 1);
    } else if (text.count(':') > 1) {
        return std::nullopt;  // a bare IPv6 address needs brackets around it
    }

    bool ok = false;
    const int port = portText.toInt(&ok);
    if (!ok || port < 1 || port > 65535) return std::nullopt;

    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        host = QStringLiteral("127.0.0.1");
    // Names are not resolved: only an address literal proves where the endpoint is.
    const std::optional<std::string> literal = loopbackLiteral(host.toStdString());
    if (!literal) return std::nullopt;
    return Endpoint{*literal, port};
}

std::string refusedScheme(const std::string& url) {
    std::string cleaned;
    for (unsigned char c : url) {
        if (c == '\t' || c == '\n' || c == '\r') continue;
        if (cleaned.empty() && c <= ' ') continue;
        cleaned += static_cast<char>(std::tolower(c));
    }
    for (const char* scheme : {"javascript:", "vbscript:", "data:"}) {
        if (cleaned.rfind(scheme, 0) == 0) {
            std::string name = scheme;
            name.pop_back();
            return name;
        }
    }
    return {};
}

std::string navigableUrl(const std::string& url) {
    const QString text = QString::fromStdString(url).trimmed();
    if (text.startsWith('/')) return QUrl::fromLocalFile(text).toString().toStdString();
    const QUrl parsed(text);
    if (parsed.isValid() && !parsed.scheme().isEmpty() && text.contains(':')) {
        // "localhost:8080" parses with the scheme "localhost"; a real scheme has no dot
        // and is followed by something that is not just a port number.
        const QString afterColon = text.mid(text.indexOf(':') + 1);
        bool isPort = false;
        afterColon.section('/', 0, 0).toInt(&isPort);
        if (!isPort) return text.toStdString();
    }
    return QUrl::fromUserInput(text).toString().toStdString();
}

std::string findBrowserExecutable(const std::string& configured) {
    if (!configured.empty()) {
        const QString path = QString::fromStdString(configured);
        if (QFileInfo(path).isAbsolute()) return QFileInfo(path).isExecutable() ? configured : "";
        return QStandardPaths::findExecutable(path).toStdString();
    }
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty()) return found.toStdString();
    }
    return {};
}

}  // namespace surfdeck::chromium
