// One CSV line split into fields, with RFC 4180 quoting inside the line ("a,""b""" reads
// a,"b"; a quoted field may not span lines).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace GantrixCli {

class CsvRow {
 public:
  // Splits line; false on an unterminated quote (the fields then hold what was read). The
  // fields view the line or this row's own storage: valid until the next split, while the
  // line lives.
  bool split(std::string_view line);
  const std::vector<std::string_view>& fields() const { return fields_; }
  // The columns after the second, joined with commas; empty when there are none.
  std::string_view id();

 private:
  std::vector<std::string_view> fields_;
  std::string unquoted_, id_;  // kept between rows, so splitting allocates only while they grow
};

}  // namespace GantrixCli
