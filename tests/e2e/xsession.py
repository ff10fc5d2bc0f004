"""A private X server and the real input a person gives: clicks, keys, typed text.

Only xdotool, xmodmap, xwininfo and ImageMagick's import touch the display;
nothing here talks to the program any other way.
"""

import os
import re
import select
import shutil
import socket
import subprocess
import time

TOOLS = ("Xvfb", "xdotool", "xmodmap", "xwininfo", "import")


def missing_tools():
    return [t for t in TOOLS if shutil.which(t) is None]


def end(process):
    """Asks a child to end, and ends it if it has not after 5 s."""
    if process and process.poll() is None:
        process.terminate()
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()


def ere(text):
    """An exact-title pattern for xdotool's extended regular expressions."""
    return "^" + re.sub(r"([.\[\]{}()*+?^$|\\])", r"\\\1", text) + "$"


class Window:
    def __init__(self, wid, x, y, width, height):
        self.id, self.x, self.y, self.width, self.height = wid, x, y, width, height

    def __repr__(self):
        return "window %s %dx%d+%d+%d" % (self.id, self.width, self.height, self.x, self.y)


class XSession:
    def __init__(self, work):
        self.work = work
        self.env = dict(os.environ)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.xvfb = None
        self.log = open(os.path.join(work, "xvfb.log"), "wb")
        self.shots = []

    # ------------------------------------------------------------ server

    def start(self):
        r, w = os.pipe()
        # -noreset: without it the server forgets the key map whenever its last client leaves.
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(w,), stdout=self.log, stderr=subprocess.STDOUT)
        os.close(w)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([r], [], [], left)[0]:
                raise RuntimeError("Xvfb did not start; see %s" % self.log.name)
            chunk = os.read(r, 16)
            if not chunk:
                raise RuntimeError("Xvfb ended; see %s" % self.log.name)
            number += chunk
        os.close(r)
        display = number.decode().strip()
        self.env["DISPLAY"] = ":" + display
        self._wait_for_connections(display, deadline)

    def _wait_for_connections(self, display, deadline):
        # Under load the number comes before the server takes connections: a
        # program started then fails with "could not connect to display".
        path = "/tmp/.X11-unix/X" + display
        while True:
            if self.xvfb.poll() is not None:
                raise RuntimeError("Xvfb ended; see %s" % self.log.name)
            with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
                try:
                    s.connect(path)
                    return
                except OSError:
                    pass
            if time.monotonic() > deadline:
                raise RuntimeError("Xvfb takes no connections at %s; see %s" % (path, self.log.name))
            time.sleep(0.05)

    def stop(self):
        end(self.xvfb)
        self.log.close()

    def run(self, *args, check=True):
        return subprocess.run(args, env=self.env, check=check, capture_output=True, timeout=30)

    # ------------------------------------------------------------ keyboard

    def map_characters(self, text):
        """Gives every non-ASCII character of text a key of its own, once.

        xdotool would otherwise remap a spare key for each character while
        typing, and a program that reads the new map late drops characters.
        """
        wanted = sorted({c for c in text if ord(c) > 0x7E})
        if not wanted:
            return
        # Keycode 8 is no key of its own: the server keeps it empty.
        free = [k for k in self._empty_keycodes() if k > 8]
        if len(free) < len(wanted):
            raise RuntimeError("only %d free keys for %d characters" % (len(free), len(wanted)))
        lines = ["keycode %d = U%04X" % (k, ord(c)) for k, c in zip(free, wanted)]
        path = os.path.join(self.work, "keys.xmodmap")
        with open(path, "w") as f:
            f.write("\n".join(lines) + "\n")
        self.run("xmodmap", path)
        still_empty = set(free[:len(wanted)]) & set(self._empty_keycodes())
        if still_empty:
            raise RuntimeError("the server kept keys %s empty" % sorted(still_empty))

    def _empty_keycodes(self):
        table = self.run("xmodmap", "-pke").stdout.decode()
        return [int(m.group(1)) for m in re.finditer(r"^keycode\s+(\d+)\s*=\s*$", table, re.M)]

    def type(self, text):
        self.run("xdotool", "type", "--delay", "15", "--", text)

    def key(self, *keys):
        self.run("xdotool", "key", "--delay", "30", *keys)

    # ------------------------------------------------------------ mouse

    def click(self, x, y):
        self.run("xdotool", "mousemove", str(x), str(y), "click", "1")
        time.sleep(0.1)

    # ------------------------------------------------------------ windows

    def windows(self, title):
        """The viewable top-level windows with exactly this title."""
        found = self.run("xdotool", "search", "--onlyvisible", "--name", ere(title), check=False)
        result = []
        for wid in found.stdout.decode().split():
            shell = self.run("xdotool", "getwindowgeometry", "--shell", wid, check=False)
            if shell.returncode != 0:
                continue  # gone meanwhile
            g = dict(line.split("=", 1) for line in shell.stdout.decode().split())
            result.append(Window(wid, int(g["X"]), int(g["Y"]), int(g["WIDTH"]), int(g["HEIGHT"])))
        return result

    def window(self, title, size=None, not_size=None):
        for w in self.windows(title):
            if size and (w.width, w.height) != size:
                continue
            if not_size and (w.width, w.height) == not_size:
                continue
            return w
        return None

    def wait_window(self, title, size=None, not_size=None, timeout=15, gone=False):
        deadline = time.monotonic() + timeout
        while True:
            w = self.window(title, size, not_size)
            if (w is None) == gone:
                return w
            if time.monotonic() > deadline:
                raise AssertionError("%s \"%s\"%s after %ds" % (
                    "still a window" if gone else "no window", title,
                    " of %dx%d" % size if size else "", timeout))
            time.sleep(0.05)

    # ------------------------------------------------------------ pictures

    def screenshot(self, name):
        path = os.path.join(self.work, "%02d-%s.png" % (len(self.shots) + 1, name))
        self.run("import", "-window", "root", path, check=False)
        self.shots.append(path)
        return path

    def pixels(self, x, y, width, height):
        """The screen's pixels in a rectangle, as rows of (r, g, b)."""
        ppm = self.run("import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, x, y),
                       "+repage", "-depth", "8", "ppm:-").stdout
        header = []
        pos = 0
        while len(header) < 4:
            m = re.compile(rb"\s*(#[^\n]*\n\s*)*(\S+)").match(ppm, pos)
            header.append(m.group(2))
            pos = m.end()
        w, h = int(header[1]), int(header[2])
        data = ppm[pos + 1:]
        return [[tuple(data[(j * w + i) * 3:(j * w + i) * 3 + 3]) for i in range(w)] for j in range(h)]
