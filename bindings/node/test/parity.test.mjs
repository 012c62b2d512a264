// Every answer of the binding against the C function's JSON text for the same arguments.
import assert from "node:assert/strict";
import { describe, test } from "node:test";

import { airportRecords, c, gantrix, points, random } from "./support.mjs";

const N = 120000;
const { lats, lngs } = points(N, 7);
const pairs = Array.from(lats, (lat, i) => [lat, lngs[i]]);
const cFind = Array.from(lats, (lat, i) => JSON.parse(c.find(lat, lngs[i])));
const cCountry = Array.from(lats, (lat, i) => JSON.parse(c.countryAt(lat, lngs[i])));

// A call's answer or its failure's message, and the same for a C function's text.
const outcome = (call) => { try { return { answer: call() }; } catch (e) { return { failed: `${e.name}: ${e.message}` }; } };
const cOutcome = (text) => (text === null ? { failed: `Error: ${c.error()}` } : { answer: JSON.parse(text) });

// The first point whose answer differs from the C library's (key order included), or null.
function firstDifference(got, want) {
  const i = want.findIndex((w, k) => JSON.stringify(got[k]) !== JSON.stringify(w));
  if (i >= 0) return `point ${i} (${lats[i]}, ${lngs[i]}): got ${JSON.stringify(got[i])}, C answers ${JSON.stringify(want[i])}`;
  return got.length === want.length ? null : `length ${got.length}, not ${want.length}`;
}

describe("points, land and sea, against gx_find and gx_country_at", () => {
  test("the sample reaches land, sea, far sea and invalid points", () => {
    const errors = new Set(cFind.filter((a) => a.error).map((a) => a.error));
    assert.ok(errors.has("invalid coordinates") && errors.has("no country found for coordinates"));
    const countries = new Set(cCountry.filter(Boolean));
    assert.ok(countries.size > 200, `${countries.size} countries`);
  });

  test("single calls", () => {
    assert.equal(firstDifference(Array.from(lats, (lat, i) => gantrix.find(lat, lngs[i], { reason: true })), cFind), null);
    const nulls = cFind.map((a) => (a.error ? null : a));
    assert.equal(firstDifference(Array.from(lats, (lat, i) => gantrix.find(lat, lngs[i])), nulls), null);
    assert.equal(firstDifference(Array.from(lats, (lat, i) => gantrix.countryAt(lat, lngs[i])), cCountry), null);
  });

  test("batches, synchronous and asynchronous, columns and pairs", async () => {
    const nulls = cFind.map((a) => (a.error ? null : a));
    assert.equal(firstDifference(gantrix.findMany(lats, lngs, { reason: true }), cFind), null);
    assert.equal(firstDifference(gantrix.findMany(pairs), nulls), null);
    assert.equal(firstDifference(await gantrix.findManyAsync(pairs, { reason: true }), cFind), null);
    assert.equal(firstDifference(await gantrix.findManyAsync(Array.from(lats), Array.from(lngs)), nulls), null);
    assert.equal(firstDifference(gantrix.countryAtMany(lats, lngs), cCountry), null);
    assert.equal(firstDifference(gantrix.countryAtMany(pairs), cCountry), null);
    assert.equal(firstDifference(await gantrix.countryAtManyAsync(lats, lngs), cCountry), null);

    const found = gantrix.findMany(lats, lngs, { columns: true });
    assert.equal(firstDifference(found.airport, cFind.map((a) => a.code ?? null)), null);
    assert.equal(firstDifference(found.airport_label, cFind.map((a) => a.name ?? null)), null);
    assert.equal(firstDifference(found.reason, cFind.map((a) => a.error ?? null)), null);
    const countries = await gantrix.countryAtManyAsync(pairs, { columns: true });
    assert.equal(firstDifference(countries.country, cCountry), null);
    const invalid = (i) => !(Number.isFinite(lats[i]) && Number.isFinite(lngs[i]) && Math.abs(lats[i]) <= 90);
    const reasons = cCountry.map((code, i) => (code !== null ? null : invalid(i) ? "invalid coordinates" : "no country found for coordinates"));
    assert.equal(firstDifference(countries.reason, reasons), null);
  });

  test("batch answers are shared and frozen, so changing one cannot change another", () => {
    const [a, b] = gantrix.findMany([[48.8566, 2.3522], [48.857, 2.352]]);
    assert.equal(a, b);
    assert.ok(Object.isFrozen(a));
    const single = gantrix.find(48.8566, 2.3522);
    single.code = "changed";
    assert.equal(gantrix.find(48.8566, 2.3522).code, "fr.ory");
  });

  test("empty batches", async () => {
    assert.deepEqual(gantrix.findMany([]), []);
    assert.deepEqual(await gantrix.countryAtManyAsync(new Float64Array(0), []), []);
    assert.deepEqual(gantrix.findMany([], { columns: true }), { airport: [], airport_label: [], reason: [] });
  });
});

describe("airports by code, against gx_airport", () => {
  const records = airportRecords();

  test("every IATA code of the table, in any case and with white space, and unknown codes", () => {
    const r = random(3);
    for (const record of records) {
      const iata = record.iata;
      for (const code of [iata, iata.toLowerCase(), ` ${iata}\t`]) {
        assert.deepStrictEqual(gantrix.airport(code), JSON.parse(c.airport(code)), code);
      }
    }
    for (let k = 0; k < 3000; k++) {
      const code = Array.from({ length: 1 + Math.floor(r() * 4) }, () => "ABZ.é 1"[Math.floor(r() * 7)]).join("");
      const want = JSON.parse(c.airport(code));
      if (want !== null || !code.includes(".")) assert.deepStrictEqual(gantrix.airport(code), want, code);
    }
  });

  test("a composite code answers its airport's record only when it is that record's code", () => {
    for (const record of records) {
      assert.deepStrictEqual(gantrix.airport(record.code), record);
      assert.deepStrictEqual(gantrix.airport(record.code.toUpperCase()), record);
    }
    assert.equal(gantrix.airport("us.ory"), null);
    assert.equal(gantrix.airport("fr.ory.x"), null);
    assert.equal(gantrix.airport(" fr.ory"), null);
    assert.equal(gantrix.airport("fr."), null);
  });
});

describe("airport sets, against the gx_set_ functions", () => {
  const records = airportRecords();

  test("members, missing codes and every search", () => {
    const r = random(11);
    const { lats: qlats, lngs: qlngs } = points(600, 12);
    for (let round = 0; round < 12; round++) {
      const codes = Array.from({ length: 1 + Math.floor(r() * 40) }, () =>
        r() < 0.85 ? records[Math.floor(r() * records.length)].iata.toLowerCase() : ["ZZZ", "", " ", "lbg", "ory "][Math.floor(r() * 5)]);
      const set = new gantrix.AirportSet(codes);
      const handle = Number(c.setNew(codes.join("\x1f"), codes.length));
      try {
        assert.equal(set.size, Number(c.setSize(handle)));
        assert.deepStrictEqual(set.missing, JSON.parse(c.setMissing(handle)));
        for (const code of [...codes.slice(0, 10), "ZZZ", "cdg", ""]) assert.equal(set.has(code), JSON.parse(c.setInclude(handle, code)), code);
        for (let i = 0; i < qlats.length; i++) {
          const [lat, lng, limit] = [qlats[i], qlngs[i], Math.floor(r() * 8)];
          const country = r() < 0.3 ? records[Math.floor(r() * records.length)].country : null;
          const maxKm = r() < 0.3 ? r() * 3000 : null;
          const km = r() < 0.5 ? r() * 800 : null;
          const opts = { limit, ...(country !== null && { country: r() < 0.5 ? country : country.toUpperCase() }), ...(maxKm !== null && { maxKm }) };
          assert.deepStrictEqual(outcome(() => set.nearest(lat, lng, opts)),
            cOutcome(c.setNearest(handle, lat, lng, country, country === null ? 0 : 1, maxKm ?? 0, maxKm === null ? 0 : 1, limit)), `${lat}, ${lng}`);
          assert.deepStrictEqual(outcome(() => set.resolve(lat, lng, km === null ? undefined : { foreignMaxKm: km })),
            cOutcome(c.setResolve(handle, lat, lng, km ?? 0, km === null ? 0 : 1)));
        }
        assert.deepStrictEqual(set.nearest(48.85, 2.35), JSON.parse(c.setNearest(handle, 48.85, 2.35, null, 0, 0, 0, 5)));
        assert.deepStrictEqual(set.nearest(48.85, 2.35, { limit: Infinity, maxKm: Infinity }), JSON.parse(c.setNearest(handle, 48.85, 2.35, null, 0, Infinity, 1, 2 ** 62)));
      } finally {
        set.close();
        c.setFree(handle);
      }
    }
  });

  test("sets from any iterable; a closed set says so, and closing again does nothing", () => {
    const set = new gantrix.AirportSet(new Set(["CDG", "LHR", "XXX"]));
    assert.equal(set.size, 2);
    assert.deepEqual(set.missing, ["XXX"]);
    set.close();
    set.close();
    assert.throws(() => set.size, { name: "Error", message: "the airport set is closed" });
    assert.throws(() => set.nearest(0, 0), { message: "the airport set is closed" });
    assert.equal(new gantrix.AirportSet([]).size, 0);
  });
});
