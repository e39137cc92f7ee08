#include <gtest/gtest.h>

#include "core/hooking/PlacementSecrets.h"

using namespace palisor::hooking;

TEST(PlacementSecrets, EntriesListWhatIsRegisteredByProcessId) {
  PlacementSecrets secrets;
  secrets.Register(300, 7);
  secrets.Register(5, 9);
  secrets.Register(4000000000u, 1);
  secrets.Register(300, 8);  // placed again: the new secret holds
  secrets.Register(77, 3);
  secrets.Register(77, 0);   // secret 0 forgets
  secrets.Forget(5);
  using Entries = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
  EXPECT_EQ(secrets.Entries(), (Entries{{300, 8}, {4000000000u, 1}}));
  EXPECT_EQ(secrets.SecretOf(300), 8u);
  EXPECT_EQ(secrets.SecretOf(77), std::nullopt);
  secrets.ForgetAll();
  EXPECT_TRUE(secrets.Entries().empty());
}
