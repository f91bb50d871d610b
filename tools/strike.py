#!/usr/bin/env python3
"""strike.py: runs a command and strikes the program under test inside its work, not around it.

  strike.py --watch copy|merge --dir DIR --names A,B,C --index K --bytes N --final SIZE
            (--program NAME | --self) (--kill | --rename FROM TO) [--log FILE] -- COMMAND...

It starts COMMAND (stdout to FILE), then polls DIR tightly for the moment the work on archive
K (0-based, of NAMES) has passed N bytes:
  copy:  the copy engine's temporary file "~gs.tmp" beside the archives is longer than N bytes
         while exactly K archives have been replaced (another file renamed in);
  merge: archive K is longer than its old size plus N bytes (a merge appends to it).
Then it strikes: --kill sends SIGKILL to the program (--self: COMMAND itself; --program: the
Wine process of this WINEPREFIX whose program file is NAME), waits until it is gone and reads
the files again; --rename moves a folder away (a medium taken out) and the program runs on.
One line goes to stdout: "inside" when the strike landed mid-copy (the temporary file is
longer than N and shorter than SIZE, and still K archives replaced) or mid-merge (archive K
longer than its old size plus N and shorter than SIZE), else "outside" or "missed" (the program
ended before the moment came), with the sizes seen. Exit 0 only for "inside".
"""
import argparse
import os
import signal
import subprocess
import sys
import time

TEMP = "~gs.tmp"


def size(path):
    try:
        return os.stat(path).st_size
    except OSError:
        return -1


def identity(path):
    """A file's inode with its change time: a freed inode may come back for the file renamed in."""
    try:
        st = os.stat(path)
        return st.st_ino, st.st_ctime_ns
    except OSError:
        return None


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] not in ("Z", "X")
    except OSError:
        return False


def wine_process(program, prefix):
    """The Unix process of this prefix's Wine process running PROGRAM (its Windows argv[0])."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                argv0 = f.read().split(b"\0")[0].decode("latin-1")
            if argv0.replace("/", "\\").rsplit("\\", 1)[-1].lower() != program.lower():
                continue
            with open(f"/proc/{entry}/environ", "rb") as f:
                if f"WINEPREFIX={prefix}".encode() not in f.read().split(b"\0"):
                    continue
        except OSError:
            continue
        return int(entry)
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--watch", choices=("copy", "merge"), required=True)
    ap.add_argument("--dir", required=True)
    ap.add_argument("--names", required=True)
    ap.add_argument("--index", type=int, required=True)
    ap.add_argument("--bytes", type=int, required=True)
    ap.add_argument("--final", type=int, required=True)
    who = ap.add_mutually_exclusive_group(required=True)
    who.add_argument("--program")
    who.add_argument("--self", action="store_true")
    how = ap.add_mutually_exclusive_group(required=True)
    how.add_argument("--kill", action="store_true")
    how.add_argument("--rename", nargs=2)
    ap.add_argument("--log", default=os.devnull)
    ap.add_argument("--timeout", type=float, default=300)
    ap.add_argument("command", nargs=argparse.REMAINDER)
    a = ap.parse_args()
    command = a.command[1:] if a.command[:1] == ["--"] else a.command
    names = a.names.split(",")
    paths = [os.path.join(a.dir, n) for n in names]
    temp = os.path.join(a.dir, TEMP)
    target = paths[a.index]
    inodes = [identity(p) for p in paths]
    old = size(target)
    prefix = os.environ.get("WINEPREFIX", "")

    def replaced():
        n = 0
        for p, i in zip(paths, inodes):
            now = identity(p)
            n += now is not None and now != i
        return n

    def reached():
        if a.watch == "merge":
            s = size(target)
            return s > old + a.bytes, s
        before = replaced()
        s = size(temp)
        return before == a.index and s > a.bytes and replaced() == a.index, s

    with open(a.log, "wb") as log:
        cmd = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + a.timeout
        pid = cmd.pid if a.self else None
        result, code = None, 1
        while time.monotonic() < deadline:
            if pid is None:
                pid = wine_process(a.program, prefix)
                if pid is None:
                    if cmd.poll() is not None:
                        break
                    time.sleep(0.002)
                    continue
            hit, seen = reached()
            if hit:
                if a.kill:
                    try:
                        os.kill(pid, signal.SIGKILL)
                    except ProcessLookupError:
                        break
                    end = time.monotonic() + 10
                    while alive(pid) and time.monotonic() < end:
                        time.sleep(0.001)
                    if alive(pid):
                        result = f"outside: process {pid} still runs after SIGKILL"
                        break
                    if a.self:
                        cmd.wait()
                else:
                    os.rename(*a.rename)
                # After a kill this is the state the kill left; after a rename, the moment's.
                if a.watch == "merge":
                    now, where = size(target), f"archive {names[a.index]} at {size(target)} bytes (old {old})"
                    inside = old + a.bytes < now < a.final
                else:
                    now, count = size(temp), replaced()
                    where = f"{TEMP} at {now} bytes, {count} archives replaced"
                    inside = a.bytes < now < a.final and count == a.index
                verb = "killed" if a.kill else "renamed"
                result = f"{'inside' if inside else 'outside'}: {verb} past {a.bytes} bytes of {names[a.index]} " \
                         f"(whole {a.final}): {where}"
                code = 0 if inside else 1
                break
            if not alive(pid):
                break
            time.sleep(0.0002)
        if result is None:
            result = f"missed: no strike past {a.bytes} bytes of {names[a.index]} (pid {pid})"
            if pid is not None and not a.self and alive(pid):
                os.kill(pid, signal.SIGKILL)
        try:
            cmd.wait(timeout=max(1.0, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            cmd.kill()
            cmd.wait()
            result += "; the command hung"
            code = 1
    print(result)
    return code


if __name__ == "__main__":
    sys.exit(main())
