// The precise outlines: OpenStreetMap-derived land borders from @geo-maps/countries-land-250m,
// simplified with their topology kept. Every border shared by two countries is cut into the same
// runs of points on both sides and each run is simplified once, so the two sides stay one line:
// no slivers, no gaps. Land borders keep a tight tolerance, coastlines a coarser one (sea points
// are answered by the probes and the nearby-airport stage).
//
// The source is quantised to 0.001 degree. Every coordinate is handled as an integer number of
// UNITs, half a thousandth of a degree, so that the midpoint of two source points (where a gap
// between neighbours is split) is exact too; a point is identified by one integer key.

import { readFileSync } from "node:fs";
import { join } from "node:path";

// Douglas-Peucker tolerances in metres: a run of border shared by two countries, and a coastline.
export const LAND_TOLERANCE_M = 100;
export const COAST_TOLERANCE_M = 5000;
// A coastline within NEAR_DEG of another country (a river or strait between two towns) keeps
// the land tolerance's order of precision.
export const NEAR_COAST_TOLERANCE_M = 800;
// A middle line drawn through a gap between neighbours (gaps.mjs) follows the midpoints of a
// triangulation and zigzags at the scale of the banks' points; it is simplified as the line it
// stands for. A place it would move is protected by the place check (simplify's repair).
export const MIDDLE_TOLERANCE_M = 300;
const NEAR_DEG = 0.02;
// Islands and lakes that touch no other country are dropped below these areas (km²), unless an
// airport stands on the island. A country's largest polygon is always kept.
export const ISLAND_MIN_KM2 = 50;
export const LAKE_MIN_KM2 = 300;
const REPAIR_ROUNDS = 3;

export const UNIT = 2000; // per degree
const KM_PER_DEG = 111.32;
const M_PER_UNIT = (KM_PER_DEG * 1000) / UNIT;
export const key = (x, y) => (x + 180 * UNIT) * (200 * UNIT) + (y + 90 * UNIT);
const rad = (v) => (v / UNIT) * (Math.PI / 180);

function ringAreaKm2(r) {
  // r: flat [x0, y0, x1, y1, ...] in thousandths, closed.
  let a = 0, ys = 0;
  const n = r.length / 2;
  for (let i = 0; i < n - 1; i++) {
    a += r[2 * i] * r[2 * i + 3] - r[2 * i + 2] * r[2 * i + 1];
    ys += r[2 * i + 1];
  }
  const c = Math.cos(rad(ys / (n - 1)));
  return (Math.abs(a / 2) / (UNIT * UNIT)) * KM_PER_DEG * KM_PER_DEG * c;
}

function ringHas(r, x, y) {
  let inside = false;
  const n = r.length / 2;
  for (let i = 0, j = n - 1; i < n; j = i++) {
    const xi = r[2 * i], yi = r[2 * i + 1], xj = r[2 * j], yj = r[2 * j + 1];
    if (yi > y !== yj > y && x < ((xj - xi) * (y - yi)) / (yj - yi) + xi) inside = !inside;
  }
  return inside;
}

// [x0, y0, x1, y1] of a ring given as flat x, y pairs.
export function bboxFlat(r) {
  let x0 = Infinity, y0 = Infinity, x1 = -Infinity, y1 = -Infinity;
  for (let i = 0; i < r.length; i += 2) {
    if (r[i] < x0) x0 = r[i];
    if (r[i] > x1) x1 = r[i];
    if (r[i + 1] < y0) y0 = r[i + 1];
    if (r[i + 1] > y1) y1 = r[i + 1];
  }
  return [x0, y0, x1, y1];
}

// Loads the source as features { a3, polys: [[ring, ...], ...] } with rings as flat integer arrays.
export function loadSource(modules, fail) {
  const path = join(modules, "@geo-maps", "countries-land-250m", "map.geo.json");
  const fc = JSON.parse(readFileSync(path, "utf8"));
  return fc.features.map((f) => {
    const g = f.geometry;
    const polys = (g.type === "Polygon" ? [g.coordinates] : g.coordinates).map((poly) =>
      poly.map((ring) => {
        const out = new Array(ring.length * 2);
        ring.forEach(([x, y], i) => {
          const X = Math.round(x * 1000), Y = Math.round(y * 1000);
          if (Math.abs(X - x * 1000) > 1e-6 || Math.abs(Y - y * 1000) > 1e-6) fail(`${f.properties.A3}: coordinate [${x}, ${y}] is not on the source's 0.001 degree grid`);
          out[2 * i] = X * (UNIT / 1000);
          out[2 * i + 1] = Y * (UNIT / 1000);
        });
        if (out[0] !== out[out.length - 2] || out[1] !== out[out.length - 1]) fail(`${f.properties.A3}: open ring`);
        return out;
      }),
    );
    return { a3: f.properties.A3, polys };
  });
}

function outerKey(r) {
  let s = 0, m = Infinity;
  for (let i = 0; i < r.length - 2; i += 2) {
    const k = key(r[i], r[i + 1]);
    s += k;
    if (k < m) m = k;
  }
  return `${r.length}:${m}:${s}`;
}

function sameRing(a, b) {
  if (a.length !== b.length) return false;
  const sa = new Set();
  for (let i = 0; i < a.length; i += 2) sa.add(key(a[i], a[i + 1]));
  for (let i = 0; i < b.length; i += 2) if (!sa.has(key(b[i], b[i + 1]))) return false;
  return true;
}

// The source repeats a territory's polygons inside its sovereign (French Guiana in France, Guam
// in the United States, Hong Kong and Taiwan in China, Crimea's islets in Russia, Likoma in
// Mozambique). A polygon drawn identically in two features stays only in the smaller feature.
export function dropDuplicates(features, log) {
  const size = features.map((f) => f.polys.reduce((s, p) => s + ringAreaKm2(p[0]), 0));
  const seen = new Map();
  const drop = features.map(() => new Set());
  const pairs = new Map();
  features.forEach((f, fi) =>
    f.polys.forEach((p, pi) => {
      const k = outerKey(p[0]);
      const prev = seen.get(k);
      if (!prev) return seen.set(k, [fi, pi]);
      const [gi, qi] = prev;
      if (!sameRing(p[0], features[gi].polys[qi][0])) return;
      const [lose, lp, win] = size[fi] > size[gi] ? [fi, pi, gi] : [gi, qi, fi];
      drop[lose].add(lp);
      if (lose === gi) seen.set(k, [fi, pi]);
      const t = `${features[lose].a3}>${features[win].a3}`;
      pairs.set(t, (pairs.get(t) || 0) + 1);
    }),
  );
  features.forEach((f, fi) => (f.polys = f.polys.filter((_, pi) => !drop[fi].has(pi))));
  log(`  duplicate polygons dropped from the larger feature: ${[...pairs].map(([t, n]) => `${t} ${n}`).join(", ")}`);
}

// Which features use each point, and how often.
function owners(features) {
  const first = new Map(), more = new Map();
  features.forEach((f, fi) => {
    for (const poly of f.polys)
      for (const r of poly)
        for (let i = 0; i < r.length - 2; i += 2) {
          const k = key(r[i], r[i + 1]);
          const o = first.get(k);
          if (o === undefined) first.set(k, fi);
          else if (o !== fi) {
            let s = more.get(k);
            if (!s) more.set(k, (s = new Set([o])));
            s.add(fi);
          }
        }
  });
  return { first, more };
}

function touches(r, more) {
  for (let i = 0; i < r.length - 2; i += 2) if (more.has(key(r[i], r[i + 1]))) return true;
  return false;
}

// Drops islands and lakes that touch no other country and are too small to matter, except
// islands holding an airport and each country's largest polygon.
export function dropSmall(features, airports, keepAt, log, places = []) {
  const { more } = owners(features);
  const pts = [...airports, ...keepAt].map((a) => [Math.round(a.lng * UNIT), Math.round(a.lat * UNIT)]);
  const cell = UNIT, grid = new Map();
  pts.forEach(([x, y], i) => {
    const k = Math.floor(x / cell) * 1000 + Math.floor(y / cell);
    if (!grid.has(k)) grid.set(k, []);
    grid.get(k).push(i);
  });
  // An airport on the island, or within 5 km of its box: atolls and small islands are drawn
  // coarsely, and their airport's point often falls just off the drawn shore.
  const holdsAirport = (r) => {
    let [x0, y0, x1, y1] = bboxFlat(r);
    x0 -= UNIT / 20, y0 -= UNIT / 20, x1 += UNIT / 20, y1 += UNIT / 20;
    for (let gx = Math.floor(x0 / cell); gx <= Math.floor(x1 / cell); gx++)
      for (let gy = Math.floor(y0 / cell); gy <= Math.floor(y1 / cell); gy++)
        for (const i of grid.get(gx * 1000 + gy) || []) {
          const [x, y] = pts[i];
          if (x >= x0 && x <= x1 && y >= y0 && y <= y1) return true;
        }
    return false;
  };
  // A populated place inside the island: every inhabited island stays, whatever its size.
  const placeGrid = new Map();
  for (const p of places) {
    const x = Math.round(p.lng * UNIT), y = Math.round(p.lat * UNIT);
    const k = Math.floor(x / cell) * 1000 + Math.floor(y / cell);
    if (!placeGrid.has(k)) placeGrid.set(k, []);
    placeGrid.get(k).push(x, y);
  }
  const holdsPlace = (r) => {
    const [x0, y0, x1, y1] = bboxFlat(r);
    for (let gx = Math.floor(x0 / cell); gx <= Math.floor(x1 / cell); gx++)
      for (let gy = Math.floor(y0 / cell); gy <= Math.floor(y1 / cell); gy++) {
        const l = placeGrid.get(gx * 1000 + gy) || [];
        for (let i = 0; i < l.length; i += 2) if (l[i] >= x0 && l[i] <= x1 && l[i + 1] >= y0 && l[i + 1] <= y1 && ringHas(r, l[i], l[i + 1])) return true;
      }
    return false;
  };
  let islands = 0, lakes = 0, kept = 0, inhabited = 0;
  for (const f of features) {
    const areas = f.polys.map((p) => ringAreaKm2(p[0]));
    const largest = areas.indexOf(Math.max(...areas));
    f.polys = f.polys.filter((p, pi) => {
      if (pi === largest || areas[pi] >= ISLAND_MIN_KM2 || touches(p[0], more)) return true;
      if (holdsAirport(p[0])) return ++kept;
      if (holdsPlace(p[0])) return ++inhabited;
      islands++;
      return false;
    });
    for (const p of f.polys)
      for (let r = p.length - 1; r > 0; r--)
        if (ringAreaKm2(p[r]) < LAKE_MIN_KM2 && !touches(p[r], more)) {
          p.splice(r, 1);
          lakes++;
        }
  }
  log(`  dropped ${islands} islands under ${ISLAND_MIN_KM2} km² and ${lakes} lakes under ${LAKE_MIN_KM2} km² that touch no other country; kept ${kept} small islands with an airport and ${inhabited} more with a populated place`);
}

// Some countries are drawn over their surroundings without a hole there (Lesotho over South
// Africa, Kosovo over Serbia, Llívia over France). The library would still answer them by the
// smaller ring, but two outlines would overlap: the enclosed outline becomes a hole of the
// polygon around it. An outline is enclosed when every one of its points that the other
// polygon does not share lies inside that polygon (even-odd over its rings).
export function cutEnclaves(features, log) {
  const polyBox = features.map((f) => f.polys.map((p) => bboxFlat(p[0])));
  const pointSet = new Map();
  const pointsOf = (fi, pi) => {
    const k = `${fi}:${pi}`;
    if (!pointSet.has(k)) {
      const set = new Set();
      for (const r of features[fi].polys[pi]) for (let i = 0; i < r.length; i += 2) set.add(key(r[i], r[i + 1]));
      pointSet.set(k, set);
    }
    return pointSet.get(k);
  };
  const holes = [];
  features.forEach((f, fi) =>
    f.polys.forEach((p, pi) => {
      const r = p[0], bb = polyBox[fi][pi];
      features.forEach((g, gi) => {
        if (gi === fi) return;
        g.polys.forEach((q, qi) => {
          const qb = polyBox[gi][qi];
          if (bb[0] < qb[0] || bb[1] < qb[1] || bb[2] > qb[2] || bb[3] > qb[3]) return;
          const shared = pointsOf(gi, qi);
          let tested = 0;
          for (let i = 0; i < r.length - 2; i += 2) {
            if (shared.has(key(r[i], r[i + 1]))) continue;
            let inside = false;
            for (const ring of q) if (ringHas(ring, r[i], r[i + 1])) inside = !inside;
            if (!inside) return;
            if (++tested >= 8) break;
          }
          if (tested) holes.push([gi, qi, r, `${f.a3} in ${g.a3}`]);
        });
      });
    }),
  );
  for (const [gi, qi, r] of holes) features[gi].polys[qi].push(r.slice());
  log(`  enclosed outlines cut out of the polygon around them: ${holes.map((h) => h[3]).join(", ") || "none"}`);
  return holes.length;
}

// ---------------------------------------------------------------------------
// Topology-keeping simplification.

// Squared distance in metres² from point p to segment a-b, x scaled at the segment's latitude.
function segDist2(px, py, ax, ay, bx, by) {
  const c = Math.cos(rad((ay + by) / 2));
  const ux = (bx - ax) * c, uy = by - ay, vx = (px - ax) * c, vy = py - ay;
  const l = ux * ux + uy * uy;
  let t = l ? (vx * ux + vy * uy) / l : 0;
  t = t < 0 ? 0 : t > 1 ? 1 : t;
  const dx = vx - t * ux, dy = vy - t * uy;
  return (dx * dx + dy * dy) * (M_PER_UNIT * M_PER_UNIT);
}

// Douglas-Peucker over pts (flat) from index i0 to i1 inclusive; marks kept points.
function dp(pts, i0, i1, tol2, keep) {
  const stack = [[i0, i1]];
  while (stack.length) {
    const [a, b] = stack.pop();
    let best = -1, bestD = tol2;
    for (let i = a + 1; i < b; i++) {
      const d = segDist2(pts[2 * i], pts[2 * i + 1], pts[2 * a], pts[2 * a + 1], pts[2 * b], pts[2 * b + 1]);
      if (d > bestD) [best, bestD] = [i, d];
    }
    if (best >= 0) {
      keep[best] = 1;
      stack.push([a, best], [best, b]);
    }
  }
}

// Simplifies a run of points given in canonical order; returns the kept points (flat).
function simplifyRun(pts, tolM) {
  const n = pts.length / 2;
  const keep = new Uint8Array(n);
  keep[0] = keep[n - 1] = 1;
  if (n > 2) {
    if (pts[0] === pts[2 * n - 2] && pts[1] === pts[2 * n - 1]) {
      // A closed loop: split it at the point farthest from its start.
      let far = 1, fd = -1;
      for (let i = 1; i < n - 1; i++) {
        const d = (pts[2 * i] - pts[0]) ** 2 + (pts[2 * i + 1] - pts[1]) ** 2;
        if (d > fd) [far, fd] = [i, d];
      }
      keep[far] = 1;
      dp(pts, 0, far, tolM * tolM, keep);
      dp(pts, far, n - 1, tolM * tolM, keep);
      // A loop needs three distinct points to stay a ring.
      let kept = 0;
      for (let i = 0; i < n - 1; i++) kept += keep[i];
      if (kept < 3) {
        let third = -1, td = -1;
        for (let i = 1; i < n - 1; i++)
          if (i !== far) {
            const d = segDist2(pts[2 * i], pts[2 * i + 1], pts[0], pts[1], pts[2 * far], pts[2 * far + 1]);
            if (d > td) [third, td] = [i, d];
          }
        if (third >= 0) keep[third] = 1;
      }
    } else dp(pts, 0, n - 1, tolM * tolM, keep);
  }
  const out = [];
  for (let i = 0; i < n; i++) if (keep[i]) out.push(pts[2 * i], pts[2 * i + 1]);
  return out;
}

// Cuts every ring into runs at its fixed points: where the set of countries sharing the edges
// changes, where three or more lines meet, and where a country's outline touches itself. Both
// sides of a border then see the same runs with the same ends.
export function cutRuns(features) {
  const { first, more } = owners(features);
  const occ = new Map(); // point -> number of times it appears (per feature, summed)
  const nbr = new Map(); // shared point -> set of neighbouring point keys
  for (const f of features)
    for (const poly of f.polys)
      for (const r of poly) {
        const n = r.length / 2 - 1;
        for (let i = 0; i < n; i++) {
          const k = key(r[2 * i], r[2 * i + 1]);
          occ.set(k, (occ.get(k) || 0) + 1);
          if (more.has(k)) {
            let s = nbr.get(k);
            if (!s) nbr.set(k, (s = new Set()));
            const j = (i + n - 1) % n, l = (i + 1) % n;
            s.add(key(r[2 * j], r[2 * j + 1]));
            s.add(key(r[2 * l], r[2 * l + 1]));
          }
        }
      }
  const ownersOf = (k) => (more.has(k) ? more.get(k) : null);
  // An edge's signature: the countries that have both its ends ("" for a coastline).
  const edgeSig = (ka, kb) => {
    const a = ownersOf(ka), b = ownersOf(kb);
    if (!a || !b) return "";
    return [...a].filter((x) => b.has(x)).sort((p, q) => p - q).join(",");
  };
  // Which countries have points in each cell of NEAR_DEG: a coastline point is near another
  // country if one of the nine cells around it holds one.
  const cell = NEAR_DEG * UNIT, cells = new Map();
  const cellOf = (x, y) => (Math.floor(x / cell) + 100000) * 200000 + (Math.floor(y / cell) + 100000);
  features.forEach((f, fi) => {
    for (const poly of f.polys)
      for (const r of poly)
        for (let i = 0; i < r.length - 2; i += 2) {
          const c = cellOf(r[i], r[i + 1]);
          const o = cells.get(c);
          if (o === undefined) cells.set(c, fi);
          else if (o !== fi && o !== -1) cells.set(c, -1);
        }
  });
  const nearOther = (fi, x, y) => {
    const c = cellOf(x, y);
    for (const d of [-200001, -200000, -199999, -1, 0, 1, 199999, 200000, 200001]) {
      const o = cells.get(c + d);
      if (o !== undefined && o !== fi) return true;
    }
    return false;
  };
  const perRing = [];
  features.forEach((f, fi) => {
    for (const poly of f.polys)
      for (const r of poly) {
        const n = r.length / 2 - 1;
        const keys = [];
        for (let i = 0; i < n; i++) keys.push(key(r[2 * i], r[2 * i + 1]));
        const sigs = keys.map((k, i) => edgeSig(k, keys[(i + 1) % n])); // edge i -> i+1
        const fixed = [];
        for (let i = 0; i < n; i++) {
          const k = keys[i];
          const own = ownersOf(k);
          const nOwners = own ? own.size : 1;
          if (sigs[(i + n - 1) % n] !== sigs[i] || occ.get(k) !== nOwners || nOwners >= 3 || (own && nbr.get(k).size > 2)) fixed.push(i);
        }
        const near = new Uint8Array(n);
        for (let i = 0; i < n; i++) near[i] = sigs[i] === "" && nearOther(fi, r[2 * i], r[2 * i + 1]) ? 1 : 0;
        perRing.push({ r, keys, sigs, fixed, near, fi });
      }
  });
  void first;
  return perRing;
}

function runKey(ka, kb, k1, k2) {
  return `${ka}>${kb}:${k1}:${k2}`;
}

// Canonical form of a run: read from the end with the smaller key, or, for a loop, from its
// smallest point in the direction of the smaller neighbour.
function canonicalRun(keys, r, idx) {
  const m = idx.length;
  const ka = keys[idx[0]], kb = keys[idx[m - 1]];
  let rev = false;
  if (ka !== kb) rev = ka > kb;
  else if (m > 2) rev = keys[idx[1]] > keys[idx[m - 2]];
  const order = rev ? [...idx].reverse() : idx;
  const pts = [];
  for (const i of order) pts.push(r[2 * i], r[2 * i + 1]);
  const id = runKey(keys[order[0]], keys[order[m - 1]], keys[order[1]] ?? -1, keys[order[m - 2]] ?? -1) + `:${m}`;
  return { pts, rev, id };
}

// Simplifies all rings; tol(run id, shared) gives each run's tolerance in metres. Returns per
// ring its simplified flat points and the run each kept edge came from.
function simplifyAll(perRing, tolOf, made = null) {
  const cache = new Map();
  return perRing.map(({ r, keys, sigs, fixed, near, fi }) => {
    // A coastline is never simplified by more than a twelfth of its ring's extent, so a small
    // island keeps its shape.
    const [bx0, by0, bx1, by1] = bboxFlat(r);
    const extentM = Math.hypot((bx1 - bx0) * Math.cos(rad((by0 + by1) / 2)), by1 - by0) * M_PER_UNIT;
    const middle = (idx) => made && idx.length > 2 && idx.slice(1, -1).every((i) => made.has(keys[i]));
    const kindOf = (idx) => (sigs[idx[0]] !== "" ? (middle(idx) ? "middle" : "land") : idx.some((i) => near[i]) ? "near" : "coast");
    const n = keys.length;
    const out = [], edgeRun = [], edgeKind = [];
    const runs = [];
    if (!fixed.length) {
      // No fixed point: start at the smallest point so both sides of a shared loop agree.
      let s = 0;
      for (let i = 1; i < n; i++) if (keys[i] < keys[s]) s = i;
      const idx = [];
      for (let i = 0; i <= n; i++) idx.push((s + i) % n);
      runs.push({ idx, kind: kindOf(idx) });
    } else
      for (let j = 0; j < fixed.length; j++) {
        const a = fixed[j], b = fixed[(j + 1) % fixed.length];
        const idx = [a];
        for (let i = (a + 1) % n; i !== b; i = (i + 1) % n) idx.push(i);
        idx.push(b);
        runs.push({ idx, kind: kindOf(idx) });
      }
    for (const { idx, kind } of runs) {
      const { pts, rev, id } = canonicalRun(keys, r, idx);
      const tol = kind === "land" || kind === "middle" ? tolOf(id, kind) : Math.min(tolOf(id, kind), extentM / 12);
      const ck = id + "@" + tol;
      let s = cache.get(ck);
      if (!s) cache.set(ck, (s = simplifyRun(pts, tol)));
      const seq = rev ? reverseFlat(s) : s;
      // Append without repeating the run's first point (the previous run's last).
      for (let i = out.length ? 2 : 0; i < seq.length; i += 2) {
        out.push(seq[i], seq[i + 1]);
        if (out.length > 2) {
          edgeRun.push(id);
          edgeKind.push(kind);
        }
      }
    }
    return { pts: out, edgeRun, edgeKind, fi };
  });
}

function reverseFlat(a) {
  const out = new Array(a.length);
  for (let i = 0; i < a.length; i += 2) {
    out[a.length - 2 - i] = a[i];
    out[a.length - 1 - i] = a[i + 1];
  }
  return out;
}

// Finds proper crossings between segments of all rings (touching at shared points and identical
// shared segments do not count). Returns the runs involved.
export function crossings(rings) {
  const cell = UNIT / 5; // 0.2 degree
  const grid = new Map();
  const segs = [];
  rings.forEach((ring, ri) => {
    const p = ring.pts;
    for (let i = 0; i + 3 < p.length; i += 2) {
      const s = segs.length;
      segs.push([p[i], p[i + 1], p[i + 2], p[i + 3], ri, i / 2]);
      const gx0 = Math.floor(Math.min(p[i], p[i + 2]) / cell), gx1 = Math.floor(Math.max(p[i], p[i + 2]) / cell);
      const gy0 = Math.floor(Math.min(p[i + 1], p[i + 3]) / cell), gy1 = Math.floor(Math.max(p[i + 1], p[i + 3]) / cell);
      for (let gx = gx0; gx <= gx1; gx++)
        for (let gy = gy0; gy <= gy1; gy++) {
          const k = gx * 10000 + gy;
          let l = grid.get(k);
          if (!l) grid.set(k, (l = []));
          l.push(s);
        }
    }
  });
  const found = [];
  const seen = new Set();
  for (const l of grid.values())
    for (let a = 0; a < l.length; a++)
      for (let b = a + 1; b < l.length; b++) {
        const s = segs[l[a]], t = segs[l[b]];
        if (Math.max(s[0], s[2]) < Math.min(t[0], t[2]) || Math.max(t[0], t[2]) < Math.min(s[0], s[2])) continue;
        if (Math.max(s[1], s[3]) < Math.min(t[1], t[3]) || Math.max(t[1], t[3]) < Math.min(s[1], s[3])) continue;
        if (!properCross(s, t)) continue;
        const id = l[a] < l[b] ? `${l[a]}:${l[b]}` : `${l[b]}:${l[a]}`;
        if (seen.has(id)) continue;
        seen.add(id);
        found.push([s, t]);
      }
  return found;
}

function orient(ax, ay, bx, by, cx, cy) {
  const v = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
  return v > 0 ? 1 : v < 0 ? -1 : 0;
}

// True if the segments cross or overlap other than at a common end point.
function properCross(s, t) {
  const [ax, ay, bx, by] = s, [cx, cy, dx, dy] = t;
  const sameEnd = (px, py, qx, qy) => px === qx && py === qy;
  if ((sameEnd(ax, ay, cx, cy) && sameEnd(bx, by, dx, dy)) || (sameEnd(ax, ay, dx, dy) && sameEnd(bx, by, cx, cy))) return false; // the same edge
  const o1 = orient(ax, ay, bx, by, cx, cy), o2 = orient(ax, ay, bx, by, dx, dy);
  const o3 = orient(cx, cy, dx, dy, ax, ay), o4 = orient(cx, cy, dx, dy, bx, by);
  const shared = sameEnd(ax, ay, cx, cy) || sameEnd(ax, ay, dx, dy) || sameEnd(bx, by, cx, cy) || sameEnd(bx, by, dx, dy);
  if (o1 * o2 < 0 && o3 * o4 < 0) return true;
  if (shared) {
    // Touching at a common end is fine unless the two run along each other.
    if (o1 === 0 && o2 === 0) return collinearOverlap(s, t);
    return false;
  }
  const on = (px, py, qx, qy, rx, ry) => Math.min(px, qx) <= rx && rx <= Math.max(px, qx) && Math.min(py, qy) <= ry && ry <= Math.max(py, qy);
  if (o1 === 0 && on(ax, ay, bx, by, cx, cy)) return true;
  if (o2 === 0 && on(ax, ay, bx, by, dx, dy)) return true;
  if (o3 === 0 && on(cx, cy, dx, dy, ax, ay)) return true;
  if (o4 === 0 && on(cx, cy, dx, dy, bx, by)) return true;
  return false;
}

function collinearOverlap(s, t) {
  const useX = s[0] !== s[2];
  const [a0, a1] = useX ? [Math.min(s[0], s[2]), Math.max(s[0], s[2])] : [Math.min(s[1], s[3]), Math.max(s[1], s[3])];
  const [b0, b1] = useX ? [Math.min(t[0], t[2]), Math.max(t[0], t[2])] : [Math.min(t[1], t[3]), Math.max(t[1], t[3])];
  return Math.min(a1, b1) - Math.max(a0, b0) > 0;
}

// Simplifies every outline, then tightens the runs whose simplified lines cross something (a
// self-intersection, or a crossing into a neighbour) until nothing crosses; a run that still
// crosses at the source's own points is kept as published. repair(simplified features, rings),
// if given, names more runs to tighten (runs that moved a place out of its country); they are
// tightened the same way, at most PLACE_ROUNDS times.
const PLACE_ROUNDS = 3;

export function simplify(features, log, repair = null, made = null) {
  const perRing = cutRuns(features);
  const factor = new Map(); // run id -> divisor of its tolerance (0: unsimplified)
  const base = { land: LAND_TOLERANCE_M, middle: MIDDLE_TOLERANCE_M, near: NEAR_COAST_TOLERANCE_M, coast: COAST_TOLERANCE_M };
  const tolOf = (id, kind) => {
    const f = factor.get(id);
    if (f === 0) return 0;
    return base[kind] / (f || 1);
  };
  // Crossings already in the source (coastlines that fold over themselves) cannot be repaired by
  // simplifying less; the runs holding them are left to the source's drawing.
  const raw = simplifyAll(perRing, () => 0);
  const sourceRuns = new Set();
  const rawCross = crossings(raw);
  for (const [s, t] of rawCross) for (const [, , , , ri, ei] of [s, t]) sourceRuns.add(raw[ri].edgeRun[ei]);
  log(`  the source has ${rawCross.length} crossings (self-intersecting coastlines) in ${sourceRuns.size} runs`);
  const asFeatures = (rings) => {
    let i = 0;
    return features.map((f) => ({ ...f, polys: f.polys.map((poly) => poly.map(() => rings[i++].pts)) }));
  };
  let rings, cross, coastFolds = 0, crossRounds = 0, placeRounds = 0, placeRuns = 0;
  for (let round = 0; ; round++) {
    rings = simplifyAll(perRing, tolOf, made);
    // Crossings that matter: between two countries, or involving a land border or a coastline
    // near another country. A coastline folding over itself far from any border changes the
    // answer only for a sliver of sea or shore, and repairing all of them would double the size.
    const matters = ([s, t]) =>
      rings[s[4]].fi !== rings[t[4]].fi || rings[s[4]].edgeKind[s[5]] !== "coast" || rings[t[4]].edgeKind[t[5]] !== "coast";
    const all = crossings(rings).filter(([s, t]) => !sourceRuns.has(rings[s[4]].edgeRun[s[5]]) || !sourceRuns.has(rings[t[4]].edgeRun[t[5]]));
    cross = all.filter(matters);
    coastFolds = all.length - cross.length;
    log(`  simplification round ${round + 1}: ${rings.reduce((s, r) => s + r.pts.length / 2, 0)} positions, ${cross.length} new crossings at borders, ${coastFolds} in coastlines`);
    let tighten = [], last = false;
    if (cross.length && crossRounds < REPAIR_ROUNDS) {
      crossRounds++;
      last = crossRounds === REPAIR_ROUNDS;
      for (const [s, t] of cross) for (const [, , , , ri, ei] of [s, t]) tighten.push(rings[ri].edgeRun[ei]);
    } else if (!cross.length && repair && placeRounds < PLACE_ROUNDS) {
      tighten = repair(asFeatures(rings), rings);
      placeRounds++;
      last = placeRounds === PLACE_ROUNDS;
      placeRuns += tighten.length;
    }
    if (!tighten.length) break;
    for (const id of tighten) {
      const f = factor.get(id) ?? 1;
      if (f !== 0) factor.set(id, last ? 0 : f * 4);
    }
  }
  // What is left crosses at the source's own points: the source's drawing, kept as published.
  const unsimplified = (seg) => factor.get(rings[seg[4]].edgeRun[seg[5]]) === 0;
  const left = cross.filter(([s, t]) => !(unsimplified(s) && unsimplified(t)));
  log(`  ${cross.length - left.length} crossings at borders are the source's own`);
  cross = left;
  // Back into features, in ring order.
  let i = 0;
  for (const f of features)
    for (const poly of f.polys)
      for (let r = 0; r < poly.length; r++) poly[r] = rings[i++].pts;
  return { crossings: cross, coastFolds, sourceCrossings: rawCross.length, runsTightened: factor.size, placeRuns };
}
