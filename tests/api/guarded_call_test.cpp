#include "api/guarded_call.h"

#include <gtest/gtest.h>

#include <cstring>
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
  EXPECT_EQ(take(gx_set_size(12345)), "<null>");
  EXPECT_STREQ(gx_error(), "no such AirportSet: 12345");
  EXPECT_EQ(take(gx_set_free(12345)), "null");
  EXPECT_EQ(take(guarded_call([] { return ResultText("ok"); })), "ok");
  EXPECT_STREQ(gx_error(), "no such AirportSet: 12345");
}

// The block handed to the caller: an empty result is still a block, text written in two
// rounds of room survives the growth between them, and a moved-from text owns nothing.
TEST(ResultText, HandsOverItsBlock) {
  EXPECT_EQ(take(ResultText().release()), "");
  ResultText text = std::string_view("[");
  char* w = text.room(3);
  std::memcpy(w, "1,2", 3);
  text.commit(w + 3);
  w = text.room(2001);
  std::memset(w, '3', 2000);
  w[2000] = ']';
  text.commit(w + 2001);
  ResultText moved = std::move(text);
  EXPECT_EQ(text.view(), "");
  EXPECT_EQ(take(moved.release()), "[1,2" + std::string(2000, '3') + "]");
}

}  // namespace
}  // namespace Gantrix
