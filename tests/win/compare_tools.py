#!/usr/bin/python3
"""vistrel-decode.exe and vistrel-psd.exe under Wine against the Linux build's vistrel-decode and
vistrel-psd over the test files: the same report line and the same pixels, the same document
model.

    compare_tools.py WINE_RUN PREFIX DECODE.exe PSD.exe LINUX_BUILD TESTDATA

Exits 77 (skipped) when the Linux build has no tools to compare with.
"""
import concurrent.futures
import json
import os
import subprocess
import sys
import tempfile

from PIL import Image

PICTURES = (".jpg", ".jpe", ".jpeg", ".bmp", ".gif", ".ico", ".cur", ".wmf", ".tga", ".png",
            ".psd")


def pictures(testdata):
    for folder in ("picture", "picture/jpeg", "picture/png", "picture/dense", "picture/hostile",
                   "picture/scaling", "psd"):
        full = os.path.join(testdata, folder)
        if not os.path.isdir(full):
            continue
        for name in sorted(os.listdir(full)):
            path = os.path.join(full, name)
            if os.path.isfile(path) and name.lower().endswith(PICTURES):
                yield path


def run(command, **options):
    result = subprocess.run(command, capture_output=True, timeout=300, **options)
    return result.returncode, result.stdout.decode(errors="replace").replace("\r\n", "\n")


def pixels(path):
    if not os.path.exists(path):
        return None
    image = Image.open(path)
    return image.mode, image.size, image.tobytes()


def compare_decode(wine, linux, windows, path, work):
    """None when both decode the file alike, else what differs."""
    name = os.path.basename(path)
    ours = os.path.join(work, name + ".linux.png")
    theirs = os.path.join(work, name + ".windows.png")
    linux_result = run([linux, path, ours], env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    windows_result = run([*wine, windows, path, theirs])
    if linux_result != windows_result:
        return "report %r on Linux, %r on Windows" % (linux_result, windows_result)
    a, b = pixels(ours), pixels(theirs)
    if a != b:
        if a is None or b is None or a[:2] != b[:2]:
            return "pictures %r and %r" % (a and a[:2], b and b[:2])
        largest = max(abs(x - y) for x, y in zip(a[2], b[2]))
        return "pixels differ by up to %d" % largest
    return None


def compare_psd(wine, linux, windows, path):
    linux_result = run([linux, path])
    windows_result = run([*wine, windows, path])
    if linux_result[0] != windows_result[0]:
        return "vistrel-psd exit %d on Linux, %d on Windows" % (linux_result[0],
                                                                windows_result[0])
    if linux_result[0] == 0 and json.loads(linux_result[1]) != json.loads(windows_result[1]):
        return "vistrel-psd models differ"
    return None


def main():
    if len(sys.argv) != 7:
        print(__doc__, file=sys.stderr)
        return 2
    wine_run, prefix, decode_exe, psd_exe, linux_build, testdata = sys.argv[1:]
    linux_decode = os.path.join(linux_build, "tools", "vistrel-decode")
    linux_psd = os.path.join(linux_build, "tools", "vistrel-psd")
    if not (os.access(linux_decode, os.X_OK) and os.access(linux_psd, os.X_OK)):
        print("no Linux build at %s to compare with" % linux_build)
        return 77
    wine = [wine_run, prefix]
    files = list(pictures(testdata))
    with tempfile.TemporaryDirectory(prefix="vistrel-compare-") as work, \
            concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        jobs = {pool.submit(compare_decode, wine, linux_decode, decode_exe, path, work): path
                for path in files}
        jobs.update({pool.submit(compare_psd, wine, linux_psd, psd_exe, path): path
                     for path in files if path.lower().endswith(".psd")})
        differences = sorted((jobs[job], job.result()) for job in jobs if job.result())
    for path, difference in differences:
        print("%s: %s" % (os.path.relpath(path, testdata), difference))
    print("%d files, %d differ" % (len(files), len(differences)))
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
