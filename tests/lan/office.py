"""A small office built of Linux network namespaces, each computer running the real parvox.exe.

Computers on the office floor share one switch (a bridge in a namespace of its own); a router
namespace forwards between the floor and a branch subnet behind it. Every computer has its own
network namespace, host name (a UTS namespace: what Windows reports as the computer name), hosts
file, Wine prefix, user name (Wine takes it from USER) and Xvfb screen. The addresses come from
the documentation ranges, so nothing can collide with a real network. close() tears it all down,
also after a failure."""

import os
import shutil
import subprocess
import sys
from dataclasses import dataclass

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from desktop import Display, Input, Probe, Wine  # noqa: E402

FLOOR, BRANCH = "198.51.100", "203.0.113"
PORT = 42165


def sh(*args, check=True):
    return subprocess.run(args, check=check, stdout=subprocess.PIPE, stderr=subprocess.PIPE)


@dataclass
class Seat:
    """Who sits where: a computer's name, its user, its subnet and host number."""
    name: str
    user: str
    subnet: str
    host: int

    @property
    def address(self):
        return f"{self.subnet}.{self.host}"


class Computer(Wine):
    """One computer: every Wine process of it starts inside its namespaces."""

    def __init__(self, office, seat, prefix, display):
        self.seat, self.office = seat, office
        self.netns = f"{office.tag}-{seat.name}"
        self.launcher = ["ip", "netns", "exec", self.netns, "unshare", "--uts", "--mount", "sh",
                         "-c", 'hostname "$0" && mount --bind "$1" /etc/hosts && shift && '
                         'exec "$@"', seat.name, office.hosts_file]
        os.makedirs(os.path.dirname(prefix), exist_ok=True)
        super().__init__(prefix, display.name, user_env=dict(USER=seat.user, LOGNAME=seat.user))
        self.display = display
        self.input = Input(display.name)
        self.folder = os.path.join(office.work, seat.name)
        os.makedirs(self.folder)
        self.exe = os.path.join(self.folder, "parvox.exe")
        shutil.copy(office.parvox, self.exe)
        # Its console twin, which scripts run as "parvox".
        self.console = os.path.splitext(self.exe)[0] + ".com"
        shutil.copy(os.path.splitext(office.parvox)[0] + ".com", self.console)
        self.program = self.probe = None

    def command(self, *args):
        return [*self.launcher, *args]

    def create(self):
        self.run("wineboot", "--init", check=False)
        # Unmanaged windows: without a window manager Wine otherwise waits on every hide.
        self.run("reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f")
        self.server("-w")

    def start_parvox(self, book):
        with open(os.path.join(self.folder, "Address Book.ini"), "wb") as f:
            f.write(book.encode("cp1252"))
        self.program = self.start(self.exe, cwd=self.folder)
        self.probe = Probe(self, self.office.probe_exe)

    def main(self):
        return self.probe.desktop().find(cls="ParvoxMain", visible=True)

    def popups(self):
        """The texts of the received messages that are up on this screen."""
        return [w.child(control_id=100).text for w in self.probe.desktop().windows
                if w.cls == "ParvoxMessage"]

    def log_window(self):
        return self.probe.desktop().find(cls="ParvoxLog")

    def log_text(self):
        log = self.log_window()
        return log.child(control_id=2006).text if log else ""

    def exec_in_netns(self, *args, **popen):
        """A host program (capture, flood) on this computer's network."""
        return subprocess.Popen(["ip", "netns", "exec", self.netns, *args], **popen)


class Office:
    def __init__(self, seats, work, parvox, probe_exe, prefixes):
        self.tag = f"pvxlan{os.getpid() % 100000}"
        self.work, self.parvox, self.probe_exe = work, parvox, probe_exe
        self.namespaces, self.displays, self.computers = [], [], {}
        self.hosts_file = os.path.join(work, "hosts")
        with open(self.hosts_file, "w") as f:
            f.write("127.0.0.1 localhost\n::1 localhost\n")
            f.writelines(f"{s.address} {s.name.lower()}\n" for s in seats)
        try:
            self.wire(seats)
            for seat in seats:
                display = Display()
                self.displays.append(display)
                self.computers[seat.name] = Computer(
                    self, seat, os.path.join(prefixes, f"{seat.name}-{seat.user}"), display)
        except BaseException:
            self.close()
            raise

    def netns(self, name):
        netns = f"{self.tag}-{name}"
        sh("ip", "netns", "add", netns)
        self.namespaces.append(netns)
        sh("ip", "-n", netns, "link", "set", "lo", "up")
        return netns

    def wire(self, seats):
        switch = self.netns("switch")
        sh("ip", "-n", switch, "link", "add", "br0", "type", "bridge")
        sh("ip", "-n", switch, "link", "set", "br0", "up")
        router = self.netns("router")
        sh("ip", "netns", "exec", router, "sysctl", "-qw", "net.ipv4.ip_forward=1")
        # The router's leg on the floor plugs into the switch like a computer's.
        self.cable(router, "floor0", f"{FLOOR}.1", switch, "router")
        for seat in seats:
            netns = self.netns(seat.name)
            if seat.subnet == FLOOR:
                self.cable(netns, "eth0", seat.address, switch, seat.name)
            else:
                self.cable(netns, "eth0", seat.address, router, "branch0", f"{BRANCH}.1")
            sh("ip", "-n", netns, "route", "add", "default", "via", f"{seat.subnet}.1")

    @staticmethod
    def cable(netns, name, address, far_netns, far_name, far_address=None):
        """A veth pair from `netns` to `far_netns`; without an address the far end is a switch
        port."""
        sh("ip", "link", "add", name, "netns", netns, "type", "veth", "peer", "name", far_name,
           "netns", far_netns)
        sh("ip", "-n", netns, "address", "add", f"{address}/24", "dev", name)
        sh("ip", "-n", netns, "link", "set", name, "up")
        if far_address:
            sh("ip", "-n", far_netns, "address", "add", f"{far_address}/24", "dev", far_name)
        else:
            sh("ip", "-n", far_netns, "link", "set", far_name, "master", "br0")
        sh("ip", "-n", far_netns, "link", "set", far_name, "up")

    def __getitem__(self, name):
        return self.computers[name]

    def close(self):
        for computer in self.computers.values():
            if computer.probe is not None:
                computer.probe.close()
            computer.server("-k")
            if computer.program is not None and computer.program.poll() is None:
                computer.program.kill()
        for display in self.displays:
            display.close()
        for netns in reversed(self.namespaces):
            sh("ip", "netns", "delete", netns, check=False)
        self.namespaces.clear()
