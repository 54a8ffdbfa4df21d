#include "results/preferences.h"

#include <gtest/gtest.h>

#include "results/settings_store.h"
#include "support/temp_dir.h"

namespace vx {
namespace {

TEST(Preferences, AddressesAreCheckedAsTyped) {
    struct Case {
        const char* text;
        bool fine;
    } cases[] = {
        {"", true},
        {"example.com", true},
        {"127.0.0.1:47080", true},
        {"search.example:1", true},
        {"search.example:65535", true},
        {":80", false},
        {"host:", false},
        {"host:0", false},
        {"host:65536", false},
        {"host:8o", false},
        {"host:-1", false},
        {"http://host:80", true},
        {"https://host", true},
        {"HTTPS://host:8443/", true},
        {"ftp://host", false},
        {"https://", false},
        {"https://host:0", false},
        {"host/path", false},
        {"my host", false},
    };
    for (const Case& c : cases) EXPECT_EQ(HostPortProblem(c.text).empty(), c.fine) << c.text;
    EXPECT_EQ(HostPortProblem("ftp://host"), "Only http:// and https:// addresses");
    EXPECT_EQ(HostPortProblem("host:0"), "The port must be a number from 1 to 65535");
}

// Saved values come back; a value out of its range or of another type keeps
// its default, and so does a bad address.
TEST(Preferences, KeptInTheSettingsStore) {
    vx::testing::TempDir dir;
    SettingsStore store(dir.File("settings.reg"));
    EXPECT_EQ(LoadPreferences(store).parallel, kDefaultParallel);
    Preferences p;
    p.suggestHost = "suggest.example:8080";
    p.searchHost = "search.example";
    p.connectSeconds = 7;
    p.silenceSeconds = 11;
    p.fetchSeconds = 45;
    p.parallel = 8;
    p.retries = 0;
    ASSERT_TRUE(SavePreferences(store, p));
    const Preferences back = LoadPreferences(store);
    EXPECT_EQ(back.suggestHost, p.suggestHost);
    EXPECT_EQ(back.searchHost, p.searchHost);
    EXPECT_EQ(back.connectSeconds, 7);
    EXPECT_EQ(back.silenceSeconds, 11);
    EXPECT_EQ(back.fetchSeconds, 45);
    EXPECT_EQ(back.parallel, 8);
    EXPECT_EQ(back.retries, 0);

    store.OpenKey(true);
    store.WriteInteger("lookups.parallel", 9);
    store.WriteString("lookups.retries", "3");
    store.WriteString("services.search", "ftp://x");
    store.CloseKey();
    const Preferences odd = LoadPreferences(store);
    EXPECT_EQ(odd.parallel, kDefaultParallel);
    EXPECT_EQ(odd.retries, kDefaultRetries);
    EXPECT_EQ(odd.searchHost, "");
    EXPECT_EQ(odd.connectSeconds, 7);

    // A password in a history URL never reaches the file, however written.
    for (const char* url : {"postgresql://ann:made-up@db/team",
                            "postgresql://ann@db/team?sslmode=require&PASSWORD=made-up",
                            "postgresql://ann@db/team?password=made-up"}) {
        p.historyUrl = url;
        ASSERT_TRUE(SavePreferences(store, p));
        EXPECT_EQ(LoadPreferences(store).historyUrl, "") << url;
    }
    p.historyUrl = "postgresql://ann@db/team?sslmode=require";
    ASSERT_TRUE(SavePreferences(store, p));
    EXPECT_EQ(LoadPreferences(store).historyUrl, p.historyUrl);
}

}  // namespace
}  // namespace vx
