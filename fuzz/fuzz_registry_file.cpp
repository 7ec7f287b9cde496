// The registry file reader and writer on arbitrary file text and arbitrary changes. Read
// then written gives back every byte; after the changes, written then read again gives the
// same document, every value set reads back, and every entry that no change named is
// still there, unchanged and in its order, in its key.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/file/RegFile.h"

namespace {

using namespace surfdeck;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lower(std::string s) {
    for (char& c : s) c = lowerAscii(c);
    return s;
}

struct Set {
    std::string key, name, data;
};

// A name taken now and then from the document itself, so that replacing is reached.
std::string keyName(FuzzedDataProvider& in, const regfile::Document& doc) {
    static const char* const kKeys[] = {
        "HKEY_CURRENT_USER\\Software\\A", "K", "k", "", "a]b", "x\ny"};
    const auto pick = in.ConsumeIntegral<std::uint8_t>();
    if (pick & 1 && !doc.keys.empty()) return doc.keys[(pick >> 1) % doc.keys.size()].name;
    if (pick & 2) return in.ConsumeRandomLengthString(16);
    return kKeys[(pick >> 2) % std::size(kKeys)];
}

std::string valueName(FuzzedDataProvider& in, const regfile::Document& doc,
                      const std::string& key) {
    const auto pick = in.ConsumeIntegral<std::uint8_t>();
    if (pick & 1) {
        if (const regfile::Key* k = regfile::findKey(doc, key)) {
            if (!k->entries.empty()) {
                const auto& entry = k->entries[(pick >> 1) % k->entries.size()];
                if (entry.name) return *entry.name;
            }
        }
    }
    return in.ConsumeRandomLengthString(16);
}

// Whether the change named this entry of this key (keys and names without letter case).
bool named(const std::vector<Set>& sets, const std::string& key, const regfile::Entry& entry) {
    if (!entry.name) return false;
    for (const Set& s : sets) {
        if (lower(s.key) == lower(key) && lower(s.name) == lower(*entry.name)) return true;
    }
    return false;
}

// after's entries hold before's, in order, each maybe given the line ending it lacked.
bool keptInOrder(const std::vector<regfile::Entry>& before,
                 const std::vector<regfile::Entry>& after, const std::vector<Set>& sets,
                 const std::string& key) {
    std::size_t j = 0;
    for (const regfile::Entry& e : before) {
        if (named(sets, key, e)) continue;
        while (j < after.size() && after[j].raw != e.raw && after[j].raw != e.raw + "\r\n" &&
               after[j].raw != e.raw + "\n")
            ++j;
        if (j == after.size()) return false;
        ++j;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto changes = in.ConsumeIntegralInRange<int>(0, 4);
    const std::string text = in.ConsumeRandomLengthString(4096);
    const regfile::Document original = regfile::parse(text);
    check(regfile::format(original) == text, "read then written is not the same text");

    regfile::Document doc = original;
    std::vector<Set> sets;
    for (int c = 0; c < changes && in.remaining_bytes() > 0; ++c) {
        const std::string key = keyName(in, doc);
        if (in.ConsumeBool()) {
            const regfile::Document before = doc;
            const bool ok = regfile::addKey(doc, key);
            check(ok == regfile::writable(key), "key refused or taken wrongly");
            check(!ok || regfile::findKey(doc, key), "added key not there");
            if (!ok) check(doc == before, "refused key changed the document");
            continue;
        }
        const std::string name = valueName(in, doc, key);
        const std::string value = in.ConsumeRandomLengthString(64);
        const bool ok = regfile::setString(doc, key, name, value);
        check(ok == (regfile::writable(key) && regfile::writable(name) && regfile::writable(value)),
              "value refused or taken wrongly");
        if (ok) sets.push_back({key, name, value});
    }

    const std::string written = regfile::format(doc);
    const regfile::Document again = regfile::parse(written);
    check(again == doc, "written then read is another document");
    for (const Set& s : sets) {
        // The last change of a value is the one that counts.
        const Set* last = &s;
        for (const Set& t : sets) {
            if (lower(t.key) == lower(s.key) && lower(t.name) == lower(s.name)) last = &t;
        }
        check(regfile::getString(again, s.key, s.name) == last->data,
              "value set does not read back");
    }
    check(again.keys.size() >= original.keys.size(), "a key was lost");
    check(again.head.starts_with(original.head), "the head changed");
    for (std::size_t i = 0; i < original.keys.size(); ++i) {
        const regfile::Key& k = original.keys[i];
        check(again.keys[i].name == k.name, "a key moved");
        // Only the first key of a name is ever changed.
        const bool first = regfile::findKey(original, k.name) == &k;
        check(keptInOrder(k.entries, again.keys[i].entries, first ? sets : std::vector<Set>{},
                          k.name),
              "an entry no change named was lost or moved");
    }
    return 0;
}
