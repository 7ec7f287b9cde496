#include "platform/sim/SimWeb.h"

#include <cctype>
#include <fstream>
#include <sstream>

#include "base/Text.h"

namespace surfdeck {

namespace {

// The value of attribute name inside one tag's text, quoted or not; empty when absent.
std::string attribute(const std::string& tag, const std::string& name) {
    const std::string low = lowerAscii(tag);
    std::size_t at = 0;
    while ((at = low.find(name, at)) != std::string::npos) {
        bool startsWord = at > 0 && std::isspace(static_cast<unsigned char>(low[at - 1]));
        std::size_t p = at + name.size();
        while (p < low.size() && std::isspace(static_cast<unsigned char>(low[p]))) ++p;
        if (!startsWord || p >= low.size() || low[p] != '=') {
            at += name.size();
            continue;
        }
        ++p;
        while (p < low.size() && std::isspace(static_cast<unsigned char>(low[p]))) ++p;
        if (p < tag.size() && (tag[p] == '"' || tag[p] == '\'')) {
            std::size_t end = tag.find(tag[p], p + 1);
            if (end == std::string::npos) end = tag.size();
            return tag.substr(p + 1, end - p - 1);
        }
        std::size_t end = p;
        while (end < tag.size() && !std::isspace(static_cast<unsigned char>(tag[end])) &&
               tag[end] != '>')
            ++end;
        return tag.substr(p, end - p);
    }
    return {};
}

}  // namespace

void SimWeb::setPage(const std::string& address, std::string markup) {
    pages_[address] = std::move(markup);
}

void SimWeb::removePage(const std::string& address) {
    pages_.erase(address);
}

std::string SimWeb::filePath(const std::string& address) {
    std::string path;
    if (lowerAscii(address.substr(0, 5)) == "file:") {
        path = address.substr(5);
        if (path.rfind("//", 0) == 0) path = path.substr(2);
    } else if (!address.empty() && address[0] == '/') {
        path = address;
    } else {
        return {};
    }
    // A browser accepts either separator in a local path.
    for (char& c : path)
        if (c == '\\') c = '/';
    // Spaces are the one escape that local addresses commonly carry.
    std::string out;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path.compare(i, 3, "%20") == 0) {
            out += ' ';
            i += 2;
        } else {
            out += path[i];
        }
    }
    return out;
}

std::string SimWeb::notFoundPage(const std::string& address) {
    return "<html><head><title>Not found</title></head><body><h1>Not found</h1><p>" +
           htmlEscaped(address) + "</p></body></html>";
}

std::string SimWeb::fetch(const std::string& address) {
    fetched_.push_back(address);
    auto it = pages_.find(address);
    if (it != pages_.end()) return it->second;
    if (address == "about:blank") return "<html><body></body></html>";
    std::string path = filePath(address);
    if (!path.empty()) {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            std::ostringstream content;
            content << in.rdbuf();
            return content.str();
        }
    }
    return notFoundPage(address);
}

std::vector<std::string> SimWeb::frameAddresses(const std::string& markup) {
    std::vector<std::string> out;
    const std::string low = lowerAscii(markup);
    std::size_t at = 0;
    while ((at = low.find('<', at)) != std::string::npos) {
        std::size_t end = low.find('>', at);
        if (end == std::string::npos) break;
        std::size_t nameEnd = at + 1;
        while (nameEnd < end && std::isalpha(static_cast<unsigned char>(low[nameEnd]))) ++nameEnd;
        const std::string name = low.substr(at + 1, nameEnd - at - 1);
        if (name == "frame" || name == "iframe") {
            std::string src = attribute(markup.substr(at, end - at + 1), "src");
            if (!src.empty()) out.push_back(src);
        }
        at = end;
    }
    return out;
}

}  // namespace surfdeck
