#include "api/call_frame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <stdexcept>

#include "api/error.h"
#include "tests/support/test_support.h"

namespace Gantrix {
namespace {

using test::take;

// The error buffer is process-wide: this case stays the first one declared, so that it also
// holds when the whole binary runs in one process.
TEST(CallFrame, ErrorIsEmptyBeforeAnyFailure) {
  gx_free(nullptr);
  EXPECT_STREQ(gx_error(), "");
}

// What gx_error holds after op failed as an exported call.
std::string recorded(Operation op) {
  CallFrame frame;
  EXPECT_EQ(run_exported(op, frame), nullptr);
  return gx_error();
}

const std::string kLong = std::string(511, 'a') + std::string(89, 'b');

TEST(CallFrame, RecordsTheMessageElseTheClassName) {
  EXPECT_EQ(recorded([](CallFrame&) { throw Error(kLong); }), std::string(511, 'a'));
  EXPECT_EQ(recorded([](CallFrame&) { throw Error(""); }), "Gantrix::Error");
  EXPECT_EQ(recorded([](CallFrame&) { throw std::out_of_range("index 3"); }), "index 3");
  EXPECT_EQ(recorded([](CallFrame& c) { c.result = std::optional<std::string>().value(); }),
            std::bad_optional_access().what());
  EXPECT_NE(recorded([](CallFrame&) { throw 42; }), "");
}

TEST(CallFrame, ProtectedCallReportsClassAndMessage) {
  CallFrame frame;
  std::string cls, msg = "?";
  EXPECT_EQ(gx_ext_init_try([](CallFrame&) { throw Error(""); }, frame, &cls, &msg), 1);
  EXPECT_EQ(cls + "|" + msg, "Gantrix::Error|");
  EXPECT_EQ(gx_ext_init_try([](CallFrame&) { throw std::out_of_range("at"); }, frame, &cls, &msg),
            1);
  EXPECT_EQ(cls + "|" + msg, "std::out_of_range|at");
  EXPECT_EQ(gx_ext_init_try([](CallFrame&) { throw 42; }, frame, nullptr, nullptr), 1);
  EXPECT_EQ(gx_ext_init_try([](CallFrame& c) { c.result = "ok"; }, frame, &cls, &msg), 0);
  EXPECT_EQ(frame.result, "ok");
}

TEST(CallFrame, SuccessAfterFailureKeepsTheOldMessage) {
  EXPECT_EQ(take(gx_set_size(12345)), "<null>");
  EXPECT_STREQ(gx_error(), "no such AirportSet: 12345");
  EXPECT_EQ(take(gx_set_free(12345)), "null");
  CallFrame frame;
  EXPECT_EQ(take(run_exported([](CallFrame& c) { c.result = "ok"; }, frame)), "ok");
  EXPECT_STREQ(gx_error(), "no such AirportSet: 12345");
}

// The block handed to the caller: an empty result is still a block, text written in two
// rounds of room survives the growth between them, and a moved-from text owns nothing.
TEST(CallFrame, ResultTextHandsOverItsBlock) {
  EXPECT_EQ(take(ResultText().release()), "");
  ResultText text = std::string_view("[");
  char* w = text.room(3);
  std::memcpy(w, "1,2", 3);
  text.commit(w + 3);
  w = text.room(2001);
  std::memset(w, '3', 2000);
  *(w + 2000) = ']';
  text.commit(w + 2001);
  ResultText moved = std::move(text);
  EXPECT_EQ(text.view(), "");
  EXPECT_EQ(take(moved.release()), "[1,2" + std::string(2000, '3') + "]");
  EXPECT_EQ(moved.view(), "");
}

}  // namespace
}  // namespace Gantrix
