// The test binary's private PostgreSQL cluster (pgCluster.h) ends with the binary: after the last test,
// whichever test started it.
#include <gtest/gtest.h>

#include "pgCluster.h"

namespace {

class ClusterEnvironment : public testing::Environment {
 public:
  void TearDown() override { PgCluster::shutDown(); }
};

[[maybe_unused]] testing::Environment* const environment = testing::AddGlobalTestEnvironment(new ClusterEnvironment);

}  // namespace
