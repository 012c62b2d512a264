#include "csv_row.h"

namespace GantrixCli {

bool CsvRow::split(std::string_view line) {
  fields_.clear();
  if (line.find('"') == std::string_view::npos) {  // most rows: views of the line itself
    for (;;) {
      const auto comma = line.find(',');
      fields_.push_back(line.substr(0, comma));
      if (comma == std::string_view::npos) return true;
      line.remove_prefix(comma + 1);
    }
  }
  // Unquoting never lengthens a field, so with this room the views below never move.
  unquoted_.clear();
  unquoted_.reserve(line.size());
  std::size_t start = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c != '"') {
        unquoted_ += c;
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        unquoted_ += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields_.emplace_back(unquoted_.data() + start, unquoted_.size() - start);
      start = unquoted_.size();
    } else {
      unquoted_ += c;
    }
  }
  fields_.emplace_back(unquoted_.data() + start, unquoted_.size() - start);
  return !quoted;
}

std::string_view CsvRow::id() {
  if (fields_.size() < 3) return {};
  if (fields_.size() == 3) return fields_[2];
  id_.assign(fields_[2]);
  for (std::size_t i = 3; i < fields_.size(); ++i) id_.append(1, ',').append(fields_[i]);
  return id_;
}

}  // namespace GantrixCli
