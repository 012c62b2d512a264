#include "query/serving_airport.h"

#include <gtest/gtest.h>

#include "builder/state_builder.h"
#include "tests/support/test_support.h"

namespace Gantrix {
namespace {

// A country without airports borrows the nearest airport anywhere, but only within 4000 km.
// (Its own airport beating a nearer foreign one shows at "France by Geneva airport".)
TEST(NearestInCountry, EmptyCountryBorrowsTheNearestAirportWithin4000Km) {
  constexpr double kKmPerDegree = EARTH_RADIUS_KM * 3.141592653589793 / 180.0;
  for (const double km : {1000.0, 3990.0, 4010.0}) {
    // EE holds the point and no airport; GG's airport comes first but lies farther.
    const double deg = km / kKmPerDegree;
    const State s =
        build_state(test::airports_text({{"GGG", "G", "", "GG", 0.0, 0.5 - deg - 2.0},
                                         {"FFF", "F", "", "FF", 0.0, 0.5 + deg}}),
                    test::countries_text({{"EE", "Empty", "0 -0.5,1 -0.5,1 0.5,0 0.5,0 -0.5"}}));
    const Located loc = nearest_in_country(s, {0.0, 0.5});
    EXPECT_EQ(loc.country, "ee");
    EXPECT_EQ(loc.index, km < 4000.0 ? 1 : -1) << km;
    EXPECT_EQ(loc.error, km < 4000.0 ? "" : "no airports found in country ee or nearby") << km;
  }
}

}  // namespace
}  // namespace Gantrix
