// gantrix: the library's lookups from a shell. Each subcommand prints the library's JSON
// answer on one line; batch answers a file of rows.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "answer.h"
#include "batch.h"
#include "degrees.h"
#include "gantrix_arguments.hpp"
#include "layout.h"
#include "version.h"

namespace {

using GantrixCli::Answer;
using GantrixCli::SetHandle;

constexpr const char* kCommands[] = {"find", "country", "airport", "nearest", "resolve", "batch"};

int print(Answer answer) {
  if (!answer) {
    std::fprintf(stderr, "gantrix: %s\n", gx_error());
    return 1;
  }
  std::puts(answer.get());
  return GantrixCli::is_error_document(answer.get()) ? 1 : 0;
}

// A mistyped code would otherwise just shrink the set without a word.
void warn_missing(const SetHandle& set) {
  const std::string missing = set.missing();
  if (missing != "[]") std::fprintf(stderr, "gantrix: no airport for %s\n", missing.c_str());
}

// A validator from a function returning the refusal, "" when the text is fine.
template <class F>
CLI::Validator check(F refusal) {
  return CLI::Validator([refusal](std::string& text) { return std::string(refusal(text)); }, "");
}

// Numbers in options read as coordinates do ("+5", "1e3"), and are refused alike: "nan",
// "0x10", "1e999". name is the C parameter's name, as every surface says it.
std::string distance_refusal(const std::string& name, const std::string& text, double& km) {
  switch (GantrixCli::read_degrees(text, km)) {
    case GantrixCli::Degrees::ok: return gantrix::arguments::distance_refusal(name, km);
    case GantrixCli::Degrees::nan: return gantrix::arguments::distance_refusal(name, NAN);
    case GantrixCli::Degrees::not_a_number: return name + " is not a number";
    case GantrixCli::Degrees::out_of_range: break;
  }
  return name + " out of range";
}

// A whole number, "+" allowed; "" when it reads and is at most max.
std::string whole_refusal(const std::string& name, std::string text, std::int64_t max,
                          std::int64_t& value) {
  text.erase(0, text.find_first_not_of(" \t"));
  text.erase(text.find_last_not_of(" \t") + 1);
  if (text.starts_with('+') && !text.starts_with("+-")) text.erase(0, 1);
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || stop != end || ec == std::errc::invalid_argument)
    return name + " is not a whole number";
  return ec == std::errc::result_out_of_range || value > max ? name + " out of range" : "";
}

std::vector<std::string_view> split_list(std::string_view list) {
  std::vector<std::string_view> items;
  for (std::size_t start = 0; start <= list.size();) {
    const std::size_t comma = std::min(list.find(',', start), list.size());
    items.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

std::string field_names() {
  std::string names;
  for (const auto name : GantrixCli::kRecordFields) names.append(names.empty() ? "" : ", ").append(name);
  return names;
}

// A coordinate argument, in the number syntax of batch rows: "+48.85" and "48.85°" too.
struct Coordinate {
  std::string text;
  double degrees() const {
    double value = 0;
    GantrixCli::read_degrees(text, value);  // checked while parsing the arguments
    return value;
  }
};

struct Point {
  Coordinate lat, lng;
};

void add_point(CLI::App* command, Point& point) {
  const auto axis_check = [](GantrixCli::Axis axis) {
    return check([axis](const std::string& text) {
      double ignored;
      return GantrixCli::degrees_error(GantrixCli::read_degrees(text, ignored), axis);
    });
  };
  command->add_option("LAT", point.lat.text, "Latitude in degrees, negative south")
      ->required()
      ->type_name("DEGREES")
      ->check(axis_check(GantrixCli::Axis::latitude));
  command->add_option("LNG", point.lng.text, "Longitude in degrees, negative west")
      ->required()
      ->type_name("DEGREES")
      ->check(axis_check(GantrixCli::Axis::longitude));
}

// A number option: its text is kept in text, its value read into the caller's variable
// while the arguments are checked.
template <class F>
CLI::Option* add_number(CLI::App* command, const std::string& flag, std::string& text,
                        const std::string& help, const char* type, F refusal) {
  return command->add_option(flag, text, help)->type_name(type)->check(check(refusal));
}

const char* kBatchHelp =
    "Reads CSV (RFC 4180: quoted fields with delimiters, quotes and line breaks inside; CR LF;\n"
    "a byte order mark) and answers each row, in input order.\n"
    "Coordinates: --lat and --lng name the columns, by header name or number from 1. The\n"
    "first row is a header when those columns do not hold numbers there. Without them, a\n"
    "header is searched for lat/latitude/y and lng/lon/long/longitude/x (any case); a file\n"
    "without a header has latitude, longitude first.\n"
    "JSON lines (the default): {\"line\":N,\"fields\":[...],\"result\":ANSWER} or\n"
    "{\"line\":N,\"fields\":[...],\"error\":\"...\"}; N is the row's first line in the input,\n"
    "\"fields\" the row's other fields (when it has any).\n"
    "CSV or TSV (--format): each row byte for byte, with its own line end, followed by\n"
    "country, airport, airport_label, the --fields chosen, and error (why there is no\n"
    "answer), under the header extended with those names. --op country: country and error.\n"
    "Blank lines are skipped; a record over 1 MiB is answered \"line too long\". Numbers as in\n"
    "find: +48.85 and 48.85\u00b0 are read as 48.85. A summary goes to stderr (not with -q).\n"
    "Exit status: 0 every row read and answered (no country at sea included), 1 some row\n"
    "malformed or the library failed (or the output could not be written: the batch stops),\n"
    "2 usage error, the header names no coordinate columns, or the input cannot be read.\n";

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Airport and country lookup with compiled-in data.", "gantrix"};
  app.set_version_flag("--version", std::string(GantrixCli::kVersionText));
  app.require_subcommand(1);
  app.footer(
      "Negative coordinates work as they are: gantrix find -33.86 151.21. A leading + and a\n"
      "trailing degree sign are accepted: gantrix find +48.85 2.35\u00b0\n"
      "Exit status: 0 answered (null and no airport included; batch: every row), 1 the answer\n"
      "is an error or some batch row was malformed, 2 usage error.\n");
  if (argc > 1 && argv[1][0] != '-' &&
      std::none_of(std::begin(kCommands), std::end(kCommands),
                   [&](const char* c) { return std::string_view(c) == argv[1]; })) {
    std::fprintf(stderr, "gantrix: unknown command \"%s\" (commands: find, country, airport, "
                 "nearest, resolve, batch; see gantrix --help)\n", argv[1]);
    return 2;
  }

  int status = 0;
  Point point;
  std::string code, among, country;
  double max_km = 0, foreign_max_km = 0;
  std::int64_t limit = 5;
  std::string texts[4];  // number options as given

  auto* find = app.add_subcommand("find", "The airport serving a coordinate");
  add_point(find, point);
  find->callback(
      [&] { status = print(Answer(gx_find(point.lat.degrees(), point.lng.degrees()))); });

  auto* country_at = app.add_subcommand("country", "The country containing a coordinate, or null");
  add_point(country_at, point);
  country_at->callback(
      [&] { status = print(Answer(gx_country_at(point.lat.degrees(), point.lng.degrees()))); });

  auto* airport = app.add_subcommand("airport", "The airport with an IATA code, or null");
  airport->add_option("CODE", code, "IATA code, any case")->required();
  airport->callback([&] { status = print(Answer(gx_airport(code.c_str()))); });

  auto* nearest =
      app.add_subcommand("nearest", "Members of an airport set nearest to a coordinate");
  // A code holding 0x1F would be split in two on its way to the library.
  const auto among_check = check([](const std::string& list) {
    for (const auto listed : split_list(list))
      if (auto refusal = gantrix::arguments::listed_code_refusal(listed); !refusal.empty()) return refusal;
    return std::string();
  });
  nearest->add_option("--among", among, "Comma-separated IATA codes of the set")
      ->required()
      ->check(among_check);
  auto* country_opt =
      nearest->add_option("--country", country, "Only members in this country (ISO code)")
          ->check(check(gantrix::arguments::country_refusal));
  auto* max_km_opt = add_number(nearest, "--max-km", texts[0], "Only members at most this far away",
                                "KM", [&](const std::string& t) {
                                  return distance_refusal("max_km", t, max_km);
                                });
  add_number(nearest, "--limit", texts[1], "At most this many members (default 5)", "N",
             [&](const std::string& t) {
               const std::string refusal = whole_refusal("limit", t, INT64_MAX, limit);
               return refusal.empty() ? gantrix::arguments::limit_refusal(limit) : refusal;
             });
  add_point(nearest, point);
  nearest->callback([&] {
    SetHandle set(among);
    warn_missing(set);
    status = print(Answer(gx_set_nearest(set.handle(), point.lat.degrees(), point.lng.degrees(),
                                         country.c_str(), country_opt->count() > 0 ? 1 : 0, max_km,
                                         max_km_opt->count() > 0 ? 1 : 0, limit)));
  });

  auto* resolve =
      app.add_subcommand("resolve", "The member of an airport set that serves a coordinate");
  resolve->add_option("--among", among, "Comma-separated IATA codes of the set")
      ->required()
      ->check(among_check);
  auto* foreign_opt = add_number(resolve, "--foreign-max-km", texts[2],
                                 "How far a member in another country may be", "KM",
                                 [&](const std::string& t) {
                                   return distance_refusal("foreign_max_km", t, foreign_max_km);
                                 });
  add_point(resolve, point);
  resolve->callback([&] {
    SetHandle set(among);
    warn_missing(set);
    status = print(Answer(gx_set_resolve(set.handle(), point.lat.degrees(), point.lng.degrees(),
                                         foreign_max_km, foreign_opt->count() > 0 ? 1 : 0)));
  });

  GantrixCli::BatchOptions options;
  options.jobs = GantrixCli::default_jobs();
  auto* batch = app.add_subcommand("batch", "One lookup per CSV row; JSON lines or CSV out");
  std::string op = "find", format = "json", delimiter;
  std::string fields;
  batch->add_option("--op", op, "Lookup for each row")
      ->check(CLI::IsMember({"find", "country"}))
      ->capture_default_str();
  batch->add_option("--format", format, "Output: JSON lines, or the rows with answer columns")
      ->check(CLI::IsMember({"json", "csv", "tsv"}))
      ->capture_default_str();
  batch->add_option("--lat", options.lat, "Latitude column: header name or number from 1")
      ->type_name("COLUMN");
  batch->add_option("--lng", options.lng, "Longitude column: header name or number from 1")
      ->type_name("COLUMN");
  auto* delimiter_opt =
      batch->add_option("--delimiter", delimiter, "Field delimiter, one byte (default: comma)")
          ->type_name("CHAR")
          ->check(check([](const std::string& d) {
            return d.size() == 1 && d != "\"" && d != "\n" && d != "\r"
                       ? ""
                       : "the delimiter is one byte, not a quote or a line break";
          }));
  bool tsv = false;
  batch->add_flag("--tsv", tsv, "Tab-separated input (also for a .tsv file)")->excludes(delimiter_opt);
  batch->add_option("--fields", fields, "Airport record columns added to CSV output, comma-separated")
      ->type_name("NAMES")
      ->check(check([](const std::string& names) {
        for (const auto name : split_list(names))
          if (GantrixCli::record_field(name) < 0)
            return "no airport field \"" + std::string(name) + "\" (" + field_names() + ")";
        return std::string();
      }));
  batch->add_flag("-q,--quiet", options.quiet, "No progress bar, no summary");
  std::int64_t jobs = options.jobs;
  add_number(batch, "-j,--jobs", texts[3],
             "Threads answering rows, 1 to 1024 (default: the number of cores, at most " +
                 std::to_string(GantrixCli::kDefaultJobsCap) + ")",
             "N", [&](const std::string& t) {
               const std::string refusal = whole_refusal("jobs", t, 1024, jobs);
               return refusal.empty() && jobs < 1 ? "jobs out of range" : refusal;
             });
  batch->add_option("FILE", options.path, "CSV file, or - for standard input (the default)");
  batch->footer(kBatchHelp);
  batch->callback([&] {
    options.op = op == "country" ? GantrixCli::BatchOp::country : GantrixCli::BatchOp::find;
    options.format = format == "csv"   ? GantrixCli::Format::csv
                     : format == "tsv" ? GantrixCli::Format::tsv
                                       : GantrixCli::Format::json;
    if (tsv) options.delimiter = '\t';
    if (!delimiter.empty()) options.delimiter = delimiter[0];
    if (!fields.empty())
      for (const auto name : split_list(fields)) options.fields |= 1u << GantrixCli::record_field(name);
    if (options.fields != 0 && (options.format == GantrixCli::Format::json ||
                                options.op == GantrixCli::BatchOp::country))
      throw CLI::ValidationError("--fields", "the airport's fields are columns of CSV output of find");
    options.jobs = static_cast<unsigned>(jobs);
    status = GantrixCli::run_batch(options);
  });

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {  // --help, --version
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  } catch (const std::runtime_error& e) {
    std::fprintf(stderr, "gantrix: %s\n", e.what());
    return 1;
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::perror("gantrix: writing the answer");
    return 1;
  }
  return status;
}
