#include "spatial/coords.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/support/oracles.h"

namespace Gantrix {
namespace {

// Huge but finite longitudes land where their exact remainder does (adding 180 before the
// remainder lost it: 2^62 answered Minorca).
TEST(NormalizeLng, WrapsToTheExactRemainder) {
  EXPECT_EQ(test::wrapped_exactly(0x1p62), -176.0);
  for (const double lng :
       {0x1p53, -0x1p53, 0x1p62, -0x1p62, 1e300, -1e300, std::numeric_limits<double>::max()}) {
    const double w = test::wrapped_exactly(lng);
    EXPECT_EQ(normalize_lng(lng), w == 180.0 ? -180.0 : w) << lng;
  }
  EXPECT_EQ(normalize_lng(370.0) + normalize_lng(-190.0), 10.0 + 170.0);
}

}  // namespace
}  // namespace Gantrix
