#include <gtest/gtest.h>

#include "core/hooking/TargetSet.h"

using namespace palisor::hooking;

TEST(TargetSet, CodesDecodeToScopeAndOptions) {
  struct Case {
    std::int32_t code;
    TargetScope scope;
    bool own, services;
  } cases[] = {
      {-27, TargetScope::EverySession, false, false},  // the firewall's code
      {-19, TargetScope::EverySession, true, false},
      {-3, TargetScope::EverySession, true, true},
      {-11, TargetScope::EverySession, false, true},
      {-20, TargetScope::CurrentSession, true, false},
      {-28, TargetScope::CurrentSession, false, false},
      {-21, TargetScope::CurrentUser, true, false},
      {-29, TargetScope::CurrentUser, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    auto set = DecodeTargetSet(c.code);
    ASSERT_TRUE(set.has_value());
    EXPECT_EQ(*set, (TargetSet{c.scope, c.own, c.services}));
  }
}

TEST(TargetSet, OtherCodesNameNoScope) {
  for (std::int32_t code : {0, 1, -1, -18, -22, 27, 0x7FFFFFFF, static_cast<std::int32_t>(0x80000000)}) {
    SCOPED_TRACE(code);
    EXPECT_FALSE(DecodeTargetSet(code).has_value());
  }
}

TEST(TargetSet, ServiceAccountsHaveFewerThanTwoSubAuthorities) {
  EXPECT_TRUE(IsServiceAccountSid(0));
  EXPECT_TRUE(IsServiceAccountSid(1));  // S-1-5-18 LocalSystem
  EXPECT_FALSE(IsServiceAccountSid(2));
  EXPECT_FALSE(IsServiceAccountSid(5));  // S-1-5-21-a-b-c-rid, an ordinary user
}
