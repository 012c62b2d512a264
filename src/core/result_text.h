// The one result type of every operation: a text kept in a block from the C allocator, so an
// exported call hands the block itself to the caller instead of copying the text again.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace Gantrix {

class ResultText {
 public:
  ResultText() = default;
  // Texts convert implicitly, so an operation can return any of them.
  ResultText(std::string_view text) { assign(text); }    // NOLINT
  ResultText(const char* text) { assign(text); }         // NOLINT
  ResultText(const std::string& text) { assign(text); }  // NOLINT
  ResultText& operator=(std::string_view text) {
    assign(text);
    return *this;
  }
  ResultText(ResultText&& other) noexcept;
  ResultText& operator=(ResultText&& other) noexcept;
  ResultText(const ResultText&) = delete;
  ResultText& operator=(const ResultText&) = delete;
  ~ResultText();

  // Room for `extra` more bytes after the text; returns where they go. Writers then mark the
  // new end with commit. Throws std::bad_alloc when the block cannot grow.
  char* room(size_t extra);
  // The text now ends at `end`, within the room last handed out.
  void commit(const char* end) { size_ = static_cast<size_t>(end - data_); }
  void append(std::string_view text) {
    char* w = room(text.size());
    if (!text.empty()) std::memcpy(w, text.data(), text.size());
    commit(w + text.size());
  }
  void push_back(char c) {
    char* w = room(1);
    *w = c;
    commit(w + 1);
  }

  [[nodiscard]] std::string_view view() const { return {data_ == nullptr ? "" : data_, size_}; }
  friend bool operator==(const ResultText& a, std::string_view b) { return a.view() == b; }

  // Hands over the block with the text and its terminating NUL (null only when a block for
  // an empty text cannot be had); the text is empty afterwards.
  char* release() noexcept;

 private:
  void assign(std::string_view text);

  char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;  // bytes in the block, the NUL's included
};

}  // namespace Gantrix
