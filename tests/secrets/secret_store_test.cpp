// Runs inside a private D-Bus session with a real gnome-keyring
// (tests/support/with_keyring.sh), as the desktop's keyring.
#include "secrets/secret_store.h"

#include <gtest/gtest.h>
#include <libsecret/secret.h>

#include "support/scoped_env.h"

namespace vx {
namespace {

TEST(Secrets, VariablesAreNamedAfterTheSecret) {
    EXPECT_EQ(SecretVariable("serpapi_key"), "VEXORIN_SECRET_SERPAPI_KEY");
    EXPECT_EQ(SecretVariable("google-ads.token"), "VEXORIN_SECRET_GOOGLE_ADS_TOKEN");
}

TEST(Secrets, KeptInTheKeyringTheEnvironmentWins) {
    ASSERT_NE(std::getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run with_keyring.sh";
    std::string error;
    ASSERT_TRUE(StoreSecret("test_key", "made-up-keyring-value", "", &error)) << error;
    EXPECT_EQ(LookupSecret("test_key"), "made-up-keyring-value");
    ASSERT_TRUE(StoreSecret("test_key", "made-up-second", "", &error)) << error;
    EXPECT_EQ(LookupSecret("test_key"), "made-up-second");  // replaced, not added
    {
        testing::ScopedEnv env("VEXORIN_SECRET_TEST_KEY", "made-up-from-env");
        EXPECT_EQ(LookupSecret("test_key"), "made-up-from-env");
    }
    EXPECT_FALSE(LookupSecret("other_key"));
    ASSERT_TRUE(StoreSecret("test_key", "", "", &error)) << error;
    EXPECT_FALSE(LookupSecret("test_key"));
}

TEST(Secrets, WithoutASessionBusThereIsNoKeyring) {
    std::string error;
    ASSERT_TRUE(StoreSecret("test_key", "made-up", "", &error)) << error;
    {
        testing::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", "");
        EXPECT_FALSE(LookupSecret("test_key"));
        EXPECT_FALSE(StoreSecret("test_key", "made-up", "", &error));
        EXPECT_EQ(error, "no desktop keyring is reachable (no session bus)");
    }
    EXPECT_TRUE(StoreSecret("test_key", "", "", &error)) << error;
}

// The server an entry was kept for comes back with it; a locked keyring
// is told from an absent entry, and the tries are asked once a cache.
TEST(Secrets, AnEntryKnowsItsServerAndALockedKeyringIsNoAbsence) {
    std::string error;
    ASSERT_TRUE(StoreSecret("test_key", "made-up-old", "", &error)) << error;
    ASSERT_TRUE(StoreSecret("test_key", "made-up-bound", "ana@db.example:5432/team", &error));
    KeptSecret found = FindSecret("test_key");
    EXPECT_EQ(std::tie(found.value, found.server),
              std::tie("made-up-bound", "ana@db.example:5432/team"));
    EXPECT_FALSE(found.fromEnvironment);
    EXPECT_EQ(FindSecret("other_key").state, KeptSecret::State::Absent);

    SecretCache cache;
    EXPECT_EQ(cache.Find("test_key").value, "made-up-bound");
    SecretService* service =
        secret_service_get_sync(SECRET_SERVICE_LOAD_COLLECTIONS, nullptr, nullptr);
    ASSERT_NE(service, nullptr);
    SecretCollection* keyring = secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, nullptr);
    ASSERT_NE(keyring, nullptr);
    GList* one = g_list_append(nullptr, keyring);
    ASSERT_EQ(secret_service_lock_sync(service, one, nullptr, nullptr, nullptr), 1);
    found = FindSecret("test_key");
    EXPECT_NE(found.state, KeptSecret::State::Found);
    EXPECT_NE(found.state, KeptSecret::State::Absent);
    EXPECT_TRUE(found.value.empty());
    EXPECT_NE(KeyringTrouble("test_key", found), "");
    EXPECT_EQ(cache.Find("test_key").value, "made-up-bound");  // not asked again
    secret_service_unlock_sync(service, one, nullptr, nullptr, nullptr);
    g_list_free(one);
    g_object_unref(keyring);
    g_object_unref(service);
    ASSERT_TRUE(StoreSecret("test_key", "", "", &error)) << error;
}

}  // namespace
}  // namespace vx
