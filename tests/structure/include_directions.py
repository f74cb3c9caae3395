#!/usr/bin/env python3
"""The source folders depend on each other in one direction only.

Lists, for every top-level source folder, the other folders its files include
(#include "folder/..."), prints that map, and fails when two folders include
each other, directly or around a longer loop: a lower folder must never reach
back into one that builds on it. It also fails when a folder's CMakeLists.txt
compiles a source file of another folder into its own targets. Before it
looks at the tree it checks itself on a small tree with a planted loop.
"""
import os
import re
import sys
import tempfile

SOURCE_FOLDERS = ["base", "ui", "markup", "net", "core", "settings", "query", "watch", "find", "app", "plugins", "resources"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/', re.M)


def folder_includes(top):
    edges = {f: {} for f in SOURCE_FOLDERS}
    for folder in SOURCE_FOLDERS:
        for root, _, files in os.walk(os.path.join(top, folder)):
            for name in files:
                if not name.endswith((".h", ".cpp", ".c", ".rc", ".in")):
                    continue
                path = os.path.join(root, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for target in INCLUDE.findall(f.read()):
                        if target != folder and target in edges:
                            edges[folder].setdefault(target, os.path.relpath(path, top))
    return edges


def loops(edges):
    """Every folder loop, each as the folders along it."""
    found, state = [], {}

    def visit(node, path):
        state[node] = "open"
        for target in sorted(edges[node]):
            if state.get(target) == "open":
                found.append(path[path.index(target):] + [target])
            elif target not in state:
                visit(target, path + [target])
        state[node] = "done"

    for folder in SOURCE_FOLDERS:
        if folder not in state:
            visit(folder, [folder])
    return found


FOREIGN_SOURCE = re.compile(r"\$\{(?:PROJECT_SOURCE_DIR|CMAKE_SOURCE_DIR)\}/(\w+)/[^\s)]*\.(?:cpp|c)\b|\.\./\w+/[^\s)]*\.(?:cpp|c)\b")


def foreign_sources(top):
    """Source files of another folder named in a folder's CMakeLists.txt."""
    found = []
    for folder in SOURCE_FOLDERS:
        path = os.path.join(top, folder, "CMakeLists.txt")
        if not os.path.exists(path):
            continue
        with open(path, encoding="utf-8") as f:
            for match in FOREIGN_SOURCE.finditer(f.read()):
                if match.group(1) != folder:
                    found.append(f"{folder}/CMakeLists.txt compiles {match.group(0)}")
    return found


def selfcheck():
    """The check must see a loop and a borrowed source where there are some."""
    with tempfile.TemporaryDirectory() as top:
        for folder, text in [("base", '#include "ui/x.h"\n'), ("ui", '#include "core/y.h"\n'),
                             ("core", '#include "base/z.h"\n'), ("net", '#include "base/z.h"\n')]:
            os.makedirs(os.path.join(top, folder))
            with open(os.path.join(top, folder, "a.cpp"), "w") as f:
                f.write(text)
        with open(os.path.join(top, "net", "CMakeLists.txt"), "w") as f:
            f.write("add_library(n STATIC ${PROJECT_SOURCE_DIR}/core/a.cpp)\n")
        planted = loops(folder_includes(top))
        assert planted and set(planted[0]) == {"base", "ui", "core"}, planted
        assert foreign_sources(top) == ["net/CMakeLists.txt compiles ${PROJECT_SOURCE_DIR}/core/a.cpp"]


def main():
    selfcheck()
    top = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
    edges = folder_includes(top)
    for folder in SOURCE_FOLDERS:
        print(f"{folder:10} -> {', '.join(sorted(edges[folder])) or '(nothing)'}")
    bad = loops(edges)
    for loop in bad:
        steps = [f"{a} ({edges[a][b]})" for a, b in zip(loop, loop[1:])]
        print("includes run both ways: " + " -> ".join(steps) + f" -> {loop[-1]}")
    borrowed = foreign_sources(top)
    for line in borrowed:
        print(line)
    return 1 if bad or borrowed else 0


if __name__ == "__main__":
    sys.exit(main())
