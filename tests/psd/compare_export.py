#!/usr/bin/python3
"""vistrel-psd --export against ag-psd's reading of the same files: every layer's pixels and user
mask written by the export must equal, byte for byte, what ag-psd reads of them (the dump of
agpsd_layers.js: PREFIX.N.rgba and PREFIX.N.mask per layer N in file order), and the JSON must
name each file it wrote.

  compare_export.py VISTREL_PSD TESTDATA FILE...    (FILE: a name in TESTDATA, dumped as
                                                    FILE-without-.psd + ".dump")
"""
import json
import subprocess
import sys
from pathlib import Path

import numpy as np
from PIL import Image


def main():
    tool, data = sys.argv[1], Path(sys.argv[2])
    failed = checked = 0
    for name in sys.argv[3:]:
        psd = data / name
        folder = data / (psd.stem + ".export")
        out = subprocess.run([tool, "--export", str(folder), str(psd)], check=True,
                             capture_output=True, text=True).stdout
        model = json.loads(out)
        prefix = data / (psd.stem + ".dump")
        for i, layer in enumerate(model["layers"]):
            files = layer.get("files", {})
            for kind, suffix, mode in (("pixels", "rgba", "RGBA"), ("mask", "mask", "L")):
                expected = Path(f"{prefix}.{i}.{suffix}")
                if not expected.exists() and kind not in files:
                    continue
                checked += 1
                if not expected.exists() or kind not in files:
                    print(f"BAD {name} layer {i} {kind}: ag-psd {expected.exists()}, "
                          f"export {files.get(kind)}")
                    failed += 1
                    continue
                ours = np.asarray(Image.open(folder / files[kind]).convert(mode)).tobytes()
                if ours != expected.read_bytes():
                    print(f"BAD {name} layer {i} {kind}: pixels differ")
                    failed += 1
        for key in ("merged", "composite"):
            if not (folder / model["export"][key]).exists():
                print(f"BAD {name}: {key} not written")
                failed += 1
    print(f"{checked - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
