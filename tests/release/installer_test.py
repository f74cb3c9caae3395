#!/usr/bin/env python3
"""The per-user installer: made from the build's outputs by scripts/installer.py,
run silently in a Wine prefix made for it alone, where installer_tests.exe
checks what it installed (the Start menu's "Find a game" entry too), opens a link through the shell and runs the silent
uninstaller; then installed again without the offers, which it must leave out.
Then installer_tests.exe's other cases, in prefixes of their own: an upgrade
over the previous release's installer (previous_release.nsi, made from the same
files) in a folder of the player's choice; copies slow to end or never ending,
and a file in use when the uninstaller runs."""
import glob
import os
import subprocess
import sys

from fresh_prefix import Checks, FreshPrefix, release_test_args

args, source = release_test_args()
from installer import make_installer  # noqa: E402  (scripts/, on the path from here)
from package import cache  # noqa: E402
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

previous, stage = make_installer(args.build, args.out,
                                 os.path.join(os.path.dirname(os.path.abspath(__file__)), "previous_release.nsi"),
                                 f"velmora-previous-{arch}-setup.exe")

# Wine's boot once; every run below gets a copy of its own.
made = FreshPrefix(os.path.join(args.out, "prefix-made"), args.wine_run)
prefix = FreshPrefix(os.path.join(args.out, "prefix"), args.wine_run)
reg = "C:\\windows\\system32\\reg.exe"
uninstall_key = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora"


def installed(name):
    found = glob.glob(os.path.join(prefix.folder, "drive_c", "users", "*", "AppData", "Local", "Programs", "Velmora", name))
    return bool(found) and os.path.isfile(found[0])


def in_start_menu(name):
    return bool(glob.glob(os.path.join(prefix.folder, "drive_c", "users", "*", "AppData", "Roaming", "Microsoft",
                                       "Windows", "Start Menu", "Programs", name)))


def registry_has(key, value=None):
    query = [reg, "query", key] + (["/v", value] if value is not None else [])
    return prefix.run(query, timeout=60, capture=True).returncode == 0


try:
    try:
        check(made.make(), "a fresh Wine prefix is made")
        check(prefix.make_as(made), "the install runs in a copy of it")
        run = prefix.run([prefix.windows_path(setup), "/S", "/LINKS=1", "/STARTUP=1"], timeout=300)
        check(run.returncode == 0, "the silent install with both offers ends with 0")
        run = prefix.run([prefix.windows_path(args.test_exe), "--gtest_brief=0", "--gtest_filter=Installer.*"],
                         capture=True)
        print(run.stdout.replace("\r", "") + run.stderr.replace("\r", ""), end="")
        check(run.returncode == 0, "installed, a link reaches the installed copy, the uninstaller ends it and "
                                   "removes only its own")

        # Without the offers: the program and its uninstall entry, no file types, no start-up value.
        run = prefix.run([prefix.windows_path(setup), "/S", "/LINKS=0"], timeout=300)
        check(run.returncode == 0, "the silent install without the offers ends with 0")
        check(installed("velmora.exe"), "the program is installed in the user's programs")
        check(registry_has(uninstall_key, "DisplayVersion"), "the uninstall entry is written")
        for shortcut in ("Velmora.lnk", "Find a game.lnk"):
            check(in_start_menu(shortcut), f"the Start menu holds {shortcut}, whichever offers are taken")
        check(not registry_has("HKCU\\Software\\Classes\\VelmoraFile"), "no file type when links are declined")
        check(not registry_has("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "the Velmora"),
              "no start-up value unless chosen")
    finally:
        prefix.remove()

    # What each case runs itself: the installers and the files they hold.
    prefix.env.update(VELMORA_SETUP=prefix.windows_path(setup), VELMORA_PREVIOUS_SETUP=prefix.windows_path(previous),
                      VELMORA_STAGE=prefix.windows_path(stage))
    # Each case installs what it needs first; the upgrade needs a prefix where
    # nothing was installed yet.
    cases = [
        ("InstallerUpgrade.*",
         "an upgrade over the previous release goes into the folder it was installed in, and its uninstaller "
         "removes everything"),
        ("InstallerRunningCopy.*:InstallerUninstall.*",
         "a copy slow to end is asked to end and its file replaced once free, one that never ends stops the "
         "install; a file in use keeps the uninstall entry until the uninstall finishes at the next log-on, "
         "which an install before then cancels"),
    ]
    for case, what in cases:
        try:
            check(prefix.make_as(made), "a fresh copy of the made prefix")
            run = prefix.run([prefix.windows_path(args.test_exe), "--gtest_brief=0", "--gtest_filter=" + case],
                             capture=True)
            print(run.stdout.replace("\r", "") + run.stderr.replace("\r", ""), end="")
            check(run.returncode == 0, what)
        finally:
            prefix.remove()
finally:
    made.remove()

check.finish()
