// Point and segment queries over outlines too large to scan (the precise source has five
// million positions): which feature holds a point, by the library's rules, and whether a
// segment crosses any edge. Rings are flat integer arrays [x0, y0, x1, y1, ...], closed, in
// UNITs of a degree.
//
// A ring's parity at a point comes from the crossings of the horizontal line through the
// centre of the point's cell row (kept sorted per row), corrected by the ring's edges that
// cross the short vertical step from that line to the point (kept per cell).

import { UNIT, bboxFlat } from "./precise.mjs";

const CELL = UNIT / 20; // 0.05 degree
const COARSE = UNIT; // ring boxes are found through a one-degree grid
const EPS = 1e-6;

function lowerBound(a, v) {
  let lo = 0, hi = a.length;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (a[mid] <= v) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

class RingIndex {
  constructor(r, feature) {
    this.r = r;
    this.feature = feature;
    this.bb = bboxFlat(r);
    const [x0, y0, x1, y1] = this.bb;
    this.area = (x1 - x0) * (y1 - y0);
    this.rows = new Map(); // row -> sorted x of crossings with the row's centre line
    this.cells = new Map(); // cell -> start indices of the edges touching it
    for (let i = 0; i + 3 < r.length; i += 2) {
      const ax = r[i], ay = r[i + 1], bx = r[i + 2], by = r[i + 3];
      const lo = Math.min(ay, by), hi = Math.max(ay, by);
      // Row centres yc with lo <= yc < hi: the edge crosses them under the rule (y > yc).
      for (let row = Math.ceil(lo / CELL - 0.5); (row + 0.5) * CELL < hi; row++) {
        const yc = (row + 0.5) * CELL;
        if (yc < lo) continue;
        let l = this.rows.get(row);
        if (!l) this.rows.set(row, (l = []));
        l.push(ax + ((yc - ay) * (bx - ax)) / (by - ay));
      }
      const cx0 = Math.floor(Math.min(ax, bx) / CELL), cx1 = Math.floor(Math.max(ax, bx) / CELL);
      const cy0 = Math.floor(lo / CELL), cy1 = Math.floor(hi / CELL);
      for (let cx = cx0; cx <= cx1; cx++)
        for (let cy = cy0; cy <= cy1; cy++) {
          const k = cx * 100000 + cy;
          let l = this.cells.get(k);
          if (!l) this.cells.set(k, (l = []));
          l.push(i);
        }
    }
    for (const [row, l] of this.rows) this.rows.set(row, Float64Array.from(l).sort());
  }

  contains(x, y) {
    const [x0, y0, x1, y1] = this.bb;
    if (x < x0 || x > x1 || y < y0 || y > y1) return false;
    const row = Math.floor(y / CELL), yc = (row + 0.5) * CELL;
    const xs = this.rows.get(row);
    let inside = false;
    if (xs) {
      const at = lowerBound(xs, x);
      // A crossing through the step's foot is decided by rounding: scan instead.
      if ((at > 0 && x - xs[at - 1] < EPS) || (at < xs.length && xs[at] - x < EPS)) return this.scan(x, y);
      inside = (xs.length - at) % 2 === 1;
    }
    const edges = this.cells.get(Math.floor(x / CELL) * 100000 + row);
    if (!edges) return inside;
    const r = this.r;
    const [lo, hi] = y > yc ? [yc, y] : [y, yc];
    for (const i of edges) {
      const ax = r[i], ay = r[i + 1], bx = r[i + 2], by = r[i + 3];
      if (ax > x === bx > x) continue;
      const yy = ay + ((x - ax) * (by - ay)) / (bx - ax);
      if (Math.abs(yy - yc) < EPS) return this.scan(x, y);
      if (yy > lo && yy <= hi) inside = !inside;
    }
    return inside;
  }

  // The plain ray cast over every edge, for the rare point whose step meets an edge at its foot.
  scan(x, y) {
    const r = this.r;
    let inside = false;
    for (let i = 0; i + 3 < r.length; i += 2) {
      const ax = r[i], ay = r[i + 1], bx = r[i + 2], by = r[i + 3];
      if (ay > y !== by > y && x < ((bx - ax) * (y - ay)) / (by - ay) + ax) inside = !inside;
    }
    return inside;
  }
}

// features: [{ polys: [[ring, ...], ...] }]. Returns { locate(x, y) -> feature index or -1,
// crosses(ax, ay, bx, by) -> true if the open segment properly crosses an edge }.
export function indexOutlines(features) {
  const rings = [];
  features.forEach((f, fi) => {
    for (const poly of f.polys) for (const r of poly) rings.push(new RingIndex(r, fi));
  });
  const coarse = new Map();
  rings.forEach((ri, n) => {
    const [x0, y0, x1, y1] = ri.bb;
    for (let cx = Math.floor(x0 / COARSE); cx <= Math.floor(x1 / COARSE); cx++)
      for (let cy = Math.floor(y0 / COARSE); cy <= Math.floor(y1 / COARSE); cy++) {
        const k = cx * 1000 + cy;
        let l = coarse.get(k);
        if (!l) coarse.set(k, (l = []));
        l.push(n);
      }
  });
  const near = (x, y) => coarse.get(Math.floor(x / COARSE) * 1000 + Math.floor(y / COARSE)) || [];

  // The library's rule: even-odd over all rings of a feature; among the features holding the
  // point, the one whose smallest holding ring has the smallest bounding box.
  function locate(x, y) {
    const parity = new Map();
    for (const n of near(x, y)) {
      const ri = rings[n];
      if (!ri.contains(x, y)) continue;
      const p = parity.get(ri.feature) ?? { odd: false, area: Infinity };
      p.odd = !p.odd;
      p.area = Math.min(p.area, ri.area);
      parity.set(ri.feature, p);
    }
    let best = -1, bestArea = Infinity;
    for (const [fi, p] of parity) if (p.odd && (p.area < bestArea || (p.area === bestArea && fi < best))) [best, bestArea] = [fi, p.area];
    return best;
  }

  function crosses(ax, ay, bx, by) {
    const cx0 = Math.floor(Math.min(ax, bx) / CELL), cx1 = Math.floor(Math.max(ax, bx) / CELL);
    const cy0 = Math.floor(Math.min(ay, by) / CELL), cy1 = Math.floor(Math.max(ay, by) / CELL);
    const seen = new Set();
    for (let cx = cx0; cx <= cx1; cx++)
      for (let cy = cy0; cy <= cy1; cy++)
        for (const n of near(cx * CELL, cy * CELL)) {
          const ri = rings[n], edges = ri.cells.get(cx * 100000 + cy);
          if (!edges) continue;
          const r = ri.r;
          for (const i of edges) {
            const id = n * 1e8 + i;
            if (seen.has(id)) continue;
            seen.add(id);
            if (properCross(ax, ay, bx, by, r[i], r[i + 1], r[i + 2], r[i + 3])) return true;
          }
        }
    return false;
  }
  return { locate, crosses, rings: rings.length };
}

function orient(ax, ay, bx, by, cx, cy) {
  const v = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
  return v > 0 ? 1 : v < 0 ? -1 : 0;
}

// True when the segments cross at a point interior to both, or overlap along a stretch;
// meeting at an end point does not count.
export function properCross(ax, ay, bx, by, cx, cy, dx, dy) {
  const o1 = orient(ax, ay, bx, by, cx, cy), o2 = orient(ax, ay, bx, by, dx, dy);
  const o3 = orient(cx, cy, dx, dy, ax, ay), o4 = orient(cx, cy, dx, dy, bx, by);
  if (o1 * o2 < 0 && o3 * o4 < 0) return true;
  const strictlyOn = (px, py, qx, qy, rx, ry) =>
    (rx !== px || ry !== py) && (rx !== qx || ry !== qy) && Math.min(px, qx) <= rx && rx <= Math.max(px, qx) && Math.min(py, qy) <= ry && ry <= Math.max(py, qy);
  if (o1 === 0 && strictlyOn(ax, ay, bx, by, cx, cy)) return true;
  if (o2 === 0 && strictlyOn(ax, ay, bx, by, dx, dy)) return true;
  if (o3 === 0 && strictlyOn(cx, cy, dx, dy, ax, ay)) return true;
  if (o4 === 0 && strictlyOn(cx, cy, dx, dy, bx, by)) return true;
  return false;
}
