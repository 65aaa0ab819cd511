"""The Windows build the bench runs under Wine, as scripts/wine-mode chooses it for this machine:
the i686 product where 32-bit Wine runs, the x86_64 build where the kernel cannot run 32-bit
code. Its build folder, its MinGW host, and a Wine prefix of that architecture for the bench."""
import os
import subprocess

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MODE = subprocess.run([os.path.join(ROOT, "scripts", "wine-mode")], capture_output=True, text=True,
                      check=True).stdout.strip()
ARCH = "x86_64" if MODE == "x64" else "i686"
BUILD = os.path.join(ROOT, "build", "mingw-x64" if MODE == "x64" else "mingw")
# A prefix is made for one architecture: the two modes keep theirs apart.
WINEPREFIX = os.environ.get("QUILLET_WINEPREFIX",
                            os.path.expanduser("~/.cache/quillet/wineprefix-bench" + ("-x64" if MODE == "x64" else "")))
# wine-run reads the mode from the environment rather than probing again for every run.
ENV = dict(os.environ, QUILLET_WINEPREFIX=WINEPREFIX, QUILLET_WINE_ARCH=MODE)
# The server of that Wine, for the bench that restarts it with a trace (as scripts/wine-run picks).
SERVER = "/usr/lib/wine/wineserver64" if MODE == "x64" else "wineserver"
