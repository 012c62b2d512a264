/* A host written in C: links the shared library, calls it through the public header and
 * frees every result. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "gantrix.h"

static int failures = 0;

static void expect_prefix(const char *what, char *got, const char *prefix) {
  if (got == NULL || strncmp(got, prefix, strlen(prefix)) != 0) {
    fprintf(stderr, "%s: got %s, want prefix %s\n", what, got ? got : "(null)", prefix);
    ++failures;
  }
  gx_free(got);
}

int main(void) {
  const char *err = gx_error();
  if (err == NULL || err[0] != '\0') {
    fprintf(stderr, "gx_error before any failure must be empty\n");
    ++failures;
  }
  gx_free(NULL);
  expect_prefix("find Paris", gx_find(48.8566, 2.3522), "{\"code\":\"fr.");
  expect_prefix("find bad", gx_find(91.0, 0.0), "{\"error\":\"invalid coordinates\"}");
  expect_prefix("country", gx_country_at(48.8566, 2.3522), "\"fr\"");
  expect_prefix("airport", gx_airport(" cdg "), "{\"code\":\"fr.cdg\"");
  expect_prefix("set", gx_set_new("CDG\x1fJFK", 2), "0");
  expect_prefix("size", gx_set_size(0), "2");
  expect_prefix("nearest", gx_set_nearest(0, 40.7, -74.0, NULL, 0, 0.0, 0, 1),
                "[{\"code\":\"us.jfk\"");
  char *unknown = gx_set_size(7);
  if (unknown != NULL || strcmp(gx_error(), "no such AirportSet: 7") != 0) {
    fprintf(stderr, "unknown handle: %s\n", unknown ? unknown : gx_error());
    ++failures;
  }
  gx_free(unknown);
  expect_prefix("free", gx_set_free(0), "null");
  printf("%d passed, %d failed\n", failures ? 0 : 1, failures ? 1 : 0);
  return failures ? 1 : 0;
}
