// Checks the generated data files the way the library will read them, without
// sharing any code with build.mjs: strict syntax, schema, geometry sanity, and
// the country found at places whose answer is known.
//
//   node tools/dataset/check.mjs
//
// Prints "N passed, N failed" and exits non-zero on any failure.

import { readFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

const dataDir = join(dirname(fileURLToPath(import.meta.url)), "..", "..", "data");
let passed = 0, failed = 0;
function check(ok, what) {
  if (ok) passed++;
  else {
    failed++;
    console.log(`FAIL ${what}`);
  }
}

// ---- syntax the library's reader accepts
function lexCheck(file, text) {
  check(!text.includes("\\u"), `${file}: contains a \\u escape`);
  check(!/[\u0000-\u0009\u000b-\u001f]/.test(text), `${file}: contains a raw control character`);
  // Every string escape is one of \" \\ \/ \b \f \n \r \t.
  check(!/\\[^"\\/bfnrt]/.test(text.replace(/\\\\/g, "")), `${file}: contains an unsupported escape`);
  // Numbers outside strings: strip strings first.
  const bare = text.replace(/"(?:[^"\\]|\\.)*"/g, '""');
  const nums = bare.match(/-?\d[\d.eE+-]*/g) || [];
  const bad = nums.filter((n) => !/^-?(0|[1-9]\d*)(\.\d{1,6})?$/.test(n) || n === "-0" || /^-0(\.0+)?$/.test(n));
  check(bad.length === 0, `${file}: ${bad.length} numbers with exponent, -0 or >6 decimals, e.g. ${bad.slice(0, 3)}`);
  check(text.endsWith("\n"), `${file}: no final newline`);
}

const airportsText = readFileSync(join(dataDir, "airports.json"), "utf8");
const countriesText = readFileSync(join(dataDir, "countries.geojson"), "utf8");
const provenance = JSON.parse(readFileSync(join(dataDir, "provenance.json"), "utf8"));
lexCheck("airports.json", airportsText);
lexCheck("countries.geojson", countriesText);
lexCheck("provenance.json", readFileSync(join(dataDir, "provenance.json"), "utf8"));

// ---- airports
const airports = JSON.parse(airportsText);
check(Array.isArray(airports) && airports.length > 8000, "airports.json: expected an array of more than 8000 airports");
check(airportsText.split("\n").length === airports.length + 3, "airports.json: not one airport per line");
{
  let prev = "";
  for (const a of airports) {
    const keys = Object.keys(a).join(",");
    if (keys !== "iata,name,city,country,lat,lng") { check(false, `airport ${a.iata}: members ${keys}`); break; }
    if (!/^[A-Z]{3}$/.test(a.iata) || a.iata <= prev) { check(false, `airport ${a.iata}: bad code or not sorted/unique after ${prev}`); break; }
    prev = a.iata;
    if (!/^[A-Z]{2}$/.test(a.country) || typeof a.name !== "string" || !a.name || typeof a.city !== "string") { check(false, `airport ${a.iata}: bad country/name/city`); break; }
    if (!(Math.abs(a.lat) <= 90 && Math.abs(a.lng) <= 180)) { check(false, `airport ${a.iata}: coordinates out of range`); break; }
  }
  check(true, "airport records");
}
const byIata = new Map(airports.map((a) => [a.iata, a]));
for (const [iata, country, lat, lng] of [
  ["CDG", "FR", 49.0, 2.5],
  ["JFK", "US", 40.6, -73.8],
  ["FUN", "TV", -8.5, 179.2],
  ["SYD", "AU", -33.9, 151.2],
]) {
  const a = byIata.get(iata);
  check(a && a.country === country && Math.abs(a.lat - lat) < 0.2 && Math.abs(a.lng - lng) < 0.2, `airport ${iata} missing or misplaced`);
}

// ---- countries
const fc = JSON.parse(countriesText);
check(fc.type === "FeatureCollection" && Array.isArray(fc.features), "countries.geojson: not a FeatureCollection");
check(countriesText.split("\n").length === fc.features.length + 3, "countries.geojson: not one feature per line");
const features = fc.features;
const names = new Map();
let rings = 0, positions = 0, geomErrors = [];
for (const f of features) {
  const p = f.properties || {};
  const keys = Object.keys(p).join(",");
  if (keys !== "iso_a2,name" || !(p.iso_a2 === "-99" || /^[A-Z]{2}$/.test(p.iso_a2)) || !p.name) geomErrors.push(`properties ${JSON.stringify(p)}`);
  if (/\.( |$)/.test(p.name)) geomErrors.push(`abbreviated name ${p.name}`);
  if (p.iso_a2 !== "-99") names.set(p.iso_a2, p.name);
  if ("geometry" in f) {
    const g = f.geometry;
    if (!g || (g.type !== "Polygon" && g.type !== "MultiPolygon")) { geomErrors.push(`${p.iso_a2}: geometry ${JSON.stringify(g)}`); continue; }
    const polys = g.type === "Polygon" ? [g.coordinates] : g.coordinates;
    for (const poly of polys)
      for (const ring of poly) {
        rings++;
        positions += ring.length;
        const n = ring.length;
        if (n < 4 || ring[0][0] !== ring[n - 1][0] || ring[0][1] !== ring[n - 1][1]) geomErrors.push(`${p.iso_a2}: ring not closed`);
        for (let i = 0; i < n; i++) {
          const [x, y] = ring[i];
          if (ring[i].length !== 2 || !(Math.abs(x) <= 180 && Math.abs(y) <= 90)) geomErrors.push(`${p.iso_a2}: position ${ring[i]}`);
          if (i && Math.abs(x - ring[i - 1][0]) > 180) geomErrors.push(`${p.iso_a2}: edge across the antimeridian at ${ring[i]}`);
        }
      }
  }
}
check(geomErrors.length === 0, `countries.geojson: ${geomErrors.length} problems, e.g. ${geomErrors.slice(0, 5).join("; ")}`);
check(features.length >= 241 && rings > 1500 && positions > 95000, `countries.geojson: only ${features.length} features, ${rings} rings, ${positions} positions`);
check(
  provenance.countries.features === features.length && provenance.countries.rings === rings && provenance.countries.positions === positions && provenance.airports.count === airports.length,
  "provenance.json counts do not match the data files",
);
check(/^\d{4}-\d{2}-\d{2}$/.test(provenance.date) && provenance.natural_earth.edition === "4.1.0", "provenance.json: date or edition");
for (const c of new Set(airports.map((a) => a.country))) check(names.has(c), `airport country ${c} has no feature with its name`);
check(names.get("US") === "United States" && names.get("CD") === "Democratic Republic of the Congo" && names.get("BA") === "Bosnia and Herzegovina", "expected common names");

// ---- lookup with the library's rules: even-odd over all rings of a feature;
// among containing features the smallest containing ring (by bbox area) wins.
const index = features
  .filter((f) => f.geometry)
  .map((f) => {
    const polys = f.geometry.type === "Polygon" ? [f.geometry.coordinates] : f.geometry.coordinates;
    return {
      code: f.properties.iso_a2,
      rings: polys.flat().map((ring) => {
        const xs = ring.map((p) => p[0]), ys = ring.map((p) => p[1]);
        const bb = [Math.min(...xs), Math.min(...ys), Math.max(...xs), Math.max(...ys)];
        return { ring, bb, area: (bb[2] - bb[0]) * (bb[3] - bb[1]) };
      }),
    };
  });
function lookup(lng, lat) {
  let best = null, bestArea = Infinity;
  for (const f of index) {
    let inside = false, smallest = Infinity;
    for (const { ring, bb, area } of f.rings) {
      if (lng < bb[0] || lng > bb[2] || lat < bb[1] || lat > bb[3]) continue;
      let c = false;
      for (let i = 0, j = ring.length - 1; i < ring.length; j = i++) {
        const [xi, yi] = ring[i], [xj, yj] = ring[j];
        if (yi > lat !== yj > lat && lng < ((xj - xi) * (lat - yi)) / (yj - yi) + xi) c = !c;
      }
      if (c) {
        inside = !inside;
        smallest = Math.min(smallest, area);
      }
    }
    if (inside && smallest < bestArea) {
      best = f.code;
      bestArea = smallest;
    }
  }
  return best;
}

const places = [
  // antimeridian: Fiji and Russia are cut, not wrapped around the world
  ["Viti Levu, Fiji", 178.0, -17.8, "FJ"],
  ["Taveuni, Fiji, east of 180", -179.9, -16.74, "FJ"],
  ["ocean at Fiji's latitude", 0, -16.5, null],
  ["Indian Ocean at Fiji's latitude", 80, -16.5, null],
  ["Pacific at Fiji's latitude", -150, -16.5, null],
  ["Moscow", 37.62, 55.75, "RU"],
  ["Chukotka east of 180", -175, 66.5, "RU"],
  ["Anadyr airport", 177.74148, 64.73495, "RU"],
  ["Chukotka west of 180", 175, 66, "RU"],
  ["Bering Sea", -178, 60, null],
  ["Atlantic at Russia's latitudes", -30, 65, null],
  // Antarctica closes along the pole
  ["South Pole", 0, -89.99, "AQ"],
  ["Antarctic plateau", 100, -80, "AQ"],
  ["Southern Ocean", 0, -50, null],
  ["Arctic Ocean", 0, 89, null],
  // holes stay holes
  ["Maseru (a hole in South Africa)", 27.48, -29.31, "LS"],
  ["Johannesburg", 28.04, -26.2, "ZA"],
  // micro-states
  ["Vatican City", 12.4534, 41.9029, "VA"],
  ["Rome", 12.4964, 41.9028, "IT"],
  ["Rome, where the 1:50m Vatican outline was", 12.435, 41.902, "IT"],
  ["Monaco", 7.4246, 43.7384, "MC"],
  ["Nice", 7.262, 43.703, "FR"],
  ["San Marino", 12.4578, 43.9424, "SM"],
  ["Vaduz", 9.5209, 47.141, "LI"],
  ["Andorra la Vella", 1.5218, 42.5063, "AD"],
  ["Gibraltar", -5.3536, 36.1408, "GI"],
  ["Macao", 113.5439, 22.1987, "MO"],
  ["Funafuti atoll", 179.203, -8.51, "TV"],
  ["Wake Island", 166.63, 19.28, "UM"],
  // territories split from their sovereign
  ["Cayenne", -52.33, 4.92, "GF"],
  ["Pointe-à-Pitre airport", -61.53181, 16.26531, "GP"],
  ["Basse-Terre, Guadeloupe", -61.68, 16.15, "GP"],
  ["Fort-de-France", -61.07, 14.62, "MQ"],
  ["Saint-Denis, Réunion", 55.45, -20.9, "RE"],
  ["Mayotte", 45.15, -12.83, "YT"],
  ["Longyearbyen", 15.63, 78.22, "SJ"],
  ["Kralendijk", -68.27, 12.15, "BQ"],
  ["Paris", 2.35, 48.86, "FR"],
  ["Oslo", 10.75, 59.91, "NO"],
  ["Amsterdam", 4.9, 52.37, "NL"],
  ["Christmas Island", 105.63, -10.49, "CX"],
  ["Cocos (Keeling) Islands", 96.92, -12.19, "CC"],
  ["Pristina", 21.17, 42.67, "XK"],
  // corrections and exclaves
  ["Borkum", 6.7, 53.59, "DE"],
  ["Ceuta", -5.32, 35.89, "ES"],
  ["Melilla", -2.94, 35.29, "ES"],
  ["Llívia", 1.98, 42.465, "ES"],
  ["Honolulu", -157.86, 21.31, "US"],
  ["Hargeisa", 44.06, 9.56, "-99"],
];
for (const [what, lng, lat, want] of places) {
  const got = lookup(lng, lat);
  check(got === want, `${what} (${lng}, ${lat}): got ${got}, want ${want}`);
}

// The agreement figure the build reports, recomputed.
let inside = 0, agree = 0;
for (const a of airports) {
  const c = lookup(a.lng, a.lat);
  if (c === null) continue;
  inside++;
  if (c === a.country) agree++;
}
check(agree / inside >= 0.995, `only ${((100 * agree) / inside).toFixed(2)}% of airports agree`);
check(provenance.agreement.agree === agree && provenance.agreement.airports_inside === inside, "provenance.json agreement figures differ from a recount");
console.log(`agreement: ${agree}/${inside} airports inside an outline (${((100 * agree) / inside).toFixed(2)}%)`);

console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
