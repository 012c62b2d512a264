// Tests of the topology-keeping simplification on small made-up maps.
//   node --test datasets/pipeline/
import { test } from "node:test";
import assert from "node:assert/strict";
import { simplify, crossings, dropDuplicates, dropSmall, cutEnclaves, UNIT } from "./precise.mjs";

const quiet = () => {};
// Rings are flat [x0, y0, x1, y1, ...] in UNITs (half thousandths of a degree), closed.
const ring = (pts) => [...pts, pts[0], pts[1]];

// A wiggly line from (0, 0) to (0, 10000) (about 550 km), with bumps of `amp` UNITs.
function wiggle(amp, steps = 200) {
  const pts = [];
  for (let i = 0; i <= steps; i++) pts.push(i % 2 ? amp : 0, (10000 * i) / steps);
  return pts;
}

// Two bumps equally far from the chord, each within the tolerance of the line through the other:
// which one stays depends on the direction the line is read in.
const TWIN_BUMPS = [0, 0, 2, 40, 2, 60, 0, 100];

function twoCountries(amp) {
  const border = amp === "twin" ? TWIN_BUMPS : wiggle(amp); // south to north
  const west = [...border];
  const east = [];
  for (let i = border.length - 2; i >= 0; i -= 2) east.push(border[i], border[i + 1]); // north to south
  west.push(-20000, 10000, -20000, 0); // back around the west
  east.push(20000, 0, 20000, 10000);
  return [
    { a3: "AAA", polys: [[ring(west)]] },
    { a3: "BBB", polys: [[ring(east)]] },
  ];
}

function borderPoints(f) {
  const r = f.polys[0][0], out = new Set();
  for (let i = 0; i < r.length; i += 2) if (r[i] >= 0 && r[i] <= 10) out.add(`${r[i]},${r[i + 1]}`);
  return out;
}

test("a shared border is simplified the same way on both sides", () => {
  for (const amp of [0, 1, 5, "twin"]) {
    const fs = twoCountries(amp);
    const res = simplify(fs, quiet);
    assert.equal(res.crossings.length, 0);
    // Both sides agree from the start: nothing needed repairing.
    assert.equal(res.runsTightened, 0, `amplitude ${amp}: runs tightened`);
    assert.deepEqual([...borderPoints(fs[0])].sort(), [...borderPoints(fs[1])].sort(), `amplitude ${amp}`);
  }
});

test("land borders keep detail that coastlines lose", () => {
  // Bumps of 0.005 degree (550 m) stay on a border (tolerance 100 m) ...
  const fs = twoCountries(10);
  simplify(fs, quiet);
  assert.ok(borderPoints(fs[0]).size > 150, `border kept ${borderPoints(fs[0]).size} points`);
  // ... but go on a coastline far from any other country (tolerance 5 km).
  const island = { a3: "CCC", polys: [[ring([...wiggle(10), -20000, 10000, -20000, 0])]] };
  simplify([island], quiet);
  assert.ok(island.polys[0][0].length / 2 < 10, `coast kept ${island.polys[0][0].length / 2} points`);
});

test("a small island keeps its shape", () => {
  // A 2 km square with a notch: a 5 km tolerance would collapse it to a triangle.
  const small = { a3: "DDD", polys: [[ring([0, 0, 20, 0, 20, 20, 10, 12, 0, 20])]] };
  simplify([small], quiet);
  assert.equal(small.polys[0][0].length / 2, 6);
});

test("crossings are found, touching and shared edges are not", () => {
  const sq = (x, y, s) => ({ pts: ring([x, y, x + s, y, x + s, y + s, x, y + s]) });
  const cases = [
    ["overlapping squares", [sq(0, 0, 10), sq(5, 5, 10)], true],
    ["squares sharing an edge", [sq(0, 0, 10), sq(10, 0, 10)], false],
    ["squares touching at a corner", [sq(0, 0, 10), sq(10, 10, 10)], false],
    ["apart", [sq(0, 0, 10), sq(20, 20, 10)], false],
    ["a bow tie", [{ pts: ring([0, 0, 10, 10, 10, 0, 0, 10]) }], true],
    ["a point on another's edge", [sq(0, 0, 10), { pts: ring([10, 5, 15, 2, 15, 8]) }], true],
    ["half an edge along another", [sq(0, 0, 10), { pts: ring([10, 5, 10, 15, 20, 15]) }], true],
  ];
  for (const [what, rings, want] of cases) assert.equal(crossings(rings).length > 0, want, what);
});

test("a polygon drawn in two countries stays in the smaller one", () => {
  const isle = ring([50000, 0, 50010, 0, 50010, 10]);
  const fs = [
    { a3: "BIG", polys: [[ring([0, 0, 30000, 0, 30000, 30000])], [isle.slice()]] },
    { a3: "TER", polys: [[isle.slice()]] },
  ];
  dropDuplicates(fs, quiet);
  assert.equal(fs[0].polys.length, 1);
  assert.equal(fs[1].polys.length, 1);
});

test("small islands go unless an airport stands on them; lakes go unless shared", () => {
  const main = ring([0, 0, 10000, 0, 10000, 10000, 0, 10000]);
  const lake = ring([100, 100, 200, 100, 200, 200, 100, 200]);
  const enclave = ring([5000, 5000, 5010, 5000, 5010, 5010, 5000, 5010]);
  const fs = [
    { a3: "AAA", polys: [[main, lake, enclave], [ring([20000, 0, 20010, 0, 20010, 10])], [ring([30000, 0, 30010, 0, 30010, 10])]] },
    { a3: "ENC", polys: [[enclave.slice()]] },
  ];
  dropSmall(fs, [{ lng: 30005 / UNIT, lat: 2 / UNIT }], [], quiet);
  const a = fs[0].polys;
  assert.equal(a.length, 2, "the islet with an airport stays, the other goes");
  assert.equal(a[1][0][0], 30000);
  assert.equal(a[0].length, 2, "the lake goes, the enclave's hole stays");
  assert.equal(a[0][1][0], 5000);
});

test("an outline drawn over its surroundings becomes a hole there", () => {
  const sq = (x, y, s) => ring([x, y, x + s, y, x + s, y + s, x, y + s]);
  const cases = [
    // [what, inner outline, is it cut out of the outer square?]
    ["an enclave inside", sq(40, 40, 10), true],
    ["an enclave touching the outer border", ring([0, 40, 10, 40, 10, 50, 0, 50]), true],
    ["a neighbour outside", sq(200, 40, 10), false],
    ["a neighbour overlapping the border", sq(95, 40, 10), false],
  ];
  for (const [what, inner, cut] of cases) {
    const fs = [{ a3: "OUT", polys: [[sq(0, 0, 100)]] }, { a3: "IN", polys: [[inner]] }];
    cutEnclaves(fs, quiet);
    assert.equal(fs[0].polys[0].length, cut ? 2 : 1, what);
  }
});
