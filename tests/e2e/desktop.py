"""What the end-to-end driver needs of the desktop: an Xvfb display, a private Wine prefix, the
window probe (another Windows program that reads window texts and states), keyboard and mouse
input through xdotool, and screenshots."""

import os
import pwd
import shutil
import subprocess
import time
from dataclasses import dataclass, field


class Failure(Exception):
    pass


def expect(what, actual, expected):
    if actual != expected:
        raise Failure(f"{what}: expected {expected!r}, got {actual!r}")


def wait_until(what, probe_fn, timeout=20.0, interval=0.1):
    """Polls probe_fn until it returns something true and returns that; fails naming `what`."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        last = probe_fn()
        if last:
            return last
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what} "
                          f"(last seen: {last!r})")
        time.sleep(interval)


def wait_equal(what, observe, expected, timeout=20.0, interval=0.1):
    """Polls observe() until it returns `expected`; a failure shows what it last returned."""
    seen = []

    def matches():
        seen[:] = [observe()]
        return seen[0] == expected
    try:
        wait_until(what, matches, timeout, interval)
    except Failure:
        raise Failure(f"timed out after {timeout:.0f} s waiting for {what}: expected {expected!r}, "
                      f"last seen {seen[0]!r}") from None


class Display:
    """A private Xvfb server; no window manager, as Wine's unmanaged windows expect."""

    def __init__(self, width=1280, height=1024):
        # Xvfb picks a free display number itself and tells it through the pipe, so two runs
        # at once never share a display.
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write_end,))
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise Failure("Xvfb did not start")
        self.name = f":{number}"

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()


class Wine:
    """A Wine prefix of the journey's own, so its desktop and tray live on our display."""

    def __init__(self, prefix, display, restart=True, user_env=None):
        self.prefix = prefix
        env = dict(os.environ)
        env.pop("LC_ALL", None)
        env.update(WINEPREFIX=prefix, WINEARCH="win64", WINEDEBUG="-all", DISPLAY=display,
                   WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=", LANG="en_US.UTF-8",
                   **(user_env or {}))
        self.env = env
        if restart:
            self.server("-k")  # a server left from another display would put the tray there
        marker = os.path.join(prefix, ".parvox-e2e-ready")
        if not os.path.exists(marker):
            self.create()
            open(marker, "w").close()

    def create(self):
        self.run("wineboot", "--init", check=False)
        # Unmanaged windows: without a window manager Wine otherwise waits on every hide.
        self.run("reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f")
        self.server("-w")
        fonts = os.path.join(self.prefix, "drive_c", "windows", "Fonts")
        for name in os.listdir("/usr/share/wine/fonts"):
            if name.endswith(".ttf"):
                shutil.copy(os.path.join("/usr/share/wine/fonts", name), fonts)
        # The folder browser lists the desktop folder first; a folder of the prefix's own keeps the
        # journey's backup folder out of the home directory Wine links there.
        desktop = self.desktop_folder()
        if os.path.islink(desktop):
            os.unlink(desktop)
        os.makedirs(desktop, exist_ok=True)

    def desktop_folder(self):
        # Wine names the profile folder after the Unix account.
        user = pwd.getpwuid(os.getuid()).pw_name
        return os.path.join(self.prefix, "drive_c", "users", user, "Desktop")

    def command(self, *args):
        """The command line that runs a program of this prefix."""
        return list(args)

    def run(self, *args, check=True, capture=False):
        # Output only when read: a process Wine starts in the background would inherit the pipe
        # and keep it open long after the command ended.
        output = subprocess.PIPE if capture else subprocess.DEVNULL
        return subprocess.run(self.command("wine", *args), env=self.env, check=check,
                              stdout=output, stderr=subprocess.DEVNULL)

    def start(self, *args, cwd=None, env=None):
        return subprocess.Popen(self.command("wine", *args), env={**self.env, **(env or {})},
                                cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def server(self, flag):
        subprocess.run(self.command("wineserver", flag), env=self.env, check=False)

    @staticmethod
    def windows_path(path):
        # Wine's drive Z: is the root of the Unix file system.
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def reg_query(self, key, value):
        """The data of a registry value, or None when it does not exist."""
        result = self.run("reg", "query", key, "/v", value, check=False, capture=True)
        if result.returncode != 0:
            return None
        for line in result.stdout.decode("utf-8", "replace").splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[0] == value and parts[1].startswith("REG_"):
                return parts[2] if len(parts) == 3 else ""
        return None


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append({"n": "\n", "r": "\r", "t": "\t", "\\": "\\"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


@dataclass
class Rect:
    x: int
    y: int
    w: int
    h: int

    @property
    def centre(self):
        return (self.x + self.w // 2, self.y + self.h // 2)


@dataclass
class Win:
    top_level: bool
    hwnd: str
    parent: str
    pid: int
    control_id: int
    visible: bool
    enabled: bool
    check: int
    rect: Rect
    cls: str
    text: str
    children: list = field(default_factory=list)

    def child(self, control_id=None, cls=None, text=None):
        for c in self.children:
            if ((control_id is None or c.control_id == control_id) and (cls is None or c.cls == cls)
                    and (text is None or c.text == text)):
                return c
        return None


@dataclass
class Desktop:
    foreground: str
    focus: str
    windows: list

    def find(self, cls=None, text=None, visible=None, pid=None):
        for w in self.windows:
            if ((cls is None or w.cls == cls) and (text is None or w.text == text)
                    and (visible is None or w.visible == visible)
                    and (pid is None or w.pid == pid)):
                return w
        return None


@dataclass
class Row:
    index: int
    checked: bool
    selected: bool
    focused: bool
    rect: Rect
    texts: list


class Probe:
    """Runs WindowProbe.exe once and talks to it through its standard input and output."""

    def __init__(self, wine, exe):
        self.process = subprocess.Popen(wine.command("wine", exe), env=wine.env,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)

    def ask(self, command):
        try:
            self.process.stdin.write((command + "\n").encode())
            self.process.stdin.flush()
        except OSError as error:
            raise Failure("the window probe stopped") from error
        lines = []
        while True:
            raw = self.process.stdout.readline()
            if not raw:
                raise Failure("the window probe stopped")
            line = raw.decode("utf-8", "replace").rstrip("\r\n")
            if line == "END":
                return lines
            if line.startswith("ERROR"):
                raise Failure(f"window probe: {line}")
            lines.append(line)

    def desktop(self):
        foreground = focus = "0"
        windows, top = [], None
        for line in self.ask("windows"):
            if line.startswith("F "):
                _, foreground, focus = line.split()
                continue
            head, cls, text = line.split("\t", 2)
            kind, hwnd, parent, pid, cid, visible, enabled, check, x, y, w, h = head.split()
            win = Win(kind == "T", hwnd, parent, int(pid), int(cid), visible == "1", enabled == "1",
                      int(check), Rect(int(x), int(y), int(w), int(h)), unescape(cls),
                      unescape(text))
            if win.top_level:
                windows.append(win)
                top = win
            else:
                top.children.append(win)
        return Desktop(foreground, focus, windows)

    def list_rows(self, hwnd):
        headers, rows = [], []
        for line in self.ask(f"list {hwnd}"):
            if line.startswith("H "):
                _, _, x, y, w, h = line.split()
                headers.append(Rect(int(x), int(y), int(w), int(h)))
            elif line.startswith("I "):
                head, *texts = line.split("\t")
                _, index, checked, selected, focused, x, y, w, h = head.split()
                rows.append(Row(int(index), checked == "1", selected == "1", focused == "1",
                                Rect(int(x), int(y), int(w), int(h)), [unescape(t) for t in texts]))
        return headers, rows

    def tree_items(self, hwnd):
        items = []
        for line in self.ask(f"tree {hwnd}"):
            head, text = line.split("\t", 1)
            _, depth, selected, expanded, x, y, w, h = head.split()
            items.append((int(depth), selected == "1", expanded == "1",
                          Rect(int(x), int(y), int(w), int(h)),
                          unescape(text)))
        return items

    def user_name(self):
        for line in self.ask("user"):
            if line.startswith("U "):
                return line[2:]
        raise Failure("the probe could not tell the user name")

    def close(self):
        try:
            self.process.stdin.write(b"quit\n")
            self.process.stdin.close()
            self.process.wait(timeout=10)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()


class Input:
    """Keyboard and mouse through the X server, exactly as a person's would arrive."""

    def __init__(self, display):
        self.env = {**os.environ, "DISPLAY": display}

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True)

    def key(self, *keys):
        self.xdotool("key", "--delay", "60", *keys)

    def focused_x_window(self):
        """The name of the X window that has the keyboard, for failure reports."""
        result = subprocess.run(["xdotool", "getwindowfocus", "getwindowname"], env=self.env,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        return result.stdout.decode("utf-8", "replace").strip()

    def shortcut(self, modifier, key):
        """The modifier held while the key goes down and up, released last, as a hand does it.
        (xdotool's "ctrl+s" lets go of Ctrl first, and the program acts on the key's release.)"""
        self.xdotool("keydown", modifier, "key", key, "keyup", modifier)

    def type(self, text):
        self.xdotool("type", "--delay", "40", text)

    def click(self, point, button=1, repeat=1):
        x, y = point
        self.xdotool("mousemove", str(x), str(y))
        # Repeated clicks 80 ms apart make a double-click.
        self.xdotool("click", "--repeat", str(repeat), "--delay", "80", str(button))


def screenshot(display, path, rect=None):
    """The screen, or the part of it under `rect`, as a PNG."""
    xwd = subprocess.run(["xwd", "-root", "-silent"], env={**os.environ, "DISPLAY": display},
                         check=True, stdout=subprocess.PIPE).stdout
    crop = ["-crop", f"{rect.w}x{rect.h}+{rect.x}+{rect.y}", "+repage"] if rect else []
    subprocess.run(["convert", "xwd:-", *crop, "-strip", path], input=xwd, check=True)
