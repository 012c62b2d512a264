// gantrix._native: the library itself, linked in (State image included), behind the Python
// package. Single calls run the same operations as the exported C functions, through the same
// guarded call, and hand back the same JSON text; the package decodes it.
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "api/guarded_call.h"
#include "gantrix_arguments.hpp"
#include "gantrix_version.h"
#include "native.h"
#include "query/operations.h"
#include "state/state.h"

namespace gantrix_python {
namespace {

namespace ops = Gantrix::operations;
namespace args = gantrix::arguments;

// A strong reference kept for the life of the process: the module is never unloaded.
PyObject* failure_class = nullptr;

// The operation's text, or GantrixError with the message gx_error would give.
template <class Op>
py::str answer(Op&& op) {
  char* text = without_gil([&]() noexcept { return Gantrix::guarded_call(op); });
  if (text == nullptr) raise_failure(Gantrix::last_error());
  const std::unique_ptr<char, decltype(&std::free)> owned(text, &std::free);
  return py::str(text);
}

void refuse(const std::string& message) {
  if (!message.empty()) throw py::value_error(message);
}

const char* text_or_null(const std::optional<std::string>& s) {
  return s ? s->c_str() : nullptr;
}

}  // namespace

void raise_failure(const char* message) {
  PyErr_SetString(failure_class != nullptr ? failure_class : PyExc_RuntimeError, message);
  throw py::error_already_set();
}

}  // namespace gantrix_python

PYBIND11_MODULE(_native, m) {
  using namespace gantrix_python;
  m.attr("version") = GANTRIX_VERSION;
  m.def("set_failure_class", [](py::handle cls) {
    failure_class = cls.inc_ref().ptr();
  });

  m.def("find", [](double lat, double lng) { return answer([=] { return ops::find(lat, lng); }); });
  m.def("country_at",
        [](double lat, double lng) { return answer([=] { return ops::country_at(lat, lng); }); });
  m.def("airport", [](const std::string& code) {
    refuse(args::code_refusal(code));
    return answer([&] { return ops::airport(code.c_str()); });
  });
  // find's answer for an airport id, as the operation returns it for a point it serves.
  m.def("answer_of", [](int64_t id) {
    const auto& answers = Gantrix::state().airports.answer;
    if (id < 0 || static_cast<size_t>(id) >= answers.size()) throw py::index_error("no such airport");
    const auto text = answers[static_cast<size_t>(id)];
    return py::str(text.data(), text.size());
  });

  // The codes travel to the operation as one text, separated by 0x1F.
  m.def("set_new", [](const std::vector<std::string>& codes) {
    std::string joined;
    for (const std::string& code : codes) {
      refuse(args::listed_code_refusal(code));
      if (&code != &codes.front()) joined.push_back('\x1f');
      joined += code;
    }
    return answer([&] { return ops::set_new(joined.c_str(), static_cast<int64_t>(codes.size())); });
  });
  m.def("set_free", [](int64_t h) { return answer([=] { return ops::set_free(h); }); });
  m.def("set_size", [](int64_t h) { return answer([=] { return ops::set_size(h); }); });
  m.def("set_missing", [](int64_t h) { return answer([=] { return ops::set_missing(h); }); });
  m.def("set_include", [](int64_t h, const std::string& code) {
    refuse(args::code_refusal(code));
    return answer([&] { return ops::set_include(h, code.c_str()); });
  });
  // Arguments that are surely mistakes are refused here, in the wording every surface uses;
  // the operations themselves keep the C functions' answers for them.
  m.def("set_nearest", [](int64_t h, double lat, double lng, std::optional<std::string> country,
                          std::optional<double> max_km, int64_t limit) {
    refuse(args::limit_refusal(limit));
    if (max_km) refuse(args::distance_refusal("max_km", *max_km));
    if (country) refuse(args::country_refusal(*country));
    return answer([&] {
      return ops::set_nearest(h, lat, lng, text_or_null(country), country.has_value(),
                              max_km.value_or(0.0), max_km.has_value(), limit);
    });
  });
  m.def("set_resolve", [](int64_t h, double lat, double lng, std::optional<double> foreign_max_km) {
    if (foreign_max_km) refuse(args::distance_refusal("foreign_max_km", *foreign_max_km));
    return answer([&] {
      return ops::set_resolve(h, lat, lng, foreign_max_km.value_or(0.0), foreign_max_km.has_value());
    });
  });

  define_inputs(m);
  define_batches(m);
}
