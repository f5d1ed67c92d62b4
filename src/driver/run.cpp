#include "driver/run.h"

#include <chrono>
#include <string>

#include "driver/command_line.h"
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

// Ends the process as the stop signal would, once everything complete is
// written out. Returns only when no signal stopped the run.
void endIfSignalled(output::BlockWriter& out, const CommandLineStreams& streams) {
  if (!streams.stopOnSignals || output::stopSignal() == 0) return;
  out.flush();
  output::restoreStopHandlers();
  output::endProcessBySignal(output::stopSignal());
}

int runParsed(const CommandLine& line, const CommandLineStreams& streams) {
  output::BlockWriterOptions writing;
  writing.fd = streams.out;
  writing.lineFlush = line.lineFlush;
  output::BlockWriter out(writing);
  if (!line.valid || line.help) {
    writeText(out, line.valid ? kHelpText : kUsageLine);
    if (!out.flush()) return cannotWrite(streams);
    return line.valid ? 0 : -1;
  }
  MineOptions options;
  options.minSup = line.minSup;
  options.maxPatterns = line.maxPatterns;
  options.threads = line.threads;
  if (streams.stopOnSignals && output::installStopHandlers()) options.stop = &output::stopFlag();
  TextSink sink(out);
  long long start = readMillisecondClock();
  Status status = mine(StringSource::specFile(line.specPath), options, sink);
  long long elapsed = readMillisecondClock() - start;
  if (status.code() == Status::Code::kStopped) endIfSignalled(out, streams);
  if (streams.stopOnSignals) output::restoreStopHandlers();
  if (status.finished()) {
    writeText(out, formats::closingLines(elapsed, sink.written()));
    if (!out.flush()) return cannotWrite(streams);
    if (status.code() == Status::Code::kPatternLimit && streams.err >= 0) {
      std::string note = "Tavrel.exe: stopped after " + std::to_string(sink.written()) +
                         " patterns, the limit set by --max-patterns\n";
      output::writeFully(streams.err, note.data(), note.size());
    }
    return 0;
  }
  if (out.failed()) return cannotWrite(streams);
  if (sink.outOfMemory()) {
    writeText(out, "Error: out of memory\n");
  } else {
    writeText(out, status.message());
  }
  if (!out.flush()) return cannotWrite(streams);
  return -1;
}

}  // namespace

int runCommandLine(int argc, const char* const* argv, const CommandLineStreams& streams) {
  try {
    return runParsed(parseCommandLine(argc, argv), streams);
  } catch (const std::bad_alloc&) {
    static const char message[] = "Error: out of memory\n";
    if (streams.out < 0 || output::writeFully(streams.out, message, sizeof message - 1)) return -1;
    return cannotWrite(streams);
  }
}

int runTavrel(int argc, const char* const* argv) {
  CommandLineStreams streams;
  streams.stopOnSignals = true;
  return runCommandLine(argc, argv, streams);
}

}  // namespace tavrel
