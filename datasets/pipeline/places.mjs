// Every populated place of the cities package answered the way the library answers a query, on
// any outlines: the fixed boxes, the outlines, the probes north first and clockwise at growing
// radii, then the country of the nearest airport. The build uses it to keep simplification from
// moving a place out of its country, and to count the places answered with their own code.
// The rules are read from the library's source (src/query/country_rules.h).

import { readFileSync } from "node:fs";
import { UNIT } from "./precise.mjs";

export function readRules(path) {
  const text = readFileSync(path, "utf8");
  const list = (name) => {
    const m = text.match(new RegExp(`\\b${name}\\b[^=]*=\\s*\\{([^;]*)\\};`));
    if (!m) throw new Error(`${path}: ${name} not found`);
    return m[1];
  };
  const numbers = (name) => list(name).replace(/\/\/[^\n]*/g, "").match(/-?\d+(\.\d+)?/g).map(Number);
  const boxes = [...list("SPECIAL_BOXES").matchAll(/\{([^{}]*)\}/g)].map(([, b]) => {
    const [, y0, y1, x0, x1, code] = b.match(/^\s*(\S+),\s*(\S+),\s*(\S+),\s*(\S+),\s*"([a-z]{2})"\s*$/);
    return [Number(y0), Number(y1), Number(x0), Number(x1), code.toUpperCase()];
  });
  const d = numbers("DIRECTIONS"), directions = [];
  for (let k = 0; k < d.length; k += 2) directions.push([d[k], d[k + 1]]);
  const radii = numbers("RADII");
  const nearbyKm = Number(text.match(/NEARBY_AIRPORT_KM\s*=\s*([\d.]+)/)[1]);
  if (!boxes.length || radii.length !== 6 || directions.length !== 16 || !(nearbyKm > 0)) throw new Error(`${path}: the rules did not read as expected`);
  return { boxes, radii, directions, nearbyKm };
}

export function kmBetween(lat1, lng1, lat2, lng2) {
  const r = Math.PI / 180;
  const h = Math.sin(((lat2 - lat1) * r) / 2) ** 2 + Math.cos(lat1 * r) * Math.cos(lat2 * r) * Math.sin(((lng2 - lng1) * r) / 2) ** 2;
  return 2 * 6371 * Math.asin(Math.min(1, Math.sqrt(h)));
}

// codeAt(lng, lat) -> code or null, for outlines in degrees. Returns (lat, lng) -> [code, how,
// radius in degrees of the probe that answered (0 for the outline)].
export function resolver(rules, codeAt, airports) {
  const cell = new Map();
  for (const a of airports) {
    const k = `${Math.floor(a.lat / 5)},${Math.floor(a.lng / 5)}`;
    if (!cell.has(k)) cell.set(k, []);
    cell.get(k).push(a);
  }
  return (lat, lng) => {
    if (lng === 180) lng = -180;
    for (const [y0, y1, x0, x1, code] of rules.boxes) if (y0 <= lat && lat <= y1 && x0 <= lng && lng <= x1) return [code, "box", 0];
    const exact = codeAt(lng, lat);
    if (exact) return [exact, "outline", 0];
    for (const r of rules.radii)
      for (const [dy, dx] of rules.directions) {
        let [y, x] = [lat + dy * r, lng + dx * r];
        if (y > 90) [y, x] = [180 - y, x + 180];
        else if (y < -90) [y, x] = [-180 - y, x + 180];
        if (x >= 180) x -= 360;
        else if (x < -180) x += 360;
        const hit = codeAt(x, y);
        if (hit) return [hit, "probe", r];
      }
    let near = null, nearKm = rules.nearbyKm;
    for (const a of airports) {
      const d = kmBetween(lat, lng, a.lat, a.lng);
      if (d <= nearKm) [near, nearKm] = [a, d];
    }
    return near ? [near.country, "airport", Infinity] : [null, "none", Infinity];
  };
}

// Outlines of integer UNITs (features with a code) as a codeAt function, over an index from
// indexOutlines.
export function codeAtIndex(features, index) {
  return (lng, lat) => {
    const fi = index.locate(lng * UNIT, lat * UNIT);
    return fi >= 0 ? features[fi].code : null;
  };
}

// Answers every place; returns an array of [code, how, radius].
export function answerAll(places, resolve) {
  return places.map((p) => resolve(p.lat, p.lng));
}

// Places answered with their own country code, per country (the package's codes, with the
// code policy's: Western Sahara's places are Morocco's).
export function ownCounts(places, answers) {
  const counts = {};
  places.forEach((p, i) => {
    const own = p.country === "EH" ? "MA" : p.country;
    if (answers[i][0] === own) counts[own] = (counts[own] || 0) + 1;
  });
  return Object.fromEntries(Object.entries(counts).sort((a, b) => (a[0] < b[0] ? -1 : 1)));
}
