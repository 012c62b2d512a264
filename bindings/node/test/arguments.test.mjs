// What the binding refuses and how, what it passes on to the library, and that no argument of
// any kind gets further than an exception.
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { describe, test } from "node:test";

import { gantrix } from "./support.mjs";

const { AirportSet, find, countryAt, airport, findMany, countryAtMany, findManyAsync, countryAtManyAsync } = gantrix;

describe("non-numbers and non-strings are TypeErrors naming the argument", () => {
  test("single calls and sets", () => {
    const hubs = new AirportSet(["CDG", "JFK"]);
    const cases = [
      [() => find("48.8", 2.3), "lat must be a number, not string"],
      [() => countryAt(1, 2n), "lng must be a number, not bigint"],
      [() => find(1, 1, 5), "options must be an object, not number"],
      [() => airport(5), "code must be a string, not number"],
      [() => new AirportSet("CDG"), "codes must be an array of codes, not one string"],
      [() => new AirportSet(["CDG", 1]), "codes[1] must be a string, not number"],
      [() => hubs.nearest(1, 2, { limit: "5" }), "limit must be a number, not string"],
      [() => hubs.nearest(1, 2, { limit: 1.5 }), "limit must be an integer"],
      [() => hubs.nearest(1, 2, { maxKm: "10" }), "maxKm must be a number, not string"],
      [() => hubs.nearest(1, 2, { country: 33 }), "country must be a string, not number"],
      [() => hubs.resolve(1, 2, { foreignMaxKm: true }), "foreignMaxKm must be a number, not boolean"],
    ];
    for (const [call, message] of cases) assert.throws(call, { name: "TypeError", message });
    hubs.close();
  });

  test("batches throw, and their asynchronous forms reject, naming the element", async () => {
    const cases = [
      [["x"], "points must be an array of [lat, lng] pairs (or give lats and lngs), not string"],
      [[[[1, 2], [3]]], "points[1] must be a [lat, lng] pair"],
      [[[[1, "2"]]], "longitude of points[0] must be a number, not string"],
      [[[[null, 2]]], "latitude of points[0] must be a number, not null"],
      [[[1, 2], [3, undefined]], "lngs[1] must be a number, not undefined"],
      [[new BigInt64Array(1), [0]], "lats[0] must be a number, not bigint"],
      [[{ length: 1 }, [0]], "lats must be a Float64Array or an array of numbers, not object"],
      [[[[1, 2]], "reason"], "options must be an object, not string"],
    ];
    for (const [args, message] of cases) {
      for (const f of [findMany, countryAtMany]) assert.throws(() => f(...args), { name: "TypeError", message });
      for (const f of [findManyAsync, countryAtManyAsync]) await assert.rejects(f(...args), { name: "TypeError", message });
    }
    assert.throws(() => findMany([1, 2], new Float64Array(3)), { name: "RangeError", message: "lats and lngs differ in length (2 and 3)" });
  });
});

describe("mistakes are RangeErrors with the wording every surface uses", () => {
  test("limit, distances, country filters and codes", () => {
    const hubs = new AirportSet(["CDG", "JFK"]);
    const cases = [
      [() => hubs.nearest(0, 0, { limit: -1 }), "limit must not be negative"],
      [() => hubs.nearest(0, 0, { limit: -Infinity }), "limit must not be negative"],
      [() => hubs.nearest(0, 0, { maxKm: -0.5 }), "max_km must not be negative"],
      [() => hubs.nearest(0, 0, { maxKm: NaN }), "max_km must be a number, not NaN"],
      [() => hubs.resolve(0, 0, { foreignMaxKm: -1 }), "foreign_max_km must not be negative"],
      [() => new AirportSet(["CDG", "JF\x1fK"]), "codes must not contain the byte 0x1F, which separates them"],
      [() => new AirportSet(["CDG", "JFK\0"]), "codes must not contain a NUL byte"],
      [() => airport("JFK\0X"), "code must not contain a NUL byte"],
      [() => hubs.has("CDG\0"), "code must not contain a NUL byte"],
    ];
    for (const country of ["fra", "f", "", "1a", "é", "f\0"]) {
      cases.push([() => hubs.nearest(0, 0, { country }), 'country must be two ASCII letters, such as "fr"']);
    }
    for (const [call, message] of cases) assert.throws(call, { name: "RangeError", message });
    hubs.close();
  });
});

test("no argument of any kind gets further than an exception", async () => {
  const odd = [undefined, null, true, 0, -0, NaN, -Infinity, 1e308, -1e308, 2 ** 64, "", "JFK", "fr.ory", "\0", "\x1f", "\ud800", "x".repeat(1 << 16),
    1n, Symbol("s"), {}, [], [[1, 2]], [1, 2], () => 1, new Float64Array(2), new Proxy({}, {}), { length: -1 }, { limit: 1e300, country: "fr" }];
  const hubs = new AirportSet(["CDG"]);
  const calls = [find, countryAt, airport, findMany, countryAtMany, (...a) => new AirportSet(...a),
    (...a) => hubs.has(...a), (...a) => hubs.nearest(...a), (...a) => hubs.resolve(...a)];
  const settle = async (f, args) => {
    try {
      await f(...args);
    } catch (e) {
      assert.ok(e instanceof Error, String(e));
    }
  };
  for (const f of [...calls, findManyAsync, countryAtManyAsync]) {
    for (const a of odd) {
      await settle(f, [a]);
      await settle(f, [1, a]);
      await settle(f, [a, a, a]);
      await settle(f, [48.85, 2.35, a]);
    }
  }
  hubs.close();
});

test("the package's version is the project's, and it carries the data licences", () => {
  const root = new URL("../../../", import.meta.url);
  const version = readFileSync(new URL("VERSION", root), "utf8").trim();
  assert.equal(gantrix.version, version);
  assert.equal(JSON.parse(readFileSync(new URL("../package.json", import.meta.url), "utf8")).version, version);
  const licences = readFileSync(new URL("../NOTICE", import.meta.url), "utf8") + readFileSync(new URL("../DATA-LICENSES.md", import.meta.url), "utf8");
  assert.match(licences, /ODbL|Open Database License/);
  assert.match(licences, /CC BY/);
  // The declarations name every export.
  const declared = readFileSync(new URL("../index.d.ts", import.meta.url), "utf8");
  for (const name of Object.keys(gantrix)) assert.match(declared, new RegExp(`export (declare )?(const|function|class) ${name}\\b`), name);
});
