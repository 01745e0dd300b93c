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
import shutil
import subprocess
import sys
import tempfile
import time

from PIL import Image

CONVERT = "/usr/bin/convert"
SCREEN = (1920, 1080)
WAIT = 20.0  # seconds any one condition may take on a loaded machine


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(what, probe, timeout=WAIT):
    """Polls probe() until it returns a true value; fails with `what` after the time-out."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.05)


class Session:
    """An X server, a home folder and the program under test."""

    def __init__(self, vistrel):
        self.vistrel = vistrel
        self.dir = tempfile.mkdtemp(prefix="vistrel-e2e-")
        self.home = os.path.join(self.dir, "home")
        self.config = os.path.join(self.home, ".config")
        runtime = os.path.join(self.dir, "runtime")
        os.makedirs(self.config)
        os.makedirs(runtime, mode=0o700)
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "%dx%dx24" % SCREEN, "-wr",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as pipe:
            number = pipe.readline().strip()
        check(number, "Xvfb did not start")
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

    def close(self):
        if self.program and self.program.poll() is None:
            self.program.kill()
            self.program.wait()
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

    def start(self, *arguments):
        self.program = subprocess.Popen([self.vistrel, *arguments], env=self.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def xdotool(self, *arguments):
        result = subprocess.run(["xdotool", *arguments], env=self.env, capture_output=True,
                                text=True)
        return result.stdout.strip() if result.returncode == 0 else ""

    def window(self, titled=True):
        """The program's visible window, once it is mapped and (with `titled`) has its caption:
        (id, x, y, width, height, title). The caption follows the window's creation."""
        def probe():
            if self.program.poll() is not None:
                raise Failure("the program ended: " +
                              self.program.stderr.read().decode(errors="replace"))
            ids = self.xdotool("search", "--onlyvisible", "--pid", str(self.program.pid),
                               "--name", ".")
            if not ids:
                return None
            window = ids.split()[0]
            if titled and self.xdotool("getwindowname", window) == "Vistrel":
                return None
            return window
        window = wait_for("the window", probe)
        shell = dict(line.split("=", 1)
                     for line in self.xdotool("getwindowgeometry", "--shell", window).split())
        return (window, int(shell["X"]), int(shell["Y"]), int(shell["WIDTH"]),
                int(shell["HEIGHT"]), self.xdotool("getwindowname", window))

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


def at(origin, point):
    return (origin[0] + point[0], origin[1] + point[1])


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
    # "*" of the main keyboard is Shift+8, and Shift keeps the window's centre (2000, 1500).
    s.key(window, "asterisk")
    wait_for("the fitted window", lambda: s.window()[1:5] == (1280, 960, 1440, 1080))
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
    # Alpha 0 lets the (white) desktop through; alpha 128 blue shows premultiplied, as it does
    # where no compositor blends it; opaque red stays red.
    s.expect_pixels({at((x, y), (20, 20)): (255, 255, 255), at((x, y), (380, 20)): (255, 0, 0),
                     at((x, y), (230, 150)): (0, 0, 128)}, tolerance=3)
    s.key(window, "Escape")
    s.expect_exit(0)


def case_opaque_32bit_png(s):
    picture = s.path("pictures", "opaque.png")
    translucent(alpha_everywhere=255).save(picture)
    s.start(picture)
    window, x, y, w, h, title = s.window()
    # All alpha 255: drawn plainly, every colour as it is.
    s.expect_pixels({at((x, y), (20, 20)): (0, 200, 0), at((x, y), (380, 20)): (255, 0, 0),
                     at((x, y), (230, 150)): (0, 0, 255)}, tolerance=3)
    s.key(window, "Escape")
    s.expect_exit(0)


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


def case_step_through_folder(s):
    colours = [RED, GREEN, BLUE]
    for i, colour in enumerate(colours):
        Image.new("RGB", (300 + 100 * i, 200), colour).save(s.path("folder", "%d.png" % i))
    s.start(s.path("folder", "1.png"))
    window, x, y, w, h, title = s.window()
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


CASES = {name[len("case_"):]: f for name, f in globals().items() if name.startswith("case_")}


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    vistrel, name = sys.argv[1], sys.argv[2]
    if name == "--list":
        print("\n".join(CASES))
        return
    session = Session(vistrel)
    try:
        CASES[name](session)
    except Failure as failure:
        print("FAIL %s: %s" % (name, failure))
        sys.exit(1)
    finally:
        session.close()
    print("ok %s" % name)


if __name__ == "__main__":
    main()
