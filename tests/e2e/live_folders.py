#!/usr/bin/python3
"""End-to-end cases of the folder on disk, on a real X server with the kernel's real folder
watch: the order the folder is listed in, and a folder changing while it is browsed (an editor
saving over the picture on show, pictures added and removed), checked by the pixels on the screen.

    live_folders.py VISTREL CASE     runs one case (CTest runs each as its own test)
"""
import os
import time

from PIL import Image

from e2e import BLUE, GREEN, RED, YELLOW, at, check, run_from_command_line, wait_for

# Time for the program to take a change of the folder that shows nothing by itself (a file added
# or removed away from the picture on show) before a key acts on it.
SETTLE = 1.0


def caption(s, expected):
    wait_for("the caption " + expected, lambda: s.window()[5] == expected)


def case_natural_order(s):
    """img2 before img10, whatever the case; SortNatural=0 returns to the plain order."""
    for name, colour in (("img10.png", BLUE), ("IMG2.png", GREEN), ("img1.png", RED)):
        Image.new("RGB", (300, 200), colour).save(s.path("folder", name))
    s.start(s.path("folder", "img1.png"))
    window = s.window()[0]
    for name, colour in (("IMG2.png", GREEN), ("img10.png", BLUE)):
        s.key(window, "Right")
        caption(s, name + " [300x200]")
        s.expect_pixels({(960, 540): colour})
    s.key(window, "Escape")
    s.expect_exit(0)

    s.settings("[General]\nSortNatural=0\n")
    s.start(s.path("folder", "img1.png"))
    window = s.window()[0]
    s.key(window, "Right")
    caption(s, "img10.png [300x200]")
    s.key(window, "Escape")
    s.expect_exit(0)


def case_picture_saved_over(s):
    """An editor saves over the picture on show, writing the file itself, or writing another one
    and renaming it over (as GIMP, krita and sed -i do): it shows again at once, in place and
    zoomed as it was; a new size is laid out anew."""
    picture = s.path("folder", "shown.png")
    Image.new("RGB", (400, 300), RED).save(picture)
    Image.new("RGB", (100, 100), YELLOW).save(s.path("folder", "zz.png"))
    s.start(picture)
    window = s.window()[0]
    s.key(window, "KP_Add")
    wait_for("the zoomed window", lambda: s.window()[3:5] == (440, 330))
    _, x, y, w, h, _ = s.window()

    Image.new("RGB", (400, 300), GREEN).save(picture)  # truncated and written in place
    s.expect_pixels({at((x, y), (5, 5)): GREEN, at((x, y), (w - 5, h - 5)): GREEN})
    check(s.window()[1:5] == (x, y, w, h), "moved to %r" % (s.window()[1:5],))

    # Half a file, as a slow writer leaves it for a moment: the picture on show stays.
    with open(picture, "r+b") as f:
        f.truncate(60)
    time.sleep(SETTLE)
    s.expect_pixels({at((x, y), (5, 5)): GREEN})
    check(s.window()[1:5] == (x, y, w, h), "moved after a broken write")

    written = s.path("folder", ".shown.png.part")
    Image.new("RGB", (500, 200), BLUE).save(written, format="PNG")
    os.replace(written, picture)
    wait_for("the new size, centred", lambda: s.window()[1:5] == (710, 440, 500, 200))
    caption(s, "shown.png [500x200]")
    s.expect_pixels({(715, 445): BLUE, (1205, 635): BLUE})
    # Still listed once: the next picture is the one after it.
    s.key(window, "Right")
    caption(s, "zz.png [100x100]")
    s.key(window, "Left")
    caption(s, "shown.png [500x200]")
    s.key(window, "Escape")
    s.expect_exit(0)


def case_folder_changes_while_browsing(s):
    """Pictures added join the list at their place, removed ones leave it; the picture on show
    stays when its own file goes (to the trash), and steps go on from its place."""
    folder = s.path("folder", "img1.png")[:-len("img1.png")]
    for name, colour in (("img1.png", RED), ("img3.png", GREEN), ("img5.png", BLUE)):
        Image.new("RGB", (300, 200), colour).save(folder + name)
    s.start(folder + "img1.png")
    window = s.window()[0]

    Image.new("RGB", (320, 200), YELLOW).save(folder + "img2.png")
    time.sleep(SETTLE)
    s.key(window, "Right")
    caption(s, "img2.png [320x200]")
    s.expect_pixels({(960, 540): YELLOW})

    os.remove(folder + "img3.png")
    time.sleep(SETTLE)
    s.key(window, "Right")
    caption(s, "img5.png [300x200]")

    trash = s.path("trash", "files", "img5.png")
    os.rename(folder + "img5.png", trash)
    time.sleep(SETTLE)
    s.expect_pixels({(960, 540): BLUE})
    caption(s, "img5.png [300x200]")
    s.key(window, "Left")
    caption(s, "img2.png [320x200]")
    s.key(window, "Right")  # img5 left the list with the step away from it: nothing after img2
    time.sleep(SETTLE)
    caption(s, "img2.png [320x200]")
    s.expect_pixels({(960, 540): YELLOW})
    s.key(window, "Escape")
    s.expect_exit(0)


if __name__ == "__main__":
    run_from_command_line(globals())
