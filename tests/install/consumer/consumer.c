/* A C program built against an installed Gantrix: every function once, its answers checked
 * against facts the data will keep (Paris is in France, CDG is a Paris airport), all freed. */
#include <gantrix.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

static int failures;

/* Checks that the answer starts with want (NULL: that the call failed), then frees it. */
static void expect(const char* what, char* got, const char* want) {
  const int ok = want == NULL ? got == NULL : got != NULL && strncmp(got, want, strlen(want)) == 0;
  if (!ok) {
    fprintf(stderr, "%s: got %s, want %s\n", what, got ? got : gx_error(),
            want ? want : "a failure");
    ++failures;
  }
  gx_free(got);
}

int main(void) {
  printf("GANTRIX_VERSION %s (%d.%d.%d)\n", GANTRIX_VERSION, GANTRIX_VERSION_MAJOR,
         GANTRIX_VERSION_MINOR, GANTRIX_VERSION_PATCH);
  expect("gx_find", gx_find(48.8566, 2.3522), "{\"code\":\"fr.");
  expect("gx_country_at", gx_country_at(48.8566, 2.3522), "\"fr\"");
  expect("gx_airport", gx_airport(" cdg"), "{\"code\":\"fr.cdg\"");
  char* handle = gx_set_new("CDG\x1fLHR\x1fXXX", 3);
  long long h = -1;
  if (handle == NULL || sscanf(handle, "%lld", &h) != 1) ++failures;
  gx_free(handle);
  expect("gx_set_size", gx_set_size(h), "2");
  expect("gx_set_include", gx_set_include(h, "lhr"), "true");
  expect("gx_set_missing", gx_set_missing(h), "[\"XXX\"]");
  expect("gx_set_nearest", gx_set_nearest(h, 48.8566, 2.3522, "FR", 1, 1000.0, 1, 1),
         "[{\"code\":\"fr.cdg\"");
  expect("gx_set_resolve", gx_set_resolve(h, 51.5, -0.12, 0.0, 0), "{\"code\":\"gb.lhr\"");
  expect("gx_set_nearest at NaN", gx_set_nearest(h, NAN, 0.0, NULL, 0, 0.0, 0, 1), NULL);
  if (strcmp(gx_error(), "invalid coordinates") != 0) {
    fprintf(stderr, "gx_error: %s\n", gx_error());
    ++failures;
  }
  expect("gx_set_free", gx_set_free(h), "null");
  expect("gx_set_size after gx_set_free", gx_set_size(h), NULL);
  gx_free(NULL);
  printf("C: %s\n", failures == 0 ? "every function answered as expected" : "FAILED");
  return failures == 0 ? 0 : 1;
}
