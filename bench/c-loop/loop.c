// The C loop the bindings' batches are measured against: gx_find or gx_country_at over every
// point of a file of little-endian float64 (lat, lng) pairs, each answer freed, on THREADS
// threads (default 1), each taking a contiguous share. Prints one line of JSON, as
// bench/country-coder/run.mjs does: wall and CPU time, and the peak memory per point above
// what the process held once the points were read and the library's data paged in.
//   loop find|country POINTS.f64 [THREADS]
#include <pthread.h>
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

// The library's data are file pages, shared by every process that maps the library: they are
// brought in before the measure, which counts what the lookups allocate.
static void touch_library(void) {
  FILE* maps = fopen("/proc/self/maps", "r");
  char line[4096];
  volatile char sink = 0;
  while (maps != NULL && fgets(line, sizeof line, maps) != NULL) {
    unsigned long lo, hi;
    char perms[5];
    if (sscanf(line, "%lx-%lx %4s", &lo, &hi, perms) == 3 && perms[0] == 'r' &&
        strstr(line, "libgantrix") != NULL) {
      for (unsigned long p = lo; p < hi; p += 4096) sink += *(const volatile char*)p;
    }
  }
  if (maps != NULL) fclose(maps);
}

struct share {
  const double* xy;
  size_t from, to, answered;
  int find;
};

static void* run(void* arg) {
  struct share* s = arg;
  for (size_t i = s->from; i < s->to; ++i) {
    const double lat = s->xy[2 * i], lng = s->xy[2 * i + 1];
    char* a = s->find ? gx_find(lat, lng) : gx_country_at(lat, lng);
    s->answered += a != NULL && a[0] != 'n' && a[2] != 'e';  // neither null nor {"error":...}
    gx_free(a);
  }
  return NULL;
}

static double seconds(clockid_t clock) {
  struct timespec t;
  clock_gettime(clock, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
  if (argc < 3 || (strcmp(argv[1], "find") != 0 && strcmp(argv[1], "country") != 0)) {
    fprintf(stderr, "usage: loop find|country POINTS.f64 [THREADS]\n");
    return 2;
  }
  const int threads = argc > 3 ? atoi(argv[3]) : 1;
  FILE* in = fopen(argv[2], "rb");
  if (in == NULL || fseek(in, 0, SEEK_END) != 0 || threads < 1 || threads > 64) return perror(argv[2]), 1;
  const size_t n = (size_t)ftell(in) / 16;
  double* xy = malloc(n * 16);
  rewind(in);
  if (xy == NULL || fread(xy, 16, n, in) != n) return perror(argv[2]), 1;
  fclose(in);
  const int find = strcmp(argv[1], "find") == 0;
  struct share warm = {xy, 0, n < 10000 ? n : 10000, 0, find};
  run(&warm);  // the State ready, the caches warm
  touch_library();
  FILE* reset = fopen("/proc/self/clear_refs", "w");
  if (reset != NULL) fputs("5", reset), fclose(reset);
  const long before = status_kb("VmRSS");
  struct share shares[64];
  pthread_t ids[64];
  const double wall = seconds(CLOCK_MONOTONIC), cpu = seconds(CLOCK_PROCESS_CPUTIME_ID);
  for (int t = 0; t < threads; ++t) {
    shares[t] = (struct share){xy, n * t / threads, n * (t + 1) / threads, 0, find};
    if (t > 0) pthread_create(&ids[t], NULL, run, &shares[t]);
  }
  run(&shares[0]);
  size_t answered = shares[0].answered;
  for (int t = 1; t < threads; ++t) pthread_join(ids[t], NULL), answered += shares[t].answered;
  const double s = seconds(CLOCK_MONOTONIC) - wall, c = seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu;
  printf("{\"points\":%zu,\"seconds\":%.6f,\"cpu_seconds\":%.6f,\"per_s\":%.1f,"
         "\"bytes_per_point\":%.2f,\"answered\":%zu}\n",
         n, s, c, (double)n / s, (double)(status_kb("VmHWM") - before) * 1024.0 / (double)n, answered);
  free(xy);
  return 0;
}
