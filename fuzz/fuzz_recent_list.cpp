// The recent-list operations on arbitrary lists and entries. The first byte is the
// length limit, the first line the stored list, every further line one entry added.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "search/RecentList.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

std::vector<std::string> elements(const std::string& list) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const auto semi = list.find(';', start);
        out.push_back(list.substr(start, semi == std::string::npos ? semi : semi - start));
        if (semi == std::string::npos) return out;
        start = semi + 1;
    }
}

bool equalsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

void checkStored(const std::string& list) {
    const std::string stored = surfdeck::recentValueToStore(list);
    if (list.size() <= surfdeck::kRecentStoredMax) {
        check(stored == list);
        return;
    }
    check(stored.size() <= surfdeck::kRecentStoredMax);
    // Whole non-empty entries of the list, in the list's order.
    const auto all = elements(list);
    std::size_t next = 0;
    for (const std::string& entry : surfdeck::FillRecentCombo(stored)) {
        while (next < all.size() && all[next] != entry) ++next;
        check(next < all.size());
        ++next;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto limit = static_cast<std::int32_t>(static_cast<std::int8_t>(data[0]));
    const std::size_t kept = limit < 1 ? 10 : static_cast<std::size_t>(limit);
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const auto nl = rest.find('\n', start);
        lines.push_back(rest.substr(start, nl == std::string::npos ? nl : nl - start));
        if (nl == std::string::npos) break;
        start = nl + 1;
    }

    std::string list = lines[0];
    checkStored(list);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string before = list;
        surfdeck::AddToRecent(lines[i], list, limit);
        const std::string entry = trimmed(lines[i]);
        if (entry.empty()) {
            check(list == before);
            continue;
        }
        const auto now = elements(list);
        check(now.size() <= kept);
        check(list.starts_with(entry + ";") || (entry + ";").starts_with(list));
        if (entry.find(';') == std::string::npos) {
            for (std::size_t k = 1; k < now.size(); ++k) check(!equalsNoCase(now[k], entry));
        }
        for (const std::string& item : surfdeck::FillRecentCombo(list)) {
            check(!item.empty() && item.find(';') == std::string::npos);
        }
        checkStored(list);
    }
    return 0;
}
