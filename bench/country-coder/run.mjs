// country-coder, the peer of the bindings' country benchmarks: the country of every point in a
// file of little-endian float64 (lat, lng) pairs, one thread. Prints one line of JSON, measured
// as bindings/python/bench.py measures every contender: wall and CPU time, and the peak
// resident memory per point above what the process held once the points were read and its
// index was built (the peak is reset through /proc/self/clear_refs), so only the lookups and
// their answers count.
//   npm ci --prefix bench/country-coder && node bench/country-coder/run.mjs POINTS.f64
import { readFileSync, writeFileSync } from "node:fs";
import { iso1A2Code } from "@rapideditor/country-coder";

const bytes = new Uint8Array(readFileSync(process.argv[2]));
const coords = new Float64Array(bytes.buffer, 0, bytes.length / 8);
const n = coords.length / 2;
const kb = (key) => Number(readFileSync("/proc/self/status", "utf8").match(new RegExp(`^${key}:\\s+(\\d+)`, "m"))[1]);

for (let i = 0; i < Math.min(n, 10000); ++i) iso1A2Code([coords[2 * i + 1], coords[2 * i]]); // index built, code warm
writeFileSync("/proc/self/clear_refs", "5");
const before = kb("VmRSS");
const answers = new Array(n);
const cpu = process.cpuUsage();
const start = process.hrtime.bigint();
for (let i = 0; i < n; ++i) answers[i] = iso1A2Code([coords[2 * i + 1], coords[2 * i]]);
const seconds = Number(process.hrtime.bigint() - start) / 1e9;
const used = process.cpuUsage(cpu);
const peak = kb("VmHWM");
console.log(JSON.stringify({ points: n, seconds, cpu_seconds: (used.user + used.system) / 1e6, per_s: n / seconds, bytes_per_point: ((peak - before) * 1024) / n, answered: answers.filter((a) => a).length }));
