#!/usr/bin/env python3
"""manifest_test.py EXE BITS : the application manifest read back from a built
velmora.exe, as Windows reads it before the program starts. It needs no Wine,
so it also checks the 32-bit build where no 32-bit program can run."""
import os
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from peresources import PE, RT_MANIFEST  # noqa: E402

ASM1, ASM3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
COMPAT = "{urn:schemas-microsoft-com:compatibility.v1}"
WS2005, WS2016 = ("{http://schemas.microsoft.com/SMI/2005/WindowsSettings}",
                  "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}")
SUPPORTED = {  # Windows 7, 8, 8.1 and 10/11
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}

exe, bits = sys.argv[1], int(sys.argv[2])
with open(exe, "rb") as f:
    pe = PE(f.read())
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


check(pe.bits == bits, f"{exe} is a {bits}-bit program (it is {pe.bits}-bit)")
raw = pe.resource(RT_MANIFEST, 1)
if raw is None:
    sys.exit(f"FAIL {exe} carries no manifest (RT_MANIFEST 1)")
root = ET.fromstring(raw)

level = root.find(f"{ASM3}trustInfo/{ASM3}security/{ASM3}requestedPrivileges/{ASM3}requestedExecutionLevel")
check(level is not None and level.get("level") == "asInvoker" and level.get("uiAccess") == "false",
      "it runs as the invoker, never asking for administrator rights")
ids = {e.get("Id") for e in root.iterfind(f"{COMPAT}compatibility/{COMPAT}application/{COMPAT}supportedOS")}
check(ids == SUPPORTED, "it names Windows 7, 8, 8.1 and 10/11 as supported: " + " ".join(sorted(ids)))

settings = root.find(f"{ASM3}application/{ASM3}windowsSettings")
aware = settings.findtext(f"{WS2005}dpiAware") if settings is not None else None
awareness = settings.findtext(f"{WS2016}dpiAwareness") if settings is not None else None
# The windows scale themselves by their monitor's density: Windows must not
# stretch them as pictures. Per-monitor v2 first; Windows 8.1 and the first
# Windows 10 releases read the older per-monitor and system-aware forms.
check(awareness is not None and [w.strip() for w in awareness.split(",")] == ["PerMonitorV2", "PerMonitor"],
      f"it declares per-monitor awareness v2, then per-monitor: {awareness!r}")
check(aware is not None and aware.strip() == "true/pm",
      f"older Windows read per-monitor awareness with the system-aware fallback: {aware!r}")

controls = [a for a in root.iterfind(f"{ASM1}dependency/{ASM1}dependentAssembly/{ASM1}assemblyIdentity")
            if a.get("name") == "Microsoft.Windows.Common-Controls"]
check(len(controls) == 1 and controls[0].get("version") == "6.0.0.0" and
      controls[0].get("publicKeyToken") == "6595b64144ccf1df" and controls[0].get("processorArchitecture") == "*",
      "it depends on Common Controls 6 for any processor")
me = root.find(f"{ASM1}assemblyIdentity")
check(me is not None and me.get("processorArchitecture") == "*" and len(me.get("version", "").split(".")) == 4,
      "its own identity fits both builds and has a four-part version")

print(f"{'no' if not failures else len(failures)} failure(s)")
sys.exit(1 if failures else 0)
