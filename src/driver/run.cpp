#include "driver/run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "driver/command_line.h"
#include "driver/output_watch.h"
#include "driver/progress_line.h"
#include "driver/text_sink.h"
#include "formats/miner_output.h"
#include "output/block_writer.h"
#include "output/signal_stop.h"
#include "output/write_fully.h"
#include "tavrel/tavrel.h"

namespace tavrel {

namespace {

long long readMillisecondClock() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void writeText(output::BlockWriter& out, std::string_view text) {
  out.write(text.data(), text.size());
}

// Reports a failed write on standard error and gives the failing status.
int cannotWrite(const CommandLineStreams& streams) {
  static const char message[] = "Error: cannot write output\n";
  if (streams.err >= 0) output::writeFully(streams.err, message, sizeof message - 1);
  return -1;
}

// Writes `text` on standard error, each line led by the program's name.
void tellPerson(const CommandLineStreams& streams, std::string_view text) {
  if (streams.err < 0) return;
  std::string lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    lines.append("Tavrel.exe: ").append(line).append("\n");
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  output::writeFully(streams.err, lines.data(), lines.size());
}

// Writes a failure's message on standard output, and on standard error too
// when asked. Returns the failing status.
int reportFailure(output::BlockWriter& out, const CommandLineStreams& streams,
                  std::string_view message) {
  // A defective database line is shown as it was read: the last line of a
  // file may have no line end, and the writer takes whole lines only.
  bool wholeLines = message.empty() || message.back() == '\n';
  if (wholeLines) writeText(out, message);
  if (!out.flush()) return cannotWrite(streams);
  if (!wholeLines && streams.out >= 0 &&
      !output::writeFully(streams.out, message.data(), message.size())) {
    return cannotWrite(streams);
  }
  if (streams.mirrorErrors && streams.err >= 0) {
    output::writeFully(streams.err, message.data(), message.size());
  }
  return -1;
}

// Says on standard error what count a min_sup share came to.
void tellShare(const CommandLine& line, const CommandLineStreams& streams, const RunInfo& info) {
  if (line.minSupShare.numerator <= 0) return;
  tellPerson(streams, "min_sup " + line.minSupText + " of " + std::to_string(info.stringsRead) +
                          " strings is " + std::to_string(info.minSup));
}

// The patterns as text, watched for an output that grows past what a
// person may expect.
class CommandLineSink : public TextSink {
 public:
  CommandLineSink(output::BlockWriter& out, const CommandLine& line,
                  const CommandLineStreams& streams)
      : TextSink(out),
        line_(line),
        streams_(streams),
        watch_(streams.out, streams.err, streams.outputWatch) {}

  bool begin(const RunInfo& info) override {
    tellShare(line_, streams_, info);
    watch_.start();
    return TextSink::begin(info);
  }
  bool take(const Pattern& pattern) override {
    bool more = TextSink::take(pattern);
    watch_.note(bytes());
    return more;
  }
  bool takeText(std::string_view text) override {
    bool more = TextSink::takeText(text);
    watch_.note(bytes());
    return more;
  }

 private:
  const CommandLine& line_;
  const CommandLineStreams& streams_;
  OutputWatch watch_;
};

// --count-only: counts the patterns and writes none.
class CountingSink : public PatternSink {
 public:
  CountingSink(const CommandLine& line, const CommandLineStreams& streams)
      : line_(line), streams_(streams) {}

  bool begin(const RunInfo& info) override {
    tellShare(line_, streams_, info);
    return true;
  }
  bool take(const Pattern& pattern) override {
    (void)pattern;
    ++counted_;
    return true;
  }
  std::int64_t counted() const { return counted_; }

 private:
  const CommandLine& line_;
  const CommandLineStreams& streams_;
  std::int64_t counted_ = 0;
};

// Refuses options that the run found out of range once it knew the
// database (an item of --items it does not have): the reason on standard
// error, the usage line, the failing status.
int refuseOptions(output::BlockWriter& out, const CommandLineStreams& streams,
                  const Status& status) {
  std::string_view message = status.message();
  if (!message.empty() && message.back() == '\n') message.remove_suffix(1);
  tellPerson(streams, message);
  writeText(out, kUsageLine);
  if (!out.flush()) return cannotWrite(streams);
  return -1;
}

// Ends the process as the stop signal would, once everything complete is
// written out. Returns only when no signal stopped the run.
void endIfSignalled(output::BlockWriter& out, const CommandLineStreams& streams) {
  if (!streams.stopOnSignals || output::stopSignal() == 0) return;
  out.flush();
  output::restoreStopHandlers();
  output::endProcessBySignal(output::stopSignal());
}

// Ends a run that finished: the closing lines with the number of patterns
// `written`, and when the run stopped at --max-patterns (`capped`) the line
// that says so, on standard error too. Returns the exit status.
int writeClosingLines(output::BlockWriter& out, const CommandLineStreams& streams,
                      long long elapsed, std::int64_t written, bool capped) {
  writeText(out, formats::closingLines(elapsed, written));
  if (capped) writeText(out, formats::cappedLine(written));
  if (!out.flush()) return cannotWrite(streams);
  if (capped) {
    std::string note = formats::cappedLine(written);
    note[0] = 's';  // "Tavrel.exe: stopped after ..."
    tellPerson(streams, note);
  }
  return 0;
}

int runParsed(const CommandLine& line, const CommandLineStreams& streams,
              const MineFunction& mineWith) {
  output::BlockWriterOptions writing;
  writing.fd = streams.out;
  writing.lineFlush = line.lineFlush;
  output::BlockWriter out(writing);
  if (!line.valid || line.help) {
    if (!line.reason.empty()) tellPerson(streams, line.reason);
    writeText(out, line.valid ? kHelpText : kUsageLine);
    if (!out.flush()) return cannotWrite(streams);
    return line.valid ? 0 : -1;
  }
  MineOptions options;
  options.minSup = line.minSup;
  options.minSupShare = line.minSupShare;
  options.maxPatterns = line.maxPatterns;
  options.threads = line.threads;
  options.maximal = line.maximal;
  options.minEdges = line.minEdges;
  options.maxEdges = line.maxEdges;
  options.items = line.items;
  options.top = line.top;
  if (streams.stopOnSignals && output::installStopHandlers()) options.stop = &output::stopFlag();
  CommandLineSink textSink(out, line, streams);
  CountingSink countingSink(line, streams);
  PatternSink& sink = line.countOnly ? static_cast<PatternSink&>(countingSink) : textSink;
  RunProgress progress;
  ProgressLine progressLine(streams.err, progress, streams.errIsTerminal);
  if ((line.progress || streams.progressOnTerminal) && streams.err >= 0) {
    options.progress = &progress;
    if (!progressLine.start()) options.progress = nullptr;
  }
  long long start = readMillisecondClock();
  Status status = mineWith(StringSource::specFile(line.specPath), options, sink);
  long long elapsed = readMillisecondClock() - start;
  progressLine.stop();
  if (status.code() == Status::Code::kStopped) endIfSignalled(out, streams);
  if (streams.stopOnSignals) output::restoreStopHandlers();
  if (status.finished()) {
    std::int64_t written = line.countOnly ? countingSink.counted() : textSink.written();
    return writeClosingLines(out, streams, elapsed, written,
                             status.code() == Status::Code::kPatternLimit);
  }
  if (out.failed()) return cannotWrite(streams);
  if (textSink.outOfMemory()) return reportFailure(out, streams, "Error: out of memory\n");
  if (status.code() == Status::Code::kInvalidOptions) return refuseOptions(out, streams, status);
  int failed = reportFailure(out, streams, status.message());
  if (!out.failed() && !status.hint().empty()) tellPerson(streams, status.hint());
  return failed;
}

}  // namespace

int runCommandLine(int argc, const char* const* argv, const CommandLineStreams& streams,
                   const MineFunction& mineWith) {
  try {
    return runParsed(parseCommandLine(argc, argv), streams, mineWith);
  } catch (const std::bad_alloc&) {
    static const char message[] = "Error: out of memory\n";
    if (streams.mirrorErrors && streams.err >= 0) {
      output::writeFully(streams.err, message, sizeof message - 1);
    }
    if (streams.out < 0 || output::writeFully(streams.out, message, sizeof message - 1)) return -1;
    return cannotWrite(streams);
  }
}

bool errorsNeedMirroring(int out, int err) {
  struct stat outFile {};
  struct stat errFile {};
  if (fstat(err, &errFile) != 0) return false;  // no standard error to tell
  if (fstat(out, &outFile) != 0) return true;   // no standard output to read it in
  bool sameFile = outFile.st_dev == errFile.st_dev && outFile.st_ino == errFile.st_ino;
  return isatty(out) == 0 && !sameFile;
}

int runTavrel(int argc, const char* const* argv, const MineFunction& mineWith, int out) {
  CommandLineStreams streams;
  streams.out = out;
  streams.stopOnSignals = true;
  streams.mirrorErrors = errorsNeedMirroring(out, 2);
  streams.progressOnTerminal = isatty(out) == 0 && isatty(2) == 1;
  streams.errIsTerminal = isatty(2) == 1;
  return runCommandLine(argc, argv, streams, mineWith);
}

}  // namespace tavrel
