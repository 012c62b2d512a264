#include "csv.h"

#include <cstring>

namespace GantrixCli {

namespace {

// One byte through the rules.
inline Quoting step(Quoting state, char c, char delimiter) {
  switch (state) {
    case Quoting::field_start:
      if (c == '"') return Quoting::quoted;
      return c == delimiter ? Quoting::field_start : Quoting::unquoted;
    case Quoting::unquoted:
      return c == delimiter ? Quoting::field_start : Quoting::unquoted;
    case Quoting::quoted:
      return c == '"' ? Quoting::closing_quote : Quoting::quoted;
    case Quoting::closing_quote:  // the quote before closed the field, or this one doubles it
      if (c == '"') return Quoting::quoted;
      return c == delimiter ? Quoting::field_start : Quoting::unquoted;
  }
  return state;
}

}  // namespace

Quoting scan_quotes(Quoting state, std::string_view bytes, char delimiter) {
  for (const char c : bytes) state = step(state, c, delimiter);
  return state;
}

bool CsvFields::split(std::string_view record, char delimiter) {
  fields_.clear();
  if (record.find('"') == std::string_view::npos) {  // most records: views of the record itself
    for (;;) {
      const auto* at =
          static_cast<const char*>(std::memchr(record.data(), delimiter, record.size()));
      if (at == nullptr) {
        fields_.push_back(record);
        return true;
      }
      const auto length = static_cast<std::size_t>(at - record.data());
      fields_.push_back(record.substr(0, length));
      record.remove_prefix(length + 1);
    }
  }
  // Unquoting never lengthens a field, so with this room the views below never move.
  unquoted_.clear();
  unquoted_.reserve(record.size());
  std::size_t start = 0;
  Quoting state = Quoting::field_start;
  for (const char c : record) {
    const Quoting next = step(state, c, delimiter);
    if (next == Quoting::field_start) {
      fields_.emplace_back(unquoted_.data() + start, unquoted_.size() - start);
      start = unquoted_.size();
    } else if (next == Quoting::unquoted || (next == Quoting::quoted && state != Quoting::field_start)) {
      unquoted_ += c;  // text, or the second quote of a doubled pair
    }
    state = next;
  }
  fields_.emplace_back(unquoted_.data() + start, unquoted_.size() - start);
  return state != Quoting::quoted;
}

void append_csv_field(std::string& out, std::string_view text, char delimiter) {
  const char specials[] = {delimiter, '"', '\r', '\n'};
  if (text.find_first_of(std::string_view(specials, 4)) == std::string_view::npos) {
    out += text;
    return;
  }
  out += '"';
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace GantrixCli
