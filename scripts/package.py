#!/usr/bin/env python3
"""package.py BUILD_DIR OUT_DIR : the player's zip from a Windows build's outputs.

Makes OUT_DIR/velmora-<version>-win32.zip from the 32-bit build, or
velmora-<version>-win64.zip from the 64-bit one, holding velmora.exe,
plugins/*.vlm and readme.txt (CRLF line ends).
The version is the project's own (CMake's project() as recorded in the
build's cache). The binaries are stripped copies
of the build's outputs; each may import only Windows' own libraries, so the
zip runs on a bare Windows, and velmora.exe must carry its application
manifest. Every entry carries one fixed time
(SOURCE_DATE_EPOCH, else 2026-01-01), so the same inputs give the same bytes.
"""
import os
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from peresources import manifest  # noqa: E402

# What a stock Windows has; anything else would have to travel in the zip.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll", "advapi32.dll", "shell32.dll",
               "comctl32.dll", "comdlg32.dll", "winmm.dll"}
GAMES = ["openarena", "quake", "quake2", "quake3", "quakeworld"]


def cache(build, name):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition("=")
            if key.split(":")[0] == name:
                return value
    sys.exit(f"package.py: {name} is not in {build}/CMakeCache.txt (is it a configured Windows build?)")


def imports(objdump, path):
    out = subprocess.run([objdump, "-p", path], check=True, capture_output=True, text=True).stdout
    return sorted({line.split("DLL Name:")[1].strip().lower() for line in out.splitlines() if "DLL Name:" in line})


def stage_release(build, out):
    """Stages the release's files in OUT_DIR/velmora-<version>-<arch>/, checked;
    gives the folder, its name and the fixed time."""
    version = cache(build, "CMAKE_PROJECT_VERSION")
    source = cache(build, "CMAKE_HOME_DIRECTORY")
    strip, objdump = cache(build, "CMAKE_STRIP"), cache(build, "CMAKE_OBJDUMP")
    name = f"velmora-{version}-{cache(build, 'VELMORA_WINDOWS_ARCH')}"
    stage = os.path.join(out, name)
    os.makedirs(os.path.join(stage, "plugins"), exist_ok=True)

    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "1767225600"))
    # strip writes a new PE time stamp: the fixed time too, not the clock's
    strip_env = dict(os.environ, SOURCE_DATE_EPOCH=str(epoch))
    binaries = [("velmora.exe", "velmora.exe")] + [(f"plugins/{g}.vlm", f"plugins/{g}.vlm") for g in GAMES]
    for entry, rel in binaries:
        src, dst = os.path.join(build, "bin", rel), os.path.join(stage, rel)
        if not os.path.isfile(src):
            sys.exit(f"package.py: {src} is missing; build the program and its plug-ins first")
        subprocess.run([strip, "--strip-all", "-o", dst, src], check=True, env=strip_env)
        foreign = [d for d in imports(objdump, dst) if d not in SYSTEM_DLLS]
        if foreign:
            sys.exit(f"package.py: {entry} needs {', '.join(foreign)}, which Windows does not have")
    # Without it Windows would stretch the program's windows and draw old-style controls.
    if manifest(os.path.join(stage, "velmora.exe")) is None:
        sys.exit("package.py: velmora.exe carries no application manifest")

    with open(os.path.join(source, "docs", "readme.txt"), encoding="ascii") as f:
        text = f.read().replace("\r\n", "\n")
    with open(os.path.join(stage, "readme.txt"), "wb") as f:
        f.write(text.replace("\n", "\r\n").encode("ascii"))
    return stage, name, epoch


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    build, out = (os.path.abspath(a) for a in sys.argv[1:])
    stage, name, epoch = stage_release(build, out)

    stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip times start in 1980
    zip_path = os.path.join(out, name + ".zip")
    with zipfile.ZipFile(zip_path + ".part", "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for entry in ["velmora.exe", "readme.txt"] + [f"plugins/{g}.vlm" for g in GAMES]:
            info = zipfile.ZipInfo(entry, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0          # MS-DOS attributes, the same on every machine
            info.external_attr = 0x20       # archive bit
            with open(os.path.join(stage, entry), "rb") as f:
                z.writestr(info, f.read())
    os.replace(zip_path + ".part", zip_path)

    with zipfile.ZipFile(zip_path) as z:
        for info in z.infolist():
            print(f"{info.file_size:>10}  {info.compress_size:>10}  {info.filename}")
    print(f"{os.path.getsize(zip_path):>10}  {'':>10}  {zip_path}")


if __name__ == "__main__":
    main()
