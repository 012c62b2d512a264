// Coordinates from Python sequences, read into columns of doubles. Floats, ints and None are
// read here; anything else goes to the package's converter, which knows every other kind of
// real number and missing value and words the refusals.
#include <cstring>
#include <string>

#include "native.h"

namespace gantrix_python {
namespace {

// A column of n doubles, and the mask of missing points made on the first one.
struct Column {
  explicit Column(Py_ssize_t n)
      : values(py::reinterpret_steal<py::object>(PyByteArray_FromStringAndSize(nullptr, n * 8))),
        size(n) {
    if (!values) throw py::error_already_set();
  }
  void set(Py_ssize_t i, double v) const {
    std::memcpy(PyByteArray_AS_STRING(values.ptr()) + i * 8, &v, sizeof v);
  }
  void mark_missing(Py_ssize_t i) {
    if (missing.is_none()) {
      missing = py::reinterpret_steal<py::object>(PyByteArray_FromStringAndSize(nullptr, size));
      if (!missing) throw py::error_already_set();
      std::memset(PyByteArray_AS_STRING(missing.ptr()), 0, static_cast<size_t>(size));
    }
    PyByteArray_AS_STRING(missing.ptr())[i] = 1;
  }
  py::object values, missing = py::none();
  Py_ssize_t size;
};

// Reads one coordinate; false when it is missing. label() names it, only when needed.
template <class Label>
bool read(PyObject* value, double& out, py::handle convert, Label&& label) {
  if (PyFloat_CheckExact(value)) {
    out = PyFloat_AS_DOUBLE(value);
    return true;
  }
  if (PyLong_CheckExact(value)) {
    out = PyLong_AsDouble(value);
    if (!(out == -1.0 && PyErr_Occurred())) return true;
    PyErr_Clear();  // too large: the converter says so, in words
  }
  if (value == Py_None) return false;
  const py::object converted = convert(label(), py::handle(value));
  if (converted.is_none()) return false;
  out = converted.cast<double>();
  return true;
}

py::object sequence(py::handle values, const char* what) {
  auto seq = py::reinterpret_steal<py::object>(PySequence_Fast(values.ptr(), what));
  if (!seq) throw py::error_already_set();
  return seq;
}

}  // namespace

void define_inputs(py::module_& m) {
  // values(seq, name, convert) -> (bytearray of doubles, bytearray mask or None)
  m.def("values", [](py::handle values, const std::string& name, py::handle convert) {
    const std::string what = name + " must be a sequence of real numbers";
    const py::object seq = sequence(values, what.c_str());
    const Py_ssize_t n = PySequence_Fast_GET_SIZE(seq.ptr());
    Column column(n);
    for (Py_ssize_t i = 0; i < n; ++i) {
      double v = 0.0;
      if (read(PySequence_Fast_GET_ITEM(seq.ptr(), i), v, convert,
               [&] { return name + "[" + std::to_string(i) + "]"; })) {
        column.set(i, v);
      } else {
        column.mark_missing(i);
      }
    }
    return py::make_tuple(column.values, column.missing);
  });

  // pairs(seq, convert) -> (latitudes, longitudes, mask or None)
  m.def("pairs", [](py::handle points, py::handle convert) {
    const py::object seq = sequence(points, "points must be a sequence of (lat, lng) pairs");
    const Py_ssize_t n = PySequence_Fast_GET_SIZE(seq.ptr());
    Column lats(n), lngs(n);
    for (Py_ssize_t i = 0; i < n; ++i) {
      PyObject* point = PySequence_Fast_GET_ITEM(seq.ptr(), i);
      py::object pair;
      if (!PyTuple_CheckExact(point) && !PyList_CheckExact(point)) {
        pair = py::reinterpret_steal<py::object>(PySequence_Fast(point, ""));
        if (!pair) PyErr_Clear();
        point = pair.ptr();
      }
      if (point == nullptr || PySequence_Fast_GET_SIZE(point) != 2) {
        throw py::type_error("points[" + std::to_string(i) + "] must be a (lat, lng) pair");
      }
      double lat = 0.0, lng = 0.0;
      const bool has_lat = read(PySequence_Fast_GET_ITEM(point, 0), lat, convert,
                                [&] { return "latitude of points[" + std::to_string(i) + "]"; });
      const bool has_lng = read(PySequence_Fast_GET_ITEM(point, 1), lng, convert,
                                [&] { return "longitude of points[" + std::to_string(i) + "]"; });
      lats.set(i, lat);
      lngs.set(i, lng);
      if (!has_lat || !has_lng) lats.mark_missing(i);
    }
    return py::make_tuple(lats.values, lngs.values, lats.missing);
  });
}

}  // namespace gantrix_python
