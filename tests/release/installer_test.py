#!/usr/bin/env python3
"""The per-user installer: made from the build's outputs by scripts/installer.py,
run silently in a Wine prefix made for it alone, where installer_tests.exe
checks what it installed, opens a link through the shell and runs the silent
uninstaller; then installed again without the offers, which it must leave out."""
import glob
import os
import subprocess
import sys

from fresh_prefix import Checks, FreshPrefix, release_test_args

args, source = release_test_args()
from package import cache  # noqa: E402  (scripts/, on the path from here)
from peresources import PE  # noqa: E402

check = Checks()

arch, version = cache(args.build, "VELMORA_WINDOWS_ARCH"), cache(args.build, "CMAKE_PROJECT_VERSION")
made = subprocess.run([sys.executable, os.path.join(source, "scripts", "installer.py"), args.build, args.out],
                      capture_output=True, text=True)
print(made.stdout + made.stderr, end="")
if made.returncode != 0:
    sys.exit("FAIL installer.py")
setup = os.path.join(args.out, f"velmora-{version}-{arch}-setup.exe")
check(os.path.isfile(setup), f"the installer is named for version {version} and {arch}")
with open(setup, "rb") as f:
    check(PE(f.read()).bits == int(arch[3:]), f"the installer is a {arch[3:]}-bit program, as the program it installs")

prefix = FreshPrefix(os.path.join(args.out, "prefix"), args.wine_run)
reg = "C:\\windows\\system32\\reg.exe"
uninstall_key = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora"


def installed(name):
    found = glob.glob(os.path.join(prefix.folder, "drive_c", "users", "*", "AppData", "Local", "Programs", "Velmora", name))
    return bool(found) and os.path.isfile(found[0])


def registry_has(key, value=None):
    query = [reg, "query", key] + (["/v", value] if value is not None else [])
    return prefix.run(query, timeout=60, capture=True).returncode == 0


try:
    check(prefix.make(), "a fresh Wine prefix is made")
    run = prefix.run([prefix.windows_path(setup), "/S", "/LINKS=1", "/STARTUP=1"], timeout=300)
    check(run.returncode == 0, "the silent install with both offers ends with 0")
    run = prefix.run([prefix.windows_path(args.test_exe), "--gtest_brief=0"], capture=True)
    print(run.stdout.replace("\r", "") + run.stderr.replace("\r", ""), end="")
    check(run.returncode == 0, "installed, a link reaches the installed copy, the uninstaller ends it and "
                               "removes only its own")

    # Without the offers: the program and its uninstall entry, no file types, no start-up value.
    run = prefix.run([prefix.windows_path(setup), "/S", "/LINKS=0"], timeout=300)
    check(run.returncode == 0, "the silent install without the offers ends with 0")
    check(installed("velmora.exe"), "the program is installed in the user's programs")
    check(registry_has(uninstall_key, "DisplayVersion"), "the uninstall entry is written")
    check(not registry_has("HKCU\\Software\\Classes\\VelmoraFile"), "no file type when links are declined")
    check(not registry_has("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "the Velmora"),
          "no start-up value unless chosen")
finally:
    prefix.remove()

check.finish()
