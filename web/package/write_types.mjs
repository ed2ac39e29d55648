// SPDX-License-Identifier: Apache-2.0
// Writes the package's type declarations from their template, filling in the
// names and limits the library decides, as the built module itself gives
// them: styles, confidences and the default one, groups, region captions,
// and the most numbers one generate() call returns.
// Usage: node write_types.mjs MODULE TEMPLATE OUTPUT
import { readFileSync, writeFileSync } from "node:fs";
import { resolve } from "node:path";
import { pathToFileURL } from "node:url";

const [moduleFile, template, output] = process.argv.slice(2);
const { default: createMivaroModule } = await import(pathToFileURL(resolve(moduleFile)));
const wasm = await createMivaroModule();
wasm._web_facts();
const facts = JSON.parse(wasm.UTF8ToString(wasm._web_text(), wasm._web_text_length()));

const union = (names) => names.map((name) => JSON.stringify(name)).join(" | ");
const values = {
  "@STYLES@": union(facts.styles),
  "@CONFIDENCES@": union(facts.confidences),
  "@DEFAULT_CONFIDENCE@": facts.defaultConfidence,
  "@GROUPS@": union(facts.groups),
  "@REGIONS@": union(facts.regions),
  "@MOST_GENERATED@": facts.mostGenerated.toLocaleString("en-US"),
};

let text = readFileSync(template, "utf8");
for (const [placeholder, value] of Object.entries(values)) {
  if (!text.includes(placeholder)) throw new Error(`${placeholder} is not in ${template}`);
  text = text.replaceAll(placeholder, value);
}
const left = text.match(/@[A-Z_]+@/);
if (left) throw new Error(`${left[0]} in ${template} has no value`);
writeFileSync(output, text);
