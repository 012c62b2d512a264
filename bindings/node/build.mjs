// npm's install step: builds the addon with the repository's CMake (the library's static
// archive, the State image made from datasets/ by gantrix-image, then the addon) against the
// headers of the Node running this script, so nothing is downloaded. Writes build/gantrix.node
// and copies the data licences next to package.json.
import { execFileSync } from "node:child_process";
import { copyFileSync, existsSync } from "node:fs";
import { createRequire } from "node:module";
import { availableParallelism } from "node:os";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
const root = resolve(here, "..", "..");
const require = createRequire(import.meta.url);

function fail(message) {
  console.error(`gantrix: ${message}`);
  process.exit(1);
}

if (!existsSync(join(root, "VERSION")) || !existsSync(join(root, "src", "api", "exports.cpp"))) {
  fail(`the addon builds from the Gantrix source tree; ${root} is not one (install bindings/node from a clone of the repository)`);
}

// Node's headers: GANTRIX_NODE_INCLUDE, else those installed with this node (Debian's
// /usr/include/node, or <prefix>/include/node of an official build).
const includeCandidates = [process.env.GANTRIX_NODE_INCLUDE, join(dirname(process.execPath), "..", "include", "node"), "/usr/include/node"].filter(Boolean);
const nodeInclude = includeCandidates.find((d) => existsSync(join(d, "node_api.h")));
if (!nodeInclude) fail(`no node_api.h in ${includeCandidates.join(", ")}: install Node's headers (Debian: nodejs; or set GANTRIX_NODE_INCLUDE)`);
const addonApi = dirname(nodeAddonApi());

// node-addon-api, pinned in package.json: in this folder's node_modules (npm ci here), else
// where npm put it for the project installing this folder (INIT_CWD); failing both, installed
// here from package-lock.json.
function nodeAddonApi() {
  const paths = [here, process.env.INIT_CWD].filter(Boolean);
  const find = () => {
    try {
      return require.resolve("node-addon-api/package.json", { paths });
    } catch {
      return null;
    }
  };
  const found = find();
  if (found) return found;
  const npm = process.env.npm_execpath ? [process.execPath, [process.env.npm_execpath]] : ["npm", []];
  try {
    execFileSync(npm[0], [...npm[1], "ci", "--ignore-scripts", "--no-audit", "--no-fund"], { cwd: here, stdio: ["ignore", "inherit", "inherit"] });
  } catch {
    fail("cannot install node-addon-api (npm ci in bindings/node failed)");
  }
  return find() ?? fail("node-addon-api is missing after npm ci");
}

const cmakeDir = join(here, "build", "cmake");
const run = (args) => {
  try {
    execFileSync("cmake", args, { stdio: ["ignore", "inherit", "inherit"] });
  } catch (e) {
    fail(e.code === "ENOENT" ? "cmake is not installed (Debian: cmake, g++; or run scripts/deps.sh)" : `cmake ${args[0]} failed`);
  }
};
run(["-S", root, "-B", cmakeDir, "-DCMAKE_BUILD_TYPE=Release", "-DGANTRIX_BUILD_TESTS=OFF", "-DGANTRIX_BUILD_NODE=ON", `-DGANTRIX_NODE_INCLUDE_DIR=${nodeInclude}`, `-DGANTRIX_NODE_ADDON_API_DIR=${addonApi}`, `-DGANTRIX_NODE_OUTPUT_DIR=${join(here, "build")}`]);
const jobs = process.env.CMAKE_BUILD_PARALLEL_LEVEL || String(Math.min(2, availableParallelism()));
run(["--build", cmakeDir, "--target", "gantrix_node", "--parallel", jobs]);

// The data's licences travel with the package: ODbL for the outlines, CC BY for the airports.
copyFileSync(join(root, "NOTICE"), join(here, "NOTICE"));
copyFileSync(join(root, "datasets", "README.md"), join(here, "DATA-LICENSES.md"));
