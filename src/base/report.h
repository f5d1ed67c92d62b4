// What a run has to say when something goes wrong: its messages in order,
// exactly as the command line writes them. The phases add to the run's
// report and return -1; the engine turns the report into a Status.
#pragma once

#include <string>
#include <string_view>

#include "tavrel/tavrel.h"

namespace tavrel {

class Report {
 public:
  // Adds one message line; the line end is added here.
  void line(std::string_view text);
  // Adds bytes as they are (the echo of a defective line, which carries its
  // own line end or none).
  void raw(std::string_view bytes);
  // Adds "Error: out of memory" (once) and returns -1, so that callers can
  // `return report.outOfMemory();`.
  int outOfMemory();
  // Adds one line of advice for a person, kept apart from the messages
  // (Status::hint()); dropped when memory runs out.
  void hint(std::string_view text);

  bool outOfMemoryReported() const { return outOfMemory_; }
  bool empty() const { return text_.empty() && !outOfMemory_; }
  // The status of a run that failed with these messages: out of memory when
  // that was reported, otherwise defective input.
  Status toStatus() const;

 private:
  std::string text_;
  std::string hint_;
  bool outOfMemory_ = false;
};

}  // namespace tavrel
