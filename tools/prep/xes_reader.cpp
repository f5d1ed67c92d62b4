#include "prep/xes_reader.h"

#include <libxml/xmlreader.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

namespace tavrel::tools {

namespace {

// The input's lines handed to libxml2 as one stream of bytes.
struct Feed {
  InputLines* input = nullptr;
  std::string_view pending;
  bool newline = false;
  std::string fault;     // the input's own error, when reading it failed
  long doctypeLine = 0;  // the line of a DOCTYPE, which stopped the input
};

constexpr const char* kDoctypeRefused =
    "a DOCTYPE, which an XES log has no use for: refused, its entities are not expanded";

// libxml2's read callback: up to `length` bytes of the input; -1 when the
// input's bytes are at fault.
int readFeed(void* context, char* buffer, int length) {
  auto* feed = static_cast<Feed*>(context);
  int written = 0;
  while (written < length) {
    if (feed->pending.empty()) {
      if (feed->newline) {
        buffer[written++] = '\n';
        feed->newline = false;
        continue;
      }
      int got = feed->input->next(&feed->pending, &feed->newline);
      if (got < 0) {
        feed->fault = std::string(feed->input->failure().message());
        return -1;
      }
      if (got == 0) break;
      // Refused before libxml2 sees it: it would expand the entities of the
      // internal subset in attribute values as it parses them.
      if (feed->pending.find("<!DOCTYPE") != std::string_view::npos) {
        feed->doctypeLine = feed->input->lineNumber();
        return -1;
      }
      continue;
    }
    std::size_t count = std::min(feed->pending.size(), static_cast<std::size_t>(length - written));
    std::memcpy(buffer + written, feed->pending.data(), count);
    feed->pending.remove_prefix(count);
    written += static_cast<int>(count);
  }
  return written;
}

int closeFeed(void*) { return 0; }

// The first error libxml2 reports, with its line.
struct ParseError {
  std::string message;
  long line = 0;
};

void keepFirstError(void* context, xmlErrorPtr error) {
  auto* first = static_cast<ParseError*>(context);
  if (error == nullptr || error->level < XML_ERR_ERROR || !first->message.empty()) return;
  std::string text = error->message != nullptr ? error->message : "not well-formed XML";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  first->message = text.empty() ? "not well-formed XML" : text;
  first->line = error->line;
}

struct Event {
  std::string activity;
  std::optional<long long> time;
};

struct Trace {
  std::string name;
  long line = 0;
  std::vector<Event> events;
};

// The value of the attribute `name` of the reader's element, or nullopt.
std::optional<std::string> attribute(xmlTextReaderPtr reader, const char* name) {
  xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
  if (value == nullptr) return std::nullopt;
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

// The line of the reader's current node, or the parser's line when the
// node has none.
long lineOf(xmlTextReaderPtr reader) {
  xmlNodePtr node = xmlTextReaderCurrentNode(reader);
  long line = node != nullptr ? xmlGetLineNo(node) : 0;
  return line > 0 ? line : xmlTextReaderGetParserLineNumber(reader);
}

// Walks the log's elements, building each trace and handing it to the set.
class XesWalk {
 public:
  XesWalk(xmlTextReaderPtr reader, SequenceSet* set) : reader_(reader), set_(set) {}

  // Takes in the reader's current node. Returns 0, or -1 with a reason.
  int node(std::string* reason) {
    int type = xmlTextReaderNodeType(reader_);
    line_ = lineOf(reader_);
    if (type == XML_READER_TYPE_DOCUMENT_TYPE || type == XML_READER_TYPE_ENTITY_REFERENCE) {
      *reason =
          "a DOCTYPE or entity reference, which an XES log has no use for: refused, "
          "its entities are not expanded";
      return -1;
    }
    if (type == XML_READER_TYPE_ELEMENT) return element(reason);
    if (type == XML_READER_TYPE_END_ELEMENT) return endElement(reason);
    return 0;
  }

  // The line that the last reason concerns.
  long line() const { return line_; }

 private:
  int element(std::string* reason) {
    std::string_view name = localName();
    int depth = xmlTextReaderDepth(reader_);
    bool empty = xmlTextReaderIsEmptyElement(reader_) == 1;
    if (depth == 0) {
      if (name == "log") return 0;
      *reason = "the root element is <" + std::string(name) + ">, not the <log> of an XES file";
      return -1;
    }
    if (depth == 1 && name == "trace") {
      trace_ = Trace{};
      trace_->line = lineOf(reader_);
      return empty ? endTrace(reason) : 0;
    }
    if (depth == 2 && trace_ && name == "event") {
      trace_->events.emplace_back();
      event_ = true;
      eventLine_ = line_;
      return empty ? endEvent(reason) : 0;
    }
    if (depth == 2 && trace_ && !event_) return traceAttribute();
    if (depth == 3 && event_) return eventAttribute(name, reason);
    return 0;
  }

  int endElement(std::string* reason) {
    int depth = xmlTextReaderDepth(reader_);
    std::string_view name = localName();
    if (depth == 2 && event_ && name == "event") return endEvent(reason);
    if (depth == 1 && trace_ && name == "trace") return endTrace(reason);
    return 0;
  }

  int traceAttribute() {
    if (attribute(reader_, "key") == "concept:name")
      trace_->name = attribute(reader_, "value").value_or("");
    return 0;
  }

  int eventAttribute(std::string_view name, std::string* reason) {
    std::optional<std::string> key = attribute(reader_, "key");
    Event& event = trace_->events.back();
    if (key == "concept:name") {
      event.activity = attribute(reader_, "value").value_or("");
    } else if (key == "time:timestamp" && name == "date") {
      std::string value = attribute(reader_, "value").value_or("");
      long long micros = 0;
      if (!parseXesTime(value, &micros)) {
        *reason = "the time:timestamp '" + value + "' is not an xs:dateTime";
        return -1;
      }
      event.time = micros;
    }
    return 0;
  }

  int endEvent(std::string* reason) {
    event_ = false;
    if (trace_->events.back().activity.empty()) {
      line_ = eventLine_;
      *reason = "an event without a concept:name (or with an empty one)";
      return -1;
    }
    return 0;
  }

  int endTrace(std::string* reason);

  std::string_view localName() {
    const xmlChar* name = xmlTextReaderConstLocalName(reader_);
    return name != nullptr ? reinterpret_cast<const char*>(name) : "";
  }

  xmlTextReaderPtr reader_;
  SequenceSet* set_;
  std::optional<Trace> trace_;
  bool event_ = false;
  long line_ = 0;
  long eventLine_ = 0;
};

// Orders the trace's events by time when they all have one and hands the
// trace to the set as one sequence.
int XesWalk::endTrace(std::string* reason) {
  std::vector<Event>& events = trace_->events;
  auto timed = std::count_if(events.begin(), events.end(),
                             [](const Event& e) { return e.time.has_value(); });
  if (timed != 0 && timed != static_cast<long>(events.size())) {
    *reason = "a trace with events with and without a time:timestamp";
    line_ = trace_->line;
    return -1;
  }
  if (timed != 0) {
    std::stable_sort(events.begin(), events.end(),
                     [](const Event& a, const Event& b) { return *a.time < *b.time; });
  }
  std::size_t before = sequenceCount(*set_);
  for (const Event& event : events) set_->keys.push_back(internLabel(set_, event.activity));
  closeSequence(set_, trace_->line);
  if (sequenceCount(*set_) != before) set_->caseNames.push_back(trace_->name);
  trace_.reset();
  return 0;
}

// Reads the whole document through `reader`; -1 with a reason and its line.
int walkDocument(xmlTextReaderPtr reader, SequenceSet* set, const ParseError& parseError,
                 std::string* reason, long* line) {
  XesWalk walk(reader, set);
  int status = 0;
  while ((status = xmlTextReaderRead(reader)) == 1) {
    if (walk.node(reason) != 0) {
      *line = walk.line();
      return -1;
    }
  }
  if (status != 0) {
    *reason = parseError.message.empty() ? "not well-formed XML" : parseError.message;
    *line = parseError.message.empty() ? lineOf(reader) : parseError.line;
    return -1;
  }
  return 0;
}

}  // namespace

Result readXesLog(InputLines* input, const std::string& fileName, SequenceSet* set) {
  Feed feed;
  feed.input = input;
  ParseError parseError;
  // No entity substitution, no DTD loading or validation, no network.
  xmlTextReaderPtr reader = xmlReaderForIO(
      readFeed, closeFeed, &feed, fileName.c_str(), nullptr,
      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES);
  if (reader == nullptr) return Result::failure(fileName + ": cannot start the XML reader");
  xmlTextReaderSetStructuredErrorHandler(reader, keepFirstError, &parseError);
  std::string reason;
  long line = 0;
  int status = walkDocument(reader, set, parseError, &reason, &line);
  xmlFreeTextReader(reader);
  if (!feed.fault.empty()) return Result::failure(feed.fault);
  if (feed.doctypeLine != 0) {
    return Result::failure(fileName + ":" + std::to_string(feed.doctypeLine) + ": " +
                           kDoctypeRefused);
  }
  if (status != 0) {
    return input->settle(Result::failure(fileName + ":" + std::to_string(line) + ": " + reason));
  }
  return Result();
}

}  // namespace tavrel::tools
