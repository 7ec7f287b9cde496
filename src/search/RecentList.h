#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The histories of the search boxes. A recent list is one string: its entries joined by
// ";", newest first, no escaping. Lists that grew uncut end with ";" ("dog;cat;"), lists
// cut to their length do not ("dog;cat"); both shapes are read.
namespace surfdeck {

// The longest list value that ReadIni gives back whole.
inline constexpr std::size_t kRecentStoredMax = 248;
// The number of entries kept when RecentLengh is absent or below 1.
inline constexpr std::int32_t kRecentDefaultLength = 10;

// Puts entry (spaces around it removed) first in list, drops older copies that differ
// only in case, and keeps at most recentLengh elements. An empty entry changes nothing.
void AddToRecent(const std::string& entry, std::string& list, std::int32_t recentLengh);

// The items an editable combo box receives from list, in order: every non-empty element.
std::vector<std::string> FillRecentCombo(const std::string& list);

// Writes list under key in section "Recent" of iniFile, as recentValueToStore gives it.
void SaveRecent(const std::string& key, const std::string& list, const std::string& iniFile);

// The value stored for list: list itself when ReadIni can give it back whole, otherwise
// its entries, newest first, cut after the last one that fits (an entry too long to fit
// on its own is left out, and so are empty elements).
std::string recentValueToStore(const std::string& list);

}  // namespace surfdeck
