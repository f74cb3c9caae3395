#!/usr/bin/env python3
"""The player's zip: made from the build's outputs, its contents checked, then
unpacked into a Wine prefix made for it alone, where release_zip_tests.exe
starts its velmora.exe and hands it one link per game."""
import os
import shutil
import subprocess
import sys
import zipfile

GAMES = ["openarena", "quake", "quake2", "quake3", "quakeworld"]
EXPORTS = ["getgamename", "getgameid", "getdefport", "getsendstr", "getparam", "getgameicon", "decodedata"]

from fresh_prefix import Checks, FreshPrefix, release_test_args  # noqa: E402  (beside this file)

args, source = release_test_args()
from package import cache  # noqa: E402  (the packager's own reader of the build's cache)

check = Checks()


def package(out):
    shutil.rmtree(out, ignore_errors=True)
    run = subprocess.run([sys.executable, os.path.join(source, "scripts", "package.py"), args.build, out],
                         capture_output=True, text=True)
    print(run.stdout + run.stderr, end="")
    if run.returncode != 0:
        sys.exit("FAIL package.py")
    zips = [f for f in os.listdir(out) if f.endswith(f"-{arch}.zip")]
    return os.path.join(out, zips[0])


arch = cache(args.build, "VELMORA_WINDOWS_ARCH")   # win32, or win64 from the 64-bit test build
first = package(os.path.join(args.out, "zip"))
again = package(os.path.join(args.out, "zip-again"))
with open(first, "rb") as a, open(again, "rb") as b:
    check(a.read() == b.read(), "the same outputs give the same zip bytes")
shutil.rmtree(os.path.dirname(again))

version = cache(args.build, "CMAKE_PROJECT_VERSION")
check(os.path.basename(first) == f"velmora-{version}-{arch}.zip", f"the zip is named for version {version}")

with zipfile.ZipFile(first) as z:
    names = sorted(z.namelist())
    check(names == sorted(["velmora.exe", "readme.txt"] + [f"plugins/{g}.vlm" for g in GAMES]),
          "velmora.exe, readme.txt and plugins/<game>.vlm, nothing else: " + " ".join(names))
    readme = z.read("readme.txt")
    check(readme.count(b"\n") > 50 and readme.count(b"\n") == readme.count(b"\r\n") and readme.endswith(b"\r\n"),
          "readme.txt ends every line with CR LF")
    text = readme.decode("ascii")
    check(all(e + "(" in text for e in EXPORTS), "readme.txt shows the seven exports' signatures")
    check(all(w in text for w in (".server", "Game Paths", "fix associations")),
          "readme.txt tells of links, game paths and associations")
    exe = z.read("velmora.exe")

built = os.path.getsize(os.path.join(args.build, "bin", "velmora.exe"))
check(len(exe) < built, f"velmora.exe is stripped ({len(exe)} bytes, the build's {built})")
sections = subprocess.run([cache(args.build, "CMAKE_OBJDUMP"), "-h",
                           os.path.join(os.path.dirname(first), f"velmora-{version}-{arch}", "velmora.exe")],
                          capture_output=True, text=True).stdout
check(".text" in sections and ".debug" not in sections, "velmora.exe has code and no debug sections")

# A prefix of its own, made anew (fresh_prefix.py).
prefix = FreshPrefix(os.path.join(args.out, "prefix"), args.wine_run)
try:
    check(prefix.make(), "a fresh Wine prefix is made")
    target = os.path.join(prefix.folder, "drive_c", "Program Files", "Velmora")
    with zipfile.ZipFile(first) as z:
        z.extractall(target)
    prefix.env["VELMORA_RELEASE_DIR"] = "C:\\Program Files\\Velmora"
    run = prefix.run([prefix.windows_path(args.test_exe), "--gtest_brief=0"], capture=True)
    print(run.stdout.replace("\r", "") + run.stderr.replace("\r", ""), end="")
    check(run.returncode == 0, "the unpacked velmora.exe starts, loads the five plug-ins and answers their links")
finally:
    prefix.remove()

check.finish()
