#include "state/state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <tuple>

#include "builder/dataset_texts.h"
#include "builder/image_writer.h"
#include "builder/state_builder.h"
#include "state/compiled_state.h"
#include "tests/support/test_support.h"

namespace Gantrix {
namespace {

// The library's State is the image written at build time: the same loaders run in-process
// on the same texts must give it back byte for byte (nothing left to chance in the layout,
// padding included), the decided cells aside (a build's worth of work: the identity test
// proves them), and every record of the texts must be in it.
TEST(StateImage, BuiltInProcessFromTheTextsEqualsTheCompiledInImage) {
  const ImageBytes built = build_state_image(airports_json(), countries_json());
  State& compiled = const_cast<State&>(state());  // the writer only reads it
  struct {
    AirportTable& airports;
    CountryIndex& countries;
    CountryAirports& airport_indexes;
    DecidedCells decided;
  } without_cells{compiled.airports, compiled.countries, compiled.airport_indexes, {}};
  ImageWriter w;
  visit_parts(w, without_cells);
  const ImageBytes rewritten = w.write(compiled.header());
  ASSERT_EQ(built.view().size(), rewritten.view().size());
  EXPECT_TRUE(std::equal(rewritten.view().begin(), rewritten.view().end(), built.view().begin()));
  EXPECT_FALSE(compiled.decided.grid.top.empty());
  EXPECT_EQ(state().header().dataset_hash, dataset_hash(airports_json(), countries_json()));
  const auto occurrences = [](std::string_view text, std::string_view word) {
    size_t count = 0;
    for (size_t at = text.find(word); at != text.npos; at = text.find(word, at + 1)) ++count;
    return count;
  };
  EXPECT_EQ(state().airports.size(), occurrences(airports_json(), "\"iata\""));
  EXPECT_EQ(state().countries.first_ring.size(), occurrences(countries_json(), "\"Feature\""));
}

// A damaged or foreign image is refused with a message, never read.
TEST(StateImage, RefusesImagesItCannotRead) {
  const State small =
      build_state(test::airports_text({{"AAA", "A", "", "FR", 1, 2}}), test::countries_text({}));
  const std::span<const std::byte> good = small.image();
  constexpr size_t kEntry = sizeof(ImageHeader);  // the first section's entry
  // Where to write, the value and its width, the bytes kept (0: all), and the message.
  const std::string version = "format version " + std::to_string(IMAGE_VERSION + 1) +
                              ", this library reads " + std::to_string(IMAGE_VERSION);
  const std::tuple<size_t, uint64_t, size_t, size_t, const char*> cases[] = {
      {0, 0x21, 1, 0, "not a State image"},
      {8, IMAGE_VERSION + 1, 4, 0, version.c_str()},
      {0, 0, 0, 100, "size does not match its header"},
      {0, 0, 0, 10, "shorter than its header"},
      {12, 100000, 4, 0, "section table runs past the end"},
      {12, 3, 4, 0, "fewer sections than the parts have columns"},
      {kEntry + 16, 3, 4, 0, "section 0 holds other values"},
      {kEntry, 1u << 30, 8, 0, "section 0 lies outside the image"},
      {kEntry + 8, good.size(), 8, 0, "section 0 lies outside the image"}};
  for (const auto& [offset, value, width, keep, want] : cases) {
    std::vector<std::byte> copy(good.begin(), good.end());
    std::memcpy(copy.data() + offset, &value, width);
    if (keep > 0) copy.resize(keep);
    ImageBytes aligned = ImageBytes::allocate(copy.size());
    std::memcpy(aligned.data(), copy.data(), copy.size());
    const std::string got = test::error_of([&] { State s(aligned.view()); });
    EXPECT_EQ(got, std::string("State image: ") + want + " (rebuild the library)");
  }
}

}  // namespace
}  // namespace Gantrix
