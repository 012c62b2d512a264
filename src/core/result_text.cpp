#include "core/result_text.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace Gantrix {

ResultText::ResultText(ResultText&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

ResultText& ResultText::operator=(ResultText&& other) noexcept {
  if (this != &other) {
    std::free(data_);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

ResultText::~ResultText() { std::free(data_); }

char* ResultText::room(size_t extra) {
  if (extra >= capacity_ - size_) {
    const size_t want = size_ + extra + 1;
    void* grown = std::realloc(data_, want);
    if (grown == nullptr) throw std::bad_alloc();
    data_ = static_cast<char*>(grown);
    capacity_ = want;
  }
  return data_ + size_;
}

void ResultText::assign(std::string_view text) {
  size_ = 0;
  append(text);
}

char* ResultText::release() noexcept {
  if (data_ == nullptr) {
    data_ = static_cast<char*>(std::malloc(1));
    if (data_ == nullptr) return nullptr;
  }
  data_[size_] = '\0';
  char* block = data_;
  data_ = nullptr;
  size_ = capacity_ = 0;
  return block;
}

}  // namespace Gantrix
