#include "search/RecentList.h"

#include <string_view>
#include <utility>

#include "base/FoldCase.h"
#include "base/Text.h"
#include "settings/Settings.h"

namespace surfdeck {
namespace {

using std::string_view;

// Calls visit(element, followedBySemicolon) for every element of list, the empty one
// after a final ";" included.
template <typename Visit>
void forEachElement(string_view list, Visit visit) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t semi = list.find(';', start);
        if (semi == string_view::npos) {
            visit(list.substr(start), false);
            return;
        }
        visit(list.substr(start, semi - start), true);
        start = semi + 1;
    }
}

}  // namespace

void AddToRecent(const std::string& entry, std::string& list, std::int32_t recentLengh) {
    const string_view newEntry = trim(entry);
    if (newEntry.empty()) return;
    const auto limit =
        static_cast<std::size_t>(recentLengh < 1 ? kRecentDefaultLength : recentLengh);

    std::string result;
    result.reserve(newEntry.size() + 1 + list.size());
    result += newEntry;
    result += ';';
    // A removed element takes its following ";" with it; the last element has none, so
    // removing it leaves the ";" in front of it ("dog;cat" less "cat" is "dog;").
    forEachElement(list, [&](string_view element, bool followed) {
        if (equalsIgnoringCase(element, newEntry)) return;
        result += element;
        if (followed) result += ';';
    });

    std::size_t elements = 1;
    for (std::size_t i = 0; i < result.size(); ++i) {
        if (result[i] != ';') continue;
        if (elements == limit) {
            result.resize(i);
            break;
        }
        ++elements;
    }
    list = std::move(result);
}

std::vector<std::string> FillRecentCombo(const std::string& list) {
    std::vector<std::string> items;
    if (list.empty()) return items;
    forEachElement(list, [&](string_view element, bool) {
        if (!element.empty()) items.emplace_back(element);
    });
    return items;
}

std::string recentValueToStore(const std::string& list) {
    if (list.size() <= kRecentStoredMax) return list;
    std::string value;
    bool full = false;
    forEachElement(list, [&](string_view element, bool) {
        if (full || element.empty() || element.size() > kRecentStoredMax) return;
        const std::size_t needed = value.size() + (value.empty() ? 0 : 1) + element.size();
        if (needed > kRecentStoredMax) {
            full = true;
            return;
        }
        if (!value.empty()) value += ';';
        value += element;
    });
    return value;
}

void SaveRecent(const std::string& key, const std::string& list, const std::string& iniFile) {
    WriteIni("Recent", key, recentValueToStore(list), iniFile);
}

}  // namespace surfdeck
