// What the extension's files share: the GIL hand-over and the binding's own error class.
#pragma once

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <exception>
#include <optional>
#include <thread>
#include <utility>

namespace gantrix_python {

namespace py = pybind11;

// Runs f without the GIL and takes the GIL back in plain code, never in a destructor: Python
// ends a daemon thread that wants the GIL while the interpreter exits (pthread_exit), and that
// unwinding must not meet a noexcept destructor. Such a thread does not even try: it waits
// there for the process to end, holding no Python object.
template <class F>
auto without_gil(F&& f) -> decltype(f()) {
  std::optional<decltype(f())> result;
  std::exception_ptr error;
  PyThreadState* thread = PyEval_SaveThread();
  try {
    result.emplace(f());
  } catch (...) {
    error = std::current_exception();
  }
#if PY_VERSION_HEX >= 0x030D0000
  while (Py_IsFinalizing()) std::this_thread::sleep_for(std::chrono::hours(1));
#else
  while (_Py_IsFinalizing()) std::this_thread::sleep_for(std::chrono::hours(1));
#endif
  PyEval_RestoreThread(thread);
  if (error) std::rethrow_exception(error);
  return std::move(*result);
}

// Raises gantrix.GantrixError (registered by the package at import) with the message.
[[noreturn]] void raise_failure(const char* message);

void define_batches(py::module_& m);
void define_inputs(py::module_& m);

}  // namespace gantrix_python
