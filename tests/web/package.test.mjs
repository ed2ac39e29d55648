// SPDX-License-Identifier: Apache-2.0
// The npm package as users install it, held to mivaro-cli: the shared entry
// table, generate's numbers for the same options and seed, and scan and
// redact on the shared corpus. MIVARO_CLI names the native mivaro-cli and
// MIVARO_PACKAGE the installed package's folder.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { readdirSync, readFileSync, writeFileSync } from "node:fs";
import { dirname, join, resolve } from "node:path";
import { test } from "node:test";
import { fileURLToPath, pathToFileURL } from "node:url";
import { gzipSync } from "node:zlib";

const mivaro = await import(pathToFileURL(resolve(process.env.MIVARO_PACKAGE, "index.js")));

const data = join(dirname(fileURLToPath(import.meta.url)), "..", "data");
const cli = process.env.MIVARO_CLI;

function runCli(args, input) {
  return execFileSync(cli, args, { input, encoding: "utf8", maxBuffer: 1 << 26 });
}

// The entry column's C escapes; nothing for bytes that are not UTF-8, which
// no JavaScript string can hold.
function unescape(field) {
  const bytes = [];
  for (let i = 0; i < field.length; ) {
    const escape = field[i] === "\\" ? field[i + 1] : undefined;
    let text = field[i];
    if (escape === "t") text = "\t";
    else if (escape === "x") bytes.push(parseInt(field.slice(i + 2, i + 4), 16));
    else if (escape === "u") text = String.fromCharCode(parseInt(field.slice(i + 2, i + 6), 16));
    else if (escape === "\\") text = "\\";
    if (escape !== "x") bytes.push(...Buffer.from(text));
    i += escape === undefined ? 1 : escape === "x" ? 4 : escape === "u" ? 6 : 2;
  }
  try {
    return new TextDecoder("utf-8", { fatal: true }).decode(Uint8Array.from(bytes));
  } catch {
    return undefined;
  }
}

function entryRows() {
  return readFileSync(join(data, "entries.tsv"), "utf8")
    .split("\n")
    .filter((line) => line !== "" && !line.startsWith("#"))
    .map((line) => {
      const [name, entry, number, valid, check, sum, group, regions, error] = line.split("\t");
      const orNull = (field) => (field === "" ? null : field);
      return {
        name,
        entry: unescape(entry),
        expected: {
          valid: valid === "true",
          error: orNull(error),
          number: orNull(number),
          check: orNull(check),
          sum: sum === "" ? null : Number(sum),
          group: orNull(group),
          regions: regions === "" ? [] : regions.split(" "),
        },
      };
    })
    .filter((row) => row.entry !== undefined);
}

test("check, isValid and isValidMany agree with the shared entry table", () => {
  const rows = entryRows();
  assert.ok(rows.length > 20);
  for (const { name, entry, expected } of rows) {
    assert.deepEqual(mivaro.check(entry), expected, name);
    assert.equal(mivaro.isValid(entry), expected.valid, name);
  }
  const many = rows.map((row) => row.entry);
  assert.deepEqual(mivaro.isValidMany(many), rows.map((row) => row.expected.valid));
});

test("isValidMany answers per element, past its chunks, and false for what is not a string", () => {
  const entries = Array.from({ length: 40000 }, (_, i) => (i % 3 === 0 ? "046 454 286" : "046454287"));
  entries.push(null, 46454286, undefined, "046454286");
  const valid = mivaro.isValidMany(entries);
  assert.equal(valid.length, entries.length);
  valid.forEach((answer, i) => assert.equal(answer, entries[i] === "046 454 286" || entries[i] === "046454286", String(i)));
});

test("format and mask write valid numbers and throw the library's reason for others", () => {
  const rows = [
    ["046454286", "spaced", "046 454 286", "*** *** 286"],
    ["046-454-286", "bare", "046454286", "******286"],
    ["046 454 286", "dashed", "046-454-286", "***-***-286"],
  ];
  for (const [entry, style, formatted, masked] of rows) {
    assert.equal(mivaro.format(entry, style), formatted);
    assert.equal(mivaro.mask(entry, style), masked);
  }
  assert.equal(mivaro.format("046454286"), "046 454 286");
  const refusals = [
    ["123456789", "check sum 47 is not a multiple of 10"],
    ["12345", "not nine digits"],
    ["\ud800", "not digits only"],
  ];
  for (const [entry, reason] of refusals) {
    assert.throws(() => mivaro.format(entry), { name: "ValidationError", message: reason });
    assert.throws(() => mivaro.mask(entry), mivaro.ValidationError);
  }
  assert.throws(() => mivaro.format("046454286", "wide"), RangeError);
  assert.throws(() => mivaro.check(46454286), TypeError);
});

test("generate gives the numbers mivaro-cli generate prints for the same options", () => {
  const rows = [
    [{ seed: 0 }, ["--seed", "0"]],
    [{ seed: 42, regions: ["QC", "ON"] }, ["--seed", "42", "--region", "QC,ON"]],
    [{ seed: 7, firstDigit: 0, digits: "0-9" }, ["--seed", "7", "--first-digit", "0", "--digits", "0-9"]],
    [{ seed: 2n ** 64n - 1n, unique: true }, ["--seed", "18446744073709551615", "--unique"]],
    [{ seed: 2 ** 53 - 1, regions: "bc" }, ["--seed", String(2 ** 53 - 1), "--region", "bc"]],
  ];
  for (const [options, args] of rows) {
    const expected = runCli(["generate", "--count", "300", ...args]).trim().split("\n");
    assert.deepEqual(mivaro.generate({ count: 300, ...options }), expected, args.join(" "));
  }
  assert.equal(mivaro.generate().length, 1);
});

test("generate refuses what mivaro-cli refuses, in the library's words", () => {
  const rows = [
    [{ regions: ["QC"], firstDigit: 1 }, /regions and a first digit cannot go together/],
    [{ firstDigit: -1 }, /first digit -1 is out of range/],
    [{ regions: ["XX"] }, /^RangeError: regions: /],
    [{ count: 0 }, /count must be a whole number/],
    [{ seed: -1 }, /seed must be/],
    [{ seed: 1.5 }, /seed must be/],
  ];
  for (const [options, refusal] of rows) {
    assert.throws(() => mivaro.generate(options), refusal, JSON.stringify(options));
  }
});

test("find and redact agree with mivaro-cli scan and redact on the shared corpus", () => {
  const path = join(data, "scan_corpus.log");
  const text = readFileSync(path, "utf8");
  for (const level of ["low", "medium", "high"]) {
    const expected = runCli(["scan", "--json", "--unmasked", "--min-confidence", level, path])
      .trim()
      .split("\n")
      .map((line) => JSON.parse(line));
    const found = mivaro.find(text, { minConfidence: level }).map((match) => ({
      offset: Buffer.byteLength(text.slice(0, match.start)),
      length: Buffer.byteLength(text.slice(match.start, match.end)),
      number: match.number,
      confidence: match.confidence,
      keyword: match.keyword ?? "",
    }));
    assert.deepEqual(
      found,
      expected.map(({ offset, length, number, confidence, keyword }) => ({
        offset, length, number, confidence, keyword: keyword ?? "",
      })),
      level,
    );
    for (const allDigits of [false, true]) {
      const args = ["redact", "--min-confidence", level, ...(allDigits ? ["--all-digits"] : []), path];
      assert.equal(mivaro.redact(text, { minConfidence: level, allDigits }), runCli(args), level);
    }
  }
});

test("find counts in string indices and redact keeps every other unit, astral and lone ones too", () => {
  const rows = [
    "SIN 046 454 286",
    "😀😀 SIN: 046-454-286 fin",
    "é\ud800 numéro d'assurance sociale 046454286 \udfff",
    "a\u00a0SIN\u00a0046\u00a0454\u00a0286",
  ];
  for (const text of rows) {
    const [match] = mivaro.find(text);
    assert.equal(text.slice(match.start, match.end).replace(/\D/g, ""), "046454286", text);
    const redacted = mivaro.redact(text);
    assert.equal(redacted.length, text.length);
    assert.equal(redacted.slice(0, match.start), text.slice(0, match.start));
    assert.equal(redacted.slice(match.end), text.slice(match.end));
    assert.equal(redacted.slice(match.start, match.end).replace(/[^\d*]/g, ""), "******286");
  }
  assert.deepEqual(mivaro.find("no numbers"), []);
  assert.throws(() => mivaro.find("x", { minConfidence: "sure" }), RangeError);
});

test("the JavaScript examples of the package's README and Mivaro's docs print what they say", () => {
  const packageDir = resolve(process.env.MIVARO_PACKAGE);
  const source = join(data, "..", "..");
  const docs = readdirSync(join(source, "docs")).filter((name) => name.endsWith(".md"));
  const pages = [join(packageDir, "README.md"), join(source, "README.md"), ...docs.map((name) => join(source, "docs", name))];
  let examples = 0;
  for (const page of pages) {
    for (const [, code, output] of readFileSync(page, "utf8").matchAll(/```js\n(.*?)```\n\n(?:prints\n\n)?```text\n(.*?)```/gs)) {
      // Beside node_modules, so that the example's import finds the package.
      const example = join(packageDir, "..", "..", "docs-example.mjs");
      writeFileSync(example, code);
      assert.equal(execFileSync(process.execPath, [example], { encoding: "utf8" }), output, page);
      examples += 1;
    }
  }
  assert.ok(examples >= 3, `${examples} examples`);
});

test("the package's code and WebAssembly stay within 64 KiB gzipped", () => {
  const packageDir = resolve(process.env.MIVARO_PACKAGE);
  const size = ["index.js", "mivaro-wasm.js"]
    .map((name) => gzipSync(readFileSync(join(packageDir, name)), { level: 9 }).length)
    .reduce((a, b) => a + b);
  assert.ok(size <= 64 * 1024, `${size} bytes`);
});
