#include "statslog/logproc/line_reader.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tallowmere::logproc {

LineReader::LineReader(ReadFunction read, size_t blockSize, size_t maxLineLength)
    : read_(std::move(read)), maxLineLength_(std::max<size_t>(maxLineLength, 1)) {
  buffer_.resize(std::max<size_t>(blockSize, 16));
}

void LineReader::Produce(size_t end, LogLine& line) {
  const char* data = buffer_.data();
  line.raw = std::string_view(data + begin_, end - begin_);
  std::string_view text = line.raw;
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  line.text = text;
  begin_ = scan_ = end;
}

bool LineReader::Next(LogLine& line) {
  while (true) {
    if (scan_ < end_) {
      const void* found = std::memchr(buffer_.data() + scan_, '\n', end_ - scan_);
      if (found != nullptr) {
        const size_t lineEnd = static_cast<size_t>(static_cast<const char*>(found) - buffer_.data()) + 1;
        if (skipping_) {
          skipping_ = false;
          begin_ = scan_ = lineEnd;
          continue;
        }
        Produce(lineEnd, line);
        return true;
      }
      scan_ = end_;
    }
    if (eof_) {
      if (begin_ < end_ && !skipping_) {
        Produce(end_, line);
        return true;
      }
      begin_ = scan_ = end_;
      return false;
    }
    if (!Refill()) return false;
  }
}

// Makes room after the current partial line and reads one more block.
bool LineReader::Refill() {
  if (skipping_) begin_ = end_;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    scan_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) {
    if (buffer_.size() < maxLineLength_) {
      buffer_.resize(std::min(buffer_.size() * 2, maxLineLength_));
    } else {
      // One line fills the whole buffer at its limit: drop it up to its end.
      skipping_ = true;
      ++skippedLongLines_;
      begin_ = scan_ = end_ = 0;
    }
  }
  const long n = read_(buffer_.data() + end_, buffer_.size() - end_);
  if (n < 0) {
    error_ = true;
    eof_ = true;
    return false;
  }
  if (n == 0) {
    eof_ = true;
    return true;
  }
  bytesRead_ += static_cast<uint64_t>(n);
  char* first = buffer_.data() + end_;
  char* last = first + n;
  if (std::memchr(first, '\0', static_cast<size_t>(n)) != nullptr) last = std::remove(first, last, '\0');
  end_ += static_cast<size_t>(last - first);
  return true;
}

}  // namespace tallowmere::logproc
