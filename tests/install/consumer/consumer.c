/* A program built against an installed Gantrix: one lookup, everything freed. */
#include <stdio.h>

#include <gantrix.h>

int main(void) {
  char *airport = gx_find(48.8566, 2.3522);
  char *country = gx_country_at(48.8566, 2.3522);
  int ok = airport != NULL && country != NULL;
  if (ok) printf("%s %s\n", airport, country);
  else fprintf(stderr, "%s\n", gx_error());
  gx_free(airport);
  gx_free(country);
  return ok ? 0 : 1;
}
