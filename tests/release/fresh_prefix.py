"""A Wine prefix made anew for one release test: nothing of the tests' shared
prefix (its registry, its fonts' cache, earlier runs) can make a release pass.
It gets its own Xvfb too, and Wine makes no Linux menu entries for the
Start-menu shortcuts an installer writes."""
import argparse
import os
import shutil
import subprocess
import sys


def release_test_args():
    """The arguments every release test takes, and the source folder, with
    scripts/ and this folder on the import path."""
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--test-exe", required=True)
    ap.add_argument("--wine-run", required=True)
    args = ap.parse_args()
    here = os.path.dirname(os.path.abspath(__file__))
    source = os.environ.get("VELMORA_SOURCE") or os.path.dirname(os.path.dirname(here))
    sys.path.insert(0, os.path.join(source, "scripts"))
    return args, source


class Checks:
    """Each check printed as it is made; the failures counted at the end."""

    def __init__(self):
        self.failures = []

    def __call__(self, ok, what):
        print(("ok   " if ok else "FAIL ") + what, flush=True)
        if not ok:
            self.failures.append(what)

    def finish(self):
        print(f"{'no' if not self.failures else len(self.failures)} failure(s)")
        sys.exit(1 if self.failures else 0)


class FreshPrefix:
    def __init__(self, folder, wine_run):
        self.folder = folder
        self.wine = [wine_run, "--prefix=" + folder]
        self.env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WINEPREFIX")}
        self.env["VELMORA_WINE_PERSIST"] = "30"
        self.env["WINEDLLOVERRIDES"] = "mscoree,mshtml,winemenubuilder.exe="

    def run(self, args, timeout=600, capture=False):
        """The finished run; one that outlasts `timeout` comes back with return code None."""
        try:
            return subprocess.run(self.wine + args, env=self.env, stdin=subprocess.DEVNULL, timeout=timeout,
                                  capture_output=capture, text=capture)
        except subprocess.TimeoutExpired as e:
            def text(out):
                return (out.decode(errors="replace") if isinstance(out, bytes) else out or "")
            print(f"FAIL {args[0]} still ran after {timeout} s")
            return subprocess.CompletedProcess(e.cmd, None, text(e.stdout), text(e.stderr))

    def stop(self):
        subprocess.run(self.wine + ["--stop"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def remove(self):
        self.stop()
        shutil.rmtree(self.folder, ignore_errors=True)
        for suffix in (".state.lock", ".state.boot.log", ".state.display", ".state.displayfd", ".state.xvfb.log"):
            if os.path.exists(self.folder + suffix):
                os.remove(self.folder + suffix)

    def make(self):
        self.remove()
        return self.run(["cmd.exe", "/c", "exit", "0"], timeout=300).returncode == 0

    def make_as(self, made):
        """A copy of the prefix `made` (made and not run since, its session
        stopped): as fresh as a new one, in a few seconds instead of Wine's boot."""
        self.remove()
        made.stop()
        return subprocess.run(["cp", "-a", made.folder, self.folder]).returncode == 0

    def windows_path(self, unix_path):
        return "Z:" + os.path.abspath(unix_path).replace("/", "\\")
