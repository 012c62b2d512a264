// What the tests share: the package, the C functions it is compared with (the addon's _c,
// linked from the same archive as libgantrix.so), and seeded points on land and at sea.
import { createRequire } from "node:module";

const require = createRequire(import.meta.url);
export const gantrix = require("../index.js");
export const c = require("../build/gantrix.node")._c;

// mulberry32: the same points on every run.
export function random(seed) {
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

// Coordinates the library treats specially: invalid ones, the poles, the antimeridian,
// longitudes to be wrapped (some far beyond 2^53), and signed zeros.
export const EDGES = [
  [NaN, 0], [0, NaN], [Infinity, 0], [0, -Infinity], [90.0000001, 0], [-91, 10], [90, 0], [-90, 0],
  [0, 180], [0, -180], [48.85, 362.35], [48.85, -357.65], [1, 1e300], [-33.9, 151.2 + 720 * 1e6],
  [0, 2 ** 53], [10, -(2 ** 60)], [-0, -0], [0, 0], [5e-324, -5e-324], [45, -20], [30, -40],
];

// n points: a third uniform over the sphere (mostly sea), a third within half a degree of a
// random airport (land and coasts), a third uniform in latitude and longitude, then EDGES.
export function points(n, seed = 1) {
  const r = random(seed);
  const lats = new Float64Array(n + EDGES.length);
  const lngs = new Float64Array(n + EDGES.length);
  const airports = airportRecords();
  for (let i = 0; i < n; i++) {
    const kind = i % 3;
    if (kind === 0) {
      lats[i] = (Math.asin(2 * r() - 1) * 180) / Math.PI;
      lngs[i] = r() * 360 - 180;
    } else if (kind === 1) {
      const a = airports[Math.floor(r() * airports.length)];
      lats[i] = Math.max(-90, Math.min(90, a.lat + r() - 0.5));
      lngs[i] = a.lng + r() - 0.5;
    } else {
      lats[i] = r() * 180 - 90;
      lngs[i] = r() * 360 - 180;
    }
  }
  EDGES.forEach(([lat, lng], k) => {
    lats[n + k] = lat;
    lngs[n + k] = lng;
  });
  return { lats, lngs };
}

let records = null;
// Every airport of the compiled-in table, as gx_airport answers it.
export function airportRecords() {
  if (records !== null) return records;
  records = [];
  const native = require("../build/gantrix.node");
  for (let id = 0, n = native._airportCount(); id < n; id++) {
    const { code } = JSON.parse(native._airportAnswer(id));
    records.push(JSON.parse(c.airport(code.slice(code.indexOf(".") + 1))));
  }
  return records;
}
