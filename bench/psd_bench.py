#!/usr/bin/python3
"""PSD reader benchmark: our reader against ImageMagick (`convert file.psd[0]`) and ag-psd, on
three 5000x5000 files and one 4000x3000 file:

  flat8     8-bit RGB, RLE, no layers
  layers8   the same picture with 10 full-size layers (RLE)
  flat16    16-bit RGB, RLE, no layers
  layers20  4000x3000 8-bit RGB with 20 full-size layers (RLE)

Our reader always decodes every layer. ag-psd reads the composite only, except for layers20, where
it reads with layer image data as well (`readPsd` with its defaults), so both decode the same.

Pictures are ImageMagick's plasma fractal with a little noise (RLE then finds few runs, as in
photographs), written by ImageMagick. It writes every picture as a layer as well: the flat files
are its output with the layer section emptied, the layered file its output with that layer
repeated ten times.

The layer compositor and the layer export are timed beside psd-tools (Debian's python3-psd-tools,
run as a black box by psd_tools_peer.py) on one more file:

  comp20    4000x3000 8-bit RGB, 20 full-size translucent layers in ten blend modes and falling
            opacities, saved without a merged picture (our own layer writer, PackBits rows of
            literal runs, as photographs pack)

  composite  ours: psd_open with every layer's pixels, then psd_composite, in-process;
             psd-tools: PSDImage.open and composite(force=True), in-process
  export     ours: the whole `vistrel-psd --export` process (merged picture, composite, every
             layer and mask as PNG); psd-tools: PSDImage.open, then topil().save() of every
             layer and mask

Rounds are interleaved (every reader on every file, then the next round); the median of the
rounds is reported. Ours and ag-psd are timed in-process (ag-psd after a warm-up read in the same
Node process); ImageMagick has no in-process timer, so its whole process is timed, decoding to
null:. ag-psd decodes 16-bit merged data wrongly, so it is left out for flat16.
"""
import argparse
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

IM = "/usr/bin/convert"
SIDE = 5000


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, capture_output=True, text=True, **kw)


def sections(data):
    """Offsets of the layer and mask section and of the image data in a PSD file."""
    p = 26
    p += 4 + struct.unpack(">I", data[p:p + 4])[0]  # colour mode data
    p += 4 + struct.unpack(">I", data[p:p + 4])[0]  # image resources
    length = struct.unpack(">I", data[p:p + 4])[0]
    return p, p + 4 + length


def strip_layers(source, target):
    """Copies an ImageMagick PSD with its layer and mask section emptied."""
    data = Path(source).read_bytes()
    start, end = sections(data)
    Path(target).write_bytes(data[:start] + struct.pack(">I", 0) + data[end:])


def repeat_layer(source, target, count):
    """Copies an ImageMagick PSD of one full-size layer with that layer repeated `count` times.
    (ImageMagick's resource policy here keeps it from writing ten 5000x5000 layers itself.)"""
    data = Path(source).read_bytes()
    start, end = sections(data)
    p = start + 8
    assert struct.unpack(">h", data[p:p + 2])[0] in (1, -1)
    p += 2
    record = p
    channels = struct.unpack(">H", data[p + 16:p + 18])[0]
    lengths = [struct.unpack(">I", data[p + 20 + 6 * i:p + 24 + 6 * i])[0] for i in range(channels)]
    p += 18 + 6 * channels + 12
    p += 4 + struct.unpack(">I", data[p:p + 4])[0]  # extra data
    layer = data[record:p]
    pixels = data[p:p + sum(lengths)]
    info = struct.pack(">h", count) + layer * count + pixels * count
    if len(info) % 2:
        info += b"\0"
    section = struct.pack(">I", len(info)) + info + struct.pack(">I", 0)
    Path(target).write_bytes(data[:start] + struct.pack(">I", len(section)) + section + data[end:])


def make_base(path, width, height):
    if not path.exists():
        run([IM, "-seed", "3", "-size", "1000x1000", "plasma:fractal", "-blur", "0x1",
             "-resize", f"{width}x{height}!", "-attenuate", "0.3", "+noise", "Gaussian",
             str(path)])


def make_files(work):
    work.mkdir(parents=True, exist_ok=True)
    base = work / "base.miff"
    make_base(base, SIDE, SIDE)
    files = {
        "flat8": work / "flat8.psd",
        "layers8": work / "layers8.psd",
        "flat16": work / "flat16.psd",
        "layers20": work / "layers20.psd",
    }
    if not files["flat8"].exists() or not files["layers8"].exists():
        run([IM, str(base), "-depth", "8", "-compress", "RLE", str(work / "im8.psd")])
        strip_layers(work / "im8.psd", files["flat8"])
        repeat_layer(work / "im8.psd", files["layers8"], 10)
        (work / "im8.psd").unlink()
    if not files["flat16"].exists():
        run([IM, str(base), "-depth", "16", "-compress", "RLE", str(work / "im16.psd")])
        strip_layers(work / "im16.psd", files["flat16"])
        (work / "im16.psd").unlink()
    if not files["layers20"].exists():
        small = work / "base4000.miff"
        make_base(small, 4000, 3000)
        run([IM, str(small), "-depth", "8", "-compress", "RLE", str(work / "im4000.psd")])
        repeat_layer(work / "im4000.psd", files["layers20"], 20)
        (work / "im4000.psd").unlink()
    return files


def make_composite_file(path, fixtures):
    """comp20: 20 translucent full-size layers, no merged picture."""
    if path.exists():
        return
    sys.path.insert(0, str(fixtures))
    import numpy as np
    from psd_layers_writer import Document, Layer
    width, height = 4000, 3000
    y, x = np.mgrid[0:height, 0:width].astype(np.float32)
    grain = np.random.default_rng(5).integers(-6, 7, (height, width), dtype=np.int16)
    modes = [b"norm", b"mul ", b"scrn", b"over", b"norm", b"sLit", b"diff", b"lite", b"dark",
             b"colr"]
    layers = []
    for k in range(20):
        pixels = np.empty((height, width, 4), np.uint8)
        for c in range(3):
            wave = 127 + 110 * np.sin(x / (50 + 13 * k + 7 * c) + y / (70 + 11 * c) + k)
            pixels[:, :, c] = np.clip(wave + grain, 0, 255).astype(np.uint8)
        pixels[:, :, 3] = 255 if k == 0 else (127 + 127 * np.cos((x + y * k) / 300)).astype(
            np.uint8)
        layers.append(Layer(b"layer %d" % k, pixels, blend=modes[k % len(modes)],
                            opacity=255 - 5 * k))
    Document("rgb", 8, width, height, layers, method=1).write(path)


def ours(bench, path):
    out = run([bench, str(path)]).stdout
    fields = dict(kv.split("=") for kv in out.split())
    return float(fields["reader_ms"]), float(fields["picture_ms"])


def ours_composite(bench, path):
    return float(run([bench, "--composite", str(path)]).stdout.split("=")[1])


def ours_export(tool, path, folder):
    start = time.perf_counter()
    run([tool, "--export", str(folder), str(path)])
    return (time.perf_counter() - start) * 1000


def peer(command, path, *extra):
    script = Path(__file__).resolve().parent / "psd_tools_peer.py"
    return float(run(["/usr/bin/python3", str(script), command, str(path), *map(str, extra)])
                 .stdout.split()[-1])


def imagemagick(path):
    start = time.perf_counter()
    run([IM, f"{path}[0]", "null:"])
    return (time.perf_counter() - start) * 1000


def agpsd(node_dir, path, layers):
    script = "agpsd_layers.js" if layers else "agpsd.js"
    out = run(["node", "--max-old-space-size=8192", str(node_dir / script), "time", str(path),
               "2"]).stdout.split()
    return float(out[-1])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bench", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--npm", required=True, help="folder with package.json and agpsd.js")
    ap.add_argument("--tool", required=True, help="vistrel-psd")
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--peer-rounds", type=int, default=3,
                    help="rounds of the compositor and export against psd-tools (slow)")
    args = ap.parse_args()
    work = Path(args.work)
    files = make_files(work)
    comp20 = work / "comp20.psd"
    make_composite_file(comp20, Path(args.npm) / "fixtures")

    node_dir = work / "node"
    if not (node_dir / "node_modules" / "ag-psd").exists():
        node_dir.mkdir(parents=True, exist_ok=True)
        for name in ("package.json", "package-lock.json"):
            shutil.copy(Path(args.npm) / name, node_dir / name)
        run(["npm", "ci", "--silent", "--no-audit", "--no-fund"], cwd=node_dir)
    for name in ("agpsd.js", "agpsd_layers.js"):
        shutil.copy(Path(args.npm) / name, node_dir / name)

    times = {(f, r): [] for f in files for r in ("reader", "picture", "imagemagick", "ag-psd")}
    for _ in range(args.rounds):
        for name, path in files.items():
            reader, picture = ours(args.bench, path)
            times[(name, "reader")].append(reader)
            times[(name, "picture")].append(picture)
            times[(name, "imagemagick")].append(imagemagick(path))
            if name != "flat16":
                times[(name, "ag-psd")].append(agpsd(node_dir, path, name == "layers20"))

    peers = {k: [] for k in ("composite", "psd-tools composite", "export", "psd-tools export")}
    with tempfile.TemporaryDirectory(dir=work) as scratch:
        for r in range(args.peer_rounds):
            peers["composite"].append(ours_composite(args.bench, comp20))
            peers["psd-tools composite"].append(peer("composite", comp20))
            peers["export"].append(ours_export(args.tool, comp20, Path(scratch) / f"ours{r}"))
            peers["psd-tools export"].append(peer("export", comp20, Path(scratch) / f"peer{r}"))
            shutil.rmtree(Path(scratch) / f"ours{r}")
            shutil.rmtree(Path(scratch) / f"peer{r}")

    print(f"PSD benchmark, median of {args.rounds} interleaved rounds, milliseconds")
    print(f"{'file':10}{'size MB':>9}{'ours':>9}{'+Picture':>10}{'IM':>9}{'ag-psd':>9}"
          f"{'ours/IM':>9}{'ours/ag':>9}")
    for name, path in files.items():
        med = {r: statistics.median(v) if v else float("nan")
               for (f, r), v in times.items() if f == name}
        print(f"{name:10}{path.stat().st_size / 1e6:9.1f}{med['reader']:9.1f}"
              f"{med['picture']:10.1f}{med['imagemagick']:9.1f}{med['ag-psd']:9.1f}"
              f"{med['reader'] / med['imagemagick']:9.3f}{med['reader'] / med['ag-psd']:9.3f}")

    med = {k: statistics.median(v) for k, v in peers.items()}
    flat = statistics.median(times[("flat8", "reader")]) / statistics.median(
        times[("flat8", "ag-psd")])
    print(f"\ncomp20 ({comp20.stat().st_size / 1e6:.0f} MB) against psd-tools, median of "
          f"{args.peer_rounds} interleaved rounds, milliseconds")
    print(f"{'task':12}{'ours':>10}{'psd-tools':>11}{'ratio':>8}{'target':>8}")
    for task, target in (("composite", 0.05), ("export", 0.1)):
        ratio = med[task] / med[f"psd-tools {task}"]
        print(f"{task:12}{med[task]:10.0f}{med[f'psd-tools {task}']:11.0f}{ratio:8.3f}"
              f"{target:8.2f}")
    print(f"{'flat8/ag-psd':12}{'':21}{flat:8.3f}{0.2:8.2f}")


if __name__ == "__main__":
    main()
