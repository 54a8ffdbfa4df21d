#include "results/settings_store.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "results/atomic_file.h"
#include "support/temp_dir.h"

namespace vx {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::string Key(const std::string& body) {
    return "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_CURRENT_USER\\Software\\Tarnwell\\Vexorin 1.0\\Setup]\n" +
           body;
}

TEST(DialogSettings, FirstStartGivesDefaultsAndCloseCreatesAllFour) {
    TempDir dir;
    SettingsStore store(dir.File("cfg/vexorin/settings.reg"));
    const DialogEntries e = LoadDialogEntries(store);
    EXPECT_EQ(e.keyterm, "");
    EXPECT_EQ(e.home, "");
    EXPECT_EQ(e.depthIndex, 2);
    EXPECT_EQ(e.results, 10);
    ASSERT_TRUE(SaveDialogEntries(store, e));
    EXPECT_EQ(ReadFile(store.FilePath()),
              Key("\"depth\"=dword:00000002\n\"home\"=\"\"\n\"keyterm\"=\"\"\n"
                  "\"results\"=dword:0000000a\n"));
}

TEST(DialogSettings, RoundTripAcrossInstances) {
    TempDir dir;
    const std::string path = dir.File("s.reg");
    DialogEntries in{"red \"shoes\" \\ x\nline", "Example.com", 7, 25};
    {
        SettingsStore store(path);
        ASSERT_TRUE(SaveDialogEntries(store, in));
    }
    SettingsStore again(path);
    const DialogEntries out = LoadDialogEntries(again);
    EXPECT_EQ(out.keyterm, in.keyterm);
    EXPECT_EQ(out.home, in.home);
    EXPECT_EQ(out.depthIndex, 7);
    EXPECT_EQ(out.results, 25);
}

TEST(DialogSettings, StoredValuesAreBoundedByTheFields) {
    struct Case {
        const char* body;
        int depth, results;
    } cases[] = {
        {"\"depth\"=dword:00000019\n\"results\"=dword:00000032\n", -1, 30},  // 25, 50
        {"\"depth\"=dword:ffffffff\n\"results\"=dword:00000000\n", -1, 2},   // -1, 0
        {"\"depth\"=dword:00000013\n\"results\"=dword:0000001e\n", 19, 30},
        {"\"depth\"=dword:00000000\n", 0, 10},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir.File("s.reg"), Key(c.body));
        SettingsStore store(dir.File("s.reg"));
        const DialogEntries e = LoadDialogEntries(store);
        EXPECT_EQ(e.depthIndex, c.depth) << c.body;
        EXPECT_EQ(e.results, c.results) << c.body;
    }
}

TEST(DialogSettings, WrongTypeSkipsTheRest) {
    TempDir dir;
    WriteFile(dir.File("s.reg"), Key("\"keyterm\"=\"kw\"\n\"home\"=\"site\"\n\"depth\"=\"2\"\n"
                                     "\"results\"=dword:00000014\n"));
    SettingsStore store(dir.File("s.reg"));
    const DialogEntries e = LoadDialogEntries(store);
    EXPECT_EQ(e.keyterm, "kw");
    EXPECT_EQ(e.home, "site");
    EXPECT_EQ(e.depthIndex, 4);  // design-time item "5"
    EXPECT_EQ(e.results, 10);
}

TEST(DialogSettings, DamagedOrForeignFilesGiveDefaults) {
    const std::string bodies[] = {
        "garbage without structure\n\x01\x02",
        "[HKEY_CURRENT_USER\\Software\\Other]\n\"keyterm\"=\"no\"\n",
        Key("\"keyterm\"=\"unterminated\n"),
        Key("\"depth\"=dword:123\n"),
        // Over the 1 MiB cap: never read in part, however good its start.
        Key("\"keyterm\"=\"read in part\"\n;" + std::string(1 << 20, 'x') + "\n"),
    };
    for (const auto& body : bodies) {
        TempDir dir;
        WriteFile(dir.File("s.reg"), body);
        SettingsStore store(dir.File("s.reg"));
        const DialogEntries e = LoadDialogEntries(store);
        EXPECT_EQ(e.keyterm, "");
        EXPECT_EQ(e.depthIndex, 2);
        EXPECT_EQ(e.results, 10);
    }
}

// One bad line costs that line only; a file that is there but cannot be
// read is never replaced by the defaults.
TEST(DialogSettings, SettingsAreNeverLostToOneBadLine) {
    TempDir dir;
    WriteFile(dir.File("s.reg"), Key("\"keyterm\"=\"kept\"\n\"home\"=\"cut\n\"depth\"=dword:zz\n"
                                     "\"results\"=dword:00000007\n"));
    SettingsStore store(dir.File("s.reg"));
    const DialogEntries e = LoadDialogEntries(store);
    EXPECT_EQ(e.keyterm, "kept");
    EXPECT_EQ(e.home, "");
    EXPECT_EQ(e.depthIndex, 2);
    EXPECT_EQ(e.results, 7);
    EXPECT_FALSE(store.Unreadable());

    const std::string big = Key(";" + std::string(1 << 20, 'x') + "\n\"keyterm\"=\"mine\"\n");
    WriteFile(dir.File("big.reg"), big);
    SettingsStore over(dir.File("big.reg"));
    LoadDialogEntries(over);
    EXPECT_TRUE(over.Unreadable());
    EXPECT_FALSE(SaveDialogEntries(over, {"new", "", 2, 10}));
    EXPECT_EQ(ReadFile(dir.File("big.reg")), big);
}

TEST(DialogSettings, ExpandableStringsAndCaseInsensitiveNames) {
    TempDir dir;
    // "ab" as UTF-16LE with its terminating NUL.
    WriteFile(dir.File("s.reg"),
              "[hkey_current_user\\software\\tarnwell\\vexorin 1.0\\setup]\n"
              "\"KEYTERM\"=hex(2):61,00,62,00,00,00\n\"Home\"=hex:01,02\n");
    SettingsStore store(dir.File("s.reg"));
    const DialogEntries e = LoadDialogEntries(store);
    EXPECT_EQ(e.keyterm, "ab");
    EXPECT_EQ(e.home, "");  // binary type: read failure, the rest keeps design values
    EXPECT_EQ(e.depthIndex, 4);
}

TEST(DialogSettings, FailedSaveKeepsEarlierFile) {
    TempDir dir;
    const std::string path = dir.File("s.reg");
    SettingsStore store(path);
    ASSERT_TRUE(SaveDialogEntries(store, {"first", "", 2, 10}));
    const std::string before = ReadFile(path);
    AtomicWriteHook hook([](AtomicWriteStep, size_t) { return false; });
    EXPECT_FALSE(SaveDialogEntries(store, {"second", "", 3, 11}));
    EXPECT_EQ(ReadFile(path), before);
}

TEST(DialogSettings, DefaultPathFollowsXdgConfigHomeOrHomeElseNoStore) {
    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    struct Case {
        const char *config, *home, *want;
    } cases[] = {
        {"/some/where", "/home/u", "/some/where/vexorin/settings.reg"},
        {"relative", "/home/u", "/home/u/.config/vexorin/settings.reg"},
        {nullptr, "/home/u", "/home/u/.config/vexorin/settings.reg"},
        {nullptr, nullptr, ""},  // never a shared folder
        {"relative", "also-relative", ""},
    };
    for (const auto& c : cases) {
        c.config ? ::setenv("XDG_CONFIG_HOME", c.config, 1) : ::unsetenv("XDG_CONFIG_HOME");
        c.home ? ::setenv("HOME", c.home, 1) : ::unsetenv("HOME");
        EXPECT_EQ(SettingsStore::DefaultPath(), c.want) << (c.config ? c.config : "-");
    }
    ::unsetenv("XDG_CONFIG_HOME");
    if (home) ::setenv("HOME", savedHome.c_str(), 1);
    // No store: defaults, and nothing is written anywhere.
    SettingsStore none("");
    EXPECT_EQ(LoadDialogEntries(none).results, 10);
    EXPECT_FALSE(SaveDialogEntries(none, {"x", "", 2, 10}));
}

}  // namespace
}  // namespace vx
