#!/usr/bin/env python3
"""Prints what a ZIP archive holds, as JSON, for the tests: the central
directory's fields as Python's zipfile reads them, plus each local header's
version, flags and extra length and the data descriptor that follows it."""
import json
import struct
import sys
import zipfile


def main(path):
    out = {"entries": []}
    with zipfile.ZipFile(path) as archive, open(path, "rb") as raw:
        for info in archive.infolist():
            raw.seek(info.header_offset)
            local = raw.read(30)
            (sig, version, flags, method, _t, _d, crc, csize, usize, nlen,
             xlen) = struct.unpack("<IHHHHHIIIHH", local)
            entry = {
                "name": info.filename,
                "flags": info.flag_bits,
                "versionMadeBy": info.create_version,
                "versionNeeded": info.extract_version,
                "external": info.external_attr,
                "method": info.compress_type,
                "size": info.file_size,
                "crc": info.CRC,
                "offset": info.header_offset,
                "localSignature": sig,
                "localVersion": version,
                "localFlags": flags,
                "localCrc": crc,
                "localSizes": [csize, usize],
                "localExtra": xlen,
                "descriptor": None,
            }
            if flags & 0x08:
                raw.seek(info.header_offset + 30 + nlen + xlen + info.file_size)
                wide = xlen == 20
                record = raw.read(24 if wide else 16)
                fmt = "<IIQQ" if wide else "<IIII"
                dsig, dcrc, dcsize, dusize = struct.unpack(fmt, record)
                entry["descriptor"] = {"signature": dsig, "crc": dcrc,
                                       "sizes": [dcsize, dusize],
                                       "bytes": len(record)}
            out["entries"].append(entry)
        raw.seek(-22, 2)
        end = struct.unpack("<IHHHHIIH", raw.read(22))
        out["end"] = {"count": end[4], "size": end[5], "offset": end[6]}
        out["zip64Locator"] = False
        if raw.seek(0, 2) >= 42:
            raw.seek(-42, 2)
            out["zip64Locator"] = struct.unpack("<I", raw.read(4))[0] == 0x07064B50
    json.dump(out, sys.stdout)


if __name__ == "__main__":
    main(sys.argv[1])
