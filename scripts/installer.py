#!/usr/bin/env python3
"""installer.py BUILD_DIR OUT_DIR : the per-user installer from a Windows build's outputs.

Makes OUT_DIR/velmora-<version>-<arch>-setup.exe (win32 or win64, as the
build) with makensis (Debian's nsis) from installer/velmora.nsi, holding the
same checked and stripped files as the zip (scripts/package.py stages them).
"""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from package import cache, stage_release  # noqa: E402


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    build, out = (os.path.abspath(a) for a in sys.argv[1:])
    makensis = shutil.which("makensis")
    if not makensis:
        sys.exit("installer.py: makensis is missing (Debian package nsis; scripts/setup.sh installs it)")
    source = cache(build, "CMAKE_HOME_DIRECTORY")
    stage, name, epoch = stage_release(build, out)
    setup = os.path.join(out, name + "-setup.exe")
    version = cache(build, "CMAKE_PROJECT_VERSION")
    # makensis takes the fixed time for its own header too
    env = dict(os.environ, SOURCE_DATE_EPOCH=str(epoch))
    run = subprocess.run([makensis, "-V2", "-INPUTCHARSET", "UTF8",
                          f"-DVERSION={version}", f"-DARCH={cache(build, 'VELMORA_WINDOWS_ARCH')}",
                          f"-DSTAGE={stage}", f"-DOUTFILE={setup}.part",
                          f"-DICON={os.path.join(source, 'resources', 'velmora.ico')}",
                          os.path.join(source, "installer", "velmora.nsi")],
                         capture_output=True, text=True, env=env)
    if run.returncode != 0:
        sys.exit(f"installer.py: makensis failed:\n{run.stdout}{run.stderr}")
    os.replace(setup + ".part", setup)
    print(f"{os.path.getsize(setup):>10}  {'':>10}  {setup}")


if __name__ == "__main__":
    main()
