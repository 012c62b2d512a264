#include "batch.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "answer.hpp"
#include "progress.hpp"

namespace gantrix_cli {

namespace {

// Splits one line into fields; quoted fields ("a,""b""") may not span lines. False on an
// unterminated quote.
bool split_csv(std::string_view line, std::vector<std::string> &fields) {
  fields.clear();
  fields.emplace_back();
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c != '"') {
        fields.back() += c;
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return !quoted;
}

// Length of the well-formed UTF-8 sequence starting at text[i], or 0.
std::size_t utf8_length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) {
    return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u;
  };
  const unsigned lead = byte(0);
  std::size_t length = 0;
  unsigned low = 0x80, high = 0xBF;  // the second byte's range excludes overlongs and surrogates
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k)
    if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
  return length;
}

// Appends text as a JSON string; bytes that are not UTF-8 become U+FFFD so every line stays JSON.
void append_json_string(std::string &out, std::string_view text) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t length = utf8_length(text, i);
      if (length == 0) {
        out += "\\ufffd";
        ++i;
      } else {
        out.append(text.substr(i, length));
        i += length;
      }
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
    ++i;
  }
  out += '"';
}

bool is_blank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

// A whole field, surrounding blanks aside, read as a decimal number.
bool parse_number(std::string_view field, double &value) {
  const auto first = field.find_first_not_of(" \t");
  if (first == std::string_view::npos) return false;
  field = field.substr(first, field.find_last_not_of(" \t") - first + 1);
  const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
  return ec == std::errc{} && end == field.data() + field.size();
}

// The header is the first row, when none of its first two fields is a number.
bool is_header(const std::vector<std::string> &fields) {
  double ignored;
  return !parse_number(fields[0], ignored) &&
         (fields.size() < 2 || !parse_number(fields[1], ignored));
}

// Input size for the progress bar, or 0 when none should be shown.
std::uint64_t progress_total(FILE *input, const BatchOptions &options) {
  struct stat info {};
  if (options.quiet || options.path == "-" || !isatty(STDERR_FILENO) || isatty(STDOUT_FILENO) ||
      fstat(fileno(input), &info) != 0 || !S_ISREG(info.st_mode))
    return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

class Batch {
 public:
  explicit Batch(BatchOp op) : op_(op) {}

  // Writes the line for one row; returns false when the row failed.
  bool row(std::uint64_t line_number, const std::vector<std::string> &fields, bool well_formed) {
    out_.assign("{\"line\":").append(std::to_string(line_number));
    if (fields.size() > 2) {
      id_ = fields[2];
      for (std::size_t i = 3; i < fields.size(); ++i) id_ += ',' + fields[i];
      out_ += ",\"id\":";
      append_json_string(out_, id_);
    }
    double lat = 0, lng = 0;
    if (!well_formed) return fail("unterminated quoted field");
    if (fields.size() < 2) return fail("expected latitude,longitude");
    if (!parse_number(fields[0], lat)) return fail("latitude is not a number");
    if (!parse_number(fields[1], lng)) return fail("longitude is not a number");

    Answer answer(op_ == BatchOp::find ? gx_find(lat, lng) : gx_country_at(lat, lng));
    if (!answer) return fail(gx_error());
    if (is_error_document(answer.get())) {
      // {"error":"..."} joins the line's own members: {"line":N,"error":"..."}.
      out_ += ',';
      out_ += answer.get() + 1;
      return emit(false);
    }
    out_ += ",\"result\":";
    out_ += answer.get();
    out_ += '}';
    return emit(true);
  }

 private:
  bool fail(std::string_view message) {
    out_ += ",\"error\":";
    append_json_string(out_, message);
    out_ += '}';
    return emit(false);
  }

  bool emit(bool ok) {
    out_ += '\n';
    std::fwrite(out_.data(), 1, out_.size(), stdout);
    return ok;
  }

  BatchOp op_;
  std::string out_, id_;  // reused, so memory stays flat however long the input
};

}  // namespace

int run_batch(const BatchOptions &options) {
  const bool from_stdin = options.path == "-";
  FILE *input = from_stdin ? stdin : std::fopen(options.path.c_str(), "rb");
  if (input == nullptr) {
    std::fprintf(stderr, "gantrix: cannot open %s: %s\n", options.path.c_str(),
                 std::strerror(errno));
    return 2;
  }
  Progress progress(progress_total(input, options));
  Batch batch(options.op);
  std::vector<std::string> fields;
  char *buffer = nullptr;
  std::size_t capacity = 0;
  std::uint64_t line_number = 0, rows = 0, bytes_read = 0;
  bool seen_row = false, failed = false;
  for (ssize_t length; (length = getline(&buffer, &capacity, input)) >= 0;) {
    ++line_number;
    bytes_read += static_cast<std::uint64_t>(length);
    std::string_view line(buffer, static_cast<std::size_t>(length));
    if (line.ends_with('\n')) line.remove_suffix(1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line_number == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);  // BOM
    if (is_blank(line)) continue;
    const bool well_formed = split_csv(line, fields);
    if (!seen_row) {
      seen_row = true;
      if (well_formed && is_header(fields)) continue;
    }
    failed |= !batch.row(line_number, fields, well_formed);
    progress.update(bytes_read, ++rows);
  }
  const bool read_error = std::ferror(input) != 0;
  std::free(buffer);
  if (!from_stdin) std::fclose(input);
  progress.finish(bytes_read, rows);
  if (read_error) {
    std::fprintf(stderr, "gantrix: error reading %s\n", options.path.c_str());
    return 2;
  }
  return failed ? 1 : 0;
}

}  // namespace gantrix_cli
