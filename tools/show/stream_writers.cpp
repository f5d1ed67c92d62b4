#include "show/stream_writers.h"

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

class JsonLinesWriter : public PatternWriter {
 public:
  explicit JsonLinesWriter(const ShowContext& context) : context_(context) {}
  Result add(const Pattern& pattern) override {
    putJsonRecord(context_.out, pattern, context_.table);
    return Result();
  }
  Result finish(long) override { return Result(); }

 private:
  ShowContext context_;
};

class CsvWriter : public PatternWriter {
 public:
  explicit CsvWriter(const ShowContext& context) : context_(context) { putCsvHeader(context_.out); }
  Result add(const Pattern& pattern) override {
    putCsvRecord(context_.out, pattern, context_.table);
    return Result();
  }
  Result finish(long) override { return Result(); }

 private:
  ShowContext context_;
};

}  // namespace

std::unique_ptr<PatternWriter> makeSummaryWriter(const ShowContext& context) {
  return std::make_unique<SummaryWriter>(context);
}

std::unique_ptr<PatternWriter> makeJsonLinesWriter(const ShowContext& context) {
  return std::make_unique<JsonLinesWriter>(context);
}

std::unique_ptr<PatternWriter> makeCsvWriter(const ShowContext& context) {
  return std::make_unique<CsvWriter>(context);
}

}  // namespace tavrel::tools
