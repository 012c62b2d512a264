#include "api/guarded_call.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

#include "core/error.h"
#include "tests/support/take.h"

namespace Gantrix {
namespace {

using test::take;

// What gx_error holds after op failed as an exported call.
template <class Op>
std::string recorded(Op op) {
  EXPECT_EQ(guarded_call(op), nullptr);
  return gx_error();
}

TEST(GuardedCall, RecordsTheMessageElseTheClassName) {
  const std::string long_text = std::string(511, 'a') + std::string(89, 'b');
  const std::pair<std::string, std::string> cases[] = {
      {recorded([&]() -> ResultText { throw Error(long_text); }), std::string(511, 'a')},
      {recorded([]() -> ResultText { throw Error(""); }), "Gantrix::Error"},
      {recorded([]() -> ResultText { throw std::out_of_range(""); }), "std::out_of_range"},
      {recorded([]() -> ResultText { throw std::out_of_range("index 3"); }), "index 3"},
      {recorded([]() -> ResultText { return std::optional<std::string>().value(); }),
       std::bad_optional_access().what()},
      {recorded([]() -> ResultText { throw 42; }), "int"},
  };
  for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
}

TEST(GuardedCall, SuccessAfterFailureKeepsTheOldMessage) {
  EXPECT_EQ(take(gx_set_size(12345)), "<null: no such AirportSet: 12345>");
  EXPECT_EQ(take(gx_set_free(12345)), "null");
  EXPECT_EQ(take(guarded_call([] { return ResultText("ok"); })), "ok");
  EXPECT_STREQ(gx_error(), "no such AirportSet: 12345");
}

}  // namespace
}  // namespace Gantrix
