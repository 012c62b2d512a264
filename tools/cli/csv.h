// The CSV rules, in one place: the reader follows them to find where a record ends, the
// answerer to split it into fields, and the writer quotes by them. A field that begins with a
// quote is quoted: delimiters and line breaks inside it are data, and a doubled quote is one
// quote; text after its closing quote is kept as it is ("ab"cd reads abcd). A quote anywhere
// else is an ordinary character (5'11" stays as written). These are RFC 4180's rules read
// leniently, as spreadsheet programs and Python's csv module read them.
//
// Written here rather than taken from a CSV library because the batch needs what such
// libraries do not give: where each record lies in the input (rows are written back byte for
// byte and numbered by line), and a way to pass over a record beyond the line limit without
// holding it. The rules are small; fuzz/csv_fuzz.cpp checks them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace GantrixCli {

enum class Quoting : std::uint8_t { field_start, unquoted, quoted, closing_quote };

// Where the rules stand after bytes, from state; bytes may hold no line break outside quotes
// (the caller ends the record there).
Quoting scan_quotes(Quoting state, std::string_view bytes, char delimiter);

class CsvFields {
 public:
  // Splits a record into fields; false when a quoted field is still open at its end (the
  // fields then hold what was read). The fields view the record or this object's own
  // storage: valid until the next split, while the record lives.
  bool split(std::string_view record, char delimiter);
  const std::vector<std::string_view>& fields() const { return fields_; }

 private:
  std::vector<std::string_view> fields_;
  std::string unquoted_;  // kept between records, so splitting allocates only while it grows
};

// Appends text as one field, quoted when it holds the delimiter, a quote or a line break.
void append_csv_field(std::string& out, std::string_view text, char delimiter);

}  // namespace GantrixCli
