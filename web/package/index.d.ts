// SPDX-License-Identifier: Apache-2.0

/** How a SIN is written: 123456782, 123 456 782 or 123-456-782. */
export type Style = "bare" | "spaced" | "dashed";

/** How sure a match found in text is a SIN. */
export type Confidence = "low" | "medium" | "high";

/** What the first digit stands for. */
export type Group =
  | "Atlantic"
  | "Quebec"
  | "Ontario"
  | "PrairiesNorth"
  | "PacificNorth"
  | "ForeignTax"
  | "Dummy"
  | "Temporary";

/** A province or territory's caption. */
export type Region =
  | "AB" | "BC" | "MB" | "NB" | "NU" | "NWT" | "ON"
  | "PEI" | "NF" | "QC" | "YT" | "NS" | "SK";

/** What check() finds out about one entry: the fields of `mivaro-cli validate --json`. */
export interface CheckResult {
  /** Whether the entry is a valid SIN. */
  valid: boolean;
  /** Why the entry is not a number to check ("too long", ...), or null for nine digits. */
  error: string | null;
  /** The nine digits, or null when the entry is malformed. */
  number: string | null;
  /** The nine weighted check values, or null when malformed. */
  check: string | null;
  /** The check values' sum, 0 to 81, or null when malformed. */
  sum: number | null;
  /** What the first digit stands for, or null when malformed. */
  group: Group | null;
  /** The captions of the group's regions, in box order; empty for a series. */
  regions: Region[];
}

/** A SIN found in a text. */
export interface Match {
  /** Where its first digit is: a string index. */
  start: number;
  /** One past its last digit: text.slice(start, end) is the SIN as written. */
  end: number;
  /** Its nine digits. */
  number: string;
  /** How sure it is a SIN. */
  confidence: Confidence;
  /** The keyword or SIN column name that made it high, or null. */
  keyword: string | null;
}

/** What generate() draws. */
export interface GenerateOptions {
  /** How many numbers, 1 to 1,000,000 (default 1). */
  count?: number;
  /** The same seed and options give the same numbers (default: a random seed). */
  seed?: number | bigint;
  /** The first digit follows the first of these in the order NB/PEI/NF/NS, QC, ON, AB/MB/NU/NWT/SK, BC/YT. */
  regions?: Region[] | string;
  /** The first digit, 0 to 9; not with regions. */
  firstDigit?: number;
  /** The digits of positions 2 to 9 (default "1-9"). */
  digits?: "1-9" | "0-9";
  /** No number twice. */
  unique?: boolean;
}

/** An entry that is not a valid SIN; its message is the library's reason. */
export class ValidationError extends Error {
  name: "ValidationError";
}

/** Returns whether entry is a valid SIN: nine digits, bare or grouped 3-3-3; false for a non-string. */
export function isValid(entry: unknown): boolean;
/** Returns, for each entry, whether it is a valid SIN. */
export function isValidMany(entries: readonly unknown[]): boolean[];
/** Returns what a check finds out about an entry. */
export function check(entry: string): CheckResult;
/** Returns a valid SIN written in a style; throws ValidationError for any other entry. */
export function format(entry: string, style?: Style): string;
/** Returns a valid SIN in a style with all but its last three digits as '*'; throws ValidationError otherwise. */
export function mask(entry: string, style?: Style): string;
/** Returns valid SINs, nine digits each: those mivaro-cli generate prints for the same options. */
export function generate(options?: GenerateOptions): string[];
/** Returns the SINs of at least a confidence (default "medium") found in a text, in order. */
export function find(text: string, options?: { minConfidence?: Confidence }): Match[];
/** Returns the text with the SINs found in it redacted: all digits but the last three, or all nine, as '*'. */
export function redact(
  text: string,
  options?: { minConfidence?: Confidence; allDigits?: boolean },
): string;
