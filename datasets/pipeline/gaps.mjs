// Fills the gaps the source leaves between neighbours. The source cuts rivers and lakes out of
// the land, so a town on the Danube's bank, or a point in the river itself, can lie in no
// outline, and the probes then find whichever country lies north. Here such water, where two
// countries face each other across at most GAP_M, is shared between them along its middle line:
// the boundary points near another country are triangulated (constrained Delaunay, the coasts
// as constraints); every water triangle whose sides are all at most GAP_M long is split at the
// midpoints of the sides that join two countries, and each country takes the part next to its
// own shore. The parts are merged into the countries' polygons exactly (their shared sides
// cancel), so the middle line becomes a border shared point for point, as land borders are.
//
// Coordinates are integer UNITs; the midpoint of two source points is again an integer
// because the source's points are all even.

import Delaunator from "delaunator";
import Constrainautor from "@kninnug/constrainautor";
import { UNIT, key } from "./precise.mjs";
import { indexOutlines } from "./locate.mjs";

export const GAP_M = 10000;
const M_PER_UNIT = (111.32 * 1000) / UNIT;
const cosAt = (y) => Math.cos((y / UNIT) * (Math.PI / 180));

function metres(ax, ay, bx, by) {
  const c = cosAt((ay + by) / 2);
  return Math.hypot((bx - ax) * c, by - ay) * M_PER_UNIT;
}

function signedArea(r) {
  let a = 0;
  for (let i = 0; i + 3 < r.length; i += 2) a += r[i] * r[i + 3] - r[i + 2] * r[i + 1];
  return a / 2;
}

const unkey = (k) => {
  const x = Math.floor(k / (200 * UNIT));
  return [x - 180 * UNIT, k - x * 200 * UNIT - 90 * UNIT];
};

// features: [{ a3, polys: [[ring, ...], ...] }], changed in place. Returns what was filled.
export function fillGaps(features, log, gapM = GAP_M) {
  // Which features use each point, and each edge (by its two point keys).
  const ownersOf = new Map();
  const edgeUse = new Map(); // "k1:k2" (k1 < k2) -> number of uses, and the feature of the last use
  features.forEach((f, fi) => {
    for (const poly of f.polys)
      for (const r of poly)
        for (let i = 0; i + 3 < r.length; i += 2) {
          const a = key(r[i], r[i + 1]), b = key(r[i + 2], r[i + 3]);
          let o = ownersOf.get(a);
          if (!o) ownersOf.set(a, (o = new Set()));
          o.add(fi);
          const ek = a < b ? `${a}:${b}` : `${b}:${a}`;
          const u = edgeUse.get(ek);
          edgeUse.set(ek, u ? { n: u.n + 1, fi: u.fi === fi ? fi : -1 } : { n: 1, fi });
        }
  });
  // A coast edge is used once: it has a country on one side and water on the other.
  const coastOf = (a, b) => {
    const u = edgeUse.get(a < b ? `${a}:${b}` : `${b}:${a}`);
    return u && u.n === 1 ? u.fi : -1;
  };
  const coastPoints = new Set();
  for (const [ek, u] of edgeUse)
    if (u.n === 1) {
      const [a, b] = ek.split(":").map(Number);
      coastPoints.add(a);
      coastPoints.add(b);
    }

  // Points of a coast within gapM of a point of another country, and the other countries'
  // points near them: the zone where two countries face each other across water.
  const cell = Math.ceil(gapM / M_PER_UNIT);
  const grid = new Map();
  const cellKey = (cx, cy) => cx * 1000000 + cy;
  for (const [k, o] of ownersOf) {
    const [x, y] = unkey(k);
    const ck = cellKey(Math.floor(x / cell), Math.floor(y / cell));
    let l = grid.get(ck);
    if (!l) grid.set(ck, (l = []));
    l.push(k);
  }
  const cellOwners = new Map();
  for (const [ck, l] of grid) {
    const o = new Set();
    for (const k of l) for (const g of ownersOf.get(k)) o.add(g);
    cellOwners.set(ck, o);
  }
  const zone = new Set();
  for (const k of coastPoints) {
    const [x, y] = unkey(k), mine = ownersOf.get(k);
    const cx = Math.floor(x / cell), cy = Math.floor(y / cell);
    const reach = Math.ceil(1 / Math.max(0.05, cosAt(y)));
    const cells = [];
    for (let dx = -reach; dx <= reach; dx++)
      for (let dy = -1; dy <= 1; dy++) {
        const ck = cellKey(cx + dx, cy + dy), o = cellOwners.get(ck);
        if (o && [...o].some((g) => !mine.has(g))) cells.push(ck);
      }
    for (const ck of cells)
      for (const q of grid.get(ck)) {
        if ([...ownersOf.get(q)].every((g) => mine.has(g))) continue;
        const [qx, qy] = unkey(q);
        if (metres(x, y, qx, qy) > gapM) continue;
        zone.add(q);
        zone.add(k);
      }
  }
  if (!zone.size) {
    log("  gaps between neighbours: none");
    return { filled: 0, made: new Set() };
  }

  // Constrained triangulation of the zone, every edge between two zone points a constraint.
  const pts = [...zone].sort((a, b) => a - b);
  const idOf = new Map(pts.map((k, i) => [k, i]));
  const coords = new Float64Array(pts.length * 2);
  pts.forEach((k, i) => {
    const [x, y] = unkey(k);
    coords[2 * i] = x;
    coords[2 * i + 1] = y;
  });
  const del = new Delaunator(coords);
  const con = new Constrainautor(del);
  let constrained = 0, refused = 0;
  const seenEdge = new Set();
  for (const f of features)
    for (const poly of f.polys)
      for (const r of poly)
        for (let i = 0; i + 3 < r.length; i += 2) {
          const a = idOf.get(key(r[i], r[i + 1])), b = idOf.get(key(r[i + 2], r[i + 3]));
          if (a === undefined || b === undefined || a === b) continue;
          const ek = a < b ? a * 1e8 + b : b * 1e8 + a;
          if (seenEdge.has(ek)) continue;
          seenEdge.add(ek);
          try {
            con.constrainOne(a, b);
            constrained++;
          } catch {
            refused++; // crosses another constraint: the source's own folds; checked below
          }
        }

  // Water triangles narrow enough to fill.
  const index = indexOutlines(features);
  const T = del.triangles;
  const pieces = features.map(() => []);
  let triangles = 0, shared = 0;
  const mid = new Map();
  const midpoint = (a, b) => {
    const k = a < b ? a * 1e8 + b : b * 1e8 + a;
    let m = mid.get(k);
    if (m === undefined) {
      const x = (coords[2 * a] + coords[2 * b]) / 2, y = (coords[2 * a + 1] + coords[2 * b + 1]) / 2;
      if (!Number.isInteger(x) || !Number.isInteger(y)) throw new Error("gaps: a midpoint off the grid");
      mid.set(k, (m = [x, y]));
    }
    return m;
  };
  for (let t = 0; t < T.length; t += 3) {
    const v = [T[t], T[t + 1], T[t + 2]];
    const xy = v.map((i) => [coords[2 * i], coords[2 * i + 1]]);
    if ([0, 1, 2].some((e) => metres(...xy[e], ...xy[(e + 1) % 3]) > gapM)) continue;
    const cx = (xy[0][0] + xy[1][0] + xy[2][0]) / 3, cy = (xy[0][1] + xy[1][1] + xy[2][1]) / 3;
    if (index.locate(cx, cy) >= 0) continue;
    const ks = v.map((i) => pts[i]);
    // A side that is no coast must cross no edge of any outline (a fold the constraints missed).
    if ([0, 1, 2].some((e) => coastOf(ks[e], ks[(e + 1) % 3]) < 0 && index.crosses(...xy[e], ...xy[(e + 1) % 3]))) continue;
    const parts = splitTriangle(v, ks, xy, ownersOf, coastOf, midpoint);
    if (!parts) continue;
    triangles++;
    if (parts.length > 1) shared++;
    for (const [fi, ring] of parts) pieces[fi].push(ring);
  }

  // Merge each country's parts into its polygons.
  let merged = 0, kept = 0;
  features.forEach((f, fi) => {
    if (!pieces[fi].length) return;
    const r = mergeInto(f, pieces[fi]);
    merged += r.merged;
    kept += r.apart;
  });
  const touched = pieces.map((p, fi) => (p.length ? features[fi].a3 : null)).filter(Boolean);
  log(
    `  gaps between neighbours (at most ${gapM / 1000} km across): ${zone.size} points near another country, ${constrained} coast edges constrained (${refused} crossing another left out), ${triangles} water triangles filled, ${shared} of them split between countries; ${touched.length} countries grew: ${touched.join(" ")}; ${merged} parts merged into their country's polygons, ${kept} standing apart`,
  );
  const made = new Set();
  for (const [x, y] of mid.values()) made.add(key(x, y));
  return { filled: triangles, shared, countries: touched, made };
}

// The parts of a water triangle and their countries: [[feature, ring], ...], or null when the
// triangle does not split cleanly (left unfilled).
function splitTriangle(v, ks, xy, ownersOf, coastOf, midpoint) {
  const own = ks.map((k) => ownersOf.get(k));
  // The country of each side, or, for a side joining two countries, of each half.
  const segs = []; // [from point [x, y], country]
  for (let e = 0; e < 3; e++) {
    const a = e, b = (e + 1) % 3;
    const coast = coastOf(ks[a], ks[b]);
    const common = [...own[a]].filter((g) => own[b].has(g)).sort((p, q) => p - q);
    if (coast >= 0) segs.push([xy[a], coast]);
    else if (common.length) segs.push([xy[a], common[0]]);
    else {
      const side = (i, j) => (own[i].size === 1 ? [...own[i]][0] : preferred(own[i], own[j === (i + 1) % 3 ? (i + 2) % 3 : (i + 1) % 3]));
      segs.push([xy[a], side(a, b)]);
      segs.push([midpoint(v[a], v[b]), side(b, a)]);
    }
  }
  // Runs of one country around the triangle.
  const n = segs.length;
  let start = 0;
  while (start < n && segs[start][1] === segs[(start + n - 1) % n][1]) start++;
  if (start === n) return [[segs[0][1], closeRing(segs.map((s) => s[0]))]];
  const runs = [];
  for (let i = 0; i < n; i++) {
    const s = segs[(start + i) % n];
    if (!runs.length || runs[runs.length - 1].fi !== s[1]) runs.push({ fi: s[1], pts: [] });
    runs[runs.length - 1].pts.push(s[0]);
  }
  for (let i = 0; i < runs.length; i++) runs[i].pts.push(runs[(i + 1) % runs.length].pts[0]);
  if (runs.length === 2) return runs.map((r) => [r.fi, closeRing(r.pts)]).filter(([, ring]) => signedArea(ring) !== 0);
  if (runs.length === 3) {
    // The middle triangle between the three boundary points goes with the first run.
    const inner = runs.map((r) => r.pts[0]);
    runs[0].pts.push(inner[2]);
    return runs.map((r) => [r.fi, closeRing(r.pts)]).filter(([, ring]) => signedArea(ring) !== 0);
  }
  return null;
}

// For a point shared by several countries, the country of the triangle's next point if it is one
// of them, else the first.
function preferred(set, next) {
  for (const g of next) if (set.has(g)) return g;
  return Math.min(...set);
}

function closeRing(points) {
  const r = [];
  for (const [x, y] of points) r.push(x, y);
  r.push(r[0], r[1]);
  // Counter-clockwise, as an outer ring.
  if (signedArea(r) < 0) {
    const out = [];
    for (let i = r.length - 2; i >= 0; i -= 2) out.push(r[i], r[i + 1]);
    return out;
  }
  return r;
}

// Merges parts into a feature's polygons: the directed edges of the polygons touched (outer rings
// counter-clockwise, holes clockwise) and of the parts, less every edge met in both directions,
// linked back into rings.
function mergeInto(f, parts) {
  const ek = (ax, ay, bx, by) => `${key(ax, ay)}>${key(bx, by)}`;
  const polys = f.polys.map((poly) => poly.map((r, i) => ((signedArea(r) > 0) === (i === 0) ? r : reverse(r))));
  // Which polygon owns each directed edge.
  const edgeOwner = new Map();
  polys.forEach((poly, pi) => {
    for (const r of poly) for (let i = 0; i + 3 < r.length; i += 2) edgeOwner.set(ek(r[i], r[i + 1], r[i + 2], r[i + 3]), pi);
  });
  // Groups: parts joined to polygons and to each other through a shared edge.
  const n = polys.length + parts.length;
  const parent = Array.from({ length: n }, (_, i) => i);
  const find = (i) => (parent[i] === i ? i : (parent[i] = find(parent[i])));
  const join = (i, j) => (parent[find(i)] = find(j));
  const partEdge = new Map();
  parts.forEach((r, p) => {
    for (let i = 0; i + 3 < r.length; i += 2) partEdge.set(ek(r[i], r[i + 1], r[i + 2], r[i + 3]), polys.length + p);
  });
  parts.forEach((r, p) => {
    for (let i = 0; i + 3 < r.length; i += 2) {
      const back = ek(r[i + 2], r[i + 3], r[i], r[i + 1]);
      if (edgeOwner.has(back)) join(polys.length + p, edgeOwner.get(back));
      if (partEdge.has(back)) join(polys.length + p, partEdge.get(back));
    }
  });
  const groups = new Map();
  for (let i = 0; i < n; i++) {
    const g = find(i);
    if (!groups.has(g)) groups.set(g, []);
    groups.get(g).push(i);
  }
  const out = [];
  let merged = 0, apart = 0;
  for (const members of groups.values()) {
    if (members.length === 1 && members[0] < polys.length) {
      out.push(f.polys[members[0]]);
      continue;
    }
    // Holes no part touches stay as they are (lakes, enclaves), and go back into the new outer
    // ring that holds them.
    const partBacks = new Set();
    for (const m of members) if (m >= polys.length) for (const [a, b] of edgesOf(parts[m - polys.length])) partBacks.add(`${b}>${a}`);
    const rings = [], aside = [];
    for (const m of members) {
      if (m >= polys.length) rings.push(parts[m - polys.length]);
      else
        polys[m].forEach((r, i) => {
          if (i > 0 && !edgesOf(r).some(([a, b]) => partBacks.has(`${a}>${b}`))) aside.push(r);
          else rings.push(r);
        });
    }
    const linked = relink(rings, aside);
    if (!linked) {
      // Left as they were, the parts beside them: they touch but do not overlap, so even-odd
      // parity still gives each point one answer.
      for (const m of members) out.push(m < polys.length ? f.polys[m] : [parts[m - polys.length]]);
      apart += members.filter((m) => m >= polys.length).length;
      continue;
    }
    out.push(...linked);
    merged += members.filter((m) => m >= polys.length).length;
    if (members.every((m) => m >= polys.length)) apart++;
  }
  f.polys = out;
  return { merged, apart };
}

function reverse(r) {
  const out = [];
  for (let i = r.length - 2; i >= 0; i -= 2) out.push(r[i], r[i + 1]);
  return out;
}

// Rings from directed edges, with every edge met in both directions dropped. Returns polygons
// [outer, ...holes], or null if the edges do not close.
function box(r) {
  let x0 = Infinity, y0 = Infinity, x1 = -Infinity, y1 = -Infinity;
  for (let i = 0; i < r.length; i += 2) [x0, y0, x1, y1] = [Math.min(x0, r[i]), Math.min(y0, r[i + 1]), Math.max(x1, r[i]), Math.max(y1, r[i + 1])];
  return [x0, y0, x1, y1];
}

function edgesOf(r) {
  const out = [];
  for (let i = 0; i + 3 < r.length; i += 2) out.push([key(r[i], r[i + 1]), key(r[i + 2], r[i + 3])]);
  return out;
}

function relink(rings, aside = []) {
  const count = new Map();
  const edges = [];
  for (const r of rings)
    for (let i = 0; i + 3 < r.length; i += 2) {
      const a = key(r[i], r[i + 1]), b = key(r[i + 2], r[i + 3]);
      if (a === b) continue;
      edges.push([a, b]);
      count.set(`${a}>${b}`, (count.get(`${a}>${b}`) || 0) + 1);
    }
  const out = new Map();
  for (const [a, b] of edges) {
    const back = count.get(`${b}>${a}`) || 0;
    const here = count.get(`${a}>${b}`);
    if (back >= here) continue; // cancels with the reverse edge
    if (!out.has(a)) out.set(a, []);
    out.get(a).push(b);
  }
  for (const [a, l] of out) out.set(a, [...new Set(l)]);
  const used = new Set();
  const made = [];
  for (const [a0, l0] of [...out].sort((p, q) => p[0] - q[0]))
    for (const b0 of l0) {
      if (used.has(`${a0}>${b0}`)) continue;
      const ring = [a0];
      let prev = a0, cur = b0;
      used.add(`${a0}>${b0}`);
      while (cur !== a0) {
        ring.push(cur);
        const next = (out.get(cur) || []).filter((c) => !used.has(`${cur}>${c}`));
        if (!next.length) return null;
        const pick = next.length === 1 ? next[0] : leftmost(prev, cur, next);
        used.add(`${cur}>${pick}`);
        [prev, cur] = [cur, pick];
      }
      const flat = [];
      for (const k of ring) flat.push(...unkey(k));
      flat.push(flat[0], flat[1]);
      if (signedArea(flat) !== 0) made.push(flat);
    }
  const outers = made.filter((r) => signedArea(r) > 0), holes = [...made.filter((r) => signedArea(r) < 0), ...aside];
  const polys = outers.map((r) => [r]);
  for (const h of holes) {
    let best = -1, bestArea = Infinity;
    outers.forEach((o, i) => {
      const a = signedArea(o);
      if (a < bestArea && holds(o, h)) [best, bestArea] = [i, a];
    });
    if (best < 0) {
      // Every point of the hole lies on an outer ring: the library's parity runs over all rings
      // of a country, so the largest outer whose box holds the hole's box takes it.
      const [hx0, hy0, hx1, hy1] = box(h);
      outers.forEach((o, i) => {
        const [x0, y0, x1, y1] = box(o), a = signedArea(o);
        if (x0 <= hx0 && y0 <= hy0 && x1 >= hx1 && y1 >= hy1 && (best < 0 || a > signedArea(outers[best]))) best = i;
      });
    }
    if (best < 0) return null;
    polys[best].push(h);
  }
  return polys;
}

// At a point where several edges leave, the one turning most to the left: rings touching at a
// point come out as separate rings.
function leftmost(prev, cur, next) {
  const [px, py] = unkey(prev), [cx, cy] = unkey(cur);
  const back = Math.atan2(py - cy, px - cx);
  let best = next[0], bestTurn = -Infinity;
  for (const c of next) {
    const [nx, ny] = unkey(c);
    let turn = Math.atan2(ny - cy, nx - cx) - back;
    while (turn <= 0) turn += 2 * Math.PI;
    if (turn > bestTurn) [best, bestTurn] = [c, turn];
  }
  return best;
}

// Whether an outer ring holds a hole: a point of the hole (a corner or the middle of a side) off
// the outer's edges is inside it.
function holds(outer, hole) {
  const probes = [];
  for (let i = 0; i + 3 < hole.length; i += 2) probes.push([hole[i], hole[i + 1]], [(hole[i] + hole[i + 2]) / 2, (hole[i + 1] + hole[i + 3]) / 2]);
  for (const [x, y] of probes) {
    let inside = false, onEdge = false;
    for (let j = 0; j + 3 < outer.length; j += 2) {
      const ax = outer[j], ay = outer[j + 1], bx = outer[j + 2], by = outer[j + 3];
      if ((bx - ax) * (y - ay) === (by - ay) * (x - ax) && Math.min(ax, bx) <= x && x <= Math.max(ax, bx) && Math.min(ay, by) <= y && y <= Math.max(ay, by)) onEdge = true;
      if (ay > y !== by > y && x < ((bx - ax) * (y - ay)) / (by - ay) + ax) inside = !inside;
    }
    if (!onEdge) return inside;
  }
  return false;
}
