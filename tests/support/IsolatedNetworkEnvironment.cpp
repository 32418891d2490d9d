// Refuses to run the Win32 tests anywhere but in a test network (see IsolatedNetwork.h).
#include <gtest/gtest.h>

#include "support/IsolatedNetwork.h"

namespace {

class IsolatedNetworkEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { parvox::test::RequireIsolatedNetwork("parvox_win_tests"); }
};

[[maybe_unused]] ::testing::Environment* const kIsolatedNetwork =
    ::testing::AddGlobalTestEnvironment(new IsolatedNetworkEnvironment);

}  // namespace
