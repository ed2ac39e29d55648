// SPDX-License-Identifier: Apache-2.0
// Mivaro's SIN rules for JavaScript: the C++ library compiled to WebAssembly
// (mivaro-wasm.js, which embeds it), with this file turning strings into the
// module's UTF-8 bytes and its answers back into JavaScript values. No rule
// is decided here.
import createMivaroModule from "./mivaro-wasm.js";

const wasm = await createMivaroModule();
const encoder = new TextEncoder();

/** An entry that is not a valid SIN; its message is the library's reason. */
export class ValidationError extends Error {
  constructor(message) {
    super(message);
    this.name = "ValidationError";
  }
}

// Where strings are copied into the module's memory: kept for the next call
// and grown as needed.
let textAt = 0;
let textSize = 0;
// Where web_parse_regions writes its answer, made once.
const regionsAt = wasm._malloc(4);

function reserveText(size) {
  if (size > textSize) {
    if (textAt !== 0) wasm._free(textAt);
    textSize = Math.max(size, 2 * textSize, 1024);
    textAt = wasm._malloc(textSize);
    if (textAt === 0) {
      textSize = 0;
      throw new RangeError("not enough memory for the text");
    }
  }
  return textAt;
}

// Copies a string into the module's memory as UTF-8 (a lone surrogate
// becomes U+FFFD, as TextEncoder writes it); returns its length in bytes.
// ASCII, the usual case, is copied a unit at a time.
function put(text) {
  const length = text.length;
  const at = reserveText(3 * length + 1);  // at most 3 bytes a UTF-16 unit
  const heap = wasm.HEAPU8;
  let i = 0;
  for (; i < length; i++) {
    const unit = text.charCodeAt(i);
    if (unit >= 0x80) break;
    heap[at + i] = unit;
  }
  if (i === length) return length;
  const { written } = encoder.encodeInto(text.slice(i), heap.subarray(at + i, at + 3 * length));
  return i + written;
}

function lastText() {
  return wasm.UTF8ToString(wasm._web_text(), wasm._web_text_length());
}

// The library's names and limits: the confidence reported by default, and
// the most numbers one generate() call returns, for an array of strings.
wasm._web_facts();
const { defaultConfidence: DEFAULT_CONFIDENCE, mostGenerated: MOST_GENERATED } = JSON.parse(lastText());

function requireString(value, name) {
  if (typeof value !== "string") throw new TypeError(`${name} must be a string`);
}

// Reads a style's or a confidence's name as the library reads it; a
// RangeError naming the option, in the library's words, for another.
function nameOf(value, option, confidence) {
  requireString(value, option);
  const length = put(value);
  const parsed = wasm._web_parse_name(confidence ? 1 : 0, textAt, length);
  if (parsed < 0) throw new RangeError(`${option}: ${lastText()}`);
  return parsed;
}

const styleOf = (style) => nameOf(style, "style", false);
const confidenceOf = (minConfidence) => nameOf(minConfidence, "minConfidence", true);
const confidenceName = (value) => wasm.UTF8ToString(wasm._mivaro_confidence_name(value));

/** Returns whether entry is a valid SIN: nine digits, bare or grouped 3-3-3. */
export function isValid(entry) {
  if (typeof entry !== "string") return false;
  const length = put(entry);
  return wasm._mivaro_is_valid(textAt, length) === 1;
}

/**
 * Returns, for each entry of an array, whether it is a valid SIN. (A call
 * into WebAssembly costs V8 less than copying a whole batch into it first:
 * measured, one call per entry is the faster way.)
 */
export function isValidMany(entries) {
  if (!Array.isArray(entries)) throw new TypeError("entries must be an array");
  const valid = new Array(entries.length);
  for (let i = 0; i < entries.length; i++) valid[i] = isValid(entries[i]);
  return valid;
}

/** Returns what a check finds out about entry: the fields of validate --json. */
export function check(entry) {
  requireString(entry, "entry");
  const length = put(entry);
  wasm._web_check(textAt, length);
  const { input, reason, ...result } = JSON.parse(lastText());
  return result;
}

function written(entry, style, mask) {
  requireString(entry, "entry");
  const value = styleOf(style);
  const length = put(entry);
  if (wasm._web_format(textAt, length, value, mask) !== 1) {
    throw new ValidationError(lastText());
  }
  return lastText();
}

/** Returns a valid SIN written in a style; throws ValidationError otherwise. */
export function format(entry, style = "spaced") {
  return written(entry, style, 0);
}

/** Returns a valid SIN in a style with all but its last three digits as '*'. */
export function mask(entry, style = "spaced") {
  return written(entry, style, 1);
}

function randomSeed() {
  const words = new Uint32Array(2);
  if (globalThis.crypto?.getRandomValues) {
    globalThis.crypto.getRandomValues(words);
  } else {
    words[0] = Math.random() * 2 ** 32;
    words[1] = Math.random() * 2 ** 32;
  }
  return words;
}

function seedWords(seed) {
  if (seed === undefined || seed === null) return randomSeed();
  const value = typeof seed === "number" && Number.isSafeInteger(seed) ? BigInt(seed) : seed;
  if (typeof value !== "bigint" || value < 0n || value >= 2n ** 64n) {
    throw new RangeError("seed must be a whole number from 0 to 18446744073709551615");
  }
  return [Number(value & 0xffffffffn), Number(value >> 32n)];
}

function regionBits(regions) {
  if (regions === undefined || regions === null) return 0;
  const list = Array.isArray(regions) ? regions.join(",") : regions;
  requireString(list, "regions");
  const length = put(list);
  if (wasm._web_parse_regions(textAt, length, regionsAt) !== 1) {
    throw new RangeError(`regions: ${lastText()}`);
  }
  return wasm.HEAPU32[regionsAt >> 2];
}

// Returns [has a first digit, the digit] as the module takes them. A whole
// number out of range goes through: the library refuses it in its own words.
function firstDigitOf(firstDigit) {
  if (firstDigit === undefined || firstDigit === null) return [0, 0];
  if (!Number.isInteger(firstDigit) || Math.abs(firstDigit) > 2 ** 31 - 1) {
    throw new TypeError("firstDigit must be a whole number from 0 to 9");
  }
  return [1, firstDigit];
}

/**
 * Returns count valid SINs (nine digits each): the numbers mivaro-cli
 * generate prints for the same options and seed.
 */
export function generate({
  count = 1,
  seed,
  regions,
  firstDigit,
  digits = "1-9",
  unique = false,
} = {}) {
  if (!Number.isInteger(count) || count < 1 || count > MOST_GENERATED) {
    throw new RangeError(`count must be a whole number from 1 to ${MOST_GENERATED}`);
  }
  if (digits !== "1-9" && digits !== "0-9") throw new RangeError('digits must be "1-9" or "0-9"');
  const [low, high] = seedWords(seed);
  const bits = regionBits(regions);
  const [hasFirst, first] = firstDigitOf(firstDigit);
  const out = reserveText(9 * count);
  if (wasm._web_generate(bits, hasFirst, first, digits === "0-9" ? 1 : 0, unique ? 1 : 0, low, high,
    count, out) !== 1) {
    throw new RangeError(lastText());
  }
  const all = wasm.UTF8ToString(out, 9 * count);
  const numbers = new Array(count);
  for (let i = 0; i < count; i++) numbers[i] = all.slice(9 * i, 9 * i + 9);
  return numbers;
}

/**
 * Returns the SINs found in a text, in order: each its start and end (string
 * indices: text.slice(start, end) is the SIN as written), its nine digits,
 * its confidence and the keyword that made it high, or null.
 */
export function find(text, { minConfidence = DEFAULT_CONFIDENCE } = {}) {
  requireString(text, "text");
  const minimum = confidenceOf(minConfidence);
  const bytes = put(text);
  const count = wasm._web_find(textAt, bytes, minimum);
  const records = wasm._web_matches() >> 2;
  const words = wasm.HEAPU32;
  const matches = new Array(count);
  for (let i = 0; i < count; i++) {
    // The library places each match in UTF-16 units, as strings are indexed.
    const record = records + 7 * i;
    const keyword = wasm.UTF8ToString(words[record + 3]);
    matches[i] = {
      start: words[record],
      end: words[record + 1],
      number: wasm.UTF8ToString(4 * (record + 4), 9),
      confidence: confidenceName(words[record + 2]),
      keyword: keyword === "" ? null : keyword,
    };
  }
  return matches;
}

/**
 * Returns a text with the SINs found in it redacted: their digits as '*',
 * all but the last three or, with allDigits, all nine. Nothing else changes.
 */
export function redact(text, { minConfidence = DEFAULT_CONFIDENCE, allDigits = false } = {}) {
  const matches = find(text, { minConfidence });
  if (matches.length === 0) return text;
  const pieces = [];
  let from = 0;
  for (const { start, end } of matches) {
    const match = text.slice(start, end);
    const length = put(match);
    wasm._mivaro_redact_digits(textAt, length, allDigits ? 1 : 0);
    pieces.push(text.slice(from, start), wasm.UTF8ToString(textAt, length));
    from = end;
  }
  pieces.push(text.slice(from));
  return pieces.join("");
}
