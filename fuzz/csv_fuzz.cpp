// The batch's CSV reading: bytes read back through the record reader, with small reads and a
// small line limit so that records cut by reads and records over the limit come up often,
// must give the records a plain one-pass reading of the same rules gives (line numbers, text,
// line end, too long), whatever the read size and chunk size. Each record then splits into
// fields that, written back with append_csv_field, split into the same fields.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "csv.h"
#include "record_reader.h"

namespace {

using namespace GantrixCli;

struct Expected {
  std::uint64_t line;
  std::string text;
  LineEnd end;
  bool too_long;
};

void check(bool ok) {
  if (!ok) std::abort();
}

// The rules, one byte at a time over the whole input.
std::vector<Expected> plain_reading(std::string_view in, char delimiter, std::size_t limit) {
  std::vector<Expected> rows;
  if (in.starts_with("\xEF\xBB\xBF")) in.remove_prefix(3);
  std::uint64_t line = 1;
  std::size_t pos = 0;
  while (pos < in.size()) {
    const std::size_t start = pos;
    const std::uint64_t first = line;
    Quoting state = Quoting::field_start;
    for (; pos < in.size() && !(in[pos] == '\n' && state != Quoting::quoted); ++pos) {
      if (in[pos] == '\n') ++line;
      state = scan_quotes(state, in.substr(pos, 1), delimiter);
    }
    std::string_view text = in.substr(start, pos - start);
    LineEnd end = LineEnd::none;
    if (pos < in.size()) {
      ++pos, ++line;
      end = LineEnd::lf;
      if (text.ends_with('\r')) text.remove_suffix(1), end = LineEnd::crlf;
    }
    const bool too_long = text.size() > limit;
    if (too_long || text.find_first_not_of(" \t") != std::string_view::npos)
      rows.push_back({first, too_long ? "" : std::string(text), end, too_long});
  }
  return rows;
}

void check_fields(std::string_view record, char delimiter) {
  CsvFields first, again;
  if (!first.split(record, delimiter)) return;
  std::string written;
  for (std::size_t i = 0; i < first.fields().size(); ++i) {
    if (i > 0) written += delimiter;
    append_csv_field(written, first.fields()[i], delimiter);
  }
  check(again.split(written, delimiter));
  check(again.fields() == first.fields());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const char delimiters[] = {',', '\t', ';', '|'};
  const char delimiter = delimiters[data[0] % 4];
  const std::size_t read_size = 3 + data[1] % 61, limit = data[2] % 80, max_rows = 1 + data[3] % 8;
  const std::string_view in(reinterpret_cast<const char*>(data + 4), size - 4);

  const int fd = memfd_create("csv_fuzz", 0);
  if (fd < 0) return 0;
  check(write(fd, in.data(), in.size()) == static_cast<ssize_t>(in.size()));
  lseek(fd, 0, SEEK_SET);
  RecordReader reader(fd, delimiter, read_size, limit);
  std::vector<Expected> got;
  Chunk chunk;
  while (reader.fill(chunk, max_rows)) {
    check(chunk.rows.size() <= max_rows);
    for (const ChunkRow& row : chunk.rows)
      got.push_back({row.line, std::string(chunk.row_text(row)), row.end, row.too_long});
  }
  close(fd);
  check(reader.error() == 0 && reader.byte_order_mark() == in.starts_with("\xEF\xBB\xBF"));

  const std::vector<Expected> expected = plain_reading(in, delimiter, limit);
  check(got.size() == expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    check(got[i].line == expected[i].line && got[i].text == expected[i].text);
    check(got[i].end == expected[i].end && got[i].too_long == expected[i].too_long);
    check_fields(got[i].text, delimiter);
  }
  return 0;
}
