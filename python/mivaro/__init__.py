# SPDX-License-Identifier: Apache-2.0
"""Check, format, mask and generate Canadian Social Insurance Numbers (SINs).

Mivaro's rules, from its library: a SIN is nine digits whose weighted check
sum is a multiple of ten other than zero, written bare or grouped 3-3-3 (by
spaces, hyphens, commas or no-break spaces), with blanks around ignored; its
first digit stands for the region where it was issued, or a special series.

The functions compact, validate, is_valid and format take the names and
meanings of python3-stdnum's stdnum.ca.sin, so that this module can stand in
for it; check, mask, generate and the bulk check_many and is_valid_many go
further, and find and redact find and hide SINs in free text (logs, e-mails,
tickets) as `mivaro-cli scan` and `redact` do; find_in_file finds them inside
compressed files, archives, workbooks, documents, PDFs and mail. Where the two differ, Mivaro follows its own rules:

* 000 000 000, the placeholder payroll files carry for a missing SIN, is not
  valid (InvalidComponent); stdnum takes it for valid.
* Separators must group the digits 3-3-3; stdnum drops spaces and hyphens
  wherever they stand ("1 2 3 4 5 6 7 8 2").
* Commas, narrow no-break spaces and a leading apostrophe, as spreadsheets
  write them, are read; stdnum refuses them.
* Digits of other scripts (fullwidth, Arabic-Indic) are not digits; stdnum
  reads them as 0-9.
* A byte-order mark or zero-width space around the number is a blank, as
  spreadsheets leave them; stdnum refuses it.
* format() separates with a space by default; stdnum with a hyphen.
"""

from mivaro._mivaro import (
    InvalidChecksum,
    InvalidComponent,
    InvalidFormat,
    InvalidLength,
    Match,
    Result,
    ValidationError,
    __version__,
    check,
    check_many,
    compact,
    find,
    find_in_file,
    format,
    generate,
    is_valid,
    is_valid_many,
    mask,
    redact,
    validate,
)

__all__ = [
    "InvalidChecksum",
    "InvalidComponent",
    "InvalidFormat",
    "InvalidLength",
    "Match",
    "Result",
    "ValidationError",
    "__version__",
    "check",
    "check_many",
    "compact",
    "find",
    "find_in_file",
    "format",
    "generate",
    "is_valid",
    "is_valid_many",
    "mask",
    "redact",
    "validate",
]
