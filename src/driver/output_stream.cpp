#include "driver/output_stream.h"

#include <cstring>

#include "base/write_fully.h"

namespace tavrel {

namespace {
constexpr std::size_t kBlock = 1 << 16;
}

char* OutputStream::reserve(std::size_t most) {
  if (!pending_.reserve(pending_.size() + most)) {
    flush();  // the room that is there may be enough once it is empty
    if (!pending_.reserve(most)) return nullptr;
  }
  return pending_.data() + pending_.size();
}

void OutputStream::commit(std::size_t used) {
  pending_.resize(pending_.size() + used);
  if (lineFlush_ || pending_.size() >= kBlock) flush();
}

void OutputStream::write(const char* data, std::size_t length) {
  if (!pending_.append(data, length)) {
    flush();
    if (!failed_ && fd_ >= 0 && !writeFully(fd_, data, length)) failed_ = true;
    return;
  }
  if (lineFlush_ || pending_.size() >= kBlock) flush();
}

bool OutputStream::flush() {
  if (!failed_ && fd_ >= 0 && !pending_.empty() &&
      !writeFully(fd_, pending_.data(), pending_.size())) {
    failed_ = true;
  }
  pending_.clear();
  return !failed_;
}

}  // namespace tavrel
