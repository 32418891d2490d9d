"""A small office built of Linux network namespaces, each computer running the real parvox.exe.

Computers on the office floor share one switch (a bridge in a namespace of its own); a router
namespace forwards between the floor, a branch subnet behind it and the server room, where the
company's MQTT broker runs (ServerRoom: the real mosquitto, configured as the README tells an
administrator). A terminal server is one computer with several seats: one network namespace
and host name, a Wine prefix and screen per user. Every computer has its own
network namespace, host name (a UTS namespace: what Windows reports as the computer name), hosts
file, Wine prefix, user name (Wine takes it from USER) and Xvfb screen. The addresses come from
the documentation and benchmarking ranges, so nothing can collide with a real network. close() tears it all down,
also after a failure."""

import hashlib
import os
import pwd
import re
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from desktop import Display, Input, Probe, Wine  # noqa: E402

FLOOR, BRANCH, SERVER_ROOM = "198.51.100", "203.0.113", "198.18.0"
PORT = 42165
RELAY_HOST, RELAY_PORT = "relay.office.test", 8883
README = os.path.join(HERE, "..", "..", "README.md")


def sh(*args, check=True):
    return subprocess.run(args, check=check, stdout=subprocess.PIPE, stderr=subprocess.PIPE)


@dataclass
class Seat:
    """Who sits where: a computer's name, its user, its subnet and host number."""
    name: str
    user: str
    subnet: str
    host: int
    shared: bool = False  # a seat on a terminal server, beside other users of the same computer

    @property
    def address(self):
        return f"{self.subnet}.{self.host}"

    @property
    def key(self):
        """How the test names the seat: the computer, or on a terminal server computer-user."""
        return f"{self.name}-{self.user}" if self.shared else self.name


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
        self.folder = os.path.join(office.work, seat.key)
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

    def trust(self, certificate):
        """Puts a CA into this user's root store, as Wine keeps it: a registry key named after the
        certificate's SHA-1 whose Blob holds it as a serialised certificate property (id 32,
        encoding 1, length, DER)."""
        der = subprocess.run(["openssl", "x509", "-in", certificate, "-outform", "DER"],
                             check=True, stdout=subprocess.PIPE).stdout
        blob = (32).to_bytes(4, "little") + (1).to_bytes(4, "little") + \
            len(der).to_bytes(4, "little") + der
        key = rf"{ROOT_STORE}\{hashlib.sha1(der).hexdigest().upper()}"
        self.run("reg", "add", key, "/v", "Blob", "/t", "REG_BINARY", "/d", blob.hex(), "/f")
        return key

    def start_parvox(self, book):
        with open(os.path.join(self.folder, "Address Book.ini"), "wb") as f:
            f.write(book.encode("cp1252"))
        self.program = self.start(self.exe, cwd=self.folder)
        self.probe = Probe(self, self.office.probe_exe)

    def main(self):
        return self.probe.desktop().find(cls="ParvoxMain", visible=True)

    def popups(self):
        """The texts of the received messages that are up on this screen."""
        if self.probe is None:  # Parvox has not run here yet
            return []
        return [w.child(control_id=100).text for w in self.probe.desktop().windows
                if w.cls == "ParvoxMessage"]

    def log_window(self):
        return self.probe.desktop().find(cls="ParvoxLog") if self.probe else None

    def log_text(self):
        log = self.log_window()
        return log.child(control_id=2006).text if log else ""

    def exec_in_netns(self, *args, **popen):
        """A host program (capture, flood) on this computer's network."""
        return subprocess.Popen(["ip", "netns", "exec", self.netns, *args], **popen)


ROOT_STORE = r"HKCU\Software\Microsoft\SystemCertificates\Root\Certificates"


def readme_broker_config():
    """The two ```conf blocks of the README's paragraph on a Mosquitto 2 broker for Parvox: the
    broker's configuration and its access-control list, exactly as an administrator copies them."""
    with open(README, encoding="utf-8") as f:
        text = f.read()
    paragraph = text[text.index("**A Mosquitto 2 broker for Parvox.**"):]
    blocks = re.findall(r"^```conf\n(.*?)^```$", paragraph, re.S | re.M)
    return blocks[0], blocks[1]


class ServerRoom:
    """The company's MQTT broker on a subnet of its own: the real mosquitto with the README's
    configuration, a test CA and a server certificate made for this run, and the accounts the
    README asks for, one per Windows user, named in upper case."""

    ADDRESS = f"{SERVER_ROOM}.10"

    def __init__(self, work):
        self.netns = None
        self.folder = os.path.join(work, "server-room")
        self.ca = os.path.join(self.folder, "ca.pem")
        self.log = os.path.join(self.folder, "mosquitto.log")
        self.broker = None

    def open(self, seats, passwords, domain):
        """Certificates, password file, access-control list and configuration, all made here."""
        os.makedirs(self.folder, exist_ok=True)
        self.make_certificates()
        passwd = os.path.join(self.folder, "parvox.passwd")
        for seat in seats:
            sh("mosquitto_passwd", *(["-c"] if not os.path.exists(passwd) else []), "-b", passwd,
               seat.user.upper(), passwords[seat.user])
        conf, acl = readme_broker_config()
        # The README's example account is the template of each account's own lines.
        example = re.search(r"^user BOB\n(?:topic .*\n)+", acl, re.M)
        if example is None or "parvox/computer/PCB" not in example.group(0) or \
                "parvox/domain/OFFICE" not in example.group(0):
            raise RuntimeError("the README's access-control list has no example account BOB on "
                               "PCB in domain OFFICE to follow")
        accounts = "\n".join(example.group(0).replace("BOB", seat.user.upper())
                              .replace("PCB", seat.name).replace("OFFICE", domain)
                              for seat in seats)
        with open(os.path.join(self.folder, "parvox.acl"), "w") as f:
            f.write(acl.replace(example.group(0), accounts))
        paths = {"parvox.passwd": passwd, "parvox.acl": os.path.join(self.folder, "parvox.acl"),
                 "relay.pem": os.path.join(self.folder, "relay.pem"),
                 "relay.key": os.path.join(self.folder, "relay.key")}
        conf = re.sub(r"/etc/mosquitto/\S*?([^/\s]+)$", lambda m: paths[m.group(1)], conf,
                      flags=re.M)
        with open(os.path.join(self.folder, "parvox.conf"), "w") as f:
            # What Debian's own mosquitto.conf, which includes the README's file, sets besides:
            # here in the test's folder, run as the test's user, and everything logged.
            f.write(f"user {pwd.getpwuid(os.geteuid()).pw_name}\n"
                    f"pid_file {self.folder}/mosquitto.pid\n"
                    f"persistence_location {self.folder}/\n"
                    f"log_dest file {self.log}\nlog_type all\n" + conf)

    def make_certificates(self):
        def openssl(*args):
            sh("openssl", *args)
        ca_key, key = self.ca[:-4] + ".key", os.path.join(self.folder, "relay.key")
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca_key, "-out",
                self.ca, "-days", "2", "-subj", "/CN=Office test CA",
                "-addext", "basicConstraints=critical,CA:true",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        csr = os.path.join(self.folder, "relay.csr")
        openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", csr,
                "-subj", f"/CN={RELAY_HOST}")
        extensions = os.path.join(self.folder, "relay.ext")
        with open(extensions, "w") as f:
            f.write(f"basicConstraints=critical,CA:false\nextendedKeyUsage=serverAuth\n"
                    f"subjectAltName=DNS:{RELAY_HOST}\n")
        openssl("x509", "-req", "-in", csr, "-CA", self.ca, "-CAkey", ca_key, "-CAcreateserial",
                "-days", "2", "-extfile", extensions, "-out",
                os.path.join(self.folder, "relay.pem"))

    def log_text(self):
        try:
            with open(self.log, encoding="utf-8", errors="replace") as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def start(self):
        started = self.log_text().count(" running")
        self.broker = subprocess.Popen(
            ["ip", "netns", "exec", self.netns, "mosquitto", "-c",
             os.path.join(self.folder, "parvox.conf")],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.monotonic() + 20
        while self.log_text().count(" running") == started:
            if self.broker.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError(f"mosquitto did not start: {self.broker.stderr.read()!r} "
                                   f"{self.log_text()[-2000:]}")
            time.sleep(0.1)

    def stop(self):
        """As a service stop does: SIGTERM, on which mosquitto saves what it holds."""
        if self.broker is None or self.broker.poll() is not None:
            return
        self.broker.terminate()
        try:
            self.broker.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.broker.kill()
            self.broker.wait()

    def subscriptions(self, client, topic):
        """How often the session `client` has subscribed to `topic` at QoS 1, restarts included."""
        return self.log_text().count(f": {client} 1 {topic}\n")

    def client(self, computer, tool, account, password, *args, **popen):
        """mosquitto_sub or mosquitto_pub in MQTT 5 on `computer`, with an account's password and
        the test CA, which is trusted here alone."""
        # Line by line, so that what it prints can be followed as it comes.
        return subprocess.Popen(computer.command(
            "stdbuf", "-oL", tool, "-V", "mqttv5", "-h", RELAY_HOST, "-p", str(RELAY_PORT), "--cafile", self.ca,
            "-u", account, "-P", password, *args), **popen)


class Office:
    def __init__(self, seats, work, parvox, probe_exe, prefixes):
        self.tag = f"pvxlan{os.getpid() % 100000}"
        self.work, self.parvox, self.probe_exe = work, parvox, probe_exe
        self.namespaces, self.displays, self.computers = [], [], {}
        self.server_room = ServerRoom(work)
        self.hosts_file = os.path.join(work, "hosts")
        with open(self.hosts_file, "w") as f:
            f.write("127.0.0.1 localhost\n::1 localhost\n")
            f.writelines(dict.fromkeys(f"{s.address} {s.name.lower()}\n" for s in seats))
            f.write(f"{ServerRoom.ADDRESS} {RELAY_HOST}\n")
        try:
            self.wire(seats)
            for seat in seats:
                display = Display()
                self.displays.append(display)
                self.computers[seat.key] = Computer(
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
        self.server_room.netns = self.netns("server")
        self.cable(self.server_room.netns, "eth0", ServerRoom.ADDRESS, router, "server0",
                   f"{SERVER_ROOM}.1")
        sh("ip", "-n", self.server_room.netns, "route", "add", "default", "via", f"{SERVER_ROOM}.1")
        for seat in seats:
            if f"{self.tag}-{seat.name}" in self.namespaces:
                continue  # a terminal server's second seat
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
        self.server_room.stop()
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
