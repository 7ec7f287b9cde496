#include "platform/sim/SimWebDocument.h"

#include <cctype>

#include "base/Text.h"

namespace surfdeck {

namespace {

// Position of the tag "<name" that is followed by the end of the name, from start.
std::size_t findTag(const std::string& low, const std::string& name, std::size_t start) {
    std::size_t at = start;
    while ((at = low.find(name, at)) != std::string::npos) {
        std::size_t after = at + name.size();
        if (after >= low.size() || low[after] == '>' || low[after] == '/' ||
            std::isspace(static_cast<unsigned char>(low[after])))
            return at;
        at = after;
    }
    return std::string::npos;
}

}  // namespace

SimWebDocument::SimWebDocument(const std::string& markup, std::vector<std::string>* sinkErrors)
    : sinks_(sinkErrors) {
    const std::string low = lowerAscii(markup);
    std::size_t open = findTag(low, "<body", 0);
    if (open != std::string::npos) {
        std::size_t openEnd = low.find('>', open);
        if (openEnd == std::string::npos) openEnd = low.size() - 1;
        openTag_ = markup.substr(open, openEnd - open + 1);
        std::size_t close = findTag(low, "</body", openEnd + 1);
        if (close == std::string::npos) {
            std::size_t html = findTag(low, "</html", openEnd + 1);
            inner_ = markup.substr(openEnd + 1,
                                   (html == std::string::npos ? low.size() : html) - openEnd - 1);
            closeTag_ = "</body>";
        } else {
            std::size_t closeEnd = low.find('>', close);
            if (closeEnd == std::string::npos) closeEnd = low.size() - 1;
            inner_ = markup.substr(openEnd + 1, close - openEnd - 1);
            closeTag_ = markup.substr(close, closeEnd - close + 1);
        }
        return;
    }
    // No body element: what follows the head (or the html tag) is the body's content.
    std::size_t from = 0;
    std::size_t headEnd = findTag(low, "</head", 0);
    if (headEnd != std::string::npos) {
        from = low.find('>', headEnd);
        from = from == std::string::npos ? low.size() : from + 1;
    } else if (std::size_t html = findTag(low, "<html", 0); html != std::string::npos) {
        from = low.find('>', html);
        from = from == std::string::npos ? low.size() : from + 1;
    }
    std::size_t to = findTag(low, "</html", from);
    if (to == std::string::npos) to = low.size();
    openTag_ = "<body>";
    inner_ = markup.substr(from, to - from);
    closeTag_ = "</body>";
}

std::string SimWebDocument::bodyOuterHTML() {
    return openTag_ + inner_ + closeTag_;
}

void SimWebDocument::setBodyInnerHTML(const std::string& html) {
    inner_ = html;
}

void SimWebDocument::raiseMouseDown() {
    auto keep = shared_from_this();
    sinks_.deliver([](DocumentEvents& s) { s.onmousedown(); });
}

void SimWebDocument::raiseMouseUp() {
    auto keep = shared_from_this();
    sinks_.deliver([](DocumentEvents& s) { s.onmouseup(); });
}

bool SimWebDocument::raiseContextMenu() {
    auto keep = shared_from_this();
    bool show = true;
    sinks_.deliver([&show](DocumentEvents& s) {
        if (!s.oncontextmenu()) show = false;
    });
    return show;
}

}  // namespace surfdeck
