#include "prep/input_lines.h"

namespace tavrel::tools {

InputLines::InputLines(std::string_view text, const std::string& fileName)
    : name_(fileName), input_(std::make_unique<UnpackedInput>(text)) {}

InputLines::~InputLines() = default;

Result InputLines::open(const std::string& path) {
  Result opened = file_.openOrStandardInput(path);
  if (!opened.ok()) return opened;
  name_ = path;
  input_ = std::make_unique<UnpackedInput>(file_.fd());
  return Result();
}

bool InputLines::faulty() const {
  return !unpackError_.empty() || !packing_.empty() || check_.failed() || !longLine_.empty();
}

std::string InputLines::fault() const {
  if (!unpackError_.empty()) return unpackError_;
  if (!packing_.empty()) return packing_;
  if (check_.failed()) return check_.message(name_);
  return longLine_;
}

// Reads the next piece of the input and checks what can be checked of it.
// Returns 0, or -1 when the input is at fault.
int InputLines::fill() {
  if (start_ > 0) {
    text_.erase(0, start_);
    checked_ -= start_;
    searched_ -= start_;
    start_ = 0;
  }
  std::string reason;
  int status = input_->read(&text_, &reason);
  if (status < 0) {
    unpackError_ = reason.rfind("cannot read", 0) == 0
                       ? "cannot read " + (name_ == "-" ? std::string("standard input") : name_) +
                             reason.substr(reason.find(':'))
                       : name_ + ": " + reason;
  }
  if (status <= 0) end_ = true;
  if (!prefixDone_ && (text_.size() >= kPackingPrefix || end_)) {
    prefixDone_ = true;
    packing_ = packingAdvice(std::string_view(text_).substr(0, kPackingPrefix), name_);
  }
  if (prefixDone_) {
    checked_ += check_.take(std::string_view(text_).substr(checked_), end_);
  }
  return faulty() ? -1 : 0;
}

Result InputLines::settle(Result own) {
  // The rest is read only for the faults of its bytes; its text is dropped
  // as soon as it is checked.
  while (!end_ && unpackError_.empty()) {
    fill();
    text_.erase(0, checked_);
    start_ = searched_ = checked_ = 0;
  }
  return faulty() ? Result::failure(fault()) : own;
}

int InputLines::next(std::string_view* line, bool* terminated) {
  if (input_ == nullptr) return 0;
  std::size_t end;
  for (;;) {
    end = std::string_view(text_).substr(0, checked_).find('\n', searched_);
    if (end != std::string_view::npos) break;
    searched_ = checked_;
    if (checked_ - start_ > kMaxLineBytes) {
      longLine_ = name_ + ":" + std::to_string(lineNumber_ + 1) + ": a line longer than " +
                  std::to_string(kMaxLineBytes >> 20) + " MiB; is this a sequence file?";
    }
    if (!longLine_.empty() || (end_ && checked_ == text_.size())) break;
    if (fill() != 0) break;
  }
  if (faulty()) {
    failure_ = settle(Result());
    return -1;
  }
  if (end == std::string_view::npos && start_ == checked_) return 0;
  *terminated = end != std::string_view::npos;
  std::size_t stop = *terminated ? end : checked_;
  *line = std::string_view(text_).substr(start_, stop - start_);
  start_ = *terminated ? end + 1 : stop;
  searched_ = start_;
  ++lineNumber_;
  return 1;
}

}  // namespace tavrel::tools
