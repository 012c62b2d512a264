// Batches: the query layer over columns of coordinates, without the GIL, split over threads,
// each point answered as a number (an airport id, a packed country code, or a text's place).
// The Python objects are made afterwards, once per distinct answer, and shared: a million
// points cost a million references, not a million strings.
#include <pybind11/numpy.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "core/error.h"
#include "native.h"
#include "query/point_in_country.h"
#include "query/serving_airport.h"
#include "spatial/coords.h"
#include "state/state.h"

namespace gantrix_python {
namespace {

using Gantrix::State;

enum class Kind { find, country };

// Fewer points than this are not worth a thread of their own.
constexpr size_t MIN_PART = 2000;
// How often a thread looks whether an earlier point has already failed the batch.
constexpr size_t BLOCK = 1024;

// A batch's texts begin with the reasons given before the library is asked; "invalid
// coordinates" is find's own answer to the same check.
const std::array<std::string_view, 2> REASONS = {"missing coordinates", "invalid coordinates"};
constexpr int32_t MISSING = -1, INVALID = -2;

// A column of the caller's, read in place at its stride.
struct Strided {
  const char* at = nullptr;
  Py_ssize_t stride = 0;
  template <class T>
  T get(size_t i) const {
    T v;
    std::memcpy(&v, at + static_cast<Py_ssize_t>(i) * stride, sizeof v);
    return v;
  }
};

Strided column_of(const py::buffer_info& b, const char* name, size_t itemsize, size_t n) {
  const bool doubles = b.format == "d" || b.format == "<d" || b.format == "=d";
  if (b.ndim != 1 || static_cast<size_t>(b.itemsize) != itemsize || (itemsize == 8 && !doubles) ||
      static_cast<size_t>(b.size) != n) {
    throw py::value_error(std::string(name) + ": not a column of " + std::to_string(n) +
                          (itemsize == 8 ? " doubles" : " flags"));
  }
  return {static_cast<const char*>(b.ptr), b.strides[0]};
}

struct Inputs {
  Strided lat, lng, missing;
};

// The texts a batch's answers point at (reasons, and country codes that are not two bytes
// long), shared by its threads. A thread asks under the lock only for a text it has not met.
struct Texts {
  std::mutex mutex;
  std::vector<std::string> all{REASONS.begin(), REASONS.end()};
};

// One thread's share: its range, the texts it has met, and what it threw.
struct Part {
  size_t lo = 0, hi = 0;
  std::vector<std::pair<std::string, int32_t>> seen;
  std::exception_ptr error;
};

int32_t text_code(Texts& texts, Part& part, std::string_view text) {
  for (const auto& [known, code] : part.seen) {
    if (known == text) return code;
  }
  const std::lock_guard<std::mutex> lock(texts.mutex);
  size_t k = 0;
  while (k < texts.all.size() && texts.all[k] != text) ++k;
  if (k == texts.all.size()) texts.all.emplace_back(text);
  part.seen.emplace_back(text, -static_cast<int32_t>(k) - 1);
  return part.seen.back().second;
}

size_t text_index(int32_t code) { return static_cast<size_t>(-(code + 1)); }

// The same checks, in the same order, as the operations behind gx_find and gx_country_at.
int32_t answer_point(const State& s, Kind kind, const Inputs& in, size_t i, Texts& texts,
                     Part& part) {
  if (in.missing.at != nullptr && in.missing.get<uint8_t>(i) != 0) return MISSING;
  const double lat = in.lat.get<double>(i), lng = in.lng.get<double>(i);
  if (!Gantrix::valid_coords(lat, lng)) return INVALID;
  const Gantrix::LatLng p{lat, Gantrix::normalize_lng(lng)};
  if (kind == Kind::find) {
    const Gantrix::Located loc = Gantrix::nearest_in_country(s, p);
    return loc.index >= 0 ? static_cast<int32_t>(loc.index) : text_code(texts, part, loc.error);
  }
  const auto code = Gantrix::find_country_code(s, p);
  if (!code) return 0;
  if (code->size() == 2 && (*code)[0] != '\0') {
    return static_cast<uint8_t>((*code)[0]) | static_cast<uint8_t>((*code)[1]) << 8;
  }
  return text_code(texts, part, *code);
}

// Python texts made once per process and kept for its life (the module is never unloaded):
// a country code's, and an airport's code, label and record fields.
PyObject* new_text(std::string_view t) {
  PyObject* o = PyUnicode_DecodeUTF8(t.data(), static_cast<Py_ssize_t>(t.size()), "replace");
  if (o == nullptr) throw py::error_already_set();
  return o;
}

PyObject* country_text(int32_t packed) {
  static auto* cache = new std::vector<PyObject*>(1 << 16, nullptr);
  PyObject*& slot = (*cache)[static_cast<size_t>(packed)];
  if (slot == nullptr) {
    const char code[2] = {static_cast<char>(packed & 0xff), static_cast<char>(packed >> 8)};
    slot = new_text({code, 2});
  }
  return slot;
}

enum Field { CODE, LABEL, IATA, NAME, CITY, COUNTRY, TEXT_FIELDS, LAT = TEXT_FIELDS, LNG, NO_FIELD };

Field field_of(std::string_view column) {
  static constexpr std::array<std::string_view, NO_FIELD> NAMES = {
      "airport",      "airport_label",   "airport_iata", "airport_name",
      "airport_city", "airport_country", "airport_lat",  "airport_lng"};
  const auto at = std::find(NAMES.begin(), NAMES.end(), column);
  return static_cast<Field>(at - NAMES.begin());
}

PyObject* airport_text(const State& s, Field f, int32_t id) {
  static auto* caches = new std::array<std::vector<PyObject*>, TEXT_FIELDS>();
  auto& cache = (*caches)[f];
  if (cache.empty()) cache.assign(s.airports.size(), nullptr);
  PyObject*& slot = cache[static_cast<size_t>(id)];
  if (slot == nullptr) {
    const auto& a = s.airports;
    const Gantrix::TextTable* tables[TEXT_FIELDS] = {&a.code, &a.display, &a.iata,
                                                     &a.name, &a.city,    &a.country_lower};
    slot = new_text((*tables[f])[static_cast<size_t>(id)]);
  }
  return slot;
}

class Batch {
 public:
  Batch(Kind kind, size_t n) : kind_(kind), codes_(n) {}

  void run(const State& s, const Inputs& in, size_t threads, bool stop_at_error);

  // The lowest point find could not answer, and why; None when there is none.
  [[nodiscard]] py::object first_error() const {
    if (first_error_ < 0) return py::none();
    return py::make_tuple(first_error_, texts_[text_index(codes_[first_error_])]);
  }

  // A column of texts and None (see field_of, and "country" and "reason"), written into a
  // 1-D object array of the batch's length.
  void column(const std::string& name, py::array out) const {
    if (out.dtype().kind() != 'O' || out.ndim() != 1 || static_cast<size_t>(out.size()) != size() ||
        (size() > 1 && out.strides(0) != sizeof(PyObject*)) || !out.writeable()) {
      throw py::value_error("column " + name + ": needs a writable object array of the batch's length");
    }
    auto** slots = static_cast<PyObject**>(out.mutable_data());
    fill(name, [&](size_t i, PyObject* v) {
      Py_INCREF(v);
      Py_XSETREF(slots[i], v);
    });
  }

  // "airport_lat" or "airport_lng", written into a float64 buffer: NaN where no airport.
  void position(const std::string& name, py::buffer out) const {
    const Field f = field_of(name);
    const py::buffer_info b = out.request(true);
    const Strided to = column_of(b, name.c_str(), 8, size());
    if (f != LAT && f != LNG) throw py::value_error("no such position column: " + name);
    const auto& a = Gantrix::state().airports;
    for (size_t i = 0; i < size(); ++i) {
      const double v = codes_[i] < 0 ? NAN : (f == LAT ? a.lat : a.lng)[static_cast<size_t>(codes_[i])];
      std::memcpy(const_cast<char*>(to.at) + static_cast<Py_ssize_t>(i) * to.stride, &v, sizeof v);
    }
  }

  [[nodiscard]] py::list countries() const {
    py::list out(size());
    fill("country", [&](size_t i, PyObject* v) {
      Py_INCREF(v);
      PyList_SET_ITEM(out.ptr(), static_cast<Py_ssize_t>(i), v);
    });
    return out;
  }

  // find's answers: make_answer(id) and make_error(text) are called once per distinct
  // answer, and every point with that answer shares the object.
  [[nodiscard]] py::list answers(py::handle make_answer, py::handle make_error) const {
    std::vector<py::object> airports(Gantrix::state().airports.size()), errors(texts_.size());
    py::list out(size());
    for (size_t i = 0; i < size(); ++i) {
      const int32_t c = codes_[i];
      py::object& made = c >= 0 ? airports[static_cast<size_t>(c)] : errors[text_index(c)];
      if (!made) made = c >= 0 ? make_answer(c) : make_error(texts_[text_index(c)]);
      PyList_SET_ITEM(out.ptr(), static_cast<Py_ssize_t>(i), made.inc_ref().ptr());
    }
    return out;
  }

  [[nodiscard]] size_t size() const { return codes_.size(); }

 private:
  // Calls put(i, value) for every point, value borrowed.
  template <class Put>
  void fill(const std::string& name, Put&& put) const {
    const State& s = Gantrix::state();
    const bool reason = name == "reason";
    const Field f = field_of(name);
    const bool known = reason || (kind_ == Kind::country ? name == "country" : f < TEXT_FIELDS);
    if (!known) throw py::value_error("no such column: " + name);
    std::vector<py::object> texts(texts_.size());
    const auto text = [&](int32_t c) {
      py::object& t = texts[text_index(c)];
      if (!t) t = py::reinterpret_steal<py::object>(new_text(texts_[text_index(c)]));
      return t.ptr();
    };
    for (size_t i = 0; i < size(); ++i) {
      const int32_t c = codes_[i];
      PyObject* v = Py_None;
      if (reason) {
        if (c < 0 && (kind_ == Kind::find || c >= INVALID)) v = text(c);
      } else if (kind_ == Kind::find) {
        if (c >= 0) v = airport_text(s, f, c);
      } else if (c > 0) {
        v = country_text(c);
      } else if (c < INVALID) {
        v = text(c);  // a country code that is not two bytes long
      }
      put(i, v);
    }
  }

  Kind kind_;
  std::vector<int32_t> codes_;
  std::vector<std::string> texts_;
  int64_t first_error_ = -1;
};

void Batch::run(const State& s, const Inputs& in, size_t threads, bool stop_at_error) {
  const size_t n = size();
  const size_t count = std::max<size_t>(1, std::min(threads, n / MIN_PART));
  std::vector<Part> parts(count);
  for (size_t k = 0; k < count; ++k) parts[k].lo = n * k / count, parts[k].hi = n * (k + 1) / count;
  std::atomic<int64_t> first{static_cast<int64_t>(n)};
  Texts texts;
  const auto work = [&](Part& part) noexcept {
    try {
      for (size_t start = part.lo; start < part.hi; start += BLOCK) {
        if (stop_at_error && first.load(std::memory_order_relaxed) < static_cast<int64_t>(start)) return;
        for (size_t i = start, end = std::min(start + BLOCK, part.hi); i < end; ++i) {
          const int32_t c = answer_point(s, kind_, in, i, texts, part);
          codes_[i] = c;
          if (c < 0 && kind_ == Kind::find) {
            int64_t seen = first.load(std::memory_order_relaxed);
            while (static_cast<int64_t>(i) < seen && !first.compare_exchange_weak(seen, i)) {
            }
          }
        }
      }
    } catch (...) {
      part.error = std::current_exception();
    }
  };
  std::vector<std::thread> workers;
  for (size_t k = 1; k < count; ++k) {
    try {
      workers.emplace_back(work, std::ref(parts[k]));
    } catch (const std::system_error&) {
      work(parts[k]);  // no thread to be had: this one answers the part
    }
  }
  work(parts[0]);
  for (auto& w : workers) w.join();
  for (const Part& p : parts) {
    if (p.error) std::rethrow_exception(p.error);
  }
  texts_ = std::move(texts.all);
  first_error_ = first.load() < static_cast<int64_t>(n) ? first.load() : -1;
}

}  // namespace

void define_batches(py::module_& m) {
  py::class_<Batch>(m, "Batch")
      .def("__len__", &Batch::size)
      .def_property_readonly("first_error", &Batch::first_error)
      .def("column", &Batch::column)
      .def("position", &Batch::position)
      .def("countries", &Batch::countries)
      .def("answers", &Batch::answers);

  // run(kind, lats, lngs, missing, threads, stop_at_error): kind "find" or "country"; lats and
  // lngs 1-D buffers of doubles (any stride), missing None or a buffer of one-byte flags.
  m.def("run", [](const std::string& kind, py::buffer lats, py::buffer lngs, py::object missing,
                  int64_t threads, bool stop_at_error) {
    if (kind != "find" && kind != "country") throw py::value_error("no such batch: " + kind);
    const py::buffer_info la = lats.request(), ln = lngs.request();
    const size_t n = static_cast<size_t>(la.size);
    Inputs in{column_of(la, "lats", 8, n), column_of(ln, "lngs", 8, n), {}};
    std::optional<py::buffer_info> flags;
    if (!missing.is_none()) {
      flags = missing.cast<py::buffer>().request();
      in.missing = column_of(*flags, "missing", 1, n);
    }
    Batch batch(kind == "find" ? Kind::find : Kind::country, n);
    const size_t count = static_cast<size_t>(std::max<int64_t>(1, threads));
    const std::string failure = without_gil([&]() -> std::string {
      try {
        batch.run(Gantrix::state(), in, count, stop_at_error);
      } catch (const Gantrix::Error& e) {
        return e.what();
      }
      return "";
    });
    if (!failure.empty()) raise_failure(failure.c_str());
    return batch;
  });
}

}  // namespace gantrix_python
