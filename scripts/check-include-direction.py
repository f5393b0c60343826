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

# Everything below the program, and the toolkit's floors.
SERVER_SIDE = ["base", "json", "config", "web_client", "reach", "server/net", "server/cert",
               "server/tls", "server/http", "webapp/fs", "webapp/zip", "webapp/thumbnails",
               "webapp", "service"]
TOOLKIT = ["widget", "widget/render", "widget/core", "widget/input", "widget/window",
           "widget/menu", "widget/list", "widget/controls", "widget/desktop", "widget/dialogs",
           "widget/tray"]

# Layer -> the layers it may include besides itself. The longest matching
# prefix names a file's layer.
ALLOWED = {
    "base": [],
    "json": ["base"],
    "config": ["base", "json"],
    "web_client": ["base"],
    "reach": ["base", "web_client"],
    "server/net": ["base"],
    "server/cert": ["base"],
    "server/tls": ["base", "server/net", "server/cert"],
    "server/http": ["base", "server/net", "server/cert", "server/tls"],
    "webapp/fs": ["base", "config"],
    "webapp/zip": ["base", "webapp/fs"],
    # The thumbnail helper is a program of its own; the server's side of it
    # reads the reply format the helper declares.
    "thumbnailer": ["base"],
    "webapp/thumbnails": ["base", "thumbnailer"],
    "webapp": ["base", "json", "config", "server/net", "server/cert", "server/tls", "server/http",
               "webapp/fs", "webapp/zip", "webapp/thumbnails"],
    "service": ["base", "json", "config", "reach", "server/net", "server/cert", "server/tls",
                "server/http", "webapp/fs", "webapp/zip", "webapp/thumbnails", "webapp"],
    # The toolkit stands on base alone; inside it, each floor includes only
    # the floors beneath it.
    "widget": ["base"],
    "widget/render": ["base"],
    "widget/core": ["base", "widget/render"],
    "widget/input": ["base", "widget/render", "widget/core"],
    "widget/window": ["base", "widget/render", "widget/core", "widget/input"],
    "widget/menu": ["base", "widget/render", "widget/core", "widget/input", "widget/window"],
    "widget/list": ["base", "widget/render", "widget/core", "widget/input", "widget/window",
                    "widget/menu"],
    "widget/controls": ["base", "widget/render", "widget/core", "widget/input", "widget/window",
                        "widget/menu", "widget/list"],
    "widget/desktop": ["base", "widget/render", "widget/core", "widget/input", "widget/window"],
    "widget/dialogs": ["base", "widget/render", "widget/core", "widget/input", "widget/window",
                       "widget/menu", "widget/list", "widget/controls", "widget/desktop"],
    "widget/tray": ["base", "widget/render", "widget/core", "widget/input", "widget/window",
                    "widget/menu", "widget/desktop"],
    # The single-instance guard and its command channel hold no widget code.
    "instance": ["base"],
    # The program's parts without a window never reach the toolkit; the
    # desktop program stands on them and on the toolkit; the entry point
    # picks one of the two runs.
    "app": SERVER_SIDE,
    "app/desktop": SERVER_SIDE + ["app", "instance"] + TOOLKIT,
    "app/main.cpp": SERVER_SIDE + ["app", "app/desktop"],
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
