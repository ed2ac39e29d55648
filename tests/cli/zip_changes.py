#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Prints the members of zip AFTER whose stored (compressed) bytes differ
from those of zip BEFORE, one name a line, in order; or what else differs:
the members' names and order, their times, modes and compression methods."""
import sys
import zipfile


def members(path):
    with zipfile.ZipFile(path) as archive, open(path, 'rb') as raw:
        for info in archive.infolist():
            raw.seek(info.header_offset + 26)
            name_length = int.from_bytes(raw.read(2), 'little')
            extra_length = int.from_bytes(raw.read(2), 'little')
            raw.seek(info.header_offset + 30 + name_length + extra_length)
            yield (info.filename, info.date_time, info.external_attr, info.compress_type,
                   raw.read(info.compress_size))


before, after = list(members(sys.argv[1])), list(members(sys.argv[2]))
if [m[:4] for m in before] != [m[:4] for m in after]:
    print('names, order, times, modes or methods differ')
for old, new in zip(before, after):
    if old[4] != new[4]:
        print(new[0])
