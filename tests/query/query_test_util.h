// Reading query results in tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "api/gantrix.h"
#include "tests/support/test_support.h"

namespace Gantrix::test {

// Values of every member called name, in order: strings without their quotes (the tests
// never need escapes), other values as written.
inline std::vector<std::string> members(const std::string& json, const std::string& name) {
  std::vector<std::string> out;
  const std::string key = "\"" + name + "\":";
  for (size_t p = json.find(key); p != std::string::npos; p = json.find(key, p + 1)) {
    const size_t v = p + key.size(), str = json[v] == '"' ? 1 : 0;
    const size_t end = str ? json.find('"', v + 1) : json.find_first_of(",}]", v);
    out.push_back(json.substr(v + str, end - v - str));
  }
  return out;
}

inline std::string member(const std::string& json, const std::string& name) {
  const auto all = members(json, name);
  return all.empty() ? "<absent>" : all[0];
}

// The message of a call that must fail, or what it returned instead. Another failure runs
// first, so a message left over from an earlier call cannot pass for this one's.
template <class Call>
std::string failure(Call call) {
  take(gx_set_size(INT64_MIN));
  const std::string got = take(call());
  return got == "<null>" ? gx_error() : "returned " + got;
}

}  // namespace Gantrix::test
