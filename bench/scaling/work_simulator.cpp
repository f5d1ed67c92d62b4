#include "scaling/work_simulator.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <queue>
#include <vector>

#include "scaling/tree_layout.h"

namespace tavrel::scaling {

namespace {

struct Level {
  const CostNode* node = nullptr;  // the kept step whose frame the range is of
  std::uint64_t next = 0;
  std::uint64_t end = 0;
  double pathNs = 0;  // the own times of the steps from the top to this frame
};

using Key = std::vector<std::uint64_t>;

struct Item {
  Key prefix;  // the steps above the first level
  std::vector<Level> levels;
  double rebuildNs = 0;  // to redo before the first step (a piece from another node)
  Key key;               // where it stands in search order, set when it is queued

  Key position() const {
    Key at = prefix;
    for (std::size_t k = 0; k < levels.size(); ++k) {
      at.push_back(k + 1 < levels.size() ? levels[k].next - 1 : levels[k].next);
    }
    return at;
  }
  bool splittable() const {
    for (const Level& level : levels) {
      if (level.end - level.next >= 2) return true;
    }
    return false;
  }
};

using ItemPtr = std::unique_ptr<Item>;

enum class Action { kIdle, kStep, kBatch, kSplit, kRebuild, kWake };

struct Worker {
  int node = 0;
  ItemPtr item;
  Action action = Action::kIdle;
  double start = 0;
  double end = 0;
  std::uint64_t version = 0;           // events of older versions are stale
  const CostNode* stepNode = nullptr;  // kStep: the kept step being taken
  std::uint64_t batchSteps = 0;        // kBatch: steps of one run
  double perStepNs = 0;
  double perStepPatterns = 0;
  ItemPtr piece;     // kSplit: the piece being cut off
  int pieceTo = -1;  // kSplit: the node it goes to, -1 for this one
};

struct NodeState {
  std::vector<ItemPtr> queue;  // a heap, earliest in search order on top
  std::vector<int> idle;       // idle workers
  std::vector<int> askers;     // nodes whose requests wait for a split here
  std::vector<int> workers;
  int waking = 0;  // idle workers already woken for a piece
  bool splitWanted = false;
  bool asking = false;  // a request for work is on its way
};

enum class EventKind { kWorker, kRequest, kRefusal, kPiece };

struct Event {
  double time = 0;
  std::uint64_t order = 0;
  EventKind kind = EventKind::kWorker;
  int who = 0;   // worker, or receiving node
  int from = 0;  // kRequest: the asking node
  std::uint64_t version = 0;
  std::size_t piece = 0;  // kPiece: slot in the pieces in flight
  bool operator>(const Event& other) const {
    return time != other.time ? time > other.time : order > other.order;
  }
};

bool laterItem(const ItemPtr& a, const ItemPtr& b) { return b->key < a->key; }

class Simulation {
 public:
  Simulation(const CostTree& tree, const MachineModel& machine)
      : layout_(tree), machine_(machine), random_(machine.seed) {}
  Prediction run();

 private:
  void schedule(Event event) {
    event.order = order_++;
    events_.push(event);
  }
  void scheduleWorker(int w) {
    Worker& worker = workers_[w];
    schedule(Event{worker.end, 0, EventKind::kWorker, w, 0, ++worker.version, 0});
  }
  void busy(int w, Action action, double start, double duration);
  void workerDone(int w, double t);
  void proceed(int w, double t);
  void startStep(int w, double t);
  void startSplit(int w, double t);
  void finishItem(int w, double t);
  void startItem(int w, ItemPtr item, double t);
  bool takeQueued(int w, double t);
  void goIdle(int w, double t);
  void queuePiece(int node, ItemPtr piece, double t);
  void wantSplit(int node, double t);
  bool splittableAtNextStep(const Worker& worker, double t, double* boundary) const;
  bool nodeCanGive(int node, double t) const;
  void askForWork(int node, double t);
  void requestArrives(int node, int from, double t);
  void refuseWaiting(int node, double t);
  bool sendQueued(int node, int to, double t);
  void sendPatterns(int node, double patterns, double t);
  int pickVictim(int node);

  TreeLayout layout_;
  MachineModel machine_;
  std::uint64_t random_;
  std::vector<Worker> workers_;
  std::vector<NodeState> nodes_;
  std::priority_queue<Event, std::vector<Event>, std::greater<Event>> events_;
  std::vector<ItemPtr> inFlight_;
  std::uint64_t order_ = 0;
  long long liveItems_ = 0;
  double busyNs_ = 0;
  double linkFree_ = 0;
  double lastArrival_ = 0;
  Prediction result_;
};

// Worker w does `action` from `start` for `duration`; its end is an event.
void Simulation::busy(int w, Action action, double start, double duration) {
  Worker& worker = workers_[w];
  worker.action = action;
  worker.start = start;
  worker.end = start + duration;
  if (action != Action::kWake) busyNs_ += duration;  // waiting to wake is idle time
  scheduleWorker(w);
}

// A step boundary of worker w: split when wanted and possible, else take
// the next step (or the next piece when this one is done).
void Simulation::proceed(int w, double t) {
  Worker& worker = workers_[w];
  NodeState& node = nodes_[worker.node];
  if ((node.splitWanted || !node.askers.empty()) && worker.item->splittable()) {
    startSplit(w, t);
    return;
  }
  std::vector<Level>& levels = worker.item->levels;
  while (!levels.empty() && levels.back().next >= levels.back().end) levels.pop_back();
  if (levels.empty()) {
    finishItem(w, t);
    return;
  }
  startStep(w, t);
}

// Starts the deepest range's next candidate: a kept step alone, or as many
// steps of a run as the range holds, in one go.
void Simulation::startStep(int w, double t) {
  Worker& worker = workers_[w];
  Level& level = worker.item->levels.back();
  std::size_t k = layout_.childAt(*level.node, level.next);
  const CostNode& child = layout_.tree().nodes[k];
  if (child.kept) {
    ++level.next;
    worker.stepNode = &child;
    busy(w, Action::kStep, t, layout_.selfNs(child));
    return;
  }
  std::uint64_t runEnd = layout_.firstCandidate(k) + child.steps;
  worker.batchSteps = std::min(level.end, runEnd) - level.next;
  worker.perStepNs = static_cast<double>(child.time) / static_cast<double>(child.steps);
  worker.perStepPatterns = static_cast<double>(child.patterns) / static_cast<double>(child.steps);
  busy(w, Action::kBatch, t, worker.perStepNs * static_cast<double>(worker.batchSteps));
}

// Cuts off the upper half of the untaken part of the shallowest range that
// has two candidates or more; the piece is ready when the split's time is
// over.
void Simulation::startSplit(int w, double t) {
  Worker& worker = workers_[w];
  NodeState& node = nodes_[worker.node];
  Item& item = *worker.item;
  std::size_t chosen = 0;
  while (item.levels[chosen].end - item.levels[chosen].next < 2) ++chosen;
  Level& level = item.levels[chosen];
  std::uint64_t mid = level.next + (level.end - level.next) / 2;
  auto piece = std::make_unique<Item>();
  piece->prefix = item.prefix;
  for (std::size_t k = 0; k < chosen; ++k) piece->prefix.push_back(item.levels[k].next - 1);
  piece->levels.push_back(Level{level.node, mid, level.end, level.pathNs});
  level.end = mid;
  worker.pieceTo = -1;
  if (!node.askers.empty()) {
    worker.pieceTo = node.askers.front();
    node.askers.erase(node.askers.begin());
    piece->rebuildNs = level.pathNs;
    ++result_.remotePieces;
  } else {
    node.splitWanted = false;
  }
  worker.piece = std::move(piece);
  ++liveItems_;
  ++result_.splits;
  busy(w, Action::kSplit, t, machine_.splitNs + static_cast<double>(level.node->openTime));
}

// Worker w is done with its action at t: its effect on the piece, then
// the next action.
void Simulation::workerDone(int w, double t) {
  Worker& worker = workers_[w];
  switch (worker.action) {
    case Action::kStep: {
      const CostNode& step = *worker.stepNode;
      sendPatterns(worker.node, layout_.selfPatterns(step), t);
      std::uint64_t candidates = layout_.candidates(step);
      if (candidates > 0) {
        double path = worker.item->levels.back().pathNs + layout_.selfNs(step);
        worker.item->levels.push_back(Level{&step, 0, candidates, path});
      }
      break;
    }
    case Action::kBatch:
      worker.item->levels.back().next += worker.batchSteps;
      sendPatterns(worker.node, worker.perStepPatterns * static_cast<double>(worker.batchSteps), t);
      break;
    case Action::kSplit:
      if (worker.pieceTo < 0) {
        queuePiece(worker.node, std::move(worker.piece), t);
      } else {
        inFlight_.push_back(std::move(worker.piece));
        schedule(Event{t + machine_.latencyNs, 0, EventKind::kPiece, worker.pieceTo, 0, 0,
                       inFlight_.size() - 1});
      }
      break;
    case Action::kWake:
      --nodes_[worker.node].waking;
      if (!takeQueued(w, t)) goIdle(w, t);
      return;
    case Action::kRebuild:
    case Action::kIdle:
      break;
  }
  proceed(w, t);
}

// Worker w has finished its piece: it takes the next or idles; requests
// waiting here are refused once nothing here can be split.
void Simulation::finishItem(int w, double t) {
  Worker& worker = workers_[w];
  worker.item.reset();
  worker.action = Action::kIdle;
  --liveItems_;
  if (!takeQueued(w, t)) goIdle(w, t);
  int node = worker.node;
  if (!nodes_[node].askers.empty() && !nodeCanGive(node, t)) refuseWaiting(node, t);
}

// Worker w starts a piece, first redoing the path to its frame when it
// came from another node.
void Simulation::startItem(int w, ItemPtr item, double t) {
  Worker& worker = workers_[w];
  worker.item = std::move(item);
  if (worker.item->rebuildNs > 0) {
    double rebuild = worker.item->rebuildNs;
    worker.item->rebuildNs = 0;
    result_.rebuildNs += rebuild;
    busy(w, Action::kRebuild, t, rebuild);
    return;
  }
  proceed(w, t);
}

// Takes the earliest queued piece; keeps one piece ready by asking for
// another when the queue runs dry.
bool Simulation::takeQueued(int w, double t) {
  NodeState& node = nodes_[workers_[w].node];
  if (node.queue.empty()) return false;
  std::pop_heap(node.queue.begin(), node.queue.end(), laterItem);
  ItemPtr item = std::move(node.queue.back());
  node.queue.pop_back();
  if (node.queue.empty()) wantSplit(workers_[w].node, t);
  startItem(w, std::move(item), t);
  return true;
}

// Worker w has nothing to do: a piece is wanted, and a node with all of
// its workers idle asks another node.
void Simulation::goIdle(int w, double t) {
  Worker& worker = workers_[w];
  worker.action = Action::kIdle;
  NodeState& node = nodes_[worker.node];
  node.idle.push_back(w);
  wantSplit(worker.node, t);
  if (static_cast<int>(node.idle.size()) == machine_.coresPerNode && node.queue.empty()) {
    askForWork(worker.node, t);
  }
}

// Queues a piece on node n and wakes one idle worker for it; another
// piece is wanted while more workers idle than pieces wait.
void Simulation::queuePiece(int n, ItemPtr piece, double t) {
  NodeState& node = nodes_[n];
  piece->key = piece->position();
  node.queue.push_back(std::move(piece));
  std::push_heap(node.queue.begin(), node.queue.end(), laterItem);
  int idle = static_cast<int>(node.idle.size()) + node.waking;
  if (idle > static_cast<int>(node.queue.size())) wantSplit(n, t);
  if (!node.idle.empty()) {
    int w = node.idle.back();
    node.idle.pop_back();
    ++node.waking;
    busy(w, Action::kWake, t, machine_.wakeNs);
  }
}

// The flag that asks for a piece goes up: every worker of the node that
// could split at the end of its next step stops its run of steps there.
void Simulation::wantSplit(int n, double t) {
  NodeState& node = nodes_[n];
  node.splitWanted = true;
  for (int w : node.workers) {
    double boundary = 0;
    Worker& worker = workers_[w];
    if (worker.action != Action::kBatch || worker.item == nullptr || worker.perStepNs <= 0 ||
        !splittableAtNextStep(worker, t, &boundary) || boundary >= worker.end) {
      continue;
    }
    std::uint64_t done =
        static_cast<std::uint64_t>(std::llround((boundary - worker.start) / worker.perStepNs));
    busyNs_ -= worker.end - boundary;
    worker.batchSteps = done;
    worker.end = boundary;
    scheduleWorker(w);
  }
}

// Whether the worker's piece can be split at its next step boundary after
// t, and when that is.
bool Simulation::splittableAtNextStep(const Worker& worker, double t, double* boundary) const {
  const Item& item = *worker.item;
  *boundary = worker.end;
  if (worker.action == Action::kBatch) {
    double elapsed = std::max(0.0, t - worker.start);
    double steps = static_cast<double>(worker.batchSteps);
    if (worker.perStepNs > 0) steps = std::min(steps, std::ceil(elapsed / worker.perStepNs));
    *boundary = worker.start + steps * worker.perStepNs;
    const Level& deepest = item.levels.back();
    if (deepest.end - deepest.next - static_cast<std::uint64_t>(steps) >= 2) return true;
    for (std::size_t k = 0; k + 1 < item.levels.size(); ++k) {
      if (item.levels[k].end - item.levels[k].next >= 2) return true;
    }
    return false;
  }
  if (worker.action == Action::kStep && layout_.candidates(*worker.stepNode) >= 2) return true;
  return item.splittable();
}

// Whether a worker of node n can split its piece at its next step.
bool Simulation::nodeCanGive(int n, double t) const {
  for (int w : nodes_[n].workers) {
    const Worker& worker = workers_[w];
    double boundary = 0;
    if (worker.item != nullptr && worker.action != Action::kIdle &&
        worker.action != Action::kWake && splittableAtNextStep(worker, t, &boundary)) {
      return true;
    }
  }
  return false;
}

// Node n asks a random other node for work (one request at a time, and
// only while work is left anywhere).
void Simulation::askForWork(int n, double t) {
  NodeState& node = nodes_[n];
  if (machine_.nodes < 2 || node.asking || liveItems_ == 0) return;
  node.asking = true;
  schedule(Event{t + machine_.latencyNs, 0, EventKind::kRequest, pickVictim(n), n, 0, 0});
}

// Sends another node the queued piece that comes last in search order,
// when one is spare (not promised to a worker being woken).
bool Simulation::sendQueued(int n, int to, double t) {
  NodeState& node = nodes_[n];
  if (node.queue.size() <= static_cast<std::size_t>(node.waking)) return false;
  auto latest =
      std::max_element(node.queue.begin(), node.queue.end(),
                       [](const ItemPtr& a, const ItemPtr& b) { return a->key < b->key; });
  ItemPtr piece = std::move(*latest);
  node.queue.erase(latest);
  std::make_heap(node.queue.begin(), node.queue.end(), laterItem);
  if (node.queue.empty()) wantSplit(n, t);
  piece->rebuildNs = piece->levels.front().pathNs;
  ++result_.remotePieces;
  inFlight_.push_back(std::move(piece));
  schedule(Event{t + machine_.latencyNs, 0, EventKind::kPiece, to, 0, 0, inFlight_.size() - 1});
  return true;
}

// A request for work from node `from`: a spare queued piece goes at once;
// else the next worker that can split gives half of a range; else no.
void Simulation::requestArrives(int n, int from, double t) {
  if (sendQueued(n, from, t)) return;
  if (nodeCanGive(n, t)) {
    nodes_[n].askers.push_back(from);
    wantSplit(n, t);
    return;
  }
  ++result_.refusals;
  schedule(Event{t + machine_.latencyNs, 0, EventKind::kRefusal, from, 0, 0, 0});
}

// Refuses every request waiting on node n.
void Simulation::refuseWaiting(int n, double t) {
  for (int from : nodes_[n].askers) {
    ++result_.refusals;
    schedule(Event{t + machine_.latencyNs, 0, EventKind::kRefusal, from, 0, 0, 0});
  }
  nodes_[n].askers.clear();
}

// Patterns found on a node other than 0 travel to node 0 over its one
// link, in the order they are found.
void Simulation::sendPatterns(int node, double patterns, double t) {
  if (node == 0 || patterns <= 0) return;
  double bytes = patterns * machine_.recordBytes;
  result_.remoteBytes += bytes;
  double transfer = machine_.bandwidth > 0 ? bytes / machine_.bandwidth * 1e9 : 0;
  linkFree_ = std::max(linkFree_, t) + transfer;
  lastArrival_ = linkFree_ + machine_.latencyNs;
}

// Another node, uniformly at random (splitmix64).
int Simulation::pickVictim(int node) {
  random_ += 0x9e3779b97f4a7c15ULL;
  std::uint64_t z = random_;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  z ^= z >> 31;
  int other = static_cast<int>(z % static_cast<std::uint64_t>(machine_.nodes - 1));
  return other >= node ? other + 1 : other;
}

// Runs the events until none is left; the root's piece starts on node 0
// when the set-up is done.
Prediction Simulation::run() {
  const CostTree& tree = layout_.tree();
  int cores = std::max(1, machine_.coresPerNode);
  machine_.coresPerNode = cores;
  machine_.nodes = std::max(1, machine_.nodes);
  // Requests and refusals at no cost would go round without time passing.
  if (machine_.nodes > 1) machine_.latencyNs = std::max(1.0, machine_.latencyNs);
  nodes_.resize(static_cast<std::size_t>(machine_.nodes));
  workers_.resize(static_cast<std::size_t>(machine_.nodes * cores));
  for (int w = 0; w < static_cast<int>(workers_.size()); ++w) {
    workers_[w].node = w / cores;
    nodes_[w / cores].workers.push_back(w);
  }
  double setup = setupOn(tree, cores);
  result_.computeNs = setup;
  auto root = std::make_unique<Item>();
  root->levels.push_back(Level{&tree.root, 0, layout_.candidates(tree.root), 0});
  root->key = root->position();
  liveItems_ = 1;
  for (int w = static_cast<int>(workers_.size()) - 1; w >= 1; --w) goIdle(w, setup);
  nodes_[0].queue.push_back(std::move(root));
  takeQueued(0, setup);
  while (!events_.empty()) {
    Event event = events_.top();
    events_.pop();
    switch (event.kind) {
      case EventKind::kWorker:
        if (event.version != workers_[event.who].version) break;
        if (workers_[event.who].action != Action::kWake) {
          result_.computeNs = std::max(result_.computeNs, event.time);
        }
        workerDone(event.who, event.time);
        break;
      case EventKind::kRequest:
        requestArrives(event.who, event.from, event.time);
        break;
      case EventKind::kRefusal:
        nodes_[event.who].asking = false;
        if (static_cast<int>(nodes_[event.who].idle.size()) == cores &&
            nodes_[event.who].queue.empty()) {
          askForWork(event.who, event.time);
        }
        break;
      case EventKind::kPiece:
        nodes_[event.who].asking = false;
        queuePiece(event.who, std::move(inFlight_[event.piece]), event.time);
        break;
    }
  }
  result_.totalNs = std::max(result_.computeNs, lastArrival_);
  result_.idleNs = static_cast<double>(workers_.size()) * (result_.computeNs - setup) - busyNs_;
  return result_;
}

}  // namespace

Prediction simulate(const CostTree& tree, const MachineModel& machine) {
  Simulation simulation(tree, machine);
  return simulation.run();
}

}  // namespace tavrel::scaling
