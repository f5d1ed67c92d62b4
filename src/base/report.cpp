#include "base/report.h"

#include <new>

namespace tavrel {

namespace {
constexpr const char* kOutOfMemoryLine = "Error: out of memory\n";
constexpr std::string_view kOutOfMemory = kOutOfMemoryLine;
}  // namespace

void Report::line(std::string_view text) {
  raw(text);
  raw("\n");
}

void Report::raw(std::string_view bytes) {
  if (outOfMemory_) return;  // nothing more after that line
  try {
    text_.append(bytes);
  } catch (const std::bad_alloc&) {
    outOfMemory();
  }
}

void Report::hint(std::string_view text) {
  try {
    hint_.append(text);
    hint_.push_back('\n');
  } catch (const std::bad_alloc&) {
  }
}

int Report::outOfMemory() {
  if (!outOfMemory_) {
    outOfMemory_ = true;
    // The line follows the complete lines reported before; a message cut
    // short by the lack of memory is left out. toStatus() gives the line
    // in any case.
    std::size_t end = text_.rfind('\n');
    text_.resize(end == std::string::npos ? 0 : end + 1);
    try {
      text_.append(kOutOfMemory);
    } catch (const std::bad_alloc&) {
    }
  }
  return -1;
}

Status Report::toStatus() const {
  Status::Code code = outOfMemory_ ? Status::Code::kOutOfMemory : Status::Code::kInvalidInput;
  try {
    if (outOfMemory_ && text_.find(kOutOfMemory) == std::string::npos) {
      return Status(code, kOutOfMemoryLine);
    }
    Status status(code, text_);
    status.setHint(hint_);
    return status;
  } catch (const std::bad_alloc&) {
    return Status(Status::Code::kOutOfMemory, kOutOfMemoryLine);
  }
}

}  // namespace tavrel
