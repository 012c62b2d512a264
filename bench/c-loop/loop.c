// The C loop the bindings' batches are measured against: gx_find or gx_country_at over every
// point of a file of little-endian float64 (lat, lng) pairs, one thread, each answer freed.
// Prints one line of JSON, as bench/country-coder/run.mjs does (peak memory per point above
// what the process held once the points were read).
//   loop find|country POINTS.f64
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "gantrix.h"

static long status_kb(const char* key) {
  FILE* f = fopen("/proc/self/status", "r");
  char line[256];
  long kb = -1;
  const size_t k = strlen(key);
  while (f != NULL && fgets(line, sizeof line, f) != NULL) {
    if (strncmp(line, key, k) == 0 && line[k] == ':') {
      kb = atol(line + k + 1);
      break;
    }
  }
  if (f != NULL) fclose(f);
  return kb;
}

int main(int argc, char** argv) {
  if (argc != 3 || (strcmp(argv[1], "find") != 0 && strcmp(argv[1], "country") != 0)) {
    fprintf(stderr, "usage: loop find|country POINTS.f64\n");
    return 2;
  }
  FILE* in = fopen(argv[2], "rb");
  if (in == NULL || fseek(in, 0, SEEK_END) != 0) return perror(argv[2]), 1;
  const size_t n = (size_t)ftell(in) / 16;
  double* xy = malloc(n * 16);
  rewind(in);
  if (xy == NULL || fread(xy, 16, n, in) != n) return perror(argv[2]), 1;
  fclose(in);
  const int find = strcmp(argv[1], "find") == 0;
  gx_free(gx_find(0, 0));  // the State is ready before any timing
  FILE* reset = fopen("/proc/self/clear_refs", "w");
  if (reset != NULL) fputs("5", reset), fclose(reset);
  const long before = status_kb("VmRSS");
  size_t answered = 0;
  struct timespec t0, t1;
  clock_gettime(CLOCK_MONOTONIC, &t0);
  for (size_t i = 0; i < n; ++i) {
    char* a = find ? gx_find(xy[2 * i], xy[2 * i + 1]) : gx_country_at(xy[2 * i], xy[2 * i + 1]);
    answered += a != NULL && a[0] != 'n' && a[2] != 'e';  // neither null nor {"error":...}
    gx_free(a);
  }
  clock_gettime(CLOCK_MONOTONIC, &t1);
  const double s = (double)(t1.tv_sec - t0.tv_sec) + (double)(t1.tv_nsec - t0.tv_nsec) / 1e9;
  printf("{\"points\":%zu,\"seconds\":%.6f,\"per_s\":%.1f,\"bytes_per_point\":%.2f,\"answered\":%zu}\n",
         n, s, (double)n / s, (double)(status_kb("VmHWM") - before) * 1024.0 / (double)n, answered);
  free(xy);
  return 0;
}
