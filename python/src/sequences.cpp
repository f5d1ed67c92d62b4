#include "sequences.h"

#include <algorithm>
#include <climits>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace tavrel::python {

namespace {

// Labels read between two looks for a pending signal (Ctrl-C).
constexpr std::size_t kSignalInterval = std::size_t{1} << 16;

// Int labels below this are numbered through a table by value.
constexpr std::uint64_t kDirectValues = std::uint64_t{1} << 22;

// What all labels seen so far have in common: it decides their numbering.
enum class LabelKind { kNone, kInt, kStr, kMixed };

LabelKind combine(LabelKind seen, LabelKind next) {
  return seen == LabelKind::kNone || seen == next ? next : LabelKind::kMixed;
}

// Tells the int labels: Python's ints, but not bools, and the other
// numbers.Integral, as numpy's integers (not numpy's bool_, which is no
// Integral), taken as the int that __index__ gives. The answer for a type
// is kept, so that numbers.Integral is asked once per type.
class IntLabels {
 public:
  // The label as a Python int, or null.
  py::object asInt(PyObject* label) {
    if (PyLong_Check(label)) {
      return PyBool_Check(label) ? py::object() : py::reinterpret_borrow<py::object>(label);
    }
    if (!integral(Py_TYPE(label))) return py::object();
    auto number = py::reinterpret_steal<py::object>(PyNumber_Index(label));
    if (!number) PyErr_Clear();  // an Integral whose __index__ refuses: not an int then
    return number;
  }

  LabelKind kindOf(PyObject* label) {
    if (PyUnicode_Check(label)) return LabelKind::kStr;
    return asInt(label) ? LabelKind::kInt : LabelKind::kMixed;
  }

  // The value of an int label that fits in 64 bits.
  bool smallValue(PyObject* label, std::int64_t* value) {
    int overflow = 0;
    if (PyLong_CheckExact(label)) {
      *value = PyLong_AsLongLongAndOverflow(label, &overflow);
      return overflow == 0;
    }
    py::object number = asInt(label);
    if (!number) return false;
    *value = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
    return overflow == 0;
  }

 private:
  bool integral(PyTypeObject* type) {
    for (const auto& [known, answer] : types_) {
      if (known.ptr() == reinterpret_cast<PyObject*>(type)) return answer;
    }
    if (integral_.is_none()) integral_ = py::module_::import("numbers").attr("Integral");
    int answer = PyObject_IsSubclass(reinterpret_cast<PyObject*>(type), integral_.ptr());
    if (answer < 0) throw py::error_already_set();
    types_.emplace_back(py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(type)),
                        answer == 1);
    return answer == 1;
  }

  py::object integral_ = py::none();
  std::vector<std::pair<py::object, bool>> types_;
};

// Reads the sequences one at a time. While every label is an int that
// fits in 64 bits, labels are kept as values and numbered at the end by
// sorting them; at the first other label, the values seen so far move into
// a dictionary that numbers labels by first appearance.
class Encoder {
 public:
  void addSequence(PyObject* sequence, std::int64_t index) {
    if (PyList_CheckExact(sequence) || PyTuple_CheckExact(sequence)) {
      addLabels(sequence);
      return;
    }
    if (PyUnicode_Check(sequence) || PyBytes_Check(sequence)) {
      throw py::type_error("sequence " + std::to_string(index) + " is of type " +
                           Py_TYPE(sequence)->tp_name +
                           ", not a sequence of labels (give its labels as a list, e.g. "
                           "text.split())");
    }
    auto fast = py::reinterpret_steal<py::object>(PySequence_Fast(sequence, ""));
    if (!fast) {
      PyErr_Clear();
      throw py::type_error("sequence " + std::to_string(index) + " is of type " +
                           Py_TYPE(sequence)->tp_name + ", not an iterable of labels");
    }
    addLabels(fast.ptr());
  }

  // Makes room for about `count` sequences.
  void expect(std::size_t count) {
    ends_.reserve(count + 1);
    values_.reserve(2 * count);  // pages that stay unused cost nothing
  }

  EncodedStrings finish() {
    EncodedStrings out;
    if (byValue_ && direct_) {
      std::vector<std::int32_t> rank = numberDirectValues(out);
      keepFirstOccurrences(
          [&](std::size_t k) { return rank[static_cast<std::size_t>(values_[k])]; }, out);
    } else {
      std::vector<std::int32_t> numbers = byValue_ ? numberValues(out) : numberLabels(out);
      keepFirstOccurrences([&](std::size_t k) { return numbers[k]; }, out);
    }
    return out;
  }

 private:
  // Adds the labels of a list or tuple. A label's __hash__, __eq__ or
  // __index__ may change the list, even drop the label from it, so its size
  // and items are read anew for each label, and each label is held while it
  // is read.
  void addLabels(PyObject* sequence) {
    Py_ssize_t k = 0;
    for (; k < PySequence_Fast_GET_SIZE(sequence); ++k) {
      auto label = py::reinterpret_borrow<py::object>(PySequence_Fast_GET_ITEM(sequence, k));
      addLabel(label.ptr());
    }
    ends_.push_back(byValue_ ? values_.size() : ids_.size());
    sinceSignalCheck_ += static_cast<std::size_t>(k) + 1;
    if (sinceSignalCheck_ >= kSignalInterval) {
      sinceSignalCheck_ = 0;
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
  }

  void addLabel(PyObject* label) {
    if (byValue_) {
      std::int64_t value = 0;
      if (ints_.smallValue(label, &value)) {
        values_.push_back(value);
        if (static_cast<std::uint64_t>(value) < kDirectValues) {
          auto at = static_cast<std::size_t>(value);
          if (at >= present_.size()) present_.resize(std::max(at + 1, 2 * present_.size()));
          present_[at] = 1;
        } else {
          direct_ = false;
        }
        return;
      }
      moveValuesToDictionary();
    }
    ids_.push_back(idOf(label));
  }

  // The number of `label` in the order of first appearance.
  std::int32_t idOf(PyObject* label) {
    PyObject* known = PyDict_GetItemWithError(ids_by_label_.ptr(), label);
    if (known != nullptr) return static_cast<std::int32_t>(PyLong_AsLong(known));
    if (PyErr_Occurred() != nullptr) throw py::error_already_set();  // unhashable
    if (labels_.size() >= static_cast<std::size_t>(INT_MAX)) {
      throw py::value_error("more than 2147483647 different labels");
    }
    auto id = static_cast<std::int32_t>(labels_.size());
    if (PyDict_SetItem(ids_by_label_.ptr(), label, py::int_(id).ptr()) != 0) {
      throw py::error_already_set();
    }
    labels_.append(label);
    kind_ = combine(kind_, ints_.kindOf(label));
    return id;
  }

  void moveValuesToDictionary() {
    byValue_ = false;
    ids_.reserve(values_.size());
    for (std::int64_t value : values_) ids_.push_back(idOf(py::int_(value).ptr()));
    values_ = {};
    present_ = {};
  }

  // Int labels in 0 .. kDirectValues - 1, all marked in `present_`:
  // numbered by their sorted order. Returns the number of each value.
  std::vector<std::int32_t> numberDirectValues(EncodedStrings& out) {
    std::vector<std::int32_t> rank(present_.size());
    std::int32_t next = 0;
    for (std::size_t value = 0; value < present_.size(); ++value) {
      if (present_[value] == 0) continue;
      rank[value] = next++;
      out.labels.append(py::int_(value));
    }
    out.labelsAreItemNumbers = true;
    return rank;
  }

  // Any int labels in 64 bits: numbered by their sorted order, found
  // through a table by value when the values lie close enough together,
  // otherwise by sorting them.
  std::vector<std::int32_t> numberValues(EncodedStrings& out) {
    std::vector<std::int32_t> numbers(values_.size());
    if (values_.empty()) return numbers;
    auto [low, high] = std::minmax_element(values_.begin(), values_.end());
    std::int64_t least = *low;
    std::int64_t most = *high;
    auto span = static_cast<std::uint64_t>(most) - static_cast<std::uint64_t>(least);
    auto offset = [least](std::int64_t value) {
      return static_cast<std::size_t>(static_cast<std::uint64_t>(value) -
                                      static_cast<std::uint64_t>(least));
    };
    std::vector<std::int64_t> sorted;
    if (span <= values_.size() + (std::uint64_t{1} << 20)) {
      std::vector<std::int32_t> rank(static_cast<std::size_t>(span) + 1, 0);
      for (std::int64_t value : values_) rank[offset(value)] = 1;
      for (std::size_t k = 0; k < rank.size(); ++k) {
        if (rank[k] == 0) continue;
        rank[k] = static_cast<std::int32_t>(sorted.size());
        sorted.push_back(least + static_cast<std::int64_t>(k));
      }
      for (std::size_t k = 0; k < values_.size(); ++k) numbers[k] = rank[offset(values_[k])];
    } else {
      sorted = values_;
      std::sort(sorted.begin(), sorted.end());
      sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
      if (sorted.size() > static_cast<std::size_t>(INT_MAX)) {
        throw py::value_error("more than 2147483647 different labels");
      }
      for (std::size_t k = 0; k < values_.size(); ++k) {
        numbers[k] = static_cast<std::int32_t>(
            std::lower_bound(sorted.begin(), sorted.end(), values_[k]) - sorted.begin());
      }
    }
    out.labelsAreItemNumbers = least >= 0 && most <= INT_MAX;
    for (std::int64_t value : sorted) out.labels.append(py::int_(value));
    return numbers;
  }

  // Labels in the dictionary: sorted when all are ints or all are strs,
  // otherwise in the order of first appearance.
  std::vector<std::int32_t> numberLabels(EncodedStrings& out) {
    if (kind_ != LabelKind::kInt && kind_ != LabelKind::kStr) {
      out.labels = labels_;
      return std::move(ids_);
    }
    auto sorted = py::reinterpret_steal<py::list>(PySequence_List(labels_.ptr()));
    if (!sorted || PyList_Sort(sorted.ptr()) != 0) throw py::error_already_set();
    std::vector<std::int32_t> rank(labels_.size());
    for (std::size_t r = 0; r < rank.size(); ++r) {
      PyObject* label = PyList_GET_ITEM(sorted.ptr(), static_cast<Py_ssize_t>(r));
      PyObject* id = PyDict_GetItemWithError(ids_by_label_.ptr(), label);
      if (id == nullptr) throw py::error_already_set();
      rank[static_cast<std::size_t>(PyLong_AsLong(id))] = static_cast<std::int32_t>(r);
    }
    for (std::int32_t& id : ids_) id = rank[static_cast<std::size_t>(id)];
    if (kind_ == LabelKind::kStr) {
      out.labels = sorted;
      return std::move(ids_);
    }
    // Ints beyond 64 bits, or numpy's integers among Python's: all as Python ints.
    out.labelsAreItemNumbers = true;
    for (py::handle label : sorted) {
      py::object number = ints_.asInt(label.ptr());
      if (!number) {  // an __index__ that answered before and refuses now
        out.labelsAreItemNumbers = false;
        out.labels.append(label);
        continue;
      }
      int overflow = 0;
      long long value = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
      if (overflow != 0 || value < 0 || value > INT_MAX) out.labelsAreItemNumbers = false;
      out.labels.append(number);
    }
    return std::move(ids_);
  }

  // Leaves out the later occurrences of an item in a string and the empty
  // strings, and hands the strings to `out`; itemAt(k) is the number of the
  // k-th label read.
  template <typename ItemAt>
  void keepFirstOccurrences(ItemAt itemAt, EncodedStrings& out) {
    std::vector<std::size_t> lastSeenIn(out.labels.size(), std::numeric_limits<std::size_t>::max());
    std::size_t sequences = ends_.size() - 1;
    out.items.resize(ends_.back());
    std::size_t kept = 0;
    std::size_t strings = 0;  // the ends of the strings kept go to the front of `ends_`
    std::size_t start = 0;
    for (std::size_t s = 0; s < sequences; ++s) {
      std::size_t end = ends_[s + 1];
      if (end == start) ++out.droppedEmpty;
      for (std::size_t k = start; k < end; ++k) {
        std::int32_t item = itemAt(k);
        std::size_t& seen = lastSeenIn[static_cast<std::size_t>(item)];
        if (seen == s) {
          ++out.droppedRepeats;
          continue;
        }
        seen = s;
        out.items[kept++] = item;
      }
      if (end != start) {
        ends_[++strings] = kept;
        out.positions.push_back(static_cast<std::int64_t>(s));
      }
      start = end;
    }
    if (strings > static_cast<std::size_t>(INT_MAX)) {
      throw py::value_error("more than 2147483647 non-empty sequences");
    }
    out.items.resize(kept);
    ends_.resize(strings + 1);
    out.offsets = std::move(ends_);
    out.sequences = static_cast<std::int64_t>(sequences);
    out.itemCount = out.labels.size();
  }

  IntLabels ints_;
  bool byValue_ = true;
  std::vector<std::int64_t> values_;
  // While every value lies in 0 .. kDirectValues - 1 (`direct_`), the
  // values seen are marked here.
  bool direct_ = true;
  std::vector<std::uint8_t> present_;
  std::vector<std::int32_t> ids_;
  std::vector<std::size_t> ends_{0};  // where each sequence ends, after a first 0
  py::dict ids_by_label_;
  py::list labels_;
  LabelKind kind_ = LabelKind::kNone;
  std::size_t sinceSignalCheck_ = 0;
};

}  // namespace

EncodedStrings encodeSequences(py::handle sequences) {
  Encoder encoder;
  if (PyList_CheckExact(sequences.ptr()) || PyTuple_CheckExact(sequences.ptr())) {
    // A list of lists, the common case, read without the iterator's
    // references; the sequences a few places ahead are fetched into the
    // cache while the current one is read.
    constexpr Py_ssize_t kAhead = 8;
    PyObject* all = sequences.ptr();
    encoder.expect(static_cast<std::size_t>(PySequence_Fast_GET_SIZE(all)));
    for (Py_ssize_t k = 0; k < PySequence_Fast_GET_SIZE(all); ++k) {
      if (k + kAhead < PySequence_Fast_GET_SIZE(all)) {
        __builtin_prefetch(PySequence_Fast_GET_ITEM(all, k + kAhead));
        PyObject* near = PySequence_Fast_GET_ITEM(all, k + kAhead / 2);
        if (PyList_CheckExact(near) && PyList_GET_SIZE(near) > 0) {
          __builtin_prefetch(PySequence_Fast_ITEMS(near));
        }
      }
      auto sequence = py::reinterpret_borrow<py::object>(PySequence_Fast_GET_ITEM(all, k));
      encoder.addSequence(sequence.ptr(), k);
    }
  } else {
    py::iterator iterator = py::iter(sequences);
    std::int64_t index = 0;
    for (py::handle sequence : iterator) encoder.addSequence(sequence.ptr(), index++);
  }
  return encoder.finish();
}

}  // namespace tavrel::python
