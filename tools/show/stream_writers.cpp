#include "show/stream_writers.h"

#include <memory>
#include <vector>

#include "show/record_output.h"
#include "show/summary_output.h"

namespace tavrel::tools {

namespace {

class SummaryWriter : public PatternWriter {
 public:
  explicit SummaryWriter(const ShowContext& context) : context_(context) {}
  Result add(const Pattern& pattern) override {
    countPattern(&counts_, pattern);
    return Result();
  }
  Result finish(long total) override {
    sinkPut(context_.out, summaryText(counts_, total, context_.table));
    return Result();
  }

 private:
  ShowContext context_;
  SummaryCounts counts_;
};

// A writer of one record per pattern (`Put` writes it), with the
// pattern's strings when --strings asks for them: then the patterns are
// looked up a batch at a time, in their order.
template <typename Put>
class RecordWriter : public PatternWriter {
 public:
  RecordWriter(const ShowContext& context, Put put) : context_(context), put_(put) {
    if (context_.strings == nullptr) return;
    batch_ = std::make_unique<StringsBatch>(
        context_.strings, [this](const Pattern& pattern, const std::vector<int>& lines) {
          StringsOfPattern strings{context_.strings, &lines};
          put_(context_, pattern, &strings);
        });
  }
  Result add(const Pattern& pattern) override {
    if (batch_ != nullptr) return batch_->add(pattern);
    put_(context_, pattern, nullptr);
    return Result();
  }
  Result finish(long) override { return batch_ != nullptr ? batch_->flush() : Result(); }

 private:
  ShowContext context_;
  Put put_;
  std::unique_ptr<StringsBatch> batch_;
};

template <typename Put>
std::unique_ptr<PatternWriter> makeRecordWriter(const ShowContext& context, Put put) {
  return std::make_unique<RecordWriter<Put>>(context, put);
}

}  // namespace

std::unique_ptr<PatternWriter> makeSummaryWriter(const ShowContext& context) {
  return std::make_unique<SummaryWriter>(context);
}

std::unique_ptr<PatternWriter> makeJsonLinesWriter(const ShowContext& context) {
  return makeRecordWriter(
      context, [](const ShowContext& c, const Pattern& pattern, const StringsOfPattern* strings) {
        putJsonRecord(c.out, pattern, c.table, strings);
      });
}

std::unique_ptr<PatternWriter> makeCsvWriter(const ShowContext& context) {
  putCsvHeader(context.out, context.strings != nullptr);
  return makeRecordWriter(
      context, [](const ShowContext& c, const Pattern& pattern, const StringsOfPattern* strings) {
        putCsvRecord(c.out, pattern, c.table, strings);
      });
}

}  // namespace tavrel::tools
