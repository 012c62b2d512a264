/* One lookup through the public C interface: gantrix-lookup LAT LNG prints the airport that
 * serves the coordinate and the country that contains it. */
#include <stdio.h>
#include <stdlib.h>

#include "gantrix.h"

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s LAT LNG\n", argv[0]);
    return 2;
  }
  double lat = strtod(argv[1], NULL);
  double lng = strtod(argv[2], NULL);
  char *airport = gx_find(lat, lng);
  char *country = gx_country_at(lat, lng);
  if (airport == NULL || country == NULL) {
    fprintf(stderr, "gantrix: %s\n", gx_error());
    gx_free(airport);
    gx_free(country);
    return 1;
  }
  printf("%s\n%s\n", airport, country);
  gx_free(airport);
  gx_free(country);
  return 0;
}
