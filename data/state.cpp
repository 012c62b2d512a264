#include "data/state.h"

#include "api/airport_object.h"
#include "api/json_writer.h"
#include "data/datasets.h"

namespace Gantrix {
namespace {

std::unique_ptr<State>& state_slot() {
  static std::unique_ptr<State> slot;
  return slot;
}

}  // namespace

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

Groups::Groups(const std::vector<std::string>& item_keys, const std::vector<int32_t>& ids) {
  // A stable counting sort: group numbers by first appearance, then prefix sums.
  std::unordered_map<std::string_view, int64_t> number;
  std::vector<int64_t> group(item_keys.size());
  for (size_t j = 0; j < item_keys.size(); ++j) {
    const auto [it, added] = number.try_emplace(item_keys[j], static_cast<int64_t>(keys.size()));
    if (added) keys.push_back(item_keys[j]);
    group[j] = it->second;
  }
  start.assign(keys.size() + 1, 0);
  for (const int64_t g : group) ++start[g + 1];
  for (size_t g = 0; g < keys.size(); ++g) start[g + 1] += start[g];
  std::vector<int64_t> cursor(start.begin(), start.end() - 1);
  items.assign(ids.size(), 0);
  for (size_t j = 0; j < ids.size(); ++j) items[cursor[group[j]]++] = ids[j];
}

std::vector<int32_t> Groups::members(size_t g) const {
  return {items.begin() + start[g], items.begin() + start[g + 1]};
}

State::State(std::string_view airports_src, std::string_view countries_src) {
  parse_airports(airports_src);

  const size_t n = ap_iata.size();
  std::vector<std::string> keys;
  keys.reserve(n);
  std::vector<int32_t> ids(n);
  ap_country_lower.reserve(n);
  airports_by_iata.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    keys.push_back(lower(ap_country[i]));
    ap_country_lower.push_back(keys.back());
    airports_by_iata[upper(ap_iata[i])] = static_cast<int64_t>(i);
    ids[i] = static_cast<int32_t>(i);
  }
  const Groups groups(keys, ids);

  parse_countries(countries_src);

  ap_code.reserve(n);
  ap_display.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    ap_code.push_back(ap_country_lower[i] + "." + lower(ap_iata[i]));
    ap_display.push_back(describe_airport(*this, static_cast<int64_t>(i)));
  }
  ap_fields.build(n, 200, [this](std::string& out, size_t i) {
    write_airport_fields(out, *this, static_cast<int64_t>(i));
  });
  ap_answer.build(n, 64, [this](std::string& out, size_t i) {
    out.append("{\"code\":");
    append_json_str(out, ap_code[i]);
    out.append(",\"name\":");
    append_json_str(out, ap_display[i]);
    out.push_back('}');
  });

  all_airports = std::make_unique<AirportIndex>(ap_lat, ap_lng, std::move(ids));
  airports_by_country.reserve(groups.keys.size());
  for (size_t g = 0; g < groups.keys.size(); ++g) {
    airports_by_country.try_emplace(groups.keys[g], *all_airports, groups.members(g));
  }
  for (const auto& [code, index] : airports_by_country) {
    if (const int slot = two_letter_slot(code); slot >= 0) two_letter_index[slot] = &index;
  }
}

size_t State::bytes() const {
  size_t total = 0;
  for (const auto& a : airports) {
    total +=
        sizeof a + a.iata.capacity() + a.name.capacity() + a.city.capacity() + a.country.capacity();
  }
  for (const auto* column :
       {&ap_iata, &ap_name, &ap_city, &ap_country, &ap_country_lower, &ap_code, &ap_display}) {
    for (const auto& s : *column) total += sizeof s + (s.capacity() > 15 ? s.capacity() : 0);
  }
  total += ap_fields.bytes() + ap_answer.bytes();
  total += (ap_lat.capacity() + ap_lng.capacity() + env_lo.capacity() + env_hi.capacity()) *
           sizeof(double);
  total += (feature_ring0.capacity() + feature_rings.capacity() + env_feature.capacity()) *
           sizeof(int64_t);
  for (const auto& s : env_code) total += sizeof s;
  for (const auto& [code, id] : airports_by_iata) total += sizeof code + sizeof id + 16;
  for (const auto& [code, name] : country_names) total += 2 * sizeof code + name.capacity() + 16;
  total += rings.bytes() + country_tree.bytes() + all_airports->bytes();
  total += (ring_feature.capacity() + ring_entry.capacity() + grid_start.capacity() +
            grid_box.capacity()) *
               sizeof(int32_t) +
           feature_envelope.capacity() * sizeof(int64_t) +
           (ring_lo.capacity() + ring_hi.capacity()) * sizeof(double) + country_cells.bytes();
  for (const auto& [code, index] : airports_by_country) total += sizeof code + index.bytes() + 16;
  return total;
}

const State& state() {
  auto& slot = state_slot();
  if (!slot) slot = std::make_unique<State>(airports_json(), countries_json());
  return *slot;
}

bool state_loaded() { return state_slot() != nullptr; }

}  // namespace Gantrix
