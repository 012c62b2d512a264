// gantrix: the library's lookups from a shell. Each subcommand prints the library's JSON
// answer on one line. Exit status: 0 answered (null included), 1 the library failed or
// answered with an error, 2 usage error.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "answer.h"
#include "batch.h"
#include "degrees.h"
#include "version.h"

namespace {

using GantrixCli::Answer;
using GantrixCli::SetHandle;

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

// A coordinate argument, in the number syntax of batch rows: "+48.85" and "48.85°" too.
struct Coordinate {
  std::string text;
  double degrees() const {
    double value = 0;
    GantrixCli::read_degrees(text, value);  // checked while parsing the arguments
    return value;
  }
};

CLI::Validator degrees_check(GantrixCli::Axis axis) {
  return CLI::Validator(
      [axis](std::string& text) {
        double ignored;
        return std::string(
            GantrixCli::degrees_error(GantrixCli::read_degrees(text, ignored), axis));
      },
      "");
}

struct Point {
  Coordinate lat, lng;
};

void add_point(CLI::App* command, Point& point) {
  command->add_option("LAT", point.lat.text, "Latitude in degrees, negative south")
      ->required()
      ->type_name("DEGREES")
      ->check(degrees_check(GantrixCli::Axis::latitude));
  command->add_option("LNG", point.lng.text, "Longitude in degrees, negative west")
      ->required()
      ->type_name("DEGREES")
      ->check(degrees_check(GantrixCli::Axis::longitude));
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Airport and country lookup with compiled-in data.", "gantrix"};
  app.set_version_flag("--version", std::string(GantrixCli::kVersionText));
  app.require_subcommand(1);
  app.footer(
      "Negative coordinates work as they are: gantrix find -33.86 151.21. A leading + and a\n"
      "trailing degree sign are accepted: gantrix find +48.85 2.35\u00b0");

  int status = 0;
  Point point;
  std::string code, among, country;
  double max_km = 0, foreign_max_km = 0;
  std::int64_t limit = 5;

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
  nearest->add_option("--among", among, "Comma-separated IATA codes of the set")->required();
  auto* country_opt =
      nearest->add_option("--country", country, "Only members in this country (ISO code)");
  auto* max_km_opt = nearest->add_option("--max-km", max_km, "Only members at most this far away");
  nearest->add_option("--limit", limit, "At most this many members")->capture_default_str();
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
  resolve->add_option("--among", among, "Comma-separated IATA codes of the set")->required();
  auto* foreign_opt = resolve->add_option("--foreign-max-km", foreign_max_km,
                                          "How far a member in another country may be");
  add_point(resolve, point);
  resolve->callback([&] {
    SetHandle set(among);
    warn_missing(set);
    status = print(Answer(gx_set_resolve(set.handle(), point.lat.degrees(), point.lng.degrees(),
                                         foreign_max_km, foreign_opt->count() > 0 ? 1 : 0)));
  });

  GantrixCli::BatchOptions batch_options;
  batch_options.jobs = GantrixCli::available_cores();
  auto* batch = app.add_subcommand("batch", "One lookup per CSV row of latitude,longitude[,id...]");
  std::string op = "find";
  batch->add_option("--op", op, "Lookup for each row")
      ->check(CLI::IsMember({"find", "country"}))
      ->capture_default_str();
  batch->add_flag("-q,--quiet", batch_options.quiet, "No progress bar");
  batch
      ->add_option("-j,--jobs", batch_options.jobs,
                   "Threads answering rows (default: the number of cores)")
      ->type_name("N")
      ->check(CLI::Range(1u, 1024u).description(""));
  batch->add_option("FILE", batch_options.path, "CSV file, or - for standard input (the default)");
  batch->footer(
      "Writes one JSON line per row, in order: {\"line\":N,\"id\":\"...\",\"result\":ANSWER},\n"
      "or {\"line\":N,\"id\":\"...\",\"error\":\"...\"} for a row that failed. N is the row's\n"
      "line in the input; \"id\" (the columns after the second) only when present. A first\n"
      "row with no number in its first two fields is a header (said on stderr); blank lines\n"
      "are skipped; a line over 1 MiB is answered \"line too long\". Numbers as in find:\n"
      "+48.85 and 48.85\u00b0 are read as 48.85. Exit status 1 if any row failed or the output\n"
      "could not be written (the batch stops there).");
  batch->callback([&] {
    batch_options.op = op == "country" ? GantrixCli::BatchOp::country : GantrixCli::BatchOp::find;
    status = GantrixCli::run_batch(batch_options);
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
