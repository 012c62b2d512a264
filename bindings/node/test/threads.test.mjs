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
  const pending = Array.from({ length: 6 }, (_, k) => (k % 2 ? gantrix.findManyAsync(lats, lngs, { reason: true }) : gantrix.countryAtManyAsync(lats, lngs)));
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

// Answers, then stays busy until ended: long batches queued, sets left open, and (sync) single
// calls and set queries in a loop.
const workerSource = `
const { parentPort, workerData } = require("node:worker_threads");
const gantrix = require(workerData.module);
const { lats, lngs, sync } = workerData;
const hubs = new gantrix.AirportSet(["CDG", "LHR", "JFK", "SYD"]);
(async () => {
  const found = await gantrix.findManyAsync(lats, lngs, { columns: true });
  const nearest = hubs.nearest(48.85, 2.35, { limit: 2 }).map((a) => a.code);
  parentPort.postMessage({ found, countries: gantrix.countryAtMany(lats, lngs), nearest });
  const long = new Float64Array(400000).fill(48.85);
  for (let k = 0; k < 4; k++) gantrix.findManyAsync(long, long);
  if (sync) for (let i = 0; ; i++) gantrix.find(i % 90, i % 180), hubs.nearest(i % 90, 1, { limit: 2 });
})();
`;

test("worker threads each load the addon, answer as the main thread does, and may be ended mid-call", async () => {
  const module = new URL("../index.js", import.meta.url).pathname;
  const part = { lats: lats.slice(0, 20000), lngs: lngs.slice(0, 20000) };
  const run = (sync) => new Promise((resolve, reject) => {
    const w = new Worker(workerSource, { eval: true, workerData: { module, sync, ...part } });
    w.once("message", (answers) => w.terminate().then(() => resolve(answers)));
    w.once("error", reject);
  });
  const want = { found: gantrix.findMany(part.lats, part.lngs, { columns: true }), countries: gantrix.countryAtMany(part.lats, part.lngs), nearest: ["fr.cdg", "gb.lhr"] };
  for (const answers of await Promise.all([run(false), run(true), run(false), run(true)])) assert.deepStrictEqual(answers, want);
  assert.deepStrictEqual(await gantrix.findManyAsync([[48.8566, 2.3522]]), [gantrix.find(48.8566, 2.3522)]);
});

test("a set the collector frees goes away without disturbing another in use", async () => {
  const kept = new gantrix.AirportSet(["CDG", "LHR"]);
  // Handles are issued in order: the next set made gets the one after this probe's.
  const probe = Number(c.setNew("", 0));
  c.setFree(probe);
  (() => assert.equal(new gantrix.AirportSet(["JFK", "SYD", "NRT"]).size, 3))();
  const handle = probe + 1;
  assert.equal(c.setSize(handle), "3");
  for (let round = 0; round < 100 && c.setSize(handle) !== null; round++) {
    global.gc();
    await sleep(10);
    assert.equal(kept.nearest(51.5, -0.12, { limit: 1 })[0].code, "gb.lhr");
  }
  assert.equal(c.setSize(handle), null);
  assert.equal(c.error(), `no such AirportSet: ${handle}`);
  kept.close();
});
