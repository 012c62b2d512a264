#include "layout.h"

#include <algorithm>
#include <optional>

#include "csv.h"
#include "degrees.h"

namespace GantrixCli {

namespace {

using Names = std::vector<std::string_view>;

std::string_view trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool same_name(std::string_view a, std::string_view b) {
  a = trim(a);
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

bool holds_number(const Names& fields, std::size_t column) {
  double ignored;
  if (column >= fields.size()) return false;
  const Degrees read = read_degrees(fields[column], ignored);
  return read == Degrees::ok || read == Degrees::out_of_range;
}

std::string quoted_list(const Names& names) {
  std::string out;
  for (const auto name : names) out.append(out.empty() ? "" : ", ").append("\"").append(name) += '"';
  return out;
}

// A column given by number (from 1), or none when spec is a name.
std::optional<std::size_t> column_number(const std::string& spec) {
  if (spec.empty() || spec.size() > 9 || !std::all_of(spec.begin(), spec.end(), [](char c) {
        return c >= '0' && c <= '9';
      }))
    return std::nullopt;
  const std::size_t n = std::stoul(spec);
  if (n == 0) throw UsageError("column numbers start at 1, not 0");
  return n - 1;
}

// The one header column with any of names; several or none cannot be told apart.
std::size_t column_named(const Names& header, std::initializer_list<std::string_view> names,
                         const std::string& what, std::string_view hint) {
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < header.size(); ++i)
    if (std::any_of(names.begin(), names.end(), [&](auto n) { return same_name(header[i], n); }))
      found.push_back(i);
  if (found.size() == 1) return found[0];
  throw UsageError((found.empty() ? "no " : "more than one ") + what + " in the header (" +
                   quoted_list(header) + ")" + std::string(hint));
}

std::size_t column(const Names& header, const std::string& spec) {
  if (const auto number = column_number(spec)) return *number;
  return column_named(header, {spec}, "column \"" + spec + "\"", "");
}

}  // namespace

std::vector<std::string_view> answer_columns(const BatchOptions& options) {
  std::vector<std::string_view> columns{"country"};
  if (options.op == BatchOp::find) {
    columns.insert(columns.end(), {"airport", "airport_label"});
    for (std::size_t i = 0; i < std::size(kRecordFields); ++i)
      if (options.fields & (1u << i)) columns.push_back(kRecordFields[i]);
  }
  columns.push_back("error");
  return columns;
}

char input_delimiter(const BatchOptions& options) {
  if (options.delimiter != '\0') return options.delimiter;
  const bool tsv_file = options.path.size() > 4 && same_name(options.path.substr(options.path.size() - 4), ".tsv");
  return options.format == Format::tsv || tsv_file ? '\t' : ',';
}

Layout decide_layout(const BatchOptions& options, const std::string_view* first) {
  if (options.lat.empty() != options.lng.empty())
    throw UsageError("--lat and --lng are given together");
  Layout layout;
  layout.delimiter = input_delimiter(options);
  CsvFields split;
  if (first != nullptr) split.split(*first, layout.delimiter);
  const Names& fields = split.fields();
  const auto lat_number = column_number(options.lat), lng_number = column_number(options.lng);
  if (options.lat.empty()) {
    // The usual layout, or the usual names in a header.
    layout.header = first != nullptr && !holds_number(fields, 0) && !holds_number(fields, 1);
    if (layout.header) {
      constexpr std::string_view hint = ": name the columns with --lat and --lng";
      layout.lat = column_named(fields, {"lat", "latitude", "y"}, "latitude column", hint);
      layout.lng = column_named(fields, {"lng", "lon", "long", "longitude", "x"}, "longitude column", hint);
    }
  } else if (lat_number && lng_number) {
    layout.lat = *lat_number, layout.lng = *lng_number;
    layout.header = first != nullptr && !holds_number(fields, layout.lat) &&
                    !holds_number(fields, layout.lng);
  } else {  // a name needs a header: the first record is one
    if (first == nullptr) throw UsageError("the header is too long to read");
    layout.header = true;
    layout.lat = column(fields, options.lat);
    layout.lng = column(fields, options.lng);
  }
  if (layout.lat == layout.lng) throw UsageError("latitude and longitude are the same column");
  layout.columns = first != nullptr ? fields.size() : std::max(layout.lat, layout.lng) + 1;
  if (layout.header && options.format != Format::json) {
    for (const auto name : answer_columns(options))
      if (std::any_of(fields.begin(), fields.end(), [&](auto f) { return trim(f) == name; }))
        throw UsageError("the header already has a column named \"" + std::string(name) +
                         "\", which the answers would add");
  }
  return layout;
}

}  // namespace GantrixCli
