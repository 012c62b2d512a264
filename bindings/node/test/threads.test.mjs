// The binding under concurrency: asynchronous batches while the event loop keeps answering,
// worker threads each with their own copy of the addon, and sets freed by the collector.
import assert from "node:assert/strict";
import { setTimeout as sleep } from "node:timers/promises";
import { test } from "node:test";
import { Worker } from "node:worker_threads";

import { c, gantrix, points } from "./support.mjs";

const { lats, lngs } = points(60000, 21);

test("asynchronous batches run together and alongside synchronous calls, with the same answers", async () => {
  const wantFind = gantrix.findMany(lats, lngs, { reason: true });
  const wantCountry = gantrix.countryAtMany(lats, lngs);
  const pending = [];
  for (let k = 0; k < 6; k++) {
    pending.push(k % 2 ? gantrix.findManyAsync(lats, lngs, { reason: true }) : gantrix.countryAtManyAsync(lats, lngs));
  }
  // The event loop stays free: it answers single calls and timers while the batches run.
  let ticks = 0;
  const timer = setInterval(() => ticks++, 1);
  for (let i = 0; i < lats.length; i += 97) {
    assert.deepStrictEqual(gantrix.find(lats[i], lngs[i], { reason: true }), wantFind[i]);
    assert.equal(gantrix.countryAt(lats[i], lngs[i]), wantCountry[i]);
  }
  // The input may change as soon as the call returns: the batch reads its own copy.
  const copy = Float64Array.from(lats);
  const changed = gantrix.findManyAsync(copy, lngs, { reason: true });
  copy.fill(NaN);
  const results = await Promise.all(pending);
  clearInterval(timer);
  results.forEach((r, k) => assert.deepStrictEqual(r, k % 2 ? wantFind : wantCountry));
  assert.deepStrictEqual(await changed, wantFind);
  assert.ok(ticks > 0);
});

const workerSource = `
const { parentPort, workerData } = require("node:worker_threads");
const gantrix = require(workerData.module);
const { lats, lngs } = workerData;
const hubs = new gantrix.AirportSet(["CDG", "LHR", "JFK", "SYD"]);
const kept = new gantrix.AirportSet(["ORY"]); // left open: freed when the worker ends
(async () => {
  const found = await gantrix.findManyAsync(lats, lngs, { columns: true });
  parentPort.postMessage({
    found,
    countries: gantrix.countryAtMany(lats, lngs),
    nearest: hubs.nearest(48.85, 2.35, { limit: 2 }).map((a) => a.code),
    kept: kept.size,
  });
})();
`;

test("worker threads each load the addon and answer as the main thread does", async () => {
  const module = new URL("../index.js", import.meta.url).pathname;
  const part = { lats: lats.slice(0, 20000), lngs: lngs.slice(0, 20000) };
  const run = () => new Promise((resolve, reject) => {
    const w = new Worker(workerSource, { eval: true, workerData: { module, ...part } });
    w.once("message", resolve);
    w.once("error", reject);
  });
  const answers = await Promise.all([run(), run(), run()]);
  const want = gantrix.findMany(part.lats, part.lngs, { columns: true });
  for (const a of answers) {
    assert.deepStrictEqual(a.found, want);
    assert.deepStrictEqual(a.countries, gantrix.countryAtMany(part.lats, part.lngs));
    assert.deepStrictEqual(a.nearest, ["fr.cdg", "gb.lhr"]);
    assert.equal(a.kept, 1);
  }
});

test("a worker ended in the middle of its batches and with a set open leaves the process well", async () => {
  const module = new URL("../index.js", import.meta.url).pathname;
  const source = `const g = require(${JSON.stringify(module)});
    const n = 400000, lats = new Float64Array(n).fill(48.85), lngs = new Float64Array(n).fill(2.35);
    const open = new g.AirportSet(["CDG"]);
    for (let k = 0; k < 4; k++) g.findManyAsync(lats, lngs);
    require("node:worker_threads").parentPort.postMessage(open.size);
    // Ended while calling, too.
    if (SYNC) for (let i = 0; ; i++) g.find(i % 90, i % 180), open.nearest(i % 90, 1, { limit: 2 });`;
  for (let k = 0; k < 4; k++) {
    const w = new Worker(source.replace("SYNC", String(k % 2 === 1)), { eval: true });
    assert.equal(await new Promise((resolve) => w.once("message", resolve)), 1);
    await w.terminate();
  }
  assert.deepStrictEqual(await gantrix.findManyAsync([[48.8566, 2.3522]]), [gantrix.find(48.8566, 2.3522)]);
});

test("a set the collector frees goes away without disturbing another in use", async () => {
  const kept = new gantrix.AirportSet(["CDG", "LHR"]);
  // Handles are issued in order: the next set made gets the one after this probe's.
  const probe = Number(c.setNew("", 0));
  c.setFree(probe);
  (() => {
    const dropped = new gantrix.AirportSet(["JFK", "SYD", "NRT"]);
    assert.equal(dropped.size, 3);
  })();
  const handle = probe + 1;
  assert.equal(c.setSize(handle), "3");
  for (let round = 0; round < 100 && c.setSize(handle) !== null; round++) {
    global.gc();
    await sleep(10);
    assert.equal(kept.nearest(51.5, -0.12, { limit: 1 })[0].code, "gb.lhr");
  }
  assert.equal(c.setSize(handle), null);
  assert.equal(c.error(), `no such AirportSet: ${handle}`);
  assert.equal(kept.size, 2);
  kept.close();
});
