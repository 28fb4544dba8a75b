// The Python module splitev: splitev-table's cases and results as Python
// objects, on the public library.
//
// A case is given as keyword arguments (or, in a batch, a dict) holding a
// batch line's keys and values; it is written as that JSON line and read by
// splitev::parseCase, so that Python accepts and refuses exactly what the
// batch does, with the same messages (as ValueError). A result is the
// object json.loads gives for the line splitev-table --format json prints:
// built here directly from splitev::Results, key for key in the same order,
// with the same floats.
//
// The interpreter lock is released while the engine computes. The engine
// polls its stop test on the calling thread; the test takes the lock back
// for a moment to run Python's signal handlers, so Ctrl-C raises
// KeyboardInterrupt within a fraction of a second and the evaluator stays
// usable for the next case.

#include <pybind11/pybind11.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "splitev/splitev.h"

namespace py = pybind11;

namespace {

// Value entries in the JSON's order: overall, 2..9, ten, ace.
constexpr std::array<int, splitev::EntryCount> EntryOrder = {0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 1};
constexpr std::array<const char*, splitev::ViewCount> ViewNames = {"unconditional", "conditioned"};
// How much of a refused value a message shows, as splitev-table cuts it.
constexpr std::size_t MaxShownValue = 40;

std::string entryName(int entry) { return entry == 0 ? "overall" : std::string(splitev::rankName(entry)); }

// A value as the JSON has it: a float, or None where it has null.
py::object number(const std::optional<double>& value) {
  if (!value || !std::isfinite(*value)) return py::none();
  return py::float_(*value);
}

py::dict rulesObject(const splitev::Rules& rules) {
  py::dict object;
  object["soft17"] = rules.soft17 == splitev::Soft17::Stand ? "stand" : "hit";
  object["double"] = py::str(std::string(splitev::doubleRuleName(rules.doubling)));
  object["peek"] = rules.peek;
  object["das"] = rules.das;
  object["hsa"] = rules.hsa;
  object["dspa"] = rules.dspa;
  object["charlie"] = rules.charlie;
  object["dan"] = rules.dan;
  object["hands"] = rules.hands;
  object["resplit_aces"] = rules.resplitAces;
  return object;
}

// One quantity: complete, then each view's entries (those computed).
py::dict quantityObject(const splitev::QuantityResult& values) {
  py::dict object;
  object["complete"] = values.complete;
  for (int view = 0; view < splitev::ViewCount; ++view) {
    py::dict entries;
    for (int entry : EntryOrder) {
      if (!values.computed[static_cast<std::size_t>(entry)]) continue;
      entries[py::str(entryName(entry))] = number(values.at(static_cast<splitev::View>(view), entry));
    }
    object[ViewNames[static_cast<std::size_t>(view)]] = std::move(entries);
  }
  return object;
}

// The best plays, in the unconditional view only (both views rank alike).
py::dict bestObject(const splitev::BestPlays& best) {
  py::dict plays;
  for (int entry : EntryOrder) {
    const std::optional<splitev::Play>& play = best.plays[static_cast<std::size_t>(entry)];
    plays[py::str(entryName(entry))] =
        play ? py::object(py::str(std::string(splitev::playName(*play)))) : py::object(py::none());
  }
  py::dict object;
  object["complete"] = best.complete;
  object["unconditional"] = std::move(plays);
  return object;
}

// The object json.loads gives for splitev::toJson(results).
py::dict resultsObject(const splitev::Results& results) {
  py::dict object;
  object["decks"] = results.input.decks;
  py::list removed;
  for (std::int64_t count : results.input.removed) removed.append(count);
  object["removed"] = std::move(removed);
  object["rules"] = rulesObject(results.input.rules);
  py::list pairs;
  for (const splitev::PairResult& pair : results.pairs) {
    py::dict entry;
    entry["pair"] = pair.pair;
    if (pair.status != splitev::PairStatus::Computed && pair.error) entry["error"] = *pair.error;
    for (const splitev::QuantityResult& values : pair.quantities) entry[py::str(values.name)] = quantityObject(values);
    if (pair.best) entry["best"] = bestObject(*pair.best);
    pairs.append(std::move(entry));
  }
  object["results"] = std::move(pairs);
  return object;
}

// A Python value as a message quotes it: its repr, cut as splitev-table cuts.
std::string shown(py::handle value) {
  std::string text = py::repr(value);
  if (text.size() > MaxShownValue) text = text.substr(0, MaxShownValue) + "...";
  return text;
}

// The batch line for a case: its JSON text. numpy's numbers and arrays are
// taken as the ints and lists they hold; anything else that JSON cannot
// hold (a set, an object, NaN) is refused naming the key it came under.
std::string caseLine(py::handle c) {
  // Made once and never released: a static py::object would be released
  // after the interpreter has ended.
  static const py::object& dumps = *new py::object(py::module_::import("json").attr("dumps"));
  static const py::object& plain = *new py::object(py::cpp_function([](py::handle value) -> py::object {
    if (py::hasattr(value, "tolist")) return value.attr("tolist")();
    if (PyIndex_Check(value.ptr())) return py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    throw py::type_error("not JSON");
  }));
  const auto dumped = [&](py::handle value) {
    return dumps(value, py::arg("allow_nan") = false, py::arg("default") = plain).cast<std::string>();
  };
  try {
    return dumped(c);
  } catch (py::error_already_set& error) {
    if (!error.matches(PyExc_TypeError) && !error.matches(PyExc_ValueError)) throw;
  }
  // Name the key whose value is not JSON.
  if (py::isinstance<py::dict>(c)) {
    for (auto [key, value] : py::reinterpret_borrow<py::dict>(c)) {
      try {
        dumped(value);
      } catch (py::error_already_set& error) {
        if (!error.matches(PyExc_TypeError) && !error.matches(PyExc_ValueError)) throw;
        throw py::value_error(py::str(key).cast<std::string>() + ": " + shown(value) +
                              " is not allowed; allowed: JSON values (finite numbers, strings, booleans, None, "
                              "lists and dicts)");
      }
    }
  }
  throw py::value_error("a case must be a JSON object; got " + shown(c));
}

splitev::Case parsedCase(py::handle c) {
  const std::string line = caseLine(c);
  try {
    return splitev::parseCase(line);
  } catch (const splitev::Error& error) {
    throw py::value_error(error.what());
  }
}

// An evaluator with its dealer cache, for one call at a time: a second
// thread waits (without the interpreter lock) until the first is done.
class PyEvaluator {
 public:
  explicit PyEvaluator(const splitev::EvaluatorOptions& options) : evaluator(options) {}

  py::dict table(const py::kwargs& c) { return resultsObject(evaluate(parsedCase(c))); }
  py::dict tableOf(py::handle c) { return resultsObject(evaluate(parsedCase(c))); }

  // The case's results, with the interpreter lock released meanwhile.
  // Raises what a signal handler raised (KeyboardInterrupt on Ctrl-C),
  // leaving the evaluator ready for the next case.
  splitev::Results evaluate(const splitev::Case& c) {
    // A signal handler that evaluates on this evaluator while it computes
    // would wait for itself.
    if (busyThread.load() == std::this_thread::get_id())
      throw std::runtime_error("this evaluator is already computing a case on this thread");
    // The exception a signal handler raised, taken out of the interpreter
    // while the engine winds down and put back once it has.
    py::object raised[3];
    std::optional<splitev::Results> results;
    {
      py::gil_scoped_release release;
      const std::lock_guard lock(busy);
      busyThread = std::this_thread::get_id();
      evaluator.setStop([&raised] {
        const py::gil_scoped_acquire acquire;
        if (PyErr_CheckSignals() == 0) return false;
        PyObject* fetched[3];
        PyErr_Fetch(&fetched[0], &fetched[1], &fetched[2]);
        for (int i = 0; i < 3; ++i) raised[i] = py::reinterpret_steal<py::object>(fetched[i]);
        return true;
      });
      try {
        results = evaluator.evaluate(c);
      } catch (const splitev::Cancelled&) {
      } catch (...) {
        busyThread = std::thread::id();
        // The fetched exception is released with the lock held.
        const py::gil_scoped_acquire acquire;
        for (py::object& part : raised) part.release().dec_ref();
        throw;
      }
      busyThread = std::thread::id();
    }
    if (!results) {
      if (!raised[0]) throw std::runtime_error("the evaluation was cancelled");
      PyErr_Restore(raised[0].release().ptr(), raised[1].release().ptr(), raised[2].release().ptr());
      throw py::error_already_set();
    }
    return std::move(*results);
  }

 private:
  splitev::Evaluator evaluator;
  std::mutex busy;
  std::atomic<std::thread::id> busyThread{};
};

// The iterator splitev.batch and Evaluator.batch return: each case is read
// and computed when its result is asked for.
class BatchIterator {
 public:
  BatchIterator(py::object evaluator, py::handle cases)
      : evaluator(std::move(evaluator)), cases(py::iter(cases)) {}

  py::dict next() {
    py::object c = py::reinterpret_steal<py::object>(PyIter_Next(cases.ptr()));
    if (!c) {
      if (PyErr_Occurred()) throw py::error_already_set();
      throw py::stop_iteration();
    }
    return evaluator.cast<PyEvaluator&>().tableOf(c);
  }

 private:
  py::object evaluator;  // keeps the evaluator alive while the iterator is
  py::object cases;
};

// The value of a CSV cell: a float, a play's name, or NaN for an empty cell.
py::object cell(py::handle value) {
  if (value.is_none()) return py::float_(NAN);
  return py::reinterpret_borrow<py::object>(value);
}

// The DataFrame of splitev-table --format csv: a row per pair, quantity and
// view, then a row of best plays; missing values NaN.
py::object frame(const py::dict& results) {
  py::object pandas;
  try {
    pandas = py::module_::import("pandas");
  } catch (py::error_already_set& error) {
    if (!error.matches(PyExc_ImportError)) throw;
    PyErr_SetString(PyExc_ImportError,
                    "splitev.frame needs pandas: install the Debian package python3-pandas (or pandas with pip)");
    throw py::error_already_set();
  }
  std::vector<std::string> columns = {"pair", "quantity", "view"};
  for (int entry : EntryOrder) columns.push_back(entryName(entry));
  columns.push_back("complete");
  std::vector<py::list> data(columns.size());
  const auto row = [&](py::handle pair, py::handle quantity, const char* view, py::handle values,
                       py::handle complete) {
    std::size_t column = 0;
    data[column++].append(pair);
    data[column++].append(quantity);
    data[column++].append(py::str(view));
    const py::dict entries = py::reinterpret_borrow<py::dict>(values);
    for (int entry : EntryOrder) {
      const py::str key(entryName(entry));
      data[column++].append(entries.contains(key) ? cell(entries[key]) : py::float_(NAN));
    }
    data[column].append(complete);
  };
  for (py::handle pair : results["results"]) {
    const py::dict fields = py::reinterpret_borrow<py::dict>(pair);
    const py::object name = fields["pair"];
    for (auto [key, value] : fields) {
      const std::string quantity = py::str(key);
      if (quantity == "pair" || quantity == "error" || quantity == "best") continue;
      const py::dict views = py::reinterpret_borrow<py::dict>(value);
      for (const char* view : ViewNames) row(name, key, view, views[view], views["complete"]);
    }
    if (fields.contains("best")) {
      const py::dict best = fields["best"];
      row(name, py::str("best"), ViewNames[0], best["unconditional"], best["complete"]);
    }
  }
  py::dict byColumn;
  for (std::size_t i = 0; i < columns.size(); ++i) byColumn[py::str(columns[i])] = data[i];
  return pandas.attr("DataFrame")(byColumn);
}

splitev::EvaluatorOptions options(int threads, std::size_t cacheBudget, std::size_t maxMemory) {
  if (threads < 0) throw py::value_error("threads: " + std::to_string(threads) + " is not allowed; allowed: 0 (one per core) or more");
  splitev::EvaluatorOptions options;
  options.threads = threads;
  options.cacheBudgetMiB = cacheBudget;
  options.maxMemoryMiB = maxMemory;
  return options;
}

}  // namespace

PYBIND11_MODULE(splitev, m) {
  m.doc() =
      "Exact expected values of splitting a pair in blackjack, as splitev-table computes them.\n\n"
      "table(**case) takes a batch line's keys as keyword arguments (decks, removed, rules, pairs,\n"
      "up_cards; each optional, with the same defaults) and returns the object json.loads gives for\n"
      "splitev-table --format json on that case. batch(cases) yields the results of an iterable of\n"
      "such dicts, in order, sharing the dealer cache. frame(result) is the CSV's table as a pandas\n"
      "DataFrame. A case that splitev-table refuses raises ValueError with its message.";

  py::class_<PyEvaluator>(m, "Evaluator",
                          "Evaluates cases one after another, keeping the dealer cache between related cases.\n"
                          "threads: worker threads, 0 for one per core; cache_budget: MiB the dealer cache may\n"
                          "hold before it is cleared; max_memory: MiB split_perfect may hold, 0 for half the\n"
                          "machine's memory. No result depends on them. One call at a time: other threads wait.")
      .def(py::init([](int threads, std::size_t cacheBudget, std::size_t maxMemory) {
             return new PyEvaluator(options(threads, cacheBudget, maxMemory));
           }),
           py::kw_only(), py::arg("threads") = 0, py::arg("cache_budget") = 4096, py::arg("max_memory") = 0)
      .def("table", &PyEvaluator::table, "The results of one case given as a batch line's keys.")
      .def(
          "batch", [](py::object self, py::handle cases) { return BatchIterator(std::move(self), cases); },
          py::arg("cases"), "An iterator over the results of the cases (dicts of a batch line's keys), in order.");

  py::class_<BatchIterator>(m, "_BatchIterator")
      .def("__iter__", [](py::object self) { return self; })
      .def("__next__", &BatchIterator::next);

  m.attr("_default") = py::cast(new PyEvaluator(splitev::EvaluatorOptions{}), py::return_value_policy::take_ownership);
  m.def(
      "table",
      [](const py::kwargs& c) {
        return py::module_::import("splitev").attr("_default").cast<PyEvaluator&>().table(c);
      },
      "The results of one case given as a batch line's keys, on the module's evaluator.");
  m.def(
      "batch",
      [](py::handle cases) { return BatchIterator(py::module_::import("splitev").attr("_default"), cases); },
      py::arg("cases"), "An iterator over the results of the cases, in order, on the module's evaluator.");
  m.def("frame", &frame, py::arg("result"),
        "The result as splitev-table --format csv lays it out, as a pandas DataFrame.");
}
