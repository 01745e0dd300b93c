#!/usr/bin/python3
"""End-to-end case of translucency and the compositing manager: a picture with real transparency
composited by xcompmgr over the window behind it, and, while no compositor runs, blended over the
viewer's backdrop and cut to its shape; the window follows the compositor as it comes and goes.

    compositor.py VISTREL CASE     runs one case (CTest runs each as its own test)
"""
import subprocess

from PIL import Image

from e2e import at, check, run_from_command_line, translucent

BEHIND = (40, 120, 200)  # the window behind the viewer's
BACKDROP = 250  # the gray the viewer blends translucent pixels over where nothing composites


def over(colour, alpha, behind):
    return tuple(round((c * alpha + b * (255 - alpha)) / 255) for c, b in zip(colour, behind))


def window_behind(s, x, y, w, h):
    """A window of the colour BEHIND at (x, y), shown by ImageMagick's display."""
    picture = s.path("behind.png")
    Image.new("RGB", (w, h), BEHIND).save(picture)
    s.others.append(subprocess.Popen(["display", "-geometry", "+%d+%d" % (x, y), "-immutable",
                                      picture], env=s.env, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL))
    s.expect_pixels({(x + 5, y + 5): BEHIND, (x + w - 5, y + h - 5): BEHIND})


def compositor(s):
    """Starts xcompmgr once the display has no compositing manager; the running process."""
    manager = subprocess.Popen(["xcompmgr"], env=s.env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    s.others.append(manager)
    return manager


def stop(s, manager):
    manager.terminate()
    manager.wait()
    s.others.remove(manager)


def case_translucency_follows_the_compositor(s):
    """Under xcompmgr the picture is blended over the window behind it. When the compositor ends,
    its translucent pixels are blended over the backdrop gray and shown opaque, and its fully
    transparent ones are cut out of the window's shape (the window behind shows there, not
    black); when a compositor starts again, the window goes back to real translucency."""
    window_behind(s, 700, 330, 520, 420)
    manager = compositor(s)
    picture = s.path("pictures", "alpha.png")
    translucent().save(picture)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    check((x, y, w, h) == (760, 390, 400, 300), "geometry %r" % ((x, y, w, h),))
    transparent, opaque, half = at((x, y), (20, 20)), at((x, y), (380, 20)), at((x, y), (230, 150))
    composited = {transparent: BEHIND, opaque: (255, 0, 0), half: over((0, 0, 255), 128, BEHIND)}
    s.expect_pixels(composited, tolerance=3)

    stop(s, manager)
    s.expect_pixels({transparent: BEHIND, opaque: (255, 0, 0),
                     half: over((0, 0, 255), 128, (BACKDROP,) * 3)}, tolerance=3)
    shape = subprocess.run(["xwininfo", "-shape", "-id", window], env=s.env, capture_output=True,
                           text=True).stdout
    # The transparent left half is cut, up to the half-transparent square from x = 150.
    check("Window shape extents:  250x300+150+0" in shape, "shape: %s" % shape)

    compositor(s)
    s.expect_pixels(composited, tolerance=3)
    s.key(window, "Escape")
    s.expect_exit(0)


if __name__ == "__main__":
    run_from_command_line(globals())
