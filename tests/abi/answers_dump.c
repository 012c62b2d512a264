/* Writes one line per call for a seeded stream of calls to all twelve functions: the call
 * with its arguments (doubles in hexadecimal, so exact) and the answer or the error. Two
 * builds of the library answer the same when their dumps are the same file:
 *
 *   answers_dump [calls] [seed] > before.txt   ...change the library...   cmp before.txt after.txt
 *
 * The calls mix ordinary points, points near airports, odd numbers (NaN, infinities, -0,
 * longitudes far past 180), codes in any case with white space, unknown and non-ASCII codes,
 * sets created and freed in between, and presence flags other than 0 and 1. */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "gantrix.h"

static uint64_t state;

static uint64_t next(void) { /* SplitMix64 */
  uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}
static double uniform(double lo, double hi) {
  return lo + (hi - lo) * ((double)(next() >> 11) * 0x1.0p-53);
}
static unsigned below(unsigned n) { return (unsigned)(next() % n); }

/* Places of airports seen so far (from gx_airport answers), for points near them. */
#define MAX_PLACES 4096
static double place_lat[MAX_PLACES], place_lng[MAX_PLACES];
static unsigned places;

static void remember_place(const char *json) {
  const char *la = json ? strstr(json, "\"lat\":") : NULL;
  const char *ln = json ? strstr(json, "\"lng\":") : NULL;
  if (la == NULL || ln == NULL || places == MAX_PLACES) return;
  place_lat[places] = strtod(la + 6, NULL);
  place_lng[places] = strtod(ln + 6, NULL);
  ++places;
}

static double odd_number(void) {
  static const double odd[] = {0.0, -0.0, 90.0, -90.0, 180.0, -180.0, 90.0000001, 540.0,
                               -359.99, 1e300, -1e300, 4.9e-324, 1e-9, 2.0, 1000.0};
  switch (below(4)) {
    case 0: return NAN;
    case 1: return below(2) ? INFINITY : -INFINITY;
    default: return odd[below(sizeof odd / sizeof odd[0])];
  }
}

static void point(double *lat, double *lng) {
  const unsigned k = below(20);
  if (k == 0) {
    *lat = below(2) ? odd_number() : uniform(-90, 90);
    *lng = below(2) ? odd_number() : uniform(-180, 180);
  } else if (k < 9 && places > 0) {
    const unsigned p = below(places);
    const double r = below(3) == 0 ? 0.001 : below(2) ? 0.3 : 3.0;
    *lat = place_lat[p] + uniform(-r, r);
    *lng = place_lng[p] + uniform(-r, r);
    if (*lat > 90.0 || *lat < -90.0) *lat = place_lat[p];
  } else if (k < 11) {
    *lat = uniform(-90, 90);
    *lng = uniform(-720, 720);
  } else {
    *lat = asin(uniform(-1, 1)) * 57.29577951308232;
    *lng = uniform(-180, 180);
  }
}

/* A code: three random letters (most name an airport), in either case, sometimes padded,
 * sometimes odd. */
static void code(char *out) {
  const unsigned k = below(16);
  if (k == 0) {
    static const char *odd[] = {"", "  ", "\t\n", "JFKX", "J", "\xc3\xa9\xc3\xa9", "jf k",
                                "\x1f", "12", " cdg\r\n", "\x7f\x80\xff"};
    strcpy(out, odd[below(sizeof odd / sizeof odd[0])]);
    return;
  }
  const char base = below(4) == 0 ? 'a' : 'A';
  char letters[4] = {(char)(base + below(26)), (char)(base + below(26)), (char)(base + below(26)),
                     0};
  if (below(6) == 0) sprintf(out, " %s\t", letters);
  else strcpy(out, letters);
}

static void print_text(const char *s) {
  putchar('"');
  for (; *s; ++s) {
    const unsigned char c = (unsigned char)*s;
    if (c < 0x20 || c >= 0x7f || c == '"' || c == '\\') printf("\\x%02x", c);
    else putchar(c);
  }
  putchar('"');
}

/* Prints the answer and frees it; a null answer prints the error text. */
static char *answer(char *got) {
  if (got == NULL) {
    printf(" -> NULL ");
    print_text(gx_error());
  } else {
    printf(" -> %s", got);
  }
  putchar('\n');
  return got;
}

#define MAX_HANDLES 64
static int64_t handles[MAX_HANDLES];
static unsigned nhandles;

static unsigned handles_made;

/* Mostly a live set; sometimes a freed, unknown or negative handle. */
static int64_t some_handle(void) {
  const unsigned k = below(12);
  if (k == 0) return -1 - (int64_t)below(3);
  if (k == 1) return (int64_t)below(200);
  if (k == 2) return INT64_MAX;
  if (nhandles == 0) return 0;
  return handles[below(nhandles)];
}

static void forget_handle(int64_t h) {
  for (unsigned j = 0; j < nhandles; ++j) {
    if (handles[j] == h) handles[j] = handles[--nhandles];
  }
}

static int64_t flag(void) {
  static const int64_t flags[] = {1, 1, 1, 0, 0, 2, -1};
  return flags[below(sizeof flags / sizeof flags[0])];
}

static void call(void) {
  double lat, lng;
  char c[32];
  int64_t h;
  switch (below(12)) {
    case 0:
    case 1:
      point(&lat, &lng);
      printf("find %a %a", lat, lng);
      gx_free(answer(gx_find(lat, lng)));
      break;
    case 2:
      point(&lat, &lng);
      printf("country_at %a %a", lat, lng);
      gx_free(answer(gx_country_at(lat, lng)));
      break;
    case 3: {
      code(c);
      const int null_code = below(40) == 0;
      printf("airport ");
      print_text(null_code ? "(NULL)" : c);
      char *got = answer(gx_airport(null_code ? NULL : c));
      remember_place(got);
      gx_free(got);
      break;
    }
    case 4: {
      /* A list of codes joined by 0x1F, with repeats and unknown codes. */
      char list[2048] = "";
      const unsigned n = below(5) == 0 ? 0 : 1 + below(below(4) == 0 ? 60 : 8);
      for (unsigned j = 0; j < n; ++j) {
        code(c);
        if (j > 0) strcat(list, "\x1f");
        strcat(list, c);
      }
      int64_t count = n;
      const unsigned k = below(10);
      if (k == 0) count = 0;
      if (k == 1) count = -5;
      const char *codes = k == 2 ? NULL : list;
      printf("set_new ");
      print_text(codes ? codes : "(NULL)");
      printf(" %lld", (long long)count);
      char *got = answer(gx_set_new(codes, count));
      if (got != NULL) {
        /* The oldest live sets give way to new ones (and stay allocated). */
        if (nhandles == MAX_HANDLES) handles[handles_made % MAX_HANDLES] = strtoll(got, NULL, 10);
        else handles[nhandles++] = strtoll(got, NULL, 10);
        ++handles_made;
      }
      gx_free(got);
      break;
    }
    case 5:
      if (below(3) != 0) {
        /* Keep most sets alive: the queries need them. */
        printf("set_size");
        h = some_handle();
        printf(" %lld", (long long)h);
        gx_free(answer(gx_set_size(h)));
        break;
      }
      h = some_handle();
      printf("set_free %lld", (long long)h);
      gx_free(answer(gx_set_free(h)));
      if (below(2)) forget_handle(h); /* else keep it: queries on a freed handle fail */
      break;
    case 6:
      h = some_handle();
      code(c);
      printf("set_include %lld ", (long long)h);
      print_text(c);
      gx_free(answer(gx_set_include(h, below(40) == 0 ? NULL : c)));
      break;
    case 7:
      h = some_handle();
      printf("set_missing %lld", (long long)h);
      gx_free(answer(gx_set_missing(h)));
      break;
    case 8:
    case 9: {
      h = some_handle();
      point(&lat, &lng);
      static const char *countries[] = {"us", "FR", "de", "gb", "xx", "", " us", "cn", "au",
                                        "br", "ru", "ca", "in", "jp", "za", "aq"};
      const char *country = below(10) == 0 ? NULL : countries[below(16)];
      const int64_t has_country = below(2) ? flag() : 0;
      const double max_km = below(8) == 0 ? odd_number() : uniform(0, 3000);
      const int64_t has_max_km = below(2) ? flag() : 0;
      const int64_t limit = below(10) == 0 ? -(int64_t)below(3) : (int64_t)below(12);
      printf("set_nearest %lld %a %a ", (long long)h, lat, lng);
      print_text(country ? country : "(NULL)");
      printf(" %lld %a %lld %lld", (long long)has_country, max_km, (long long)has_max_km,
             (long long)limit);
      gx_free(answer(
          gx_set_nearest(h, lat, lng, country, has_country, max_km, has_max_km, limit)));
      break;
    }
    case 10: {
      h = some_handle();
      point(&lat, &lng);
      const double fmax = below(8) == 0 ? odd_number() : uniform(0, 3000);
      const int64_t has = below(2) ? flag() : 0;
      printf("set_resolve %lld %a %a %a %lld", (long long)h, lat, lng, fmax, (long long)has);
      gx_free(answer(gx_set_resolve(h, lat, lng, fmax, has)));
      break;
    }
    default:
      printf("error ");
      print_text(gx_error());
      putchar('\n');
      gx_free(NULL);
      break;
  }
}

int main(int argc, char **argv) {
  const long calls = argc > 1 ? atol(argv[1]) : 60000;
  state = argc > 2 ? strtoull(argv[2], NULL, 0) : 0x5EED;
  for (long j = 0; j < calls; ++j) call();
  /* Free what is left, as a host does before it exits. */
  for (unsigned j = 0; j < nhandles; ++j) gx_free(gx_set_free(handles[j]));
  return 0;
}
