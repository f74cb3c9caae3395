#!/bin/bash
# wine-arch.sh : prints which Windows build this machine's Wine runs.
#   win32  Wine's 32-bit loader starts: the program players run.
#   win64  the kernel refuses 32-bit programs (the refusal goes to stderr), but
#          Wine's 64-bit loader starts: the same sources built for 64-bit.
# Exits 1, with the reasons on stderr, where neither loader starts.
if refused=$(wine --version 2>&1); then echo win32; exit 0; fi
echo "this machine cannot start Wine's 32-bit loader ($(tail -1 <<<"$refused"))" >&2
if refused=$(/usr/lib/wine/wine64 --version 2>&1); then echo win64; exit 0; fi
echo "nor its 64-bit loader ($(tail -1 <<<"$refused"))" >&2
exit 1
