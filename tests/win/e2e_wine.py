#!/usr/bin/python3
"""End-to-end tests of vistrel.exe under Wine on a real X server (Xvfb, 1920x1080x24), driven
with xdotool and checked by the pixels on the screen, the registry (wine reg query) and the
temporary folder.

    e2e_wine.py WINE_RUN PREFIX VISTREL_EXE CASE   runs one case (CTest runs each as its own test)
    e2e_wine.py WINE_RUN PREFIX VISTREL_EXE --list names the cases

The cases share the build's Wine prefix, one at a time: each starts the Wine server for its own
display, clears the program's settings first and ends the server at its end. The root window is
white (-wr), so wherever the desktop shows through a window, the screen is white.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import e2e  # noqa: E402  (the Linux end-to-end helpers: waits, screen grabs, keys)
from e2e import BLUE, GREEN, RED, YELLOW, Failure, at, check, quadrants, run_case, wait_for  # noqa: E402

e2e.WAIT = 30.0  # seconds any one condition may take on a loaded machine (Wine starts slowly)
SETTINGS_KEY = r"HKEY_CURRENT_USER\Software\Quorbane\Vistrel"
WHITE = (255, 255, 255)


class Session(e2e.Session):
    """An X server, the Wine prefix's server on it, and the program under test. Screen grabs,
    waits, keys and pop-ups are the Linux session's; finding the program's windows differs (Wine
    runs it in processes of its own)."""

    def __init__(self, wine_run, prefix, vistrel):
        self.wine_run, self.prefix, self.vistrel = wine_run, prefix, vistrel
        self.dir = tempfile.mkdtemp(prefix="vistrel-wine-e2e-")
        self.server, number = e2e.x_server(e2e.SCREEN)
        self.env = dict(os.environ, DISPLAY=":" + number, LANG="C.UTF-8")
        self.env.pop("WAYLAND_DISPLAY", None)
        self.others = []
        self.program = None
        # A server of the prefix left from elsewhere would show windows on another display.
        self.wine("--stop")
        self.reg("delete", SETTINGS_KEY, "/f")
        shutil.rmtree(self.temporary_folder(), ignore_errors=True)

    def wine(self, *arguments, **options):
        return subprocess.run([self.wine_run, self.prefix, *arguments], env=self.env,
                              capture_output=True, text=True, **options)

    def reg(self, *arguments):
        return self.wine("reg", *arguments).stdout

    def close(self):
        if self.program and self.program.poll() is None:
            self.program.kill()
        for other in self.others:
            other.kill()
            other.wait()
        self.wine("--stop")
        if self.program:
            self.program.wait()
        self.server.terminate()
        self.server.wait()
        shutil.rmtree(self.dir, ignore_errors=True)

    def temporary_folder(self):
        """%TEMP%\\Vistrel of the prefix's user, as a Linux path."""
        users = os.path.join(self.prefix, "drive_c", "users")
        user = next((u for u in sorted(os.listdir(users)) if u != "Public"), "root")
        return os.path.join(users, user, "AppData", "Local", "Temp", "Vistrel") \
            if os.path.isdir(os.path.join(users, user, "AppData", "Local", "Temp")) \
            else os.path.join(users, user, "Temp", "Vistrel")

    def setting(self, name):
        """The stored value as `wine reg query` prints it ("REG_DWORD 0x1"), or None."""
        for line in self.reg("query", SETTINGS_KEY, "/v", name).splitlines():
            parts = line.split()
            if len(parts) == 3 and parts[0] == name:
                return parts[1] + " " + parts[2]
        return None

    def start(self, *arguments):
        self.program = subprocess.Popen([self.wine_run, self.prefix, self.vistrel, *arguments],
                                        env=self.env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE)

    def visible(self, pid=None, *name):
        """Ids of the program's visible windows (its window, a menu, a dialog)."""
        return self.xdotool("search", "--all", "--onlyvisible", "--classname",
                            "vistrel.exe").split()

    def window(self, title=None):
        """The program's window, once it is mapped with a caption (`title`, when given):
        (id, x, y, width, height, title)."""
        def probe():
            self.running()
            for window in self.visible():
                name = self.xdotool("getwindowname", window)
                if name and (title is None and name != "Vistrel" or name == title):
                    return window, name
            return None
        window, name = wait_for("the window" + (" " + title if title else ""), probe)
        return (window, *self.geometry(window), name)

    def expect_pixels(self, samples, tolerance=0):
        """As on Linux, but exact unless told otherwise: Wine's GDI draws the picture unchanged."""
        super().expect_pixels(samples, tolerance)

    def expect_picture(self, picture, origin):
        """Waits until the screen shows `picture` pixel for pixel with its top-left at
        `origin`."""
        expected = Image.open(picture).convert("RGB")
        w, h = expected.size
        box = (origin[0], origin[1], origin[0] + w, origin[1] + h)
        differing = []

        def probe():
            seen = self.screen().crop(box)
            differing[:] = [(x, y) for y in range(h) for x in range(w)
                            if seen.getpixel((x, y)) != expected.getpixel((x, y))][:5]
            return not differing
        try:
            wait_for("the picture pixel for pixel", probe)
        except Failure:
            raise Failure("pixels differ at %r" % differing)


# --- cases --------------------------------------------------------------------------------

def case_picture_at_its_size_and_place(s):
    """Where the Linux build puts it: centred on the primary screen, pixel for pixel."""
    picture = s.path("pictures", "small.png")
    quadrants((640, 480)).save(picture)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    check((x, y, w, h) == (640, 300, 640, 480), "geometry %r" % ((x, y, w, h),))
    check(title == "small.png [640x480]", "title %r" % title)
    s.expect_picture(picture, (x, y))
    s.expect_pixels({(639, 299): WHITE, (1280, 780): WHITE})
    s.key(window, "Escape")
    s.expect_exit(0)


def case_arrow_keys_step_through_the_folder(s):
    for i, colour in enumerate((RED, GREEN, BLUE)):
        Image.new("RGB", (300 + 100 * i, 200), colour).save(s.path("folder", "%d.png" % i))
    s.start(s.path("folder", "1.png"))
    window, x, y, w, h, title = s.window("1.png [400x200]")
    s.expect_pixels({(x + 5, y + 5): GREEN})
    for key, name, size, colour in (("Right", "2.png", 500, BLUE), ("Left", "1.png", 400, GREEN),
                                    ("Up", "0.png", 300, RED)):
        s.key(window, key)
        _, x, y, w, h, _ = s.window("%s [%dx200]" % (name, size))
        check((x, y, w, h) == ((1920 - size) // 2, 440, size, 200), "%s at %r" % (name, (x, y)))
        s.expect_pixels({(x + 5, y + 5): colour, (x + w - 5, y + h - 5): colour})
    s.key(window, "Escape")
    s.expect_exit(0)


def case_transparent_png_through_a_layered_window(s):
    """400 x 300: left half green with alpha 0, right half red, a blue square of alpha 128."""
    image = Image.new("RGBA", (400, 300), (0, 200, 0, 0))
    image.paste((255, 0, 0, 255), (200, 0, 400, 300))
    image.paste((0, 0, 255, 128), (150, 100, 250, 200))
    picture = s.path("pictures", "alpha.png")
    image.save(picture)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    check((w, h) == (400, 300), "size %r" % ((w, h),))
    # Alpha 0 lets the (white) desktop through; without a compositor the alpha-128 blue shows
    # premultiplied; opaque red stays red.
    s.expect_pixels({at((x, y), (20, 20)): WHITE, at((x, y), (380, 20)): (255, 0, 0),
                     at((x, y), (230, 150)): (0, 0, 128)}, tolerance=3)
    s.key(window, "Escape")
    s.expect_exit(0)


def case_plus_zooms(s):
    picture = s.path("pictures", "small.png")
    quadrants((400, 200)).save(picture)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    s.key(window, "plus")
    # A tenth larger about the centre (960, 540).
    wait_for("the zoomed window", lambda: s.window()[1:5] == (740, 430, 440, 220))
    s.expect_pixels({(745, 435): RED, (1175, 435): GREEN, (745, 645): BLUE, (1175, 645): YELLOW},
                    tolerance=4)
    # Out by a tenth of what it is now.
    s.key(window, "KP_Subtract")
    wait_for("the smaller window", lambda: s.window()[3:5] == (396, 198))
    s.key(window, "Escape")
    s.expect_exit(0)


def case_context_menu_on_a_right_click(s):
    picture = s.path("pictures", "small.png")
    quadrants((400, 200)).save(picture)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    s.xdotool("mousemove", str(x + 100), str(y + 50), "click", "3")
    menu, mx, my, mw, mh = s.popup(window)
    check(abs(mx - (x + 100)) <= 2 and abs(my - (y + 50)) <= 2, "menu at %r" % ((mx, my),))
    check(mh > 150, "a menu of %dx%d" % (mw, mh))
    s.xdotool("key", "Escape")
    wait_for("the menu to close", lambda: menu not in s.visible())
    check(s.window()[0] == window, "the window is still there")
    s.key(window, "Escape")
    s.expect_exit(0)


def case_a_setting_lands_in_the_registry(s):
    picture = s.path("pictures", "small.png")
    quadrants((400, 200)).save(picture)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    check(s.setting("NoneTopMost") is None, "a setting before any was made")
    # The middle button: keep on top no longer; a REG_DWORD of 1.
    s.xdotool("mousemove", str(x + 100), str(y + 50), "click", "2")
    wait_for("NoneTopMost in the registry",
             lambda: s.setting("NoneTopMost") == "REG_DWORD 0x1")
    s.key(window, "Escape")
    s.expect_exit(0)


def case_ctrl_v_pastes_a_bitmap(s):
    clip = s.path("clip.bmp")
    quadrants((160, 120)).save(clip)
    s.start()
    window, *_ = s.window("Vistrel")
    # The clipboard's owner while the test runs: an X client of the display; Wine offers its
    # image to Windows programs as a device-independent bitmap.
    s.others.append(subprocess.Popen(["xclip", "-selection", "clipboard", "-t", "image/bmp",
                                      "-i", clip], env=s.env))
    time.sleep(0.5)
    s.key(window, "ctrl+v")
    _, x, y, w, h, _ = s.window("Snapshot [160x120]")
    check((x, y, w, h) == (880, 480, 160, 120), "geometry %r" % ((x, y, w, h),))
    s.expect_picture(clip, (x, y))
    s.key(window, "Escape")
    s.expect_exit(0)


def case_esc_closes_and_leaves_no_temporary_file(s):
    picture = s.path("pictures", "layers.psd")
    # A PSD is no desktop background: the picture on show is written as a temporary PNG first.
    subprocess.run(["/usr/bin/convert", "-size", "64x48", "xc:#4080c0", picture], check=True)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    s.xdotool("mousemove", str(x + 30), str(y + 20), "click", "3")
    menu = s.popup(window)[0]
    # Down past the caption, fit, keep on top, lock place, two turns: the background item.
    s.xdotool("key", *(["Down"] * 7), "Return")
    wait_for("the menu to close", lambda: menu not in s.visible())
    wait_for("the background set", lambda: "Vistrel" in s.reg(
        "query", r"HKEY_CURRENT_USER\Control Panel\Desktop", "/v", "Wallpaper"))
    check(any(name.startswith("run-") for name in os.listdir(s.temporary_folder())),
          "no folder of the running instance")
    s.key(window, "Escape")
    s.expect_exit(0)
    left = [name for name in os.listdir(s.temporary_folder()) if name.startswith("run-")]
    check(not left, "left behind: %r" % left)


CASES = {name[len("case_"):]: function for name, function in globals().items()
         if name.startswith("case_")}


def main():
    if len(sys.argv) == 5 and sys.argv[4] == "--list":
        print("\n".join(CASES))
        return 0
    if len(sys.argv) != 5 or sys.argv[4] not in CASES:
        print(__doc__, file=sys.stderr)
        return 2
    run_case(sys.argv[4], CASES[sys.argv[4]], Session(*sys.argv[1:4]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
