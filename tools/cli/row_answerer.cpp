#include "row_answerer.h"

#include <algorithm>
#include <charconv>
#include <exception>

#include "core/json_writer.h"
#include "degrees.h"
#include "query/point_in_country.h"
#include "query/serving_airport.h"
#include "spatial/coords.h"
#include "state/state.h"

namespace GantrixCli {

namespace {

// What find answers when no country holds the point; country_at says it with null.
constexpr std::string_view kNoCountry = "no country found for coordinates";
// Room for a row's message in output_bound: the longest the library writes for a point is
// about 60 bytes. A longer one (an exception's) only makes the chunk's buffer grow.
constexpr std::size_t kMessageRoom = 128;

}  // namespace

AirportColumns::AirportColumns(const BatchOptions& options, char delimiter) {
  const auto& a = Gantrix::state().airports;
  at_.reserve(a.size() + 1);
  for (std::size_t id = 0; id < a.size(); ++id) {
    at_.push_back(text_.size());
    (text_ += delimiter).append(a.code[id]);
    append_csv_field(text_ += delimiter, a.display[id], delimiter);
    for (std::size_t i = 0; i < std::size(kRecordFields); ++i) {
      if (!(options.fields & (1u << i))) continue;
      text_ += delimiter;
      switch (i) {
        case 0: append_csv_field(text_, a.iata[id], delimiter); break;
        case 1: append_csv_field(text_, a.name[id], delimiter); break;
        case 2: append_csv_field(text_, a.city[id], delimiter); break;
        case 3: append_csv_field(text_, a.country_lower[id], delimiter); break;
        case 4: Gantrix::append_json_float(text_, a.lat[id]); break;
        case 5: Gantrix::append_json_float(text_, a.lng[id]); break;
      }
    }
    longest_ = std::max(longest_, text_.size() - at_.back());
  }
  at_.push_back(text_.size());
  none_.assign(answer_columns(options).size() - 2, delimiter);  // all but country and error
}

std::size_t RowAnswerer::output_bound(const Chunk& chunk, const Layout& layout,
                                      const AirportColumns* airports) {
  static const std::size_t longest_answer = [] {
    const auto& a = Gantrix::state().airports;
    std::size_t longest = 0;
    for (std::size_t i = 0; i < a.size(); ++i) longest = std::max(longest, a.answer[i].size());
    return longest;
  }();
  // A byte of a record becomes at most 6 in JSON (\u0001); CSV copies it. Each row adds its
  // line number and member names or delimiters (for a row too long to hold, one per column),
  // and an answer or a message (quoted, at most twice its length).
  const std::size_t answer = std::max(longest_answer, airports ? airports->longest() : 0);
  const std::size_t per_row = 96 + layout.columns + std::max(answer, 2 * kMessageRoom);
  return 6 * chunk.text.size() + chunk.rows.size() * per_row;
}

void RowAnswerer::answer(Chunk& chunk) {
  for (const ChunkRow& row : chunk.rows) {
    const std::string_view text = chunk.row_text(row);
    const Outcome outcome = look_up(row, text);
    switch (outcome) {
      case Outcome::answered: ++chunk.tally.answered; break;
      case Outcome::unanswered: ++chunk.tally.unanswered; break;
      case Outcome::malformed: ++chunk.tally.malformed; break;
      case Outcome::failed: ++chunk.tally.failed; break;
    }
    if (options_.format == Format::json) {
      json_row(row, outcome, chunk.out);
    } else {
      csv_row(row, text, outcome, chunk.out);
    }
  }
}

RowAnswerer::Outcome RowAnswerer::look_up(const ChunkRow& row, std::string_view text) {
  airport_ = -1;
  country_ = {};
  error_ = {};
  if (row.too_long) {
    error_ = "line too long";
    return Outcome::malformed;
  }
  const bool closed = split_.split(text, layout_.delimiter);
  if (!closed) {
    error_ = "unterminated quoted field";
    return Outcome::malformed;
  }
  const auto& fields = split_.fields();
  double lat = 0, lng = 0;
  if (layout_.lat >= fields.size()) {
    error_ = "latitude missing";
    return Outcome::malformed;
  }
  if (layout_.lng >= fields.size()) {
    error_ = "longitude missing";
    return Outcome::malformed;
  }
  const Degrees lat_read = read_degrees(fields[layout_.lat], lat);
  const Degrees lng_read = read_degrees(fields[layout_.lng], lng);
  error_ = lat_read != Degrees::ok ? degrees_error(lat_read, Axis::latitude)
                                   : degrees_error(lng_read, Axis::longitude);
  if (!error_.empty()) return Outcome::malformed;
  // The operations' own checks, so every row gets the answer the C functions give.
  if (!Gantrix::valid_coords(lat, lng)) {
    error_ = "invalid coordinates";
    return Outcome::malformed;
  }
  try {
    const Gantrix::State& state = Gantrix::state();
    const Gantrix::LatLng point{lat, Gantrix::normalize_lng(lng)};
    if (options_.op == BatchOp::country) {
      const auto code = Gantrix::find_country_code(state, point);
      if (!code) {
        error_ = kNoCountry;
        return Outcome::unanswered;
      }
      country_ = *code;
      return Outcome::answered;
    }
    // The country the search settled in is the one country_at answers: it looks it up first.
    Gantrix::Located located = Gantrix::nearest_in_country(state, point);
    country_ = located.country;
    airport_ = located.index;
    if (airport_ >= 0) return Outcome::answered;
    message_ = std::move(located.error);
    error_ = message_;
    return Outcome::unanswered;
  } catch (const std::exception& e) {
    message_ = e.what();
    error_ = message_;
    return Outcome::failed;
  }
}

void RowAnswerer::json_row(const ChunkRow& row, Outcome outcome, std::string& out) {
  char number[24];
  out += "{\"line\":";
  out.append(number, std::to_chars(number, number + sizeof number, row.line).ptr);
  const auto& fields = split_.fields();
  bool first = true;
  for (std::size_t i = 0; i < (row.too_long ? 0 : fields.size()); ++i) {
    if (i == layout_.lat || i == layout_.lng) continue;
    out += first ? ",\"fields\":[" : ",";
    first = false;
    Gantrix::append_json_str(out, fields[i]);  // the writer mends ill-formed UTF-8
  }
  if (!first) out += ']';
  const bool result = outcome == Outcome::answered ||
                      (outcome == Outcome::unanswered && options_.op == BatchOp::country);
  if (!result) {
    out += ",\"error\":";
    Gantrix::append_json_str(out, error_);
  } else if (options_.op == BatchOp::find) {
    out += ",\"result\":";
    out += Gantrix::state().airports.answer[static_cast<std::size_t>(airport_)];
  } else if (!country_.empty()) {
    out += ",\"result\":";
    Gantrix::append_json_str(out, country_);
  } else {
    out += ",\"result\":null";
  }
  out += "}\n";
}

void RowAnswerer::csv_row(const ChunkRow& row, std::string_view text, Outcome outcome,
                          std::string& out) {
  const char delimiter = layout_.delimiter;
  if (row.too_long) {
    out.append(layout_.columns - 1, delimiter);  // its fields, empty: they were not kept
  } else {
    out += text;
  }
  out += delimiter;
  out += country_;  // two letters
  if (airports_ != nullptr)
    out += outcome == Outcome::answered ? airports_->of(airport_) : airports_->none();
  out += delimiter;
  if (!error_.empty()) append_csv_field(out, error_, delimiter);
  out += line_end_text(row.end);
}

}  // namespace GantrixCli
