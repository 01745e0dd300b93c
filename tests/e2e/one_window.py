#!/usr/bin/python3
"""End-to-end cases of one window: a later `vistrel PICTURE` shows the picture in the window that
runs, over a session bus of the test's own, checked by the pixels on the screen; and every start
that finds no window to answer (no bus, a stopped window, two starts at once) opens one of its
own.

    one_window.py VISTREL CASE     runs one case (CTest runs each as its own test)
"""
import os
import signal
import subprocess
import time

from PIL import Image

from e2e import BLUE, GREEN, RED, WAIT, YELLOW, check, run_from_command_line, wait_for

CENTRE = (960, 540)


def session_bus(s):
    """A private session bus for the case, ended with the session."""
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           env=s.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    s.others.append(bus)
    s.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()


def caption(s, expected, pid=None):
    """Waits for the window's caption (of the program, or of the process `pid`); a leading "*"
    in `expected` matches any start."""
    def probe():
        ids = s.visible(pid, "--name", ".")
        title = ids and s.xdotool("getwindowname", ids[0])
        return title and (title.endswith(expected[1:]) if expected[0] == "*" else
                          title == expected)
    wait_for("the caption " + expected, probe)


def hand_over(s, *arguments, cwd=None):
    """Runs a later start, which hands its pictures over and ends at once with status 0."""
    began = time.monotonic()
    result = subprocess.run([s.vistrel, *arguments], cwd=cwd, env=s.env, capture_output=True,
                            text=True, timeout=WAIT)
    check(result.returncode == 0, "status %d: %r" % (result.returncode, result.stderr))
    # Promptly: a start that opened a window would run until the timeout.
    check(time.monotonic() - began < WAIT / 2,
          "the hand-over took %.1f s" % (time.monotonic() - began))
    return result.stderr


def start_other(s, *arguments, **environment):
    other = subprocess.Popen([s.vistrel, *arguments], env=dict(s.env, **environment),
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    s.others.append(other)
    return other


def pictures(s):
    Image.new("RGB", (300, 200), RED).save(s.path("one", "a.png"))
    Image.new("RGB", (400, 200), GREEN).save(s.path("one", "b.png"))
    # A name a URI must escape, with a byte that is not UTF-8.
    with open(os.fsencode(s.path("two #%", "c")) + b" \xe9?.png", "wb") as f:
        Image.new("RGB", (500, 200), BLUE).save(f, "PNG")
    Image.new("RGB", (300, 200), YELLOW).save(s.path("two #%", "d.png"))


def case_second_start_shows_in_the_running_window(s):
    """A later start's picture (a relative path, an odd name) shows in the running window, whose
    keys then step through its folder; several are the list; a start without a picture raises the
    window over another one; --new-window opens one of its own, which takes the name over when
    the first window closes."""
    session_bus(s)
    pictures(s)
    s.start(s.path("one", "a.png"))
    window = s.window()[0]
    caption(s, "a.png [300x200]")

    hand_over(s, os.fsdecode(b"c \xe9?.png"), cwd=s.path("two #%"))
    caption(s, "*?.png [500x200]")  # the caption shows the byte that is not UTF-8 as it can
    s.expect_pixels({CENTRE: BLUE})
    check(len(s.visible()) == 1, "windows %r" % s.visible())
    s.key(window, "Right")  # the list is the new picture's folder
    caption(s, "d.png [300x200]")

    said = hand_over(s, "one/b.png", "one/gone.png", "one/a.png", cwd=s.dir)
    check("one/gone.png: the file cannot be opened" in said, "stderr %r" % said)
    caption(s, "b.png [400x200]")
    s.expect_pixels({CENTRE: GREEN})
    s.key(window, "Right")  # in the folder, b.png is the last; in the list a.png follows
    caption(s, "a.png [300x200]")

    other = start_other(s, "--new-window", s.path("two #%", "d.png"))
    caption(s, "d.png [300x200]", other.pid)
    s.expect_pixels({CENTRE: YELLOW})  # over the first window, as large
    hand_over(s)
    s.expect_pixels({CENTRE: RED})  # the first window came to the front

    s.key(window, "Escape")
    s.expect_exit(0)
    hand_over(s, s.path("one", "b.png"))
    caption(s, "b.png [400x200]", other.pid)
    s.key(s.visible(other.pid)[0], "Escape")
    check(other.wait(timeout=WAIT) == 0, "the second window's status")


def case_a_start_nobody_answers_opens_its_own_window(s):
    """Without a session bus, with a window that is stopped, and with two starts at once, every
    start shows a window; a stopped window woken later does not take the picture as well."""
    pictures(s)
    for address in (None, "unix:path=" + s.path("no-bus")):
        environment = dict(s.env)
        environment.pop("DBUS_SESSION_BUS_ADDRESS")
        if address:
            environment["DBUS_SESSION_BUS_ADDRESS"] = address
        first = subprocess.Popen([s.vistrel, s.path("one", "a.png")], env=environment,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        s.others.append(first)
        caption(s, "a.png [300x200]", first.pid)
        second = subprocess.Popen([s.vistrel, s.path("one", "b.png")], env=environment,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        s.others.append(second)
        caption(s, "b.png [400x200]", second.pid)
        caption(s, "a.png [300x200]", first.pid)
        for start in (first, second):
            start.kill()
            start.wait()

    session_bus(s)
    s.start(s.path("one", "a.png"))
    caption(s, "a.png [300x200]")
    os.kill(s.program.pid, signal.SIGSTOP)
    try:
        late = start_other(s, s.path("one", "b.png"))
        caption(s, "b.png [400x200]", late.pid)
    finally:
        os.kill(s.program.pid, signal.SIGCONT)
    time.sleep(1)
    caption(s, "a.png [300x200]")
    s.key(s.window()[0], "Escape")
    s.expect_exit(0)
    late.kill()
    late.wait()

    # Two at once: one holds the name and shows the other's picture, or both show their own.
    starts = [start_other(s, s.path("one", "a.png")), start_other(s, s.path("two #%", "d.png"))]

    def settled():
        return all(p.poll() is not None or s.visible(p.pid) for p in starts)
    wait_for("both starts to settle", settled)
    running = [p for p in starts if p.poll() is None]
    check(running, "no window")
    for p in starts:
        check(p.poll() in (None, 0), "a start ended with status %r" % p.poll())
    if len(running) == 1:
        given = "d.png [300x200]" if running[0] is starts[0] else "a.png [300x200]"
        caption(s, given, running[0].pid)


if __name__ == "__main__":
    run_from_command_line(globals())
