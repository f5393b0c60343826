#!/usr/bin/env python3
"""Fails when an #include crosses a layer the wrong way.

Each source folder is a layer that may include only itself and the layers
listed for it (a layer's sub-folders belong to it unless listed on their own;
a single file may be a layer of its own).
Tests and benchmarks may include anything. Usage: check-include-direction.py [ROOT]
"""
import pathlib
import re
import sys

# Layer -> the layers it may include besides itself. The longest matching
# prefix names a file's layer.
ALLOWED = {
    "base": [],
    "config": ["base"],
    "reach": ["base"],
    "server/net": ["base"],
    "server/cert": ["base"],
    "server/tls": ["base", "server/net", "server/cert"],
    "server/http": ["base", "server/net", "server/cert", "server/tls"],
    "webapp/fs": ["base", "config"],
    "webapp": ["base", "config", "server/net", "server/cert", "server/tls", "server/http",
               "webapp/fs"],
    "service": ["base", "config", "reach", "server/net", "server/cert", "server/tls",
                "server/http", "webapp/fs", "webapp"],
    # The toolkit stands on base alone; inside it, each floor includes only
    # the floors beneath it.
    "widget": ["base"],
    "widget/render": ["base"],
    "widget/core": ["base", "widget/render"],
    "widget/input": ["base", "widget/render", "widget/core"],
    "widget/host": ["base", "widget/render", "widget/core", "widget/input"],
    "widget/menu": ["base", "widget/render", "widget/core", "widget/input", "widget/host"],
    "widget/list": ["base", "widget/render", "widget/core", "widget/input", "widget/host",
                    "widget/menu"],
    "widget/controls": ["base", "widget/render", "widget/core", "widget/input", "widget/host",
                        "widget/menu", "widget/list"],
    "widget/kit": ["base", "widget/render", "widget/core", "widget/input", "widget/host",
                   "widget/menu", "widget/list", "widget/controls"],
    # The program's parts without a window never reach the toolkit; the
    # desktop program stands on them and on the toolkit; the entry point
    # picks one of the two runs.
    "app": ["base", "config", "reach", "server/net", "server/cert", "server/tls", "server/http",
            "webapp/fs", "webapp", "service"],
    "app/desktop": ["base", "config", "reach", "server/net", "server/cert", "server/tls",
                    "server/http", "webapp/fs", "webapp", "service", "app", "widget",
                    "widget/render", "widget/core", "widget/input", "widget/host", "widget/menu",
                    "widget/list", "widget/controls", "widget/kit"],
    "app/main.cpp": ["base", "config", "reach", "server/net", "server/cert", "server/tls",
                     "server/http", "webapp/fs", "webapp", "service", "app", "app/desktop",
                     "widget", "widget/render", "widget/core", "widget/input", "widget/host",
                     "widget/menu", "widget/list", "widget/controls", "widget/kit"],
}
# Folders whose includes are not checked.
FREE = ("tests", "bench", "build", "node_modules", ".git")

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def layer_of(path: str):
    best = None
    for layer in ALLOWED:
        if path == layer or path.startswith(layer + "/"):
            if best is None or len(layer) > len(best):
                best = layer
    return best


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    problems = []
    for file in sorted(root.rglob("*")):
        if file.suffix not in (".h", ".hpp", ".cpp", ".cc", ".c") or not file.is_file():
            continue
        relative = file.relative_to(root).as_posix()
        if relative.split("/", 1)[0] in FREE or relative.startswith("build"):
            continue
        own = layer_of(relative)
        if own is None:
            continue
        for number, line in enumerate(file.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = layer_of(match.group(1))
            if target is None or target == own or target in ALLOWED[own]:
                continue
            problems.append(f"{relative}:{number}: {own} must not include {match.group(1)}")
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) cross a layer the wrong way")
        return 1
    print("include direction: every layer includes only what lies beneath it")
    return 0


if __name__ == "__main__":
    sys.exit(main())
