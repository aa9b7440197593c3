#include "platform/linux/XdgAutostart.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

using namespace mirl;
using mirl::test::readFile;
using mirl::test::TempDir;

TEST(XdgAutostart, EnablingWritesAnEntryAndDisablingRemovesIt) {
    TempDir dir;
    const auto entry = dir.path() / "config" / "autostart" / "mirl.desktop";
    XdgAutostart autostart(entry, "/usr/bin/mirl");
    EXPECT_FALSE(autostart.isEnabled());
    ASSERT_EQ(autostart.setEnabled(true), std::nullopt);
    EXPECT_TRUE(autostart.isEnabled());
    const std::string text = readFile(entry);
    EXPECT_NE(text.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(text.find("\nExec=/usr/bin/mirl\n"), std::string::npos);
    EXPECT_NE(text.find("\nIcon=mirl\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(entry.string() + ".tmp"));
    ASSERT_EQ(autostart.setEnabled(false), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_EQ(autostart.setEnabled(false), std::nullopt) << "removing what is not there is no failure";
}

TEST(XdgAutostart, AProgramPathWithSpacesIsQuoted) {
    TempDir dir;
    XdgAutostart autostart(dir.path() / "mirl.desktop", "/home/me/my builds/bin/mirl");
    EXPECT_NE(autostart.entryText().find("\nExec=\"/home/me/my builds/bin/mirl\"\n"), std::string::npos)
        << autostart.entryText();
}

TEST(XdgAutostart, AnEntryTurnedOffByHandCountsAsOff) {
    TempDir dir;
    const auto entry = dir.path() / "mirl.desktop";
    XdgAutostart autostart(entry, "/usr/bin/mirl");
    struct Row {
        const char* text;
        bool enabled;
    };
    const Row rows[] = {
        {"[Desktop Entry]\nType=Application\nExec=mirl\n", true},
        {"[Desktop Entry]\nExec=mirl\nHidden=true\n", false},
        {"[Desktop Entry]\nExec=mirl\nX-GNOME-Autostart-enabled=false\n", false},
        {"[Desktop Entry]\nExec=mirl\nX-GNOME-Autostart-enabled = false\n", false},
        {"[Desktop Entry]\nExec=mirl\n[Desktop Action x]\nHidden=true\n", true},
    };
    for (const auto& row : rows) {
        std::ofstream(entry) << row.text;
        EXPECT_EQ(autostart.isEnabled(), row.enabled) << row.text;
    }
}

TEST(XdgAutostart, AnUnwritableFolderIsReported) {
    TempDir dir;
    std::ofstream(dir.path() / "autostart") << "a file where the folder should be";
    XdgAutostart autostart(dir.path() / "autostart" / "mirl.desktop", "/usr/bin/mirl");
    auto error = autostart.setEnabled(true);
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->find("autostart"), std::string::npos) << *error;
    EXPECT_FALSE(autostart.isEnabled());
}
