// Tests of the gap filling and of the point queries it relies on, on small made-up maps.
//   node --test datasets/pipeline/
// The gap filling needs the pipeline's triangulation packages (npm ci --prefix
// datasets/pipeline); without them, as in CI's check of the committed data, its tests skip.
import { test } from "node:test";
import assert from "node:assert/strict";
import { indexOutlines } from "./locate.mjs";

const { fillGaps } = await import("./gaps.mjs").catch(() => ({}));
const needsPackages = fillGaps ? {} : { skip: "the pipeline's packages are not installed" };

const quiet = () => {};

// A closed ring from corner points, with points every `step` UNITs along each side (banks are
// drawn densely in the source too).
function ring(corners, step = 20) {
  const out = [];
  for (let i = 0; i < corners.length; i++) {
    const [ax, ay] = corners[i], [bx, by] = corners[(i + 1) % corners.length];
    const n = Math.max(1, Math.round(Math.hypot(bx - ax, by - ay) / step));
    for (let k = 0; k < n; k++) out.push(Math.round((ax + ((bx - ax) * k) / n) / 2) * 2, Math.round((ay + ((by - ay) * k) / n) / 2) * 2);
  }
  out.push(out[0], out[1]);
  return out;
}

// Two countries either side of a river running north, `width` UNITs wide (1 UNIT = 55 m).
function riverMap(width) {
  return [
    { a3: "WWW", polys: [[ring([[-2000, 0], [0, 0], [0, 2000], [-2000, 2000]])]] },
    { a3: "EEE", polys: [[ring([[width, 0], [width + 2000, 0], [width + 2000, 2000], [width, 2000]])]] },
  ];
}

test("a river between neighbours is split along its middle line", needsPackages, () => {
  const fs = riverMap(40); // 2.2 km
  const { shared } = fillGaps(fs, quiet);
  assert.ok(shared > 0);
  const at = indexOutlines(fs);
  for (const y of [300, 1000, 1700]) {
    assert.equal(at.locate(5, y), 0, `west bank at ${y}`);
    assert.equal(at.locate(18, y + 1), 0, `west of the middle at ${y}`);
    assert.equal(at.locate(22, y + 1), 1, `east of the middle at ${y}`);
    assert.equal(at.locate(35, y), 1, `east bank at ${y}`);
  }
  // The middle line is one border, point for point on both sides.
  const middle = (f) => new Set(f.polys.flat().flatMap((r) => r.flatMap((v, i) => (i % 2 === 0 && v === 20 ? [`${v},${r[i + 1]}`] : []))));
  const west = middle(fs[0]), east = middle(fs[1]);
  assert.ok(west.size > 50);
  assert.deepEqual([...west].sort(), [...east].sort());
});

test("water wider than the limit is left alone", needsPackages, () => {
  const fs = riverMap(400); // 22 km
  const { filled } = fillGaps(fs, quiet);
  assert.equal(filled, 0);
  assert.equal(indexOutlines(fs).locate(200, 1000), -1);
});

test("a country's own lake or bay is no gap between neighbours", needsPackages, () => {
  // One country with a narrow inlet and no neighbour: nothing to fill.
  const fs = [{ a3: "ONE", polys: [[ring([[0, 0], [2000, 0], [2000, 2000], [1020, 2000], [1020, 600], [980, 600], [980, 2000], [0, 2000]])]] }];
  assert.equal(fillGaps(fs, quiet).filled, 0);
  assert.equal(indexOutlines(fs).locate(1000, 1500), -1);
});

test("point queries agree with a plain ray cast, on a ring with a hole", () => {
  const outer = ring([[0, 0], [1000, 0], [1000, 600], [400, 900], [0, 600]], 14);
  const hole = ring([[300, 200], [600, 200], [450, 500]], 10);
  const fs = [{ polys: [[outer, hole]] }];
  const at = indexOutlines(fs);
  const plain = (x, y) => {
    let inside = false;
    for (const r of [outer, hole])
      for (let i = 0; i + 3 < r.length; i += 2) {
        const [ax, ay, bx, by] = [r[i], r[i + 1], r[i + 2], r[i + 3]];
        if (ay > y !== by > y && x < ((bx - ax) * (y - ay)) / (by - ay) + ax) inside = !inside;
      }
    return inside ? 0 : -1;
  };
  // Points on a lattice of thirds, which meets edges and the index's row lines exactly.
  for (let x = -10; x <= 1010; x += 7 / 3) for (let y = -10; y <= 910; y += 11 / 3) assert.equal(at.locate(x, y), plain(x, y), `${x}, ${y}`);
  assert.equal(at.crosses(-50, 300, 50, 300), true);
  assert.equal(at.crosses(100, 100, 200, 100), false);
});
