#!/usr/bin/env python3
"""Applies each slip of scripts/mutants.txt alone to the tree, rebuilds
incrementally and runs the suite; prints which slips the suite caught.
Usage: scripts/mutants.py [BUILD_DIR] (default build; built once first)."""
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, sys.argv[1] if len(sys.argv) > 1 else "build")
ENV = dict(os.environ, QT_QPA_PLATFORM="offscreen")


def slips():
    with open(os.path.join(ROOT, "scripts", "mutants.txt"), encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            path, old, new = line.rstrip("\n").split("\t")
            yield path, old.replace("<NL>", "\n"), new.replace("<NL>", "\n")


def caught(path, old, new):
    full = os.path.join(ROOT, path)
    with open(full, encoding="utf-8") as f:
        original = f.read()
    if old not in original:
        return "missing"
    try:
        with open(full, "w", encoding="utf-8") as f:
            f.write(original.replace(old, new, 1))
        if subprocess.run(["cmake", "--build", BUILD], capture_output=True).returncode != 0:
            return "caught (does not build)"
        r = subprocess.run(["ctest", "--test-dir", BUILD, "-j2", "--timeout", "300",
                            "-E", "^layering_"], capture_output=True, env=ENV)
        return "caught" if r.returncode != 0 else "NOT CAUGHT"
    finally:
        with open(full, "w", encoding="utf-8") as f:
            f.write(original)


def main():
    subprocess.run(["cmake", "--build", BUILD], check=True, capture_output=True)
    results = []
    for path, old, new in slips():
        t0 = time.monotonic()
        verdict = caught(path, old, new)
        results.append(verdict)
        print(f"{verdict:24} {time.monotonic() - t0:6.0f} s  {path}: {old!r} -> {new!r}",
              flush=True)
    subprocess.run(["cmake", "--build", BUILD], capture_output=True)
    found = sum(v.startswith("caught") for v in results)
    print(f"{found} of {len(results)} slips caught ({100 * found / len(results):.0f} %)")
    return 0 if found == len(results) else 1


if __name__ == "__main__":
    sys.exit(main())
