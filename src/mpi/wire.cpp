#include "mpi/wire.h"

namespace tavrel::mpi {

std::vector<int> unitMessage(int kind, int id, const parallel::WorkUnit& unit) {
  std::vector<int> message{kind, id, unit.start, unit.end};
  message.insert(message.end(), unit.path.begin(), unit.path.end());
  return message;
}

bool readUnit(const std::vector<int>& message, int* id, parallel::WorkUnit* unit) {
  if (message.size() < 4) return false;
  *id = message[1];
  unit->start = message[2];
  unit->end = message[3];
  unit->path.assign(message.begin() + 4, message.end());
  return unit->start < unit->end;
}

std::vector<int> orderKey(const parallel::WorkUnit& unit) {
  std::vector<int> key = unit.path;
  key.push_back(unit.start);
  return key;
}

}  // namespace tavrel::mpi
