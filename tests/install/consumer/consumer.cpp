// A C++17 program built against an installed Gantrix through gantrix.hpp: every function
// once, with typed answers, owned texts, the set's handle freed by its destructor, and the
// refusals.
#include <cmath>
#include <gantrix.hpp>
#include <iostream>
#include <stdexcept>
#include <string>

static int failures;

static void expect(const char* what, bool ok, const std::string& got) {
  if (!ok) {
    std::cerr << what << ": got " << got << "\n";
    ++failures;
  }
}

static bool starts(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

int main() {
  std::cout << "GANTRIX_VERSION " << GANTRIX_VERSION << "\n";
  try {
    const gantrix::Answer paris = gantrix::find(48.8566, 2.3522);
    expect("find", starts(paris, "{\"code\":\"fr."), paris.str());
    expect("country_at", gantrix::country_at(48.8566, 2.3522) == std::string("fr"), "not fr");
    expect("country_at at sea", !gantrix::country_at(30, -40), "a country");
    const gantrix::Answer cdg = gantrix::airport("cdg");
    expect("airport", starts(cdg, "{\"code\":\"fr.cdg\""), cdg.str());
    int64_t handle = -1;
    {
      const gantrix::AirportSet hubs{"CDG", "LHR", "XXX"};
      handle = hubs.handle();
      expect("size", hubs.size() == 2, std::to_string(hubs.size()));
      expect("contains", hubs.contains(" lhr") && !hubs.contains("JFK"), "wrong membership");
      expect("missing", hubs.missing() == "[\"XXX\"]", hubs.missing().str());
      const gantrix::Answer near = hubs.nearest(48.8566, 2.3522, 1, "FR", 1000.0);
      expect("nearest", starts(near, "[{\"code\":\"fr.cdg\""), near.str());
      const gantrix::Answer london = hubs.resolve(51.5, -0.12);
      expect("resolve", starts(london, "{\"code\":\"gb.lhr\""), london.str());
      try {
        (void)hubs.nearest(NAN, 0.0, 1);
        expect("nearest at NaN", false, "an answer");
      } catch (const gantrix::Error& e) {
        expect("nearest at NaN", std::string(e.what()) == "invalid coordinates", e.what());
      }
      try {
        (void)hubs.nearest(48.8566, 2.3522, 5, "France");
        expect("nearest in \"France\"", false, "an answer");
      } catch (const std::invalid_argument& e) {
        expect("refusal",
               std::string(e.what()) == "country must be two ASCII letters, such as \"fr\"",
               e.what());
      }
    }
    // The destructor freed the set: its handle is gone for the C functions too.
    char* gone = gx_set_size(handle);
    expect("set freed by its destructor", gone == nullptr, gone ? gone : "");
    gx_free(gone);
  } catch (const std::exception& e) {
    expect("no exception", false, e.what());
  }
  std::cout << "C++: " << (failures == 0 ? "every function answered as expected" : "FAILED")
            << "\n";
  return failures == 0 ? 0 : 1;
}
