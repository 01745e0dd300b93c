#!/usr/bin/python3
"""End-to-end tests of the vistrel program on a real X server (Xvfb, 1920x1080x24), driven with
xdotool and checked by the pixels on the screen.

    e2e.py VISTREL CASE     runs one case (CTest runs each as its own test)
    e2e.py VISTREL --list   names the cases

Every case has its own server (a free display number from -displayfd), its own home and
settings folder, and pictures made for it by Pillow and ImageMagick. The root window is white
(-wr), so wherever the desktop shows through a window, the screen is white.
"""
import os
import glob
import json
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import urllib.parse

from PIL import Image

CONVERT = "/usr/bin/convert"
SCREEN = (1920, 1080)
WAIT = 20.0  # seconds any one condition may take on a loaded machine


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(what, probe, timeout=None):
    """Polls probe() until it returns a true value; fails with `what` after the time-out (WAIT
    as it stands when called: the Wine script raises it)."""
    deadline = time.monotonic() + (WAIT if timeout is None else timeout)
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.05)


def x_server(screen):
    """Starts Xvfb with a white root window on a free display: (process, display number)."""
    read, write = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write), "-screen", "0", "%dx%dx24" % screen, "-wr",
         "-nolisten", "tcp", "-noreset"],
        pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as pipe:
        number = pipe.readline().strip()
    check(number, "Xvfb did not start")
    return server, number


class Session:
    """An X server, a home folder and the program under test."""

    def __init__(self, vistrel, screen=SCREEN):
        self.vistrel = vistrel
        self.dir = tempfile.mkdtemp(prefix="vistrel-e2e-")
        self.home = os.path.join(self.dir, "home")
        self.config = os.path.join(self.home, ".config")
        runtime = os.path.join(self.dir, "runtime")
        os.makedirs(self.config)
        os.makedirs(runtime, mode=0o700)
        self.server, number = x_server(screen)
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "DISPLAY": ":" + number,
            "HOME": self.home,
            "XDG_CONFIG_HOME": self.config,
            "XDG_RUNTIME_DIR": runtime,
            "DBUS_SESSION_BUS_ADDRESS": "disabled:",
            "LANG": "C.UTF-8",
        }
        self.program = None
        self.others = []

    def close(self):
        if self.program and self.program.poll() is None:
            self.program.kill()
            self.program.wait()
        for other in self.others:
            other.kill()
            other.wait()
        self.server.terminate()
        self.server.wait()
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, *parts):
        full = os.path.join(self.dir, *parts)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        return full

    def settings(self, text):
        folder = os.path.join(self.config, "Quorbane")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "Vistrel.conf"), "w") as f:
            f.write(text)

    def stored_settings(self):
        try:
            with open(os.path.join(self.config, "Quorbane", "Vistrel.conf")) as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def start(self, *arguments, cwd=None, **environment):
        self.program = subprocess.Popen([self.vistrel, *arguments], cwd=cwd,
                                        env=dict(self.env, **environment),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def window_manager(self):
        """Runs openbox, a window manager from Debian's packages, on the server."""
        self.others.append(subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_for("the window manager", lambda: "window id" in self.xprop(
            "-root", "_NET_SUPPORTING_WM_CHECK"))

    def xprop(self, *arguments):
        return subprocess.run(["xprop", *arguments], env=self.env, capture_output=True,
                              text=True).stdout

    def xdotool(self, *arguments):
        result = subprocess.run(["xdotool", *arguments], env=self.env, capture_output=True,
                                text=True)
        return result.stdout.strip() if result.returncode == 0 else ""

    def visible(self, pid=None, *name):
        """Ids of the visible windows of the program (or of the process `pid`)."""
        return self.xdotool("search", "--all", "--onlyvisible", "--pid",
                            str(pid or self.program.pid), *name).split()

    def geometry(self, window):
        shell = dict(line.split("=", 1)
                     for line in self.xdotool("getwindowgeometry", "--shell", window).split())
        return int(shell["X"]), int(shell["Y"]), int(shell["WIDTH"]), int(shell["HEIGHT"])

    def depth(self, window):
        """Bits per pixel of the window's visual: 24 opaque, 32 with an alpha channel."""
        info = subprocess.run(["xwininfo", "-id", window], env=self.env, capture_output=True,
                              text=True).stdout
        return int(info.split("Depth:")[1].split()[0])

    def running(self):
        if self.program.poll() is not None:
            raise Failure("the program ended: " +
                          self.program.stderr.read().decode(errors="replace"))

    def window(self, titled=True):
        """The program's visible window, once it is mapped and (with `titled`) has its caption:
        (id, x, y, width, height, title). The caption follows the window's creation."""
        def probe():
            self.running()
            ids = self.visible(None, "--name", ".")
            if not ids or (titled and self.xdotool("getwindowname", ids[0]) == "Vistrel"):
                return None
            return ids[0]
        window = wait_for("the window", probe)
        return (window, *self.geometry(window), self.xdotool("getwindowname", window))

    def screen(self):
        shot = subprocess.run(["import", "-silent", "-window", "root", "png:-"], env=self.env,
                              capture_output=True, check=True).stdout
        path = self.path("screen.png")
        with open(path, "wb") as f:
            f.write(shot)
        return Image.open(path).convert("RGB")

    def expect_pixels(self, samples, tolerance=12):
        """Waits until every (x, y) of `samples` shows its colour on the screen."""
        last = {}

        def probe():
            image = self.screen()
            for (x, y), colour in samples.items():
                seen = image.getpixel((x, y))
                last[(x, y)] = (seen, colour)
                if any(abs(a - b) > tolerance for a, b in zip(seen, colour)):
                    return False
            return True
        try:
            wait_for("the picture on the screen", probe)
        except Failure:
            raise Failure("pixels (seen, expected): %r" % last)

    def key(self, window, key):
        self.xdotool("windowfocus", "--sync", window)
        self.xdotool("key", "--clearmodifiers", key)

    def popup(self, main, title=None):
        """Another visible window of the program than `main` (its menu or dialog), once there is
        one (with `title`, one of that name): (id, x, y, width, height)."""
        def probe():
            self.running()
            for window in self.visible():
                if window != main and (title is None or
                                       self.xdotool("getwindowname", window) == title):
                    return window
            return None
        window = wait_for("a window besides the main one", probe)
        return (window, *self.geometry(window))

    def closed(self, popup):
        wait_for("the popup to close", lambda: popup not in self.visible())

    def menu_command(self, main, point, downs):
        """Right-clicks at the screen `point` and chooses the menu item `downs` steps down from
        the top with the keyboard (separators and grayed items are skipped)."""
        # Two right clicks at one place within the double-click time are a double click: exit.
        time.sleep(0.6)
        self.xdotool("mousemove", str(point[0]), str(point[1]), "click", "3")
        menu = self.popup(main)
        check(abs(menu[1] - point[0]) <= 2 and abs(menu[2] - point[1]) <= 2,
              "menu at %r, clicked at %r" % (menu[1:3], point))
        self.xdotool("key", *(["Down"] * downs), "Return")
        self.closed(menu[0])

    def expect_exit(self, code=0):
        try:
            result = self.program.wait(timeout=WAIT)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end")
        check(result == code, "exit code %d, expected %d" % (result, code))


# --- pictures -----------------------------------------------------------------------------

RED, GREEN, BLUE, YELLOW = (220, 30, 30), (30, 200, 60), (40, 60, 220), (240, 220, 40)


def quadrants(size, mode="RGB"):
    """A picture of four coloured quarters: red, green above; blue, yellow below."""
    w, h = size
    image = Image.new(mode, size)
    colours = [RED, GREEN, BLUE, YELLOW]
    for i, colour in enumerate(colours):
        x, y = (i % 2) * (w // 2), (i // 2) * (h // 2)
        image.paste(colour + ((255,) if mode == "RGBA" else ()), (x, y, x + w // 2, y + h // 2))
    return image


def translucent(alpha_everywhere=None):
    """400 x 300: left half green with alpha 0, right half red, a blue square of alpha 128 across
    the middle; with `alpha_everywhere`, every pixel has that alpha instead."""
    image = Image.new("RGBA", (400, 300), (0, 200, 0, 0))
    image.paste((255, 0, 0, 255), (200, 0, 400, 300))
    image.paste((0, 0, 255, 128), (150, 100, 250, 200))
    if alpha_everywhere is not None:
        image.putalpha(alpha_everywhere)
    return image


def bmp32(path, image):
    """Writes an RGB picture as an uncompressed 32-bit BMP whose fourth byte is 0 everywhere, as
    many programs write 32-bit bitmaps: a byte of padding, not transparency."""
    w, h = image.size
    rows = b"".join(bytes(b for (r, g, b_) in (image.getpixel((x, y)) for x in range(w))
                          for b in (b_, g, r, 0))
                    for y in reversed(range(h)))
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 32, 0, len(rows), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 14 + 40 + len(rows), 0, 0, 14 + 40) + header + rows)


def at(origin, point):
    return (origin[0] + point[0], origin[1] + point[1])


def three_pictures(s):
    """A folder of 0.png, 1.png and 2.png (red, green, blue; 300, 400 and 500 wide), the program
    started on 1.png; its window."""
    for i, colour in enumerate((RED, GREEN, BLUE)):
        Image.new("RGB", (300 + 100 * i, 200), colour).save(s.path("folder", "%d.png" % i))
    s.start(s.path("folder", "1.png"))
    return s.window()


# --- cases --------------------------------------------------------------------------------

def case_small_picture(s):
    picture = s.path("pictures", "small.png")
    quadrants((640, 480)).save(picture)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    check((x, y, w, h) == (640, 300, 640, 480), "geometry %r" % ((x, y, w, h),))
    check(title == "small.png [640x480]", "title %r" % title)
    s.expect_pixels({(650, 310): RED, (1270, 310): GREEN, (650, 770): BLUE, (1270, 770): YELLOW,
                     (639, 299): (255, 255, 255)})
    check(s.depth(window) == 24, "an opaque picture in a window of depth %d" % s.depth(window))
    s.key(window, "Escape")
    s.expect_exit(0)


def case_big_picture_fitted(s):
    picture = s.path("pictures", "big.jpg")
    quadrants((4000, 3000)).save(picture, quality=95)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    check((x, y, w, h) == (240, 0, 1440, 1080), "geometry %r" % ((x, y, w, h),))
    check(title == "big.jpg [4000x3000]", "title %r" % title)
    s.expect_pixels({(250, 10): RED, (1670, 10): GREEN, (250, 1070): BLUE, (1670, 1070): YELLOW})
    # Keypad "*" turns fit off: natural size from the top-left, nothing stored.
    s.key(window, "KP_Multiply")
    wait_for("the natural size", lambda: s.window()[1:5] == (0, 0, 4000, 3000))
    s.expect_pixels({(10, 10): RED, (1910, 1070): RED})  # the top-left quarter fills the screen
    check("NoneScale" not in s.stored_settings(), "the key stored the setting")
    # "*" of the main keyboard is Shift+8: that Shift keeps no centre, the window is centred.
    s.key(window, "asterisk")
    wait_for("the fitted window", lambda: s.window()[1:5] == (240, 0, 1440, 1080))
    s.expect_pixels({(250, 10): RED, (1670, 1070): YELLOW})
    s.key(window, "Escape")
    s.expect_exit(0)


def case_kept_corner_stays_on_screen(s):
    """Ctrl keeps the window's top-left corner for the next picture, but never so that the window
    ends mostly off the screen: from a big picture shown at its bottom-right, a small one comes
    back onto the screen."""
    s.settings("[General]\nNoneScale=1\n")
    quadrants((4000, 3000)).save(s.path("folder", "a.jpg"), quality=95)
    Image.new("RGB", (640, 480), GREEN).save(s.path("folder", "b.png"))
    s.start(s.path("folder", "a.jpg"))
    window, x, y, w, h, title = s.window()
    check((x, y) == (-2080, -1920), "geometry %r" % ((x, y, w, h),))
    s.key(window, "ctrl+Right")
    wait_for("b.png", lambda: s.window()[5] == "b.png [640x480]")
    wait_for("b.png on the screen", lambda: s.window()[1:5] == (0, 0, 640, 480))
    s.expect_pixels({(5, 5): GREEN, (635, 475): GREEN})
    s.key(window, "Escape")
    s.expect_exit(0)


def case_big_picture_natural_size(s):
    s.settings("[General]\nNoneScale=1\n")
    picture = s.path("pictures", "big.jpg")
    quadrants((4000, 3000)).save(picture, quality=95)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    # Created with its right and bottom edges on the screen's: the yellow quarter shows.
    check((x, y, w, h) == (-2080, -1920, 4000, 3000), "geometry %r" % ((x, y, w, h),))
    s.expect_pixels({(10, 10): YELLOW, (1910, 1070): YELLOW})
    # Home and Page Up bring the left and top edges to the screen's, End and Page Down back.
    for key, position in (("Home", (0, -1920)), ("Prior", (0, 0)), ("End", (-2080, 0)),
                          ("Next", (-2080, -1920))):
        s.key(window, key)
        wait_for("the window at %r after %s" % (position, key),
                 lambda: s.window()[1:3] == position)
    # A double click fits it to the screen and stores the choice.
    s.xdotool("mousemove", "960", "540", "click", "--repeat", "2", "--delay", "80", "1")
    wait_for("the fitted window", lambda: s.window()[3:5] == (1440, 1080))
    wait_for("the stored setting", lambda: "NoneScale=0" in s.stored_settings())
    s.key(window, "Escape")
    s.expect_exit(0)


def case_bmp_caption(s):
    picture = s.path("pictures", "logo.bmp")
    png = s.path("pictures", "logo.png")
    quadrants((320, 200)).save(png)
    subprocess.run([CONVERT, png, "-type", "TrueColor", "BMP3:" + picture], check=True)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    check(title == "logo.bmp [320x200x24]", "title %r" % title)
    s.expect_pixels({at((x, y), (5, 5)): RED, at((x, y), (315, 195)): YELLOW})
    s.key(window, "Escape")
    s.expect_exit(0)


def case_translucent_png(s):
    picture = s.path("pictures", "alpha.png")
    translucent().save(picture)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    check((w, h) == (400, 300), "size %r" % ((w, h),))
    check(s.depth(window) == 32, "depth %d" % s.depth(window))
    # No compositor runs: alpha 0 is cut from the window's shape and lets the (white) desktop
    # through; alpha 128 blue is blended over the backdrop gray of 250; opaque red stays red.
    s.expect_pixels({at((x, y), (20, 20)): (255, 255, 255), at((x, y), (380, 20)): (255, 0, 0),
                     at((x, y), (230, 150)): (125, 125, 253)}, tolerance=3)
    s.key(window, "Escape")
    s.expect_exit(0)


def case_opaque_then_translucent(s):
    """A window made opaque for an opaque picture takes an alpha channel when a picture with
    real transparency follows, and keeps the keyboard."""
    Image.new("RGB", (400, 300), GREEN).save(s.path("folder", "0.png"))
    translucent().save(s.path("folder", "1.png"))
    s.start(s.path("folder", "0.png"))
    window, x, y, w, h, title = s.window()
    check(s.depth(window) == 24, "depth %d" % s.depth(window))
    s.key(window, "Right")
    wait_for("the translucent picture", lambda: s.window()[5] == "1.png [400x300]")
    s.expect_pixels({at((x, y), (20, 20)): (255, 255, 255), at((x, y), (380, 20)): (255, 0, 0),
                     at((x, y), (230, 150)): (125, 125, 253)}, tolerance=3)
    window = s.window()[0]
    check(s.depth(window) == 32, "depth %d" % s.depth(window))
    s.key(window, "Left")
    wait_for("the opaque picture", lambda: s.window()[5] == "0.png [400x300]")
    s.expect_pixels({at((x, y), (20, 20)): GREEN, at((x, y), (380, 290)): GREEN})
    s.key(window, "Escape")
    s.expect_exit(0)


def case_opaque_32bit_png(s):
    picture = s.path("pictures", "opaque.png")
    translucent(alpha_everywhere=255).save(picture)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    # All alpha 255: drawn plainly, every colour as it is, in a window without an alpha channel
    # (made ahead with one for the 32-bit header, and made anew once the pixels were known).
    s.expect_pixels({at((x, y), (20, 20)): (0, 200, 0), at((x, y), (380, 20)): (255, 0, 0),
                     at((x, y), (230, 150)): (0, 0, 255)}, tolerance=3)
    check(s.depth(window) == 24, "depth %d" % s.depth(window))
    s.key(window, "Escape")
    s.expect_exit(0)


def case_zoomed_32bit_bmp_without_alpha(s):
    picture = s.path("pictures", "padded.bmp")
    bmp32(picture, quadrants((200, 100)))
    s.start(picture)
    window, x, y, w, h, title = s.window()
    check(title == "padded.bmp [200x100x32]", "title %r" % title)
    s.expect_pixels({at((x, y), (5, 5)): RED, at((x, y), (195, 95)): YELLOW})
    # Zoomed by key and by a right drag, the picture stays as opaque as it was drawn first.
    s.key(window, "KP_Add")
    wait_for("the zoomed window", lambda: s.window()[3:5] == (220, 110))
    _, x, y, w, h, _ = s.window()
    s.expect_pixels({at((x, y), (5, 5)): RED, at((x, y), (w - 5, h - 5)): YELLOW,
                     at((x, y), (w - 5, 5)): GREEN})
    s.xdotool("mousemove", str(x + 50), str(y + 50), "mousedown", "3", "sleep", "0.2",
              "mousemove", str(x + 70), str(y + 50), "sleep", "0.2", "mousemove", str(x + 100),
              str(y + 50), "sleep", "0.5", "mouseup", "3")
    wait_for("the dragged zoom", lambda: s.window()[3] == 320)
    _, x, y, w, h, _ = s.window()
    s.expect_pixels({at((x, y), (5, 5)): RED, at((x, y), (w - 5, h - 5)): YELLOW})
    s.key(window, "Escape")
    s.expect_exit(0)


def checkerboard(size):
    """A picture whose every pixel differs from its neighbours, framed by one-pixel lines of red
    (left, top) and blue (right, bottom): any scaling on the way to the screen shows."""
    w, h = size
    image = Image.new("RGB", size)
    image.putdata([(255, 255, 255) if (x + y) % 2 else (0, 0, 0)
                   for y in range(h) for x in range(w)])
    for x in range(w):
        image.putpixel((x, 0), RED)
        image.putpixel((x, h - 1), BLUE)
    for y in range(h):
        image.putpixel((0, y), RED)
        image.putpixel((w - 1, y), BLUE)
    return image


def expect_exact(s, picture, origin):
    """The screen shows `picture` at `origin` pixel for pixel."""
    def same():
        shown = s.screen().crop((origin[0], origin[1], origin[0] + picture.width,
                                 origin[1] + picture.height))
        return list(shown.getdata()) == list(picture.getdata())
    wait_for("the picture pixel for pixel at %r" % (origin,), same)


def case_scaled_screens(s):
    """At a device-pixel ratio of 1, 1.5 and 2 the window is exactly as large as the picture in
    the screen's pixels and shows it pixel for pixel; fit to screen counts the screen's pixels."""
    small = checkerboard((400, 300))
    small.save(s.path("pictures", "a.png"))
    quadrants((4000, 3000)).save(s.path("pictures", "b.jpg"), quality=95)
    for ratio in ("1", "1.5", "2"):
        s.start(s.path("pictures", "a.png"), QT_SCALE_FACTOR=ratio)
        window, x, y, w, h, title = s.window()
        check((x, y, w, h) == (760, 390, 400, 300), "at %s: geometry %r" % (ratio, (x, y, w, h)))
        expect_exact(s, small, (760, 390))
        # The menu opens where the right button was pressed.
        s.xdotool("mousemove", "900", "500", "click", "3")
        menu = s.popup(window)
        check(abs(menu[1] - 900) <= 1 and abs(menu[2] - 500) <= 1, "menu at %r" % (menu[1:3],))
        s.xdotool("key", "Escape")
        s.closed(menu[0])
        s.key(window, "Right")
        wait_for("the big picture at " + ratio, lambda: s.window()[5] == "b.jpg [4000x3000]")
        wait_for("the fitted window at " + ratio,
                 lambda: s.window()[1:5] == (240, 0, 1440, 1080))
        s.expect_pixels({(250, 10): RED, (1670, 1070): YELLOW})
        s.key(window, "Escape")
        s.expect_exit(0)


def case_primary_screen_on_the_right(s):
    """Two monitors side by side, the primary one on the right: placement, the lock places,
    the edge keys and the start page count from its origin (1920, 0)."""
    for args in (["--setmonitor", "left", "1920/508x1080/286+0+0", "none"],
                 ["--setmonitor", "*right", "1920/508x1080/286+1920+0", "none"]):
        subprocess.run(["xrandr", *args], env=s.env, check=True)
    quadrants((640, 480)).save(s.path("folder", "a.png"))
    Image.new("RGB", (400, 300), GREEN).save(s.path("folder", "b.png"))
    quadrants((4000, 3000)).save(s.path("folder", "c.jpg"), quality=95)
    s.start(s.path("folder", "a.png"))
    window, x, y, w, h, title = s.window()
    check((x, y, w, h) == (2560, 300, 640, 480), "geometry %r" % ((x, y, w, h),))
    s.expect_pixels({(2570, 310): RED, (3190, 770): YELLOW})
    # Locked where it stands, the middle of the primary screen: the next picture keeps its centre.
    s.menu_command(window, (2600, 400), 4)
    # Each setting is written on its own: the anchor follows the place.
    wait_for("the lock place and its anchor",
             lambda: {"LockPlace=4", "xLockPlace=2880"} <= set(s.stored_settings().split()))
    s.key(window, "Right")
    wait_for("b.png centred on the lock", lambda: s.window()[1:5] == (2680, 390, 400, 300))
    s.menu_command(window, (2700, 400), 4)  # unlocked
    wait_for("no lock place", lambda: "LockPlace=-1" in s.stored_settings())
    s.key(window, "Right")
    wait_for("c.jpg fitted", lambda: s.window()[1:5] == (2160, 0, 1440, 1080))
    s.key(window, "KP_Multiply")
    wait_for("c.jpg at natural size", lambda: s.window()[1:5] == (1920, 0, 4000, 3000))
    for key, position in (("End", (-160, 0)), ("Next", (-160, -1920)), ("Home", (1920, -1920)),
                          ("Prior", (1920, 0))):
        s.key(window, key)
        wait_for("the window at %r after %s" % (position, key),
                 lambda: s.window()[1:3] == position)
    s.key(window, "F1")
    _, x, y, w, h, _ = s.window(titled=False)
    check((x, y) == (1920 + (1920 - w) // 2, (1080 - h) // 2), "start page at %r" % ((x, y),))
    s.key(window, "Escape")
    s.expect_exit(0)


case_primary_screen_on_the_right.screen = (3840, 1080)


def expect_start_page(s):
    window, x, y, w, h, title = s.window(titled=False)
    check(title == "Vistrel", "title %r" % title)
    check(w >= 300 and h >= 300, "size %r" % ((w, h),))
    check((x, y) == ((SCREEN[0] - w) // 2, (SCREEN[1] - h) // 2), "not centred: %r" % ((x, y),))
    # A one-pixel black border around a white page.
    s.expect_pixels({(x, y): (0, 0, 0), (x + w - 1, y + h - 1): (0, 0, 0),
                     (x + 3, y + h - 3): (255, 255, 255)}, tolerance=2)
    return window


def case_start_page(s):
    s.start()
    window = expect_start_page(s)
    # F1 keeps it; a double click on it stores the fit setting.
    s.key(window, "F1")
    expect_start_page(s)
    geometry = s.window(titled=False)[1:5]
    s.xdotool("mousemove", str(geometry[0] + 20), str(geometry[1] + geometry[3] - 20), "click",
              "--repeat", "2", "--delay", "80", "1")
    wait_for("the stored setting", lambda: "NoneScale=1" in s.stored_settings())
    s.key(window, "Escape")
    s.expect_exit(0)
    # At a desktop scale of 2 the close box is 16 of its pixels, 32 of the screen's: its left
    # edge, and the cross's middle, 16 pixels in.
    s.start(QT_SCALE_FACTOR="2")
    window, x, y, w, h, title = s.window(titled=False)
    s.expect_pixels({(x + w - 32, y + 16): (0, 0, 0), (x + w - 33, y + 16): (255, 255, 255),
                     (x + w - 16, y + 16): (0, 0, 0), (x + w - 16, y + 8): (255, 255, 255)},
                    tolerance=40)
    s.key(window, "Escape")
    s.expect_exit(0)


def case_skinned_start_page(s):
    """A skin of the user's own: the start page takes the background's size and, from its alpha,
    its shape; the close button's frames follow the pointer, and a click on it closes."""
    ui = s.path("home", ".local", "share", "Quorbane", "Vistrel", "UI", "Bkgnd.png")
    background = Image.new("RGBA", (400, 300), BLUE + (255,))
    for corner in ((0, 0), (370, 0), (0, 270), (370, 270)):
        background.paste((0, 0, 0, 0), corner + (corner[0] + 30, corner[1] + 30))
    background.save(ui)
    strip = Image.new("RGBA", (76, 19))
    for i, colour in enumerate((RED, GREEN, YELLOW, (0, 0, 0))):
        strip.paste(colour + (255,), (19 * i, 0, 19 * i + 19, 19))
    strip.save(os.path.join(os.path.dirname(ui), "BtnClose.png"))
    s.start()
    window, x, y, w, h, title = s.window(titled=False)
    check((x, y, w, h) == (760, 390, 400, 300), "geometry %r" % ((x, y, w, h),))
    check(s.depth(window) == 32, "a shaped page in a window of depth %d" % s.depth(window))
    # The transparent corners let the (white) desktop through; the close button, at
    # {367, 8, 386, 27}, shows its first frame.
    close = at((x, y), (376, 17))
    s.expect_pixels({at((x, y), (3, 3)): (255, 255, 255), at((x, y), (396, 296)): (255, 255, 255),
                     at((x, y), (35, 35)): BLUE, at((x, y), (200, 150)): BLUE, close: RED},
                    tolerance=3)
    s.xdotool("mousemove", *map(str, close))
    s.expect_pixels({close: YELLOW}, tolerance=3)  # hovered: frame 2
    s.xdotool("mousedown", "1")
    s.expect_pixels({close: GREEN}, tolerance=3)  # pressed: frame 1
    s.xdotool("mouseup", "1")
    s.expect_exit(0)


def case_path_with_blanks(s):
    picture = s.path("my pictures", "a  b.png")
    quadrants((200, 100)).save(picture)
    folder, name = os.path.split(picture)
    for arguments in ([picture], ['"' + picture + '"'], ['"' + picture + '"', "ignored"],
                      [folder + "/a", "", "b.png"]):
        s.start(*arguments)
        window, x, y, w, h, title = s.window()
        check(title == "a  b.png [200x100]", "title %r for %r" % (title, arguments))
        s.key(window, "Escape")
        s.expect_exit(0)
    # A relative path that looks like a toolkit option ("-display NAME") is a picture too.
    quadrants((200, 100)).save(os.path.join(folder, "-display x.png"))
    s.start("-display", "x.png", cwd=folder)
    window, x, y, w, h, title = s.window()
    check(title == "-display x.png [200x100]", "title %r" % title)
    s.key(window, "Escape")
    s.expect_exit(0)
    # A trailing blank is part of the path: no such file, the start page.
    s.start(picture + " ")
    window = expect_start_page(s)
    s.key(window, "Escape")
    s.expect_exit(0)


def case_undecodable_file(s):
    picture = s.path("pictures", "broken.png")
    with open(picture, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + b"\x00\x00\x00\x0dIHDR" + b"\xff" * 40)
    s.start(picture)
    window = expect_start_page(s)
    s.key(window, "Escape")
    s.expect_exit(0)


def case_failures_are_said_on_standard_error(s):
    """A picture of the command line that does not open leaves the start page up, as before, and
    says why on standard error; an unknown option gets a usage line and status 2."""
    broken = s.path("pictures", "broken.png")
    with open(broken, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + b"\x00\x00\x00\x0dIHDR" + b"\xff" * 40)
    os.makedirs(s.path("pictures", "folder.png", "x"))
    for path, reason in ((s.path("pictures", "missing.png"),
                          "the file cannot be opened: No such file or directory (cannot-open)"),
                         (broken, "the header or data is damaged (malformed)"),
                         (s.path("pictures", "folder.png"), "not a regular file (not-regular-file)")):
        s.start(path)
        window = expect_start_page(s)
        s.key(window, "Escape")
        s.expect_exit(0)
        said = s.program.stderr.read().decode()
        check("vistrel: %s: %s\n" % (path, reason) in said, "standard error %r" % said)
    result = subprocess.run([s.vistrel, "--bogus"], env=s.env, capture_output=True, text=True,
                            timeout=WAIT)
    check(result.returncode == 2 and "unknown option '--bogus'" in result.stderr and
          "Usage: vistrel" in result.stderr, "%d %r" % (result.returncode, result.stderr))


def case_several_arguments_are_the_list(s):
    """`vistrel b.png c.png a.png` steps through the three in that order, across folders; a
    missing one is said and left out."""
    Image.new("RGB", (300, 200), RED).save(s.path("one", "a.png"))
    Image.new("RGB", (400, 200), GREEN).save(s.path("one", "b.png"))
    Image.new("RGB", (500, 200), BLUE).save(s.path("two", "c.png"))
    s.start(s.path("one", "b.png"), s.path("two", "c.png"), s.path("one", "gone.png"),
            s.path("one", "a.png"))
    window = s.window()[0]
    check(s.window()[5] == "b.png [400x200]", "first %r" % s.window()[5])
    for key, name in (("Right", "c.png [500x200]"), ("Right", "a.png [300x200]"),
                      ("Right", "a.png [300x200]"), ("Left", "c.png [500x200]"),
                      ("Up", "b.png [400x200]")):
        s.key(window, key)
        wait_for("the caption " + name, lambda: s.window()[5] == name)
    s.key(window, "Escape")
    s.expect_exit(0)
    said = s.program.stderr.read().decode()
    check(s.path("one", "gone.png") + ": the file cannot be opened" in said, "stderr %r" % said)


def case_steps_from_a_file_that_did_not_open(s):
    """A file that cannot be read, opened directly: the arrow keys step from its place in its
    folder, past files that do not decode, as if it had been shown."""
    Image.new("RGB", (300, 200), RED).save(s.path("folder", "a.png"))
    with open(s.path("folder", "b.png"), "wb") as f:
        f.write(b"not a picture")
    Image.new("RGB", (500, 200), BLUE).save(s.path("folder", "c.png"))
    s.start(s.path("folder", "b.png"))
    window = expect_start_page(s)
    s.key(window, "Right")
    wait_for("c.png", lambda: s.window()[5] == "c.png [500x200]")
    window = s.window()[0]
    s.expect_pixels({at(s.window()[1:3], (5, 5)): BLUE})
    s.key(window, "Left")
    wait_for("a.png, past b.png", lambda: s.window()[5] == "a.png [300x200]")
    s.key(window, "Escape")
    s.expect_exit(0)


def case_step_through_folder(s):
    window, x, y, w, h, title = three_pictures(s)
    check(title == "1.png [400x200]", "title %r" % title)
    for key, name, colour in (("Right", "2.png [500x200]", BLUE), ("Right", "2.png [500x200]", BLUE),
                              ("Left", "1.png [400x200]", GREEN), ("Up", "0.png [300x200]", RED),
                              ("Left", "0.png [300x200]", RED), ("Down", "1.png [400x200]", GREEN)):
        s.key(window, key)
        wait_for("the caption " + name, lambda: s.window()[5] == name)
        _, x, y, w, h, _ = s.window()
        check((x, y) == ((SCREEN[0] - w) // 2, (SCREEN[1] - h) // 2), "not centred after " + key)
        s.expect_pixels({at((x, y), (5, 5)): colour, at((x, y), (w - 5, h - 5)): colour})
    s.key(window, "Escape")
    s.expect_exit(0)


ADOBE_RGB = "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc"
SRGB_PROFILE = "/usr/share/color/icc/sRGB.icc"


def case_step_through_modern_formats(s):
    """A held-out folder of AVIF, HEIC, JPEG XL and WebP files, made by their encoders from one
    picture (four coloured quarters crossed by gradients), stepped through: each is listed and
    shown upright with the pixels its reference decoder gives, exactly for lossless files, within
    a level for lossy ones, within two where the colours come through a profile (lcms2 here,
    ImageMagick for the reference). Where a reference decoder ignores the orientation (avifdec,
    dwebp), the reference is libheif's output or dwebp's turned by ImageMagick. libheif 1.15's
    heif-enc writes no grid, so the grid is an AVIF's."""
    source = s.path("source.png")
    picture = quadrants((320, 240))
    for x in range(320):
        for y in range(100, 140):
            picture.putpixel((x, y), (x * 255 // 319, y * 2, 255 - x * 255 // 319))
    picture.save(source)
    alpha_source = s.path("alpha.png")
    translucent_right = picture.convert("RGBA")
    translucent_right.paste((0, 0, 0, 0), (240, 0, 320, 240))
    translucent_right.save(alpha_source)
    tagged = s.path("adobe.png")
    subprocess.run([CONVERT, source, "-profile", ADOBE_RGB, tagged], check=True)
    folder = os.path.dirname(s.path("modern", "1.avif"))

    def made(*command):
        subprocess.run(command, cwd=folder, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def reference(name, size, *decode, turn=None, profile=False):
        """The reference decoder's pixels (its output read by ImageMagick at 8 bits; turned, or
        converted to sRGB through its profile, where the reference leaves that undone)."""
        out = os.path.join(folder, "ref", name + ".png")
        os.makedirs(os.path.dirname(out), exist_ok=True)
        made(*[out if part == "OUT" else part for part in decode])
        options = (["-rotate", str(turn)] if turn else []) + (
            ["-profile", SRGB_PROFILE] if profile else [])
        rgb = subprocess.run([CONVERT, out, *options, "-depth", "8", "rgb:-"], check=True,
                             stdout=subprocess.PIPE).stdout
        return Image.frombytes("RGB", tuple(int(n) for n in size.split("x")), rgb)

    files = []  # (name, caption size, reference, tolerance, compared width)
    made("avifenc", "-l", "--irot", "1", source, "1.avif")
    files.append(("1.avif", "240x320", reference("1.avif", "240x320", "heif-convert", "--quiet", "1.avif",
                                                 "OUT"), 0, 240))
    made("heif-enc", "-q", "95", source, "-o", "2.heic")
    files.append(("2.heic", "320x240", reference("2.heic", "320x240", "heif-convert", "--quiet", "2.heic",
                                                 "OUT"), 1, 320))
    made("cjxl", "-d", "0", source, "3.jxl")
    files.append(("3.jxl", "320x240", reference("3.jxl", "320x240", "djxl", "3.jxl", "OUT"), 0, 320))
    made("cwebp", "-quiet", "-lossless", source, "-o", "4.webp")
    files.append(("4.webp", "320x240", reference("4.webp", "320x240", "dwebp", "-quiet", "4.webp", "-o",
                                                 "OUT"), 0, 320))
    made("avifenc", "-d", "10", "--min", "0", "--max", "4", source, "5-deep.avif")
    files.append(("5-deep.avif", "320x240", reference("5-deep.avif", "320x240", "avifdec", "5-deep.avif",
                                                      "OUT"), 1, 320))
    made("cjxl", "-d", "0", tagged, "6-profile.jxl")
    files.append(("6-profile.jxl", "320x240", reference("6-profile.jxl", "320x240", "djxl", "6-profile.jxl",
                                                        "OUT", profile=True), 2, 320))
    made("cwebp", "-quiet", "-q", "95", source, "-o", "7-turned.webp")
    made("exiftool", "-q", "-overwrite_original", "-Orientation#=6", "7-turned.webp")
    files.append(("7-turned.webp", "240x320", reference("7-turned.webp", "240x320", "dwebp", "-quiet",
                                                        "7-turned.webp", "-o", "OUT", turn=90),
                  1, 240))
    # Translucent on the right: its opaque part is compared.
    made("cwebp", "-quiet", "-lossless", "-exact", alpha_source, "-o", "8-alpha.webp")
    files.append(("8-alpha.webp", "320x240", reference("8-alpha.webp", "320x240", "dwebp", "-quiet",
                                                       "8-alpha.webp", "-o", "OUT"), 0, 240))
    made("avifenc", "-l", "-g", "2x2", source, "9-grid.avif")
    files.append(("9-grid.avif", "320x240", reference("9-grid.avif", "320x240", "avifdec", "9-grid.avif",
                                                      "OUT"), 0, 320))

    worst_seen = {}

    def matches(reference_image, tolerance, width):
        _, x, y, w, h, name = s.window()
        shot = s.screen().crop((x, y, x + w, y + h))
        if shot.size != reference_image.size:
            return False
        worst = 0
        for py in range(h):
            for px in range(width):
                seen, wanted = shot.getpixel((px, py)), reference_image.getpixel((px, py))
                worst = max(worst, *(abs(a - b) for a, b in zip(seen, wanted)))
        worst_seen[name] = worst
        return worst <= tolerance

    s.start(os.path.join(folder, "1.avif"))
    window = s.window()[0]
    steps = [(None, files[0])] + [("Right", f) for f in files[1:]] + [("Left", files[-2])]
    for key, (name, size, reference_image, tolerance, width) in steps:
        if key:
            s.key(window, key)
        caption = "%s [%s]" % (name, size)
        wait_for("the caption " + caption, lambda: s.window()[5] == caption)
        try:
            wait_for(name + " as its reference decoder shows it",
                     lambda: matches(reference_image, tolerance, width), timeout=5)
        except Failure:
            raise Failure("%s differs from its reference by %r levels" % (name, worst_seen))
    s.key(window, "Escape")
    s.expect_exit(0)


# Items of the context menu of a picture file, counted in Down keys from the top: the caption,
# fit, keep on top, lock place, the two rotations, then (in a folder of several pictures) the
# slide show, the background and Exit.
MENU_FIT, MENU_ON_TOP, MENU_ROTATE_CW, MENU_SLIDE_SHOW = 2, 3, 5, 7


def case_wheel_and_zoom_keys(s):
    window, x, y, w, h, title = three_pictures(s)
    check((x, y, w, h) == (760, 440, 400, 200), "geometry %r" % ((x, y, w, h),))
    # A right drag 50 pixels to the right widens the window by 100 around the pressed point
    # (100, 100), and its release opens no menu.
    s.xdotool("mousemove", "860", "540", "mousedown", "3", "sleep", "0.2", "mousemove", "880",
              "540", "sleep", "0.2", "mousemove", "910", "540", "sleep", "0.5", "mouseup", "3")
    wait_for("the zoomed window", lambda: s.window()[1:5] == (735, 415, 500, 250))
    time.sleep(0.5)
    check(s.visible() == [window], "a menu opened")
    # Wheel down: next (none after the last); wheel up: previous.
    for button, name in (("5", "2.png [500x200]"), ("5", "2.png [500x200]"),
                         ("4", "1.png [400x200]"), ("4", "0.png [300x200]")):
        _, x, y, w, h, _ = s.window()
        s.xdotool("mousemove", str(x + w // 2), str(y + h // 2), "click", button)
        wait_for("the caption " + name, lambda: s.window()[5] == name)
    s.expect_pixels({(960, 540): RED})
    # "=" and keypad "+" zoom in by a tenth, "-" and keypad "-" out, around the centre.
    for key, size in (("equal", (330, 220)), ("KP_Add", (363, 242)), ("minus", (327, 218)),
                      ("KP_Subtract", (295, 196))):
        s.key(window, key)
        wait_for("%r after %s" % (size, key), lambda: s.window()[3:5] == size)
        _, x, y, w, h, _ = s.window()
        check(abs(x + w // 2 - 960) <= 1 and abs(y + h // 2 - 540) <= 1, "centre moved")
    s.expect_pixels({(x + 3, y + 3): RED, (x + w - 3, y + h - 3): RED})
    s.key(window, "Escape")
    s.expect_exit(0)


def case_context_menu_commands(s):
    picture = s.path("pictures", "big.jpg")
    quadrants((4000, 3000)).save(picture, quality=95)
    quadrants((200, 100)).save(s.path("pictures", "other.png"))
    s.start(picture)
    window, x, y, w, h, title = s.window()
    check((x, y, w, h) == (240, 0, 1440, 1080), "geometry %r" % ((x, y, w, h),))
    # Keep on top, off and on again; the choice is stored.
    s.menu_command(window, (400, 300), MENU_ON_TOP)
    wait_for("NoneTopMost=1", lambda: "NoneTopMost=1" in s.stored_settings())
    s.menu_command(window, (400, 300), MENU_ON_TOP)
    wait_for("NoneTopMost=0", lambda: "NoneTopMost=0" in s.stored_settings())
    # Rotate clockwise: the turned picture is fitted again around the same centre, blue now at
    # the top-left and red at the top-right.
    s.menu_command(window, (400, 300), MENU_ROTATE_CW)
    wait_for("the turned window", lambda: s.window()[1:5] == (555, 0, 810, 1080))
    s.expect_pixels({(565, 10): BLUE, (1355, 10): RED, (565, 1070): YELLOW, (1355, 1070): GREEN})
    # Fit off at the pressed point: natural size, that picture point stays under the cursor.
    s.menu_command(window, (555 + 405, 540), MENU_FIT)
    wait_for("the natural size", lambda: s.window()[3:5] == (3000, 4000))
    _, x, y, w, h, _ = s.window()
    check((x, y) == (960 - 405 * 3000 // 810, 540 - 540 * 4000 // 1080),
          "natural size at %r" % ((x, y),))
    wait_for("NoneScale=1", lambda: "NoneScale=1" in s.stored_settings())
    s.key(window, "Escape")
    s.expect_exit(0)


MENU_PROPERTIES = 10  # after the slide show: the background, "Open with…", "Properties"


def case_list_ends_full_screen_copy_properties_and_trash(s):
    """G and Shift+G, full screen, Ctrl+C, the properties window and Delete on the real window."""
    window, x, y, w, h, title = three_pictures(s)
    for key, name in (("g", "0.png [300x200]"), ("shift+g", "2.png [500x200]")):
        s.key(window, key)
        wait_for("the caption " + name, lambda: s.window()[5] == name)
    # Full screen: the picture at its own size in the middle of a black screen; Esc leaves it.
    s.key(window, "F11")
    wait_for("the full screen", lambda: s.window()[1:5] == (0, 0) + SCREEN)
    s.expect_pixels({(5, 5): (0, 0, 0), (960, 540): BLUE, (960 - 255, 540): (0, 0, 0)})
    s.key(window, "Escape")
    wait_for("the window again", lambda: s.window()[1:5] == (710, 440, 500, 200))
    s.running()  # Esc left full screen, it did not close
    # Ctrl+C: the picture as an image, and its file for file managers.
    s.key(window, "ctrl+c")

    def clipboard(target):
        return subprocess.run(["xclip", "-o", "-selection", "clipboard", "-t", target],
                              env=s.env, capture_output=True, timeout=WAIT).stdout
    wait_for("the copied picture", lambda: b"image/png" in clipboard("TARGETS"))
    copied = s.path("copied.png")
    with open(copied, "wb") as f:
        f.write(clipboard("image/png"))
    check(Image.open(copied).convert("RGB").getpixel((250, 100)) == BLUE, "not the picture")
    uri = "file://" + urllib.parse.quote(s.path("folder", "2.png"))
    check(clipboard("text/uri-list").decode().strip() == uri, "no file URI on the clipboard")
    # The properties window names the file.
    time.sleep(0.6)
    s.xdotool("mousemove", "960", "540", "click", "3")
    menu = s.popup(window)
    s.xdotool("key", *(["Down"] * MENU_PROPERTIES), "Return")
    s.closed(menu[0])
    dialog = s.popup(window, "Properties of 2.png")
    s.key(dialog[0], "Escape")
    s.closed(dialog[0])
    # Delete: the last picture goes to the trash, with where it came from; the one before shows.
    trash = os.path.join(s.home, ".local", "share", "Trash")
    s.key(window, "Delete")
    wait_for("the picture before", lambda: s.window()[5] == "1.png [400x200]")
    check(not os.path.exists(s.path("folder", "2.png")), "the file is still there")
    check(os.path.exists(os.path.join(trash, "files", "2.png")), "the file is not in the trash")
    with open(os.path.join(trash, "info", "2.png.trashinfo")) as f:
        check("Path=" + urllib.parse.quote(s.path("folder", "2.png")) in f.read(),
              "the trash does not say where it came from")
    s.key(window, "Escape")
    s.expect_exit(0)


def case_right_double_click_closes(s):
    picture = s.path("pictures", "small.png")
    quadrants((640, 480)).save(picture)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    s.xdotool("mousemove", str(x + 100), str(y + 100), "click", "--repeat", "2", "--delay", "60",
              "3")
    s.expect_exit(0)


def case_paste_from_clipboard(s):
    png = s.path("clip.png")
    quadrants((120, 80)).save(png)
    # xclip owns the clipboard while it runs (in the foreground with -quiet).
    owner = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-t", "image/png",
                              "-i", png], env=s.env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    try:
        s.start()
        window = expect_start_page(s)
        s.key(window, "ctrl+v")
        wait_for("the pasted picture", lambda: s.window()[5] == "Snapshot [120x80]")
        _, x, y, w, h, _ = s.window()
        check((x, y, w, h) == (900, 500, 120, 80), "geometry %r" % ((x, y, w, h),))
        s.expect_pixels({(x + 5, y + 5): RED, (x + 115, y + 5): GREEN, (x + 5, y + 75): BLUE,
                         (x + 115, y + 75): YELLOW})
        s.key(window, "Escape")
        s.expect_exit(0)
    finally:
        owner.kill()
        owner.wait()


def case_slide_show_loop(s):
    names = ["0.png [300x200]", "1.png [400x200]", "2.png [500x200]"]
    window, x, y, w, h, title = three_pictures(s)
    s.menu_command(window, (x + 20, y + 20), MENU_SLIDE_SHOW)
    dialog = s.popup(window, "Slide Show Pictures")[0]
    # The delay field comes two tabs after "Start"; Enter starts the show. Loop is on by default.
    s.xdotool("windowfocus", "--sync", dialog)
    s.xdotool("key", "Tab", "Tab", "ctrl+a", "1", "Return")
    s.closed(dialog)
    wait_for("the stored delay", lambda: "SlideShowDelayTime=1" in s.stored_settings())
    for name in (names[2], names[0], names[1]):  # past the last file, the first one
        wait_for("the caption " + name, lambda: s.window()[5] == name)
    # Esc stops the show and leaves the window; the next one closes it.
    s.key(window, "Escape")
    stopped = s.window()[5]
    time.sleep(2.5)
    check(s.window()[5] == stopped, "the show went on after Esc")
    s.key(window, "Escape")
    s.expect_exit(0)


def case_desktop_commands(s):
    """The background on a GNOME desktop (GSettings' keyfile backend in the test's home) and the
    file shown in its folder by a file manager on a session bus of the test's own."""
    # A bus that starts no services of the machine's (accessibility and the like) on demand.
    config = s.path("bus.conf")
    with open(config, "w") as f:
        f.write('<busconfig><type>session</type><listen>unix:tmpdir=%s</listen>'
                '<auth>EXTERNAL</auth><policy context="default">'
                '<allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>'
                '<allow own="*"/></policy></busconfig>' % s.dir)
    bus = subprocess.Popen(["dbus-daemon", "--config-file=" + config, "--nofork",
                            "--print-address=1"], env=s.env, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True)
    services = None
    try:
        s.env.update(DBUS_SESSION_BUS_ADDRESS=bus.stdout.readline().strip(),
                     XDG_CURRENT_DESKTOP="GNOME", GSETTINGS_BACKEND="keyfile")
        log = s.path("calls.log")
        services = subprocess.Popen(
            ["/usr/bin/python3", os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                                              "qt", "fake_desktop_services.py"),
             log, "filemanager"], env=s.env, stdout=subprocess.PIPE, text=True)
        check(services.stdout.readline().strip() == "ready", "the file manager did not start")
        picture = s.path("my pictures", "beach.png")
        quadrants((300, 200)).save(picture)
        s.start(picture)
        window, x, y, w, h, title = s.window()
        # A folder of one picture: no slide show item, the background is the 7th item.
        s.menu_command(window, (x + 20, y + 20), 7)

        def background():
            result = subprocess.run(["gsettings", "get", "org.gnome.desktop.background",
                                     "picture-uri"], env=s.env, capture_output=True, text=True)
            return "/Quorbane/Vistrel/Wallpaper/wallpaper-" in result.stdout
        wait_for("the background", background)
        s.menu_command(window, (x + 20, y + 20), 1)  # the caption: show in folder

        def shown():
            with open(log) as f:
                return [json.loads(line) for line in f if line.strip()]
        calls = wait_for("the file manager's call", lambda: os.path.exists(log) and shown())
        check(calls[0]["call"] == "ShowItems", "call %r" % calls[0])
        check(calls[0]["uris"] == ["file://" + picture.replace(" ", "%20")], "uris %r" % calls)
        s.key(window, "Escape")
        s.expect_exit(0)
    finally:
        if services:
            services.kill()
            services.wait()
        bus.kill()
        bus.wait()


def case_drag_out_and_drop(s):
    """Ctrl and a left drag offer the picture as a file; a second Vistrel, locked to the screen's
    top-left corner by settings of its own, takes it as a dropped file."""
    quadrants((300, 200)).save(s.path("one", "a.png"))
    Image.new("RGB", (300, 200), BLUE).save(s.path("two", "b.png"))
    other = dict(s.env, XDG_CONFIG_HOME=os.path.join(s.dir, "other-config"))
    os.makedirs(os.path.join(other["XDG_CONFIG_HOME"], "Quorbane"))
    with open(os.path.join(other["XDG_CONFIG_HOME"], "Quorbane", "Vistrel.conf"), "w") as f:
        f.write("[General]\nLockPlace=0\nxLockPlace=0\nyLockPlace=0\n")
    target = subprocess.Popen([s.vistrel, s.path("two", "b.png")], env=other,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        def target_title():
            ids = s.visible(target.pid, "--name", ".")
            return s.xdotool("getwindowname", ids[0]) if ids else None
        wait_for("the second window", lambda: target_title() == "b.png [300x200]")
        s.start(s.path("one", "a.png"))
        window, x, y, w, h, title = s.window()
        check((x, y) == (810, 440), "geometry %r" % ((x, y),))
        s.xdotool("mousemove", "900", "500", "keydown", "ctrl", "mousedown", "1", "sleep", "0.2",
                  "mousemove", "890", "490", "sleep", "0.3", "mousemove", "400", "300", "sleep",
                  "0.3", "mousemove", "150", "100", "sleep", "0.3", "mousemove", "140", "100",
                  "sleep", "0.3", "mouseup", "1", "keyup", "ctrl")
        wait_for("the dropped file in the second window",
                 lambda: target_title() == "a.png [300x200]")
        check(s.window()[1:3] == (810, 440), "the dragged window moved")
        s.key(window, "Escape")
        s.expect_exit(0)
    finally:
        target.kill()
        target.wait()


def case_fifo_in_folder(s):
    """Named pipes called like pictures, between two pictures: no order of keys leaves the
    window waiting on them, and Esc always closes."""
    Image.new("RGB", (300, 200), RED).save(s.path("folder", "a.png"))
    os.mkfifo(s.path("folder", "b.jpg"))
    os.mkfifo(s.path("folder", "b.psd"))  # the PSD reader opens its files itself
    Image.new("RGB", (500, 200), BLUE).save(s.path("folder", "c.png"))
    for keys in (["Right", "Right"], ["Right"], ["Down", "Up", "Right", "Right", "Left"],
                 ["End", "Right", "Right", "Right", "Home", "Left", "Left"]):
        s.start(s.path("folder", "a.png"))
        window = s.window()[0]
        for key in keys:
            s.key(window, key)
            time.sleep(0.2)
        # Whatever the keys did, the window still answers.
        s.key(s.window()[0], "Escape")
        s.expect_exit(0)


def case_help_and_version(s):
    """--help and --version print a short text and end, without a display."""
    environment = {key: value for key, value in s.env.items() if key != "DISPLAY"}
    for argument, start in (("--help", "Usage: vistrel [--new-window] [PICTURE...]\n"),
                            ("--version", "vistrel ")):
        result = subprocess.run([s.vistrel, argument], env=environment, capture_output=True,
                                text=True, timeout=WAIT)
        check(result.returncode == 0 and result.stdout.startswith(start),
              "%s: %d %r %r" % (argument, result.returncode, result.stdout, result.stderr))


def case_under_a_window_manager(s):
    """Under openbox the window takes the focus from the terminal it was started from and rises
    over it, carries its class, caption and icon, stays where the placement rules put it, and
    keeps on top of the terminal once asked to."""
    s.window_manager()
    terminal = subprocess.Popen(["xmessage", "-geometry", "900x700+500+150", "terminal"],
                                env=s.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    s.others.append(terminal)
    typed = wait_for("the terminal", lambda: s.xdotool("search", "--onlyvisible", "--class",
                                                        "xmessage").split())[0]
    s.xdotool("windowactivate", "--sync", typed)
    s.xdotool("key", "a")  # the user typed there last
    s.settings("[General]\nNoneTopMost=1\n")
    quadrants((640, 480)).save(s.path("folder", "a.png"))
    Image.new("RGB", (400, 300), GREEN).save(s.path("folder", "b.png"))
    quadrants((4000, 3000)).save(s.path("folder", "c.jpg"), quality=95)
    s.start(s.path("folder", "a.png"))
    window, x, y, w, h, title = s.window()
    check((x, y, w, h) == (640, 300, 640, 480), "geometry %r" % ((x, y, w, h),))
    wait_for("the focus", lambda: s.xdotool("getactivewindow") == window)
    s.expect_pixels({(650, 310): RED, (1270, 770): YELLOW})  # over the terminal
    properties = s.xprop("-id", window, "WM_CLASS", "_NET_WM_NAME", "_NET_WM_ICON")
    for expected in ('WM_CLASS(STRING) = "vistrel", "Vistrel"',
                     '_NET_WM_NAME(UTF8_STRING) = "a.png [640x480]"', "Icon (32 x 32)"):
        check(expected in properties, "no %s in %s" % (expected, properties[:300]))
    # Keep on top by the middle button: the terminal, activated, stays below.
    s.xdotool("mousemove", "700", "350", "click", "2")
    wait_for("NoneTopMost=0", lambda: "NoneTopMost=0" in s.stored_settings())
    s.xdotool("windowactivate", "--sync", typed)
    time.sleep(0.5)
    s.expect_pixels({(650, 310): RED, (1270, 770): YELLOW})
    # The manager leaves the window where the rules put it: centred, fitted, off the screen.
    s.key(window, "Right")
    wait_for("b.png centred", lambda: s.window()[1:5] == (760, 390, 400, 300))
    s.key(window, "Right")
    wait_for("c.jpg fitted", lambda: s.window()[1:5] == (240, 0, 1440, 1080))
    s.key(window, "KP_Multiply")
    wait_for("c.jpg at natural size", lambda: s.window()[1:5] == (0, 0, 4000, 3000))
    s.key(window, "End")
    wait_for("c.jpg at its right edge", lambda: s.window()[1:3] == (-2080, 0))
    # Locked to the lower right corner from the menu; the next picture keeps that corner.
    s.key(window, "KP_Multiply")
    s.key(window, "Left")
    wait_for("b.png", lambda: s.window()[5] == "b.png [400x300]")
    s.xdotool("mousemove", "900", "500", "mousedown", "1", "sleep", "0.2", "mousemove", "1100",
              "650", "sleep", "0.3", "mousemove", "1340", "810", "sleep", "0.3", "mouseup", "1")
    wait_for("b.png dragged", lambda: s.window()[1:3] == (1200, 700))
    _, x, y, w, h, _ = s.window()
    s.menu_command(window, (x + 20, y + 20), 4)
    wait_for("the lock place", lambda: "LockPlace=8" in s.stored_settings())
    s.key(window, "Left")
    wait_for("a.png at the lock", lambda: s.window()[1:5] == (x + w - 640, y + h - 480, 640, 480))
    s.key(window, "Escape")
    s.expect_exit(0)


def case_wallpaper_in_a_format_desktops_cannot_read(s):
    """GNOME cannot show a TGA background: it gets the picture on show as a PNG copy."""
    s.env.update(XDG_CURRENT_DESKTOP="GNOME", GSETTINGS_BACKEND="keyfile")
    picture = s.path("pictures", "logo.tga")
    quadrants((300, 200)).save(picture)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    s.menu_command(window, (x + 20, y + 20), 7)  # one picture: the background is the 7th item

    def background():
        result = subprocess.run(["gsettings", "get", "org.gnome.desktop.background",
                                 "picture-uri"], env=s.env, capture_output=True, text=True)
        uri = result.stdout.strip().strip("'")
        return uri[len("file://"):] if "/Quorbane/Vistrel/Wallpaper/" in uri else None
    copy = wait_for("the background", background)
    check(copy.endswith(".png"), "background %r" % copy)
    with Image.open(copy) as shown:
        check(shown.format == "PNG", "a %s file" % shown.format)
        check(list(shown.convert("RGB").getdata()) == list(quadrants((300, 200)).getdata()),
              "the PNG is not the picture")
    s.key(window, "Escape")
    s.expect_exit(0)


def paste_and_drag_out(s):
    """Starts the program, pastes the clipboard's picture and drags it out; the file offered."""
    folder = os.path.join(s.env["XDG_RUNTIME_DIR"], "vistrel")
    s.start()
    window = s.window(titled=False)[0]
    s.key(window, "ctrl+v")
    wait_for("the pasted picture", lambda: s.window()[5] == "Snapshot [120x80]")
    s.xdotool("mousemove", "960", "540", "keydown", "ctrl", "mousedown", "1", "sleep", "0.2",
              "mousemove", "950", "530", "sleep", "0.3", "mousemove", "400", "300", "sleep",
              "0.3", "mouseup", "1", "keyup", "ctrl")
    return wait_for("the file offered", lambda: glob.glob(folder + "/run-*/vtl*.bmp"))[0]


def clipboard_picture(s):
    """A process that owns the clipboard with a 120 x 80 picture (in the foreground, -quiet)."""
    png = s.path("clip.png")
    quadrants((120, 80)).save(png)
    owner = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-t", "image/png",
                              "-i", png], env=s.env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    s.others.append(owner)


def case_temporary_files_end_with_the_program(s):
    """A pasted picture dragged out leaves a file for the file manager until the program ends:
    SIGTERM ends it cleanly with the file gone; what a killed run left goes at the next start."""
    clipboard_picture(s)
    offered = paste_and_drag_out(s)
    s.program.kill()  # a crash: nothing is cleared
    s.program.wait()
    check(os.path.exists(offered), "a killed run cleared its files")
    offered_again = paste_and_drag_out(s)
    wait_for("what the killed run left to go", lambda: not os.path.exists(offered))
    s.program.terminate()
    s.expect_exit(0)
    check(not os.path.exists(os.path.dirname(offered_again)), "files left after SIGTERM")


def case_terminal_closing_ends_the_program_cleanly(s):
    """SIGHUP, the terminal the program was started from closing, ends it as SIGTERM does."""
    clipboard_picture(s)
    offered = paste_and_drag_out(s)
    s.program.send_signal(signal.SIGHUP)
    s.expect_exit(0)
    check(not os.path.exists(os.path.dirname(offered)), "files left after SIGHUP")


def set_root_property(display, name, data):
    """Sets an 8-bit property of the root window, as a colour manager sets _ICC_PROFILE."""
    import ctypes
    xcb = ctypes.CDLL("libxcb.so.1")
    xcb.xcb_connect.restype = ctypes.c_void_p
    xcb.xcb_get_setup.restype = ctypes.c_void_p
    xcb.xcb_get_setup.argtypes = [ctypes.c_void_p]
    xcb.xcb_intern_atom_reply.restype = ctypes.POINTER(ctypes.c_uint32 * 3)
    connection = xcb.xcb_connect(display.encode(), None)
    # The first screen's root: the setup is followed by the vendor string and the formats.
    setup = ctypes.cast(xcb.xcb_get_setup(connection), ctypes.POINTER(ctypes.c_uint8))
    vendor = setup[24] | setup[25] << 8
    formats = setup[29]
    offset = 40 + (vendor + 3) // 4 * 4 + 8 * formats
    root = int.from_bytes(bytes(setup[offset:offset + 4]), "little")
    cookie = xcb.xcb_intern_atom(ctypes.c_void_p(connection), 0, len(name), name.encode())
    reply = xcb.xcb_intern_atom_reply(ctypes.c_void_p(connection), cookie, None)
    atom = reply.contents[2]
    # XCB_PROP_MODE_REPLACE, the CARDINAL type (6), 8-bit format.
    xcb.xcb_change_property(ctypes.c_void_p(connection), 0, root, atom, 6, 8, len(data), data)
    xcb.xcb_flush(ctypes.c_void_p(connection))
    xcb.xcb_disconnect(ctypes.c_void_p(connection))


def case_colour_profiles(s):
    """A photo with a wide-gamut profile is shown in the display's colours: sRGB's without a
    profile on the root window, and the file's own values once the display's profile is the
    file's (set while the picture is on show)."""
    prophoto = "/usr/share/color/icc/ghostscript/rommrgb.icc"
    with open(prophoto, "rb") as f:
        profile = f.read()
    picture = s.path("pictures", "prophoto.png")
    # sRGB red (220, 40, 40) in ProPhoto values: shown unconverted it is a dull brown.
    Image.new("RGB", (200, 100), (151, 68, 38)).save(picture, icc_profile=profile)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    s.expect_pixels({(x + 100, y + 50): (220, 40, 40)}, tolerance=6)
    set_root_property(s.env["DISPLAY"], "_ICC_PROFILE", profile)
    s.expect_pixels({(x + 100, y + 50): (151, 68, 38)}, tolerance=3)
    s.key(window, "Escape")
    s.expect_exit(0)


def case_animated_gif_plays(s):
    # Three frames of distinct colours on their left half (the right half black), each shown for
    # its own delay, played for ever, as a GIF, then past a still as a WebP and an animated PNG.
    picture = s.path("pictures", "anim.gif")
    frames = []
    for colour in (RED, GREEN, BLUE):
        frames.append(s.path("pictures", "%d.png" % len(frames)))
        frame = Image.new("RGB", (200, 150), (0, 0, 0))
        frame.paste(colour, (0, 0, 100, 150))
        frame.save(frames[-1])
    subprocess.run([CONVERT, "-loop", "0", "-delay", "100", frames[0], "-delay", "200", frames[1],
                    "-delay", "300", frames[2], picture], check=True)
    # The same frames as an animated WebP, after the still.
    subprocess.run(["img2webp", "-loop", "0", "-lossless", "-d", "700", frames[0], frames[1],
                    frames[2], "-o", s.path("pictures", "webp.webp")], check=True,
                   capture_output=True)
    for frame in frames:
        os.remove(frame)
    Image.new("RGB", (200, 150), YELLOW).save(s.path("pictures", "still.png"))
    # The same as an animated PNG (Pillow's writer), after the still, at shorter delays.
    frames = []
    for colour in (RED, GREEN, BLUE):
        frames.append(Image.new("RGB", (200, 150), (0, 0, 0)))
        frames[-1].paste(colour, (0, 0, 100, 150))
    frames[0].save(s.path("pictures", "zanim.png"), save_all=True, append_images=frames[1:],
                   duration=[500, 1000, 1500], loop=0)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    check(title == "anim.gif [200x150, 3 frames]", "title %r" % title)
    coloured = (x + w // 4, y + h // 2)

    def colour():
        seen = s.screen().getpixel(coloured)
        for name, expected in (("red", RED), ("green", GREEN), ("blue", BLUE)):
            if all(abs(a - b) <= 12 for a, b in zip(seen, expected)):
                return name
        return None

    following = {"red": "green", "green": "blue", "blue": "red"}

    def watch(delays):
        """The order of the colours' changes, and how long each stayed."""
        changes = []
        deadline = time.monotonic() + 30
        while len(changes) < 5 and time.monotonic() < deadline:
            seen = colour()
            if seen and (not changes or changes[-1][0] != seen):
                changes.append((seen, time.monotonic()))
        names = [name for name, _ in changes]
        check(len(changes) == 5, "colours seen %r" % names)
        check(all(following[a] == b for a, b in zip(names, names[1:])),
              "colours in order %r" % names)
        # Between the first and the last change seen the durations are whole: each about its
        # delay.
        for (name, began), (_, ended) in zip(changes[1:-1], changes[2:]):
            check(abs((ended - began) - delays[name]) < 0.8,
                  "%s stayed %.2f s, not about %.1f s" % (name, ended - began, delays[name]))

    watch({"red": 1.0, "green": 2.0, "blue": 3.0})
    # Space pauses: the frame stays past its delay; "." steps to the next one.
    s.key(window, "space")
    paused = wait_for("a colour", colour)
    time.sleep(3.5)
    check(colour() == paused, "the animation went on while paused")
    s.key(window, "period")
    wait_for("the next frame", lambda: colour() == following[paused])
    s.key(window, "comma")
    wait_for("the frame before", lambda: colour() == paused)
    # Turned clockwise (the wheel down with the right button held), left for the still and come
    # back to, it plays on with every frame turned: the coloured half on top.
    s.xdotool("mousemove", str(x + w // 2), str(y + h // 2), "mousedown", "3", "sleep", "0.2",
              "click", "5", "sleep", "0.2", "mouseup", "3")
    wait_for("the turned window", lambda: s.window()[3:5] == (150, 200))
    s.key(window, "Right")
    wait_for("the still", lambda: s.window()[5] == "still.png [200x150]")
    s.key(window, "Left")
    wait_for("the animation again", lambda: s.window()[3:5] == (150, 200))
    _, x, y, w, h, _ = s.window()
    coloured = (x + w // 2, y + h // 4)
    seen = set()
    deadline = time.monotonic() + 15
    while len(seen) < 3 and time.monotonic() < deadline:
        shot = s.screen()
        top, bottom = shot.getpixel(coloured), shot.getpixel((x + w // 2, y + 3 * h // 4))
        check(max(bottom) <= 12, "a frame came unturned: %r below, %r above" % (bottom, top))
        name = colour()
        if name:
            seen.add(name)
    check(len(seen) == 3, "colours seen turned %r" % seen)
    # The animated WebP plays its three frames in order too.
    s.key(window, "Right")
    wait_for("the still", lambda: s.window()[5] == "still.png [200x150]")
    s.key(window, "Right")
    wait_for("the WebP", lambda: s.window()[5] == "webp.webp [200x150, 3 frames]")
    _, x, y, w, h, _ = s.window()
    coloured = (x + w // 4, y + h // 2)
    names = []
    deadline = time.monotonic() + 15
    while len(names) < 4 and time.monotonic() < deadline:
        name = colour()
        if name and (not names or names[-1] != name):
            names.append(name)
    check(len(names) == 4 and all(following[a] == b for a, b in zip(names, names[1:])),
          "WebP colours in order %r" % names)
    # Past the WebP, the animated PNG plays as the GIF did.
    s.key(window, "Right")
    wait_for("the animated PNG", lambda: s.window()[5] == "zanim.png [200x150, 3 frames]")
    watch({"red": 0.5, "green": 1.0, "blue": 1.5})
    s.key(window, "Escape")
    s.expect_exit(0)


def run_from_command_line(scope):
    """The command line of a script of cases (SCRIPT VISTREL CASE, or SCRIPT VISTREL --list): its
    functions named case_<name> are the cases, its docstring the usage."""
    cases = {name[len("case_"):]: f for name, f in scope.items() if name.startswith("case_")}
    if len(sys.argv) != 3 or sys.argv[2] not in list(cases) + ["--list"]:
        sys.exit(scope["__doc__"])
    vistrel, name = sys.argv[1], sys.argv[2]
    if name == "--list":
        print("\n".join(cases))
        return
    run_case(name, cases[name], Session(vistrel, getattr(cases[name], "screen", SCREEN)))


def run_case(name, case, session):
    """Runs one case in its session and says how it ended; a failure ends with status 1."""
    try:
        case(session)
    except Failure as failure:
        print("FAIL %s: %s" % (name, failure))
        sys.exit(1)
    finally:
        session.close()
    print("ok %s" % name)


if __name__ == "__main__":
    run_from_command_line(globals())
