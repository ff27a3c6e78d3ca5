#pragma once
// A byte buffer with a gap at the place of the last change, so that a run
// of changes near one another moves only the bytes between them, not
// everything behind them (the edit region of TZkTextFile).

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace zk {

class TZkGapBuffer {
public:
  std::size_t Size() const { return bytes_.size() - (gapEnd_ - gapBegin_); }
  bool Empty() const { return Size() == 0; }

  void Clear() {
    bytes_.clear();
    gapBegin_ = gapEnd_ = 0;
  }

  // Replaces `length` bytes at `at` by `text`.
  void Replace(std::size_t at, std::size_t length, std::string_view text) {
    MoveGap(at);
    gapEnd_ += length;
    if (gapEnd_ - gapBegin_ < text.size()) Grow(text.size());
    std::copy(text.begin(), text.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(gapBegin_));
    gapBegin_ += text.size();
  }

  // Copies `count` bytes from `at` to `out`.
  void Read(std::size_t at, std::size_t count, char* out) const {
    if (at < gapBegin_) {
      const std::size_t n = std::min(count, gapBegin_ - at);
      std::copy_n(bytes_.data() + at, n, out);
      at += n;
      count -= n;
      out += n;
    }
    std::copy_n(bytes_.data() + (at + gapEnd_ - gapBegin_), count, out);
  }

  // The content with the gap closed, in two pieces.
  std::string_view Front() const { return std::string_view(bytes_).substr(0, gapBegin_); }
  std::string_view Back() const { return std::string_view(bytes_).substr(gapEnd_); }

private:
  void MoveGap(std::size_t at) {
    char* data = bytes_.data();
    if (at < gapBegin_) {
      const std::size_t n = gapBegin_ - at;
      std::copy_backward(data + at, data + gapBegin_, data + gapEnd_);
      gapBegin_ -= n;
      gapEnd_ -= n;
    } else if (at > gapBegin_) {
      const std::size_t n = at - gapBegin_;
      std::copy(data + gapEnd_, data + gapEnd_ + n, data + gapBegin_);
      gapBegin_ += n;
      gapEnd_ += n;
    }
  }

  void Grow(std::size_t needed) {
    const std::size_t back = bytes_.size() - gapEnd_;
    const std::size_t newGap = std::max<std::size_t>(needed, std::max<std::size_t>(4096, bytes_.size()));
    bytes_.resize(gapBegin_ + newGap + back);
    char* data = bytes_.data();
    std::copy_backward(data + gapEnd_, data + gapEnd_ + back, data + bytes_.size());
    gapEnd_ = gapBegin_ + newGap;
  }

  std::string bytes_;
  std::size_t gapBegin_ = 0;
  std::size_t gapEnd_ = 0;
};

}  // namespace zk
