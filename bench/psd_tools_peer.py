#!/usr/bin/python3
"""psd-tools (Debian's python3-psd-tools) as a timing peer, run as a black box:

  psd_tools_peer.py composite FILE          open and composite(force=True): prints milliseconds
  psd_tools_peer.py export FILE FOLDER      open and write every layer's pixels and mask as PNG
                                            (topil().save), as a per-layer export does
"""
import sys
import time
from pathlib import Path

from psd_tools import PSDImage


def main():
    command, path = sys.argv[1], sys.argv[2]
    start = time.perf_counter()
    psd = PSDImage.open(path)
    if command == "composite":
        psd.composite(force=True)
    else:
        folder = Path(sys.argv[3])
        folder.mkdir(parents=True, exist_ok=True)
        for i, layer in enumerate(psd.descendants()):
            image = layer.topil()
            if image is not None:
                image.save(folder / f"layer-{i}.png")
            if layer.mask is not None:
                mask = layer.mask.topil()
                if mask is not None:
                    mask.save(folder / f"layer-{i}-mask.png")
    print((time.perf_counter() - start) * 1000)


if __name__ == "__main__":
    main()
