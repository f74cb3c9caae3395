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


def make_installer(build, out, script=None, name=None):
    """Makes the installer of the build's staged release with makensis from
    `script` (installer/velmora.nsi by default) as OUT_DIR/`name`
    (velmora-<version>-<arch>-setup.exe by default); gives its path and the
    staged folder."""
    build, out = os.path.abspath(build), os.path.abspath(out)
    makensis = shutil.which("makensis")
    if not makensis:
        sys.exit("installer.py: makensis is missing (Debian package nsis; scripts/setup.sh installs it)")
    source = cache(build, "CMAKE_HOME_DIRECTORY")
    stage, release, epoch = stage_release(build, out)
    setup = os.path.join(out, name or release + "-setup.exe")
    version = cache(build, "CMAKE_PROJECT_VERSION")
    # makensis takes the fixed time for its own header too
    env = dict(os.environ, SOURCE_DATE_EPOCH=str(epoch))
    run = subprocess.run([makensis, "-V2", "-INPUTCHARSET", "UTF8",
                          f"-DVERSION={version}", f"-DARCH={cache(build, 'VELMORA_WINDOWS_ARCH')}",
                          f"-DSTAGE={stage}", f"-DOUTFILE={setup}.part",
                          f"-DICON={os.path.join(source, 'resources', 'velmora.ico')}",
                          script or os.path.join(source, "installer", "velmora.nsi")],
                         capture_output=True, text=True, env=env)
    if run.returncode != 0:
        sys.exit(f"installer.py: makensis failed:\n{run.stdout}{run.stderr}")
    os.replace(setup + ".part", setup)
    return setup, stage


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    setup, _ = make_installer(*sys.argv[1:])
    print(f"{os.path.getsize(setup):>10}  {'':>10}  {setup}")


if __name__ == "__main__":
    main()
