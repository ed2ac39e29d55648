// SPDX-License-Identifier: Apache-2.0
// The npm package beside the npm package social-insurance-number (run, never
// read), on the same one million strings (build/bench/mixed-entries.txt,
// which bench/cli.py makes): each checked in a Node loop by mivaro's isValid
// and by social-insurance-number's isValid, runs interleaved, and the whole
// array at once by mivaro's isValidMany. Then the package's and the page's
// sizes, gzipped. Prints medians and ratios. Run it after scripts/test-web,
// which installs both packages into build-web/tools:
//     node bench/web.mjs [runs]
import { readFileSync, readdirSync } from "node:fs";
import { createRequire } from "node:module";
import { dirname, join } from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";
import { gzipSync } from "node:zlib";

const root = join(dirname(fileURLToPath(import.meta.url)), "..");
const tools = join(root, "build-web", "tools");
const require = createRequire(join(tools, "package.json"));
const mivaro = await import(pathToFileURL(join(tools, "node_modules", "mivaro", "index.js")));
// Its check is a method of the number's object.
const SocialInsuranceNumber = require("social-insurance-number");
const yardstickIsValid = (entry) => new SocialInsuranceNumber(entry).isValid();
const runs = Number(process.argv[2] ?? 5);

const entries = readFileSync(join(root, "build", "bench", "mixed-entries.txt"), "utf8")
  .split("\n")
  .slice(0, 1_000_000);

function timed(run) {
  const start = process.hrtime.bigint();
  const result = run();
  return [Number(process.hrtime.bigint() - start) / 1e9, result];
}

function loop(check) {
  let valid = 0;
  for (const entry of entries) if (check(entry)) valid += 1;
  return valid;
}

const median = (values) => values.sort((a, b) => a - b)[values.length >> 1];
const times = { mivaro: [], yardstick: [], many: [] };
const counts = {};
loop(mivaro.isValid);  // warm both up before timing
loop(yardstickIsValid);
for (let run = 0; run < runs; run++) {
  let result;
  [times.mivaro[run], counts.mivaro] = timed(() => loop(mivaro.isValid));
  [times.yardstick[run], counts.yardstick] = timed(() => loop(yardstickIsValid));
  [times.many[run], result] = timed(() => mivaro.isValidMany(entries));
  counts.many = result.filter(Boolean).length;
}
const yardstickTime = median(times.yardstick);
console.log(`${entries.length} mixed entries, median of ${runs} interleaved runs:`);
console.log(`  social-insurance-number isValid loop  ${yardstickTime.toFixed(3)} s  (${counts.yardstick} valid)`);
for (const [name, key] of [["mivaro isValid loop", "mivaro"], ["mivaro isValidMany", "many"]]) {
  const time = median(times[key]);
  console.log(`  ${name.padEnd(36)} ${time.toFixed(3)} s  (${counts[key]} valid)  ` +
    `${(yardstickTime / time).toFixed(1)}x as fast`);
}

const gzipped = (path) => gzipSync(readFileSync(path), { level: 9 }).length;
const packageDir = join(tools, "node_modules", "mivaro");
const packageCode = ["index.js", "mivaro-wasm.js"].map((name) => gzipped(join(packageDir, name)));
console.log(`package code and WebAssembly: ${(packageCode[0] + packageCode[1]) / 1024 | 0} KiB gzipped`);
const site = join(root, "build-web", "site");
// The first load: every file but the service worker's extra icons.
const firstLoad = readdirSync(site)
  .filter((name) => !/^icon-\d+\.png$/.test(name))
  .reduce((total, name) => total + gzipped(join(site, name)), 0);
console.log(`page first load: ${firstLoad / 1024 | 0} KiB gzipped`);
