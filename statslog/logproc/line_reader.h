// Splits a byte stream into lines: reads large blocks, finds line ends with
// memchr and hands out views into its buffer, so no line costs an
// allocation. LF, CR LF and a missing final line end are alike; NUL bytes are
// dropped wherever they stand (a file still being written can hold runs of
// them). A line longer than the length limit is skipped whole. Not
// thread-safe (one reader per stream). A read error ends the stream and sets
// error().
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace tallowmere::logproc {

struct LogLine {
  std::string_view text;  // without its line end
  std::string_view raw;   // as read, line end included
};

class LineReader {
 public:
  // Fills buffer with up to size bytes; returns the count, 0 at the end, −1 on error.
  using ReadFunction = std::function<long(char* buffer, size_t size)>;

  static constexpr size_t kDefaultBlockSize = size_t{1} << 20;
  static constexpr size_t kDefaultMaxLineLength = size_t{64} << 20;

  explicit LineReader(ReadFunction read, size_t blockSize = kDefaultBlockSize,
                      size_t maxLineLength = kDefaultMaxLineLength);

  // The next line; the views stay valid until the following call. False at
  // the end of the stream or after a read error.
  bool Next(LogLine& line);

  bool error() const { return error_; }
  uint64_t bytesRead() const { return bytesRead_; }
  uint64_t skippedLongLines() const { return skippedLongLines_; }

 private:
  void Produce(size_t end, LogLine& line);
  bool Refill();

  ReadFunction read_;
  size_t maxLineLength_;
  std::vector<char> buffer_;
  size_t begin_ = 0;  // start of the current line
  size_t scan_ = 0;   // where the search for the next line end resumes
  size_t end_ = 0;    // end of the data in buffer_
  bool eof_ = false;
  bool error_ = false;
  bool skipping_ = false;  // inside a line longer than the limit
  uint64_t bytesRead_ = 0;
  uint64_t skippedLongLines_ = 0;
};

}  // namespace tallowmere::logproc
