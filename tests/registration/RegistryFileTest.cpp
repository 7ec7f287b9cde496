#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file/FileRegistry.h"
#include "platform/file/RegFile.h"
#include "support/TempFolder.h"

namespace surfdeck {
namespace {

using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

const std::string kStartKey =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Internet "
    "Explorer\\Extensions\\{5B0C3E71-2F4A-4D8B-9E16-C4A7D2E05136}";
const std::string kStartPath = kStartKey.substr(kStartKey.find('\\') + 1);

// Values of other types, with continuation lines, inside our own key and another.
const std::string kForeign =
    "REGEDIT4\r\n"
    "\r\n"
    "[" +
    kStartKey +
    "]\r\n"
    "\"ButtonText\"=\"old\"\r\n"
    "\"Count\"=dword:00000010\r\n"
    "\"Blob\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
    "  17,18,19\r\n"
    "; a comment\r\n"
    "\"Path\"=hex(2):25,00,53,00,59,00,53,00,\\\n"
    "  54,00,00,00\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
    "@=dword:00000001\r\n"
    "\"Kept\"=\"yes\"\r\n";

class RegistryFile : public ::testing::Test {
  protected:
    TempFolder folder;
    std::string path = folder.file("registry.reg");
    std::vector<std::string> log;
    FileRegistry reg{path, [this](const std::string& m) { log.push_back(m); }};
};

TEST_F(RegistryFile, ValuesItDoesNotReadStayByteForByteInTheirKeyAndPlace) {
    writeBytes(path, kForeign);
    EXPECT_TRUE(reg.setString(RegistryRoot::LocalMachine, kStartPath, "ButtonText", "Surfdeck"));
    EXPECT_TRUE(reg.setString(RegistryRoot::LocalMachine, kStartPath, "Exec", "/opt/surfdeck"));
    EXPECT_TRUE(reg.createKey(RegistryRoot::CurrentUser, "Software\\New"));
    // A value of another type is replaced where it stands, as the registry does.
    EXPECT_TRUE(reg.setString(RegistryRoot::LocalMachine, kStartPath, "count", "16"));
    std::string expected = kForeign;
    expected.replace(expected.find("\"old\""), 5, "\"Surfdeck\"");
    expected.replace(expected.find("\"Count\"=dword:00000010"), 22, "\"count\"=\"16\"");
    // A new value goes after the key's last line, ahead of the blank line.
    expected.insert(expected.find("\r\n\r\n[HKEY_CURRENT_USER") + 2,
                    "\"Exec\"=\"/opt/surfdeck\"\r\n");
    expected += "\r\n[HKEY_CURRENT_USER\\Software\\New]\r\n";
    EXPECT_EQ(readBytes(path), expected);
    EXPECT_TRUE(log.empty());
}

TEST_F(RegistryFile, NamesAndDataWithLineBreaksAreRefusedWithALogLine) {
    writeBytes(path, kForeign);
    struct Case {
        std::string key, name, data, logged;
    };
    const Case cases[] = {
        {kStartPath, "Two\nlines", "x", kStartKey + "\\Two\\nlines"},
        {kStartPath, "Exec", "/opt/a\r\nb", kStartKey + "\\Exec"},
        {kStartPath, "Exec", std::string("a\0b", 3), kStartKey + "\\Exec"},
        {"Software\\Bad\nKey", "", "x", "HKEY_LOCAL_MACHINE\\Software\\Bad\\nKey\\"},
    };
    for (const Case& c : cases) {
        log.clear();
        EXPECT_FALSE(reg.setString(RegistryRoot::LocalMachine, c.key, c.name, c.data));
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0],
                  "Cannot set registry value " + c.logged + ": line break in its name or data");
    }
    log.clear();
    EXPECT_FALSE(reg.createKey(RegistryRoot::CurrentUser, "Software\\A\r\n[B]"));
    EXPECT_EQ(log, std::vector<std::string>{"Cannot create registry key "
                                            "HKEY_CURRENT_USER\\Software\\A\\r\\n[B]: line "
                                            "break in its name"});
    EXPECT_EQ(readBytes(path), kForeign);
}

TEST(RegistryText, AnyTextWritesBackAsItWasRead) {
    const std::string texts[] = {
        "",
        "REGEDIT4",
        "[K]",
        "[K]\n\"a\"=\"1\"",
        "[K]\r",
        "[K]\n\"a\"=\"1\"\r",
        "garbage\r\n[K]\r\n\"unclosed=\r\n@=\"v\\\\\"\r\n  indented\\\r\n\r",
        "[K]\n\"b\"=hex:01,\\\n  02,\\\n[L]\n\"c\"=hex:\\",
        std::string("[K\0]\n\"\0\"=\"\xFF\"\n", 13),
    };
    for (const std::string& text : texts) {
        const regfile::Document doc = regfile::parse(text);
        EXPECT_EQ(regfile::format(doc), text);
        regfile::Document changed = doc;
        ASSERT_TRUE(regfile::setString(changed, "k", "new", "v\"\\"));
        EXPECT_EQ(regfile::parse(regfile::format(changed)), changed) << text;
        EXPECT_EQ(regfile::getString(changed, "K", "NEW"), "v\"\\") << text;
    }
}

}  // namespace
}  // namespace surfdeck
