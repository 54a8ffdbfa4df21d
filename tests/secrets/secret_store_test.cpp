// Runs inside a private D-Bus session with a real gnome-keyring
// (tests/support/with_keyring.sh), as the desktop's keyring.
#include "secrets/secret_store.h"

#include <gtest/gtest.h>

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
    ASSERT_TRUE(StoreSecret("test_key", "made-up-keyring-value", &error)) << error;
    EXPECT_EQ(LookupSecret("test_key"), "made-up-keyring-value");
    ASSERT_TRUE(StoreSecret("test_key", "made-up-second", &error)) << error;
    EXPECT_EQ(LookupSecret("test_key"), "made-up-second");  // replaced, not added
    {
        testing::ScopedEnv env("VEXORIN_SECRET_TEST_KEY", "made-up-from-env");
        EXPECT_EQ(LookupSecret("test_key"), "made-up-from-env");
    }
    EXPECT_FALSE(LookupSecret("other_key"));
    ASSERT_TRUE(StoreSecret("test_key", "", &error)) << error;
    EXPECT_FALSE(LookupSecret("test_key"));
}

TEST(Secrets, WithoutASessionBusThereIsNoKeyring) {
    std::string error;
    ASSERT_TRUE(StoreSecret("test_key", "made-up", &error)) << error;
    {
        testing::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", "");
        EXPECT_FALSE(LookupSecret("test_key"));
        EXPECT_FALSE(StoreSecret("test_key", "made-up", &error));
        EXPECT_EQ(error, "no desktop keyring is reachable (no session bus)");
    }
    EXPECT_TRUE(StoreSecret("test_key", "", &error)) << error;
}

}  // namespace
}  // namespace vx
