#!/usr/bin/env python3
"""Reads documents written by the C++ side and writes them back through Python's
json module: once with ASCII escapes, once as raw UTF-8."""
import json
import sys
from pathlib import Path

folder = Path(sys.argv[1])
compact = folder.joinpath("compact.txt").read_bytes().decode("utf-8").split("\n")[:-1]
pretty = folder.joinpath("pretty.txt").read_bytes().decode("utf-8").split("\n\f\n")[:-1]

def dump(docs, name, ascii_only):
    with open(folder / name, "wb") as out:
        for text in docs:
            value = json.loads(text)
            out.write(json.dumps(value, ensure_ascii=ascii_only, separators=(",", ":"))
                      .encode("utf-8") + b"\n")

dump(compact, "from_compact_ascii.txt", True)
dump(compact, "from_compact_utf8.txt", False)
dump(pretty, "from_pretty_ascii.txt", True)
