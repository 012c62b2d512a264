/* The cost of the first call in a fresh process: loads the library (not timed), then times the
 * first gx_country_at and reads the process's private dirty memory before and after it.
 * Prints "first_call_ms private_dirty_kb_growth".
 *
 *   first_call path/to/libgantrix.so */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static long private_dirty_kb(void) {
  FILE* f = fopen("/proc/self/smaps_rollup", "r");
  char line[256];
  long kb = -1;
  if (f == NULL) return -1;
  while (fgets(line, sizeof line, f) != NULL) {
    if (strncmp(line, "Private_Dirty:", 14) == 0) kb = strtol(line + 14, NULL, 10);
  }
  fclose(f);
  return kb;
}

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: first_call LIBRARY\n");
    return 2;
  }
  void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (lib == NULL) {
    fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  char* (*country_at)(double, double) = (char* (*)(double, double))dlsym(lib, "gx_country_at");
  void (*release)(char*) = (void (*)(char*))dlsym(lib, "gx_free");
  if (country_at == NULL || release == NULL) return 1;
  const long before = private_dirty_kb();
  const double t0 = now_ms();
  char* answer = country_at(48.8566, 2.3522);
  const double t1 = now_ms();
  const long after = private_dirty_kb();
  if (answer == NULL || strcmp(answer, "\"fr\"") != 0) {
    fprintf(stderr, "unexpected answer %s\n", answer != NULL ? answer : "(null)");
    return 1;
  }
  release(answer);
  printf("%.3f %ld\n", t1 - t0, after - before);
  return 0;
}
