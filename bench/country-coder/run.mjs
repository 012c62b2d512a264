// country-coder's iso1A2Code over a file of points, one "lat,lng" per line: prints one JSON
// line with the points, points per second (the median of the passes, in the process's CPU
// time, which waiting on a shared machine does not inflate), ns per point and the process's
// peak resident memory.
//
//   npm ci --prefix bench/country-coder && node bench/country-coder/run.mjs POINTS [PASSES]
import { readFileSync } from "node:fs";
import { iso1A2Code } from "@rapideditor/country-coder";

const [file, passesArg] = process.argv.slice(2);
if (!file) {
  console.error("usage: node bench/country-coder/run.mjs POINTS [PASSES]");
  process.exit(2);
}
const lines = readFileSync(file, "utf8").split("\n").filter((l) => l.length > 0);
const lng = new Float64Array(lines.length);
const lat = new Float64Array(lines.length);
lines.forEach((line, i) => {
  const [a, b] = line.split(",");
  lat[i] = Number(a);
  lng[i] = Number(b);
});

let found = 0;
const pass = () => {
  const t0 = process.cpuUsage();
  found = 0;
  for (let i = 0; i < lat.length; ++i) if (iso1A2Code([lng[i], lat[i]]) !== null) ++found;
  const t = process.cpuUsage(t0);
  return (t.user + t.system) * 1000;
};
pass(); // warm-up: the borders' index is built on the first call
const times = Array.from({ length: Number(passesArg ?? 3) }, pass).sort((a, b) => a - b);
const median = times[Math.floor(times.length / 2)];
console.log(JSON.stringify({
  points: lat.length,
  with_country: found,
  points_per_second: Math.round((lat.length * 1e9) / median),
  ns_per_point: Math.round(median / lat.length),
  peak_rss_mb: Math.round(process.resourceUsage().maxRSS / 1024),
}));
