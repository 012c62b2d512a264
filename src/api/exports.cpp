// The twelve exported functions: each runs its operation through the guarded call, so no
// exception ever crosses the C boundary.
#include <cstdlib>

#include "api/guarded_call.h"
#include "gantrix.h"
#include "query/operations.h"

namespace operations = Gantrix::operations;
using Gantrix::guarded_call;

extern "C" {

char* gx_find(double lat, double lng) {
  return guarded_call([=] { return operations::find(lat, lng); });
}

char* gx_country_at(double lat, double lng) {
  return guarded_call([=] { return operations::country_at(lat, lng); });
}

char* gx_airport(const char* code) {
  return guarded_call([=] { return operations::airport(code); });
}

char* gx_set_new(const char* codes, int64_t count) {
  return guarded_call([=] { return operations::set_new(codes, count); });
}

char* gx_set_free(int64_t handle) {
  return guarded_call([=] { return operations::set_free(handle); });
}

char* gx_set_size(int64_t handle) {
  return guarded_call([=] { return operations::set_size(handle); });
}

char* gx_set_include(int64_t handle, const char* code) {
  return guarded_call([=] { return operations::set_include(handle, code); });
}

char* gx_set_missing(int64_t handle) {
  return guarded_call([=] { return operations::set_missing(handle); });
}

char* gx_set_nearest(int64_t handle, double lat, double lng, const char* country,
                     int64_t has_country, double max_km, int64_t has_max_km, int64_t limit) {
  return guarded_call([=] {
    return operations::set_nearest(handle, lat, lng, country, has_country, max_km, has_max_km,
                                   limit);
  });
}

char* gx_set_resolve(int64_t handle, double lat, double lng, double foreign_max_km,
                     int64_t has_foreign_max_km) {
  return guarded_call([=] {
    return operations::set_resolve(handle, lat, lng, foreign_max_km, has_foreign_max_km);
  });
}

const char* gx_error(void) { return Gantrix::last_error(); }

void gx_free(void* p) { std::free(p); }

}  // extern "C"
