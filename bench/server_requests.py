#!/usr/bin/python3
"""Wine server requests per extracted file: the stub against bsdtar.exe, on 1,000 small files.

Under Wine every file-system call that opens, renames or changes a file is a request to the
wineserver, which serves them one at a time for every process; WINEDEBUG=+server lists each
one. The count is exact and the same whatever the machine's load, unlike wall time.

Each tool extracts a zip of 1,000 small files (two folders of 500, as in bench/run's (b)) and a
zip of one file; the difference over 999 is the cost of one file, without start-up and exit.
Prints the totals per file and per request type, largest first.

Usage: bench/server_requests.py [STUB_EXE BSDTAR_EXE]   (default: what bench/run builds)
Environment: as bench/run (QUILLET_BENCH_CACHE, QUILLET_WINEPREFIX).
"""
import collections
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

import wine_build

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CACHE = os.environ.get("QUILLET_BENCH_CACHE", os.path.expanduser("~/.cache/quillet/bench"))
FILES = 1000

# "0024: create_file( access=..., ... )" is a request; "0024: create_file() = 0 { ... }" its reply.
REQUEST = re.compile(r"^[0-9a-f]{4,}: (\w+)\((?! *\) = )")


def make_zip(path, count):
    """A zip -6 of `count` text files of 20 to 600 bytes, 500 to a folder."""
    if os.path.exists(path):
        return path
    rnd = random.Random(22)
    words = "the of and to in is that for it as was with archive extract folder value index".split()
    with tempfile.TemporaryDirectory() as src:
        for i in range(count):
            folder = os.path.join(src, f"folder{i // 500:03d}")
            os.makedirs(folder, exist_ok=True)
            text = " ".join(rnd.choice(words) for _ in range(120)).encode()
            with open(os.path.join(folder, f"item{i % 500:03d}.txt"), "wb") as out:
                out.write(text[:rnd.randint(20, 600)])
        subprocess.run(["zip", "-q", "-r", "-6", path + ".part", "."], cwd=src, check=True,
                       stdout=subprocess.DEVNULL)
    os.replace(path + ".part", path)
    return path


def self_extractor(stub_exe, archive):
    sfx = archive[:-len(".zip")] + "-sfx.exe"
    with open(sfx, "wb") as out:
        for part in (stub_exe, archive):
            with open(part, "rb") as f:
                shutil.copyfileobj(f, out)
    return sfx


def wine_path(path):
    return "Z:" + path.replace("/", "\\")


class TracedServer:
    """The prefix's wineserver restarted with its request trace on (a server started before
    traces nothing, whatever the client's WINEDEBUG), for the lifetime of a `with` block."""

    def __init__(self, prefix):
        arch = "win64" if wine_build.ARCH == "x86_64" else "win32"
        self.env = dict(wine_build.ENV, QUILLET_WINEPREFIX=prefix, WINEPREFIX=prefix, WINEARCH=arch, LC_ALL="C")
        self.log = os.path.join(CACHE, "requests", "server.log")

    def __enter__(self):
        wine_run = os.path.join(ROOT, "scripts", "wine-run")
        subprocess.run([wine_run], env=self.env, check=True)  # the prefix and its display
        subprocess.run([wine_build.SERVER, "-k"], env=self.env)
        subprocess.run([wine_build.SERVER, "-w"], env=self.env)
        self.trace = open(self.log, "w")
        # -p: wine-run takes a persistent server of this prefix for its own and starts no other.
        self.server = subprocess.Popen([wine_build.SERVER, "-f", "-d1", "-p"], env=self.env, stdout=subprocess.DEVNULL,
                                       stderr=self.trace, stdin=subprocess.DEVNULL)
        subprocess.run([wine_run], env=self.env, check=True)
        return self

    def __exit__(self, *exc):
        subprocess.run([wine_build.SERVER, "-k"], env=self.env)
        self.server.wait()
        self.trace.close()

    def count(self, argv, out_dir):
        """Requests per type made by the threads of one run of `argv`, which extracts into
        `out_dir`, and the number of files it left there."""
        shutil.rmtree(out_dir, ignore_errors=True)
        os.makedirs(out_dir)
        start = os.path.getsize(self.log)
        proc = subprocess.Popen([os.path.join(ROOT, "scripts", "wine-run")] + argv, env=self.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if proc.wait() != 0:
            sys.exit(f"server_requests: exit {proc.returncode}: {' '.join(argv)}")
        files = sum(len(names) for _, _, names in os.walk(out_dir))
        shutil.rmtree(out_dir)
        with open(self.log, errors="replace") as trace:
            trace.seek(start)
            lines = trace.read().splitlines()
        # wine-run ends in exec: the Windows process has the pid Popen gave. Its first thread
        # names that pid; the threads it starts are in the replies to its new_thread requests.
        threads, counts = set(), collections.Counter()
        first = re.compile(rf"^([0-9a-f]{{4,}}): init_first_thread\( unix_pid={proc.pid},")
        created = re.compile(r"^([0-9a-f]{4,}): new_thread\(\) = 0 \{ tid=([0-9a-f]+)")
        # Thread ids are reused: one leaves the set when its thread ends.
        seen = False
        for line in lines:
            if match := first.match(line):
                threads.add(match.group(1))
                seen = True
            elif (match := created.match(line)) and match.group(1) in threads:
                threads.add(match.group(2).rjust(4, "0"))
            elif "*killed*" in line:
                threads.discard(line.split(":", 1)[0])
            if (match := REQUEST.match(line)) and line.split(":", 1)[0] in threads:
                counts[match.group(1)] += 1
        if not seen:
            sys.exit("server_requests: the trace names no thread of the process")
        return counts, files


def per_file(server, tools, one, many, out_dir):
    """{tool: Counter of requests per file} from runs on the one-file and the 1,000-file zip."""
    result = {}
    for name, command in tools:
        small, _ = server.count(command(one, out_dir), out_dir)
        large, files = server.count(command(many, out_dir), out_dir)
        if files != FILES:
            sys.exit(f"server_requests: {name} extracted {files} files, not {FILES}")
        result[name] = collections.Counter({k: (large[k] - small[k]) / (FILES - 1) for k in large | small})
    return result


def measure(stub_exe, bsdtar_exe):
    work = os.path.join(CACHE, "requests")
    os.makedirs(work, exist_ok=True)
    one, many = make_zip(os.path.join(work, "one.zip"), 1), make_zip(os.path.join(work, "small1000.zip"), FILES)
    sfx = {path: self_extractor(stub_exe, path) for path in (one, many)}
    tools = [
        ("stub", lambda archive, out: [sfx[archive], "-y", "-o" + wine_path(out)]),
        ("bsdtar.exe", lambda archive, out: [bsdtar_exe, "-x", "-f", wine_path(archive), "-C", wine_path(out)]),
    ]
    with TracedServer(wine_build.WINEPREFIX + "-requests") as server:
        return per_file(server, tools, one, many, os.path.join("/dev/shm", "quillet-requests"))


def print_table(result):
    names = list(result)
    print("| Request | " + " | ".join(names) + " |")
    print("|---|" + "---:|" * len(names))
    totals = {n: sum(result[n].values()) for n in names}
    print("| **all, per file** | " + " | ".join(f"**{totals[n]:.2f}**" for n in names) + " |")
    kinds = sorted(set().union(*result.values()), key=lambda k: -max(result[n][k] for n in names))
    for kind in kinds:
        if max(abs(result[n][kind]) for n in names) >= 0.005:
            print(f"| {kind} | " + " | ".join(f"{result[n][kind]:.2f}" for n in names) + " |")
    return totals


def main():
    if len(sys.argv) == 3:
        stub_exe, bsdtar_exe = sys.argv[1:]
    else:
        stub_exe = os.path.join(wine_build.BUILD, "stub", "win32", "kzsfx.exe")
        bsdtar_exe = os.path.join(CACHE, f"bsdtar-{wine_build.ARCH}.exe")
    print_table(measure(stub_exe, bsdtar_exe))


if __name__ == "__main__":
    main()
