"use strict";
// Gantrix for Node.js: which airport serves a coordinate, which country contains it, airports
// by code and airport sets, answered by the compiled-in library (build/gantrix.node).
//
// The single calls and AirportSet's methods run the library's operations in the addon, which
// checks their arguments and hands over the operation's JSON text, read here with JSON.parse.
// For the batches, the addon answers a column of points with one small integer each, and
// these functions turn the integers into answers through tables of frozen values shared by
// every point with the same answer, so a million results cost a million array slots and no
// strings or objects of their own.

const { join } = require("node:path");

const addonPath = join(__dirname, "build", "gantrix.node");
let native;
try {
  native = require(addonPath);
} catch (e) {
  throw new Error(`gantrix: cannot load ${addonPath} (${e.message}); build it with npm install (it needs cmake and g++: scripts/deps.sh installs them)`);
}

const NO_COUNTRY = "no country found for coordinates";
const INVALID = "invalid coordinates";

function typeName(v) {
  return v === null ? "null" : typeof v;
}

function isArrayLike(v) {
  return Array.isArray(v) || (ArrayBuffer.isView(v) && !(v instanceof DataView));
}

// A column of coordinates as a Float64Array: one given is used as it is.
function column(name, values) {
  if (values instanceof Float64Array) return values;
  if (!isArrayLike(values)) throw new TypeError(`${name} must be a Float64Array or an array of numbers, not ${typeName(values)}`);
  const n = values.length;
  const out = new Float64Array(n);
  for (let i = 0; i < n; i++) {
    const v = values[i];
    if (typeof v !== "number") throw new TypeError(`${name}[${i}] must be a number, not ${typeName(v)}`);
    out[i] = v;
  }
  return out;
}

function pairs(points) {
  if (!Array.isArray(points)) throw new TypeError(`points must be an array of [lat, lng] pairs (or give lats and lngs), not ${typeName(points)}`);
  const n = points.length;
  const lats = new Float64Array(n);
  const lngs = new Float64Array(n);
  for (let i = 0; i < n; i++) {
    const p = points[i];
    if (!isArrayLike(p) || p.length !== 2) throw new TypeError(`points[${i}] must be a [lat, lng] pair`);
    const lat = p[0];
    const lng = p[1];
    if (typeof lat !== "number") throw new TypeError(`latitude of points[${i}] must be a number, not ${typeName(lat)}`);
    if (typeof lng !== "number") throw new TypeError(`longitude of points[${i}] must be a number, not ${typeName(lng)}`);
    lats[i] = lat;
    lngs[i] = lng;
  }
  return [lats, lngs];
}

function options(v) {
  if (v === undefined || v === null) return {};
  if (typeof v !== "object") throw new TypeError(`options must be an object, not ${typeName(v)}`);
  return v;
}

// (points, options) or (lats, lngs, options).
function batchArguments(a, b, c) {
  if (isArrayLike(b)) {
    const lats = column("lats", a);
    const lngs = column("lngs", b);
    if (lats.length !== lngs.length) throw new RangeError(`lats and lngs differ in length (${lats.length} and ${lngs.length})`);
    return [lats, lngs, options(c)];
  }
  const [lats, lngs] = pairs(a);
  return [lats, lngs, options(b)];
}

// The shared answers, made when first needed: per airport id, per country id, per failure.
let answers = null;
const countries = new Array(26 * 26).fill(null);
const otherCountries = new Map();
const failures = [];
const failureAnswers = [];

function airportAnswer(id) {
  if (answers === null) answers = new Array(native._airportCount()).fill(null);
  return answers[id] ?? (answers[id] = Object.freeze(JSON.parse(native._airportAnswer(id))));
}

function failureText(k) {
  return failures[k] ?? (failures[k] = native._failureText(k));
}

function failureAnswer(k) {
  return failureAnswers[k] ?? (failureAnswers[k] = Object.freeze({ error: failureText(k) }));
}

function countryText(id) {
  if (id < countries.length) return countries[id] ?? (countries[id] = native._countryText(id));
  let text = otherCountries.get(id);
  if (text === undefined) otherCountries.set(id, (text = native._countryText(id)));
  return text;
}

function findAnswers(ids, opts) {
  const n = ids.length;
  if (opts.columns) {
    const airport = new Array(n);
    const label = new Array(n);
    const reason = new Array(n);
    for (let i = 0; i < n; i++) {
      const id = ids[i];
      if (id >= 0) {
        const a = airportAnswer(id);
        airport[i] = a.code;
        label[i] = a.name;
        reason[i] = null;
      } else {
        airport[i] = null;
        label[i] = null;
        reason[i] = failureText(-id - 1);
      }
    }
    return { airport, airport_label: label, reason };
  }
  const out = new Array(n);
  const withReason = Boolean(opts.reason);
  for (let i = 0; i < n; i++) {
    const id = ids[i];
    out[i] = id >= 0 ? airportAnswer(id) : withReason ? failureAnswer(-id - 1) : null;
  }
  return out;
}

function countryAnswers(ids, opts) {
  const n = ids.length;
  const out = new Array(n);
  if (opts.columns) {
    const reason = new Array(n);
    for (let i = 0; i < n; i++) {
      const id = ids[i];
      out[i] = id >= 0 ? countryText(id) : null;
      reason[i] = id >= 0 ? null : id === -2 ? INVALID : NO_COUNTRY;
    }
    return { country: out, reason };
  }
  for (let i = 0; i < n; i++) {
    const id = ids[i];
    out[i] = id >= 0 ? countryText(id) : null;
  }
  return out;
}

function findMany(a, b, c) {
  const [lats, lngs, opts] = batchArguments(a, b, c);
  return findAnswers(native._findIds(lats, lngs), opts);
}

function countryAtMany(a, b, c) {
  const [lats, lngs, opts] = batchArguments(a, b, c);
  return countryAnswers(native._countryIds(lats, lngs), opts);
}

async function findManyAsync(a, b, c) {
  const [lats, lngs, opts] = batchArguments(a, b, c);
  return findAnswers(await native._findIdsAsync(lats, lngs), opts);
}

async function countryAtManyAsync(a, b, c) {
  const [lats, lngs, opts] = batchArguments(a, b, c);
  return countryAnswers(await native._countryIdsAsync(lats, lngs), opts);
}

function parsed(text) {
  return text === null ? null : JSON.parse(text);
}

/** The airport serving a coordinate, or null (with { reason: true }, the library's { error }). */
function find(lat, lng, opts) {
  return parsed(native.find(lat, lng, opts));
}

/** The record of an IATA code or of a composite code find answers, or null. */
function airport(code) {
  return parsed(native.airport(code));
}

/** A set of airports named by IATA codes; freed by close(), or when collected. */
class AirportSet {
  #set;

  constructor(codes) {
    this.#set = new native._AirportSet(codes);
  }

  get size() {
    return JSON.parse(this.#set.size);
  }

  get missing() {
    return JSON.parse(this.#set.missing);
  }

  has(code) {
    return JSON.parse(this.#set.has(code));
  }

  nearest(lat, lng, opts) {
    return JSON.parse(this.#set.nearest(lat, lng, opts));
  }

  resolve(lat, lng, opts) {
    return JSON.parse(this.#set.resolve(lat, lng, opts));
  }

  close() {
    this.#set.close();
  }
}

if (typeof Symbol.dispose === "symbol") {
  Object.defineProperty(AirportSet.prototype, Symbol.dispose, {
    value() {
      this.close();
    },
    configurable: true,
    writable: true,
  });
}

module.exports = {
  version: native.version,
  find,
  countryAt: native.countryAt,
  airport,
  findMany,
  countryAtMany,
  findManyAsync,
  countryAtManyAsync,
  AirportSet,
};
