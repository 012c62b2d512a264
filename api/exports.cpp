// The twelve exported functions: each stores its arguments in a call frame and runs its
// operation through the protected call, so no exception ever crosses the C boundary.
#include <cstdlib>

#include "api/call_frame.h"
#include "api/gantrix.h"
#include "query/gantrix_ext.h"

using Gantrix::CallFrame;
using Gantrix::GantrixExt;
using Gantrix::run_exported;

extern "C" {

char* gx_find(double lat, double lng) {
  CallFrame f;
  f.lat = lat;
  f.lng = lng;
  return run_exported([](CallFrame& c) { c.result = GantrixExt::find(c.lat, c.lng); }, f);
}

char* gx_country_at(double lat, double lng) {
  CallFrame f;
  f.lat = lat;
  f.lng = lng;
  return run_exported([](CallFrame& c) { c.result = GantrixExt::country_at(c.lat, c.lng); }, f);
}

char* gx_airport(const char* code) {
  CallFrame f;
  f.code = code;
  return run_exported([](CallFrame& c) { c.result = GantrixExt::airport(c.code); }, f);
}

char* gx_set_new(const char* codes, int64_t count) {
  CallFrame f;
  f.codes = codes;
  f.count = count;
  return run_exported([](CallFrame& c) { c.result = GantrixExt::set_new(c.codes, c.count); }, f);
}

char* gx_set_free(int64_t handle) {
  CallFrame f;
  f.handle = handle;
  return run_exported([](CallFrame& c) { c.result = GantrixExt::set_free(c.handle); }, f);
}

char* gx_set_size(int64_t handle) {
  CallFrame f;
  f.handle = handle;
  return run_exported([](CallFrame& c) { c.result = GantrixExt::set_size(c.handle); }, f);
}

char* gx_set_include(int64_t handle, const char* code) {
  CallFrame f;
  f.handle = handle;
  f.code = code;
  return run_exported([](CallFrame& c) { c.result = GantrixExt::set_include(c.handle, c.code); },
                      f);
}

char* gx_set_missing(int64_t handle) {
  CallFrame f;
  f.handle = handle;
  return run_exported([](CallFrame& c) { c.result = GantrixExt::set_missing(c.handle); }, f);
}

char* gx_set_nearest(int64_t handle, double lat, double lng, const char* country,
                     int64_t has_country, double max_km, int64_t has_max_km, int64_t limit) {
  CallFrame f;
  f.handle = handle;
  f.lat = lat;
  f.lng = lng;
  f.country = country;
  f.has_country = has_country;
  f.max_km = max_km;
  f.has_max_km = has_max_km;
  f.limit = limit;
  return run_exported(
      [](CallFrame& c) {
        c.result = GantrixExt::set_nearest(c.handle, c.lat, c.lng, c.country, c.has_country,
                                           c.max_km, c.has_max_km, c.limit);
      },
      f);
}

char* gx_set_resolve(int64_t handle, double lat, double lng, double foreign_max_km,
                     int64_t has_foreign_max_km) {
  CallFrame f;
  f.handle = handle;
  f.lat = lat;
  f.lng = lng;
  f.foreign_max_km = foreign_max_km;
  f.has_foreign_max_km = has_foreign_max_km;
  return run_exported(
      [](CallFrame& c) {
        c.result =
            GantrixExt::set_resolve(c.handle, c.lat, c.lng, c.foreign_max_km, c.has_foreign_max_km);
      },
      f);
}

const char* gx_error(void) { return Gantrix::last_error(); }

void gx_free(void* p) { std::free(p); }

}  // extern "C"
