#!/usr/bin/env python3
"""The office-network test: the real parvox.exe on four computers, three on one switch and one
behind a router (see office.py), driven from outside with the keyboard and mouse as a person
would, and checked by what each screen shows, each sender's log and what crossed the wire. Then
the company's broker opens in the server room and every Parvox relays through it, with a
terminal server's two users joining on the floor. Last, urgent messages and the acknowledgements
people send for them.
Exits 77 (skipped) where it cannot build namespaces: it needs root, or a kernel that lets a
user namespace have them."""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback
import uuid

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from office import (BRANCH, FLOOR, PORT, RELAY_HOST, RELAY_PORT, Office,  # noqa: E402
                    Seat)
from desktop import Failure, expect, screenshot, wait_equal, wait_until  # noqa: E402

SKIPPED = 77
LIST, MENU, MESSAGE, SEND, LOG_CLOSE, VERIFICATION = 1001, 1006, 1008, 1010, 2009, 104
ACKNOWLEDGE = 106
# The README's test setting: an urgent pop-up comes back to the front every 5 s, not every minute.
REMINDER_SECONDS = 5
WIRE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "wire.py")
# Written from the README alone; Debian's Python has the `cryptography` package it needs.
SIGNED_PEER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "signed_peer.py")
PEER_PYTHON, PEER_PORT = "/usr/bin/python3", 42166
# Names no earlier run has used: the prefixes, and the keys remembered in them, outlive a run,
# and process ids come round again.
RUN = uuid.uuid4().hex[:10]

SEATS = [Seat("PCA", "alice", FLOOR, 10), Seat("PCB", "bob", FLOOR, 11),
         Seat("PCC", "carol", FLOOR, 12), Seat("PCD", "dave", BRANCH, 10),
         Seat("PCT", "gina", FLOOR, 13, shared=True), Seat("PCT", "hugo", FLOOR, 13, shared=True)]
# Each computer's address book: (address, type); the built-in sender is on everywhere.
BOOKS = {"PCA": [("bob", 0), ("WORKGROUP", 1), ("pcc", 0), ("pcd", 0), (f"{FLOOR}.21", 0)],
         "PCB": [], "PCC": [("alice", 0)], "PCD": [("pca", 0)]}
# Whose keys the administrator hands to each computer in [Known Senders]: only a key known for
# its sender makes a receipt read "delivered". PCB knows nobody, as a newcomer would.
INTRODUCED = {"PCA": ["PCB", "PCC", "PCD"], "PCB": [], "PCC": ["PCA", "PCB"], "PCD": ["PCA"]}
# The terminal server's users start Parvox once the relay is there, newcomers whom nobody knows.
TERMINAL = {"PCT-gina": [], "PCT-hugo": []}
RELAY = f"mqtts://{RELAY_HOST}:{RELAY_PORT}"
PASSWORDS = {seat.user: f"{seat.user}-{RUN}" for seat in SEATS}


def book(entries, *settings, known=()):
    lines = ["[Addresses]", f"Total={len(entries)}"]
    lines += [f"Address[{i:05d}]=ADDRESS={a}|DESCRIPTION=colleague|TYPE={t}"
              for i, (a, t) in enumerate(entries, 1)]
    given = ["[Known Senders]", *known] if known else []
    return "\r\n".join(lines + ["[Settings]", "Internal Send=1", *settings, *given, ""])


def isolate_or_skip():
    """`ip netns` needs root and a writable /run. Elsewhere the test runs in a mount namespace of
    its own with a fresh /run, in a user namespace too for a developer who is not root."""
    if os.environ.get("PARVOX_LAN_NAMESPACE"):
        subprocess.run(["mount", "-t", "tmpfs", "tmpfs", "/run"], check=True)
        return
    if os.geteuid() == 0 and os.access("/run", os.W_OK):
        return
    flags = ["--mount"] if os.geteuid() == 0 else ["--map-root-user", "--mount", "--net"]
    if subprocess.run(["unshare", *flags, "true"], stderr=subprocess.DEVNULL).returncode != 0:
        print("lan: skipped: building the office's network namespaces needs root, or a kernel "
              "that allows unprivileged user namespaces", file=sys.stderr)
        sys.exit(SKIPPED)
    os.execvpe("unshare", ["unshare", *flags, sys.executable, *sys.argv],
               {**os.environ, "PARVOX_LAN_NAMESPACE": "1"})


class OfficeTest:
    def __init__(self, args):
        self.args = args
        self.known = {name: [] for name in BOOKS}  # each computer's [Known Senders] lines
        self.trusted = []  # (computer, registry key) of the test CA, taken out again at the end
        self.away_since = None
        self.work = tempfile.mkdtemp(prefix="parvox-lan-")
        try:
            self.office = Office(SEATS, self.work, args.parvox, args.probe, args.prefixes)
        except BaseException:  # the office has taken itself down; its folder goes too
            shutil.rmtree(self.work, ignore_errors=True)
            raise
        for pc in self.office.computers.values():
            pc.env["PARVOX_URGENT_REMINDER_SECONDS"] = str(REMINDER_SECONDS)
        self.waiting_script = None  # a script's send that waits for acknowledgements

    # ---- a person at a computer ---------------------------------------------------------------

    def close_popups(self, at, strict=True):
        """Clicks OK on every received message and notice in front of the main window; unless
        `strict`, one that will not close is left."""
        pc = self.office[at]
        ok = {"ParvoxMessage": 101, "ParvoxMoreMessages": 100}

        def first():
            return next((w for w in pc.probe.desktop().windows if w.cls in ok and w.visible), None)
        clicks = {}
        while (popup := first()) is not None:
            pc.input.click(popup.child(control_id=ok[popup.cls]).rect.centre)
            clicks[popup.hwnd] = clicks.get(popup.hwnd, 0) + 1
            try:
                wait_until(f"a pop-up on {at} to close",
                           lambda: all(w.hwnd != popup.hwnd for w in pc.probe.desktop().windows),
                           timeout=5)
            except Failure:
                # Once in a while a click on a program that has just started is lost: again. Wine
                # also leaves, now and then, a pop-up of a restarted program listed but not on
                # the screen, where no click reaches it.
                if clicks[popup.hwnd] >= 4:
                    if strict:
                        raise
                    return

    def clear_the_way(self, at, strict=True):
        """Closes the pop-ups and the log, which comes up over the window after an error."""
        self.close_popups(at, strict)
        pc = self.office[at]
        log = pc.log_window()
        if log is not None and log.visible:
            pc.input.click(log.child(control_id=LOG_CLOSE).rect.centre)
            wait_until(f"the log on {at} to close", lambda: not pc.log_window().visible)

    def send(self, at, recipients, text, shortcut=None):
        """Ticks exactly `recipients` in the address list, types `text` and clicks Send, or
        presses Ctrl and the key `shortcut` in the message box."""
        self.clear_the_way(at)
        pc = self.office[at]
        main = pc.main()
        address_list = main.child(control_id=LIST).hwnd

        def rows():
            return [(r.texts[0], r.checked) for r in pc.probe.list_rows(address_list)[1]]
        for row in pc.probe.list_rows(address_list)[1]:
            if row.checked != (row.texts[0] in recipients):
                # Select the row, then Space ticks it, as on the keyboard.
                pc.input.click(row.rect.centre)
                wait_until(f"the row {row.texts[0]!r} selected on {at}", lambda: any(
                    r.selected and r.index == row.index
                    for r in pc.probe.list_rows(address_list)[1]))
                pc.input.key("space")
        wait_equal(f"the ticks on {at}", rows, [(a, a in recipients) for a, _ in rows()])
        pc.input.click(main.child(control_id=MESSAGE).rect.centre)
        pc.input.key("ctrl+Home", "ctrl+shift+End")  # what the box held goes with the first key
        pc.input.type(text)
        wait_equal(f"the message on {at}", lambda: pc.main().child(control_id=MESSAGE).text, text)
        if shortcut:
            pc.input.shortcut("ctrl", shortcut)
        else:
            pc.input.click(main.child(control_id=SEND).rect.centre)

    def wait_log_line(self, at, start):
        """The first line of `at`'s log that starts with `start`."""
        def line():
            lines = self.office[at].log_text().split("\r\n")
            return next((entry for entry in lines if entry.startswith(start)), None)
        return wait_until(f"{at}'s log line {start!r}", line)

    def log_lines(self, at, start):
        return [entry for entry in self.office[at].log_text().split("\r\n")
                if entry.startswith(start)]

    def wait_new_log_line(self, at, start, seen):
        """The next line of `at`'s log starting with `start`, after the `seen` there were."""
        def line():
            lines = self.log_lines(at, start)
            return lines[seen] if len(lines) > seen else None
        return wait_until(f"{at}'s new log line {start!r}", line)

    def labels(self, at, text):
        """What the pop-ups on `at` showing `text` say under their header, sorted."""
        return sorted(w.child(control_id=VERIFICATION).text
                      for w in self.office[at].probe.desktop().windows
                      if w.cls == "ParvoxMessage" and w.child(control_id=100).text == text)

    def shown_on(self, text):
        return sorted(name for name, pc in self.office.computers.items() if text in pc.popups())

    def capture(self, at):
        """Starts recording the UDP datagrams to Parvox's port that reach `at`'s network card."""
        process = self.office[at].exec_in_netns(sys.executable, WIRE, "capture", "eth0",
                                                str(PORT), stdout=subprocess.PIPE, text=True)
        if process.stdout.readline().strip() != "ready":
            raise Failure(f"the capture on {at} did not start")
        return process

    @staticmethod
    def captured(process):
        time.sleep(0.5)  # a datagram still on its way
        process.terminate()
        return [tuple(line.split()) for line in process.communicate()[0].splitlines()]

    # ---- scenarios -----------------------------------------------------------------------------

    def start_every_parvox(self):
        for name, entries in BOOKS.items():
            self.office[name].start_parvox(book(entries))
        for name in BOOKS:
            wait_until(f"Parvox's main window on {name}", self.office[name].main, timeout=90)

    def the_administrator_hands_out_the_keys(self):
        """Each user's key, made by their Parvox, goes into the others' settings files, as the
        README tells an administrator; a running Parvox reads the section at each decision."""
        keys = {}
        for seat in (seat for seat in SEATS if seat.key in BOOKS):
            pc = self.office[seat.name]
            # A script's send to this computer makes the key if this Parvox has none yet.
            subprocess.run(pc.command("wine", pc.console, "send", "/wait:1", ".", "Hello"),
                           env=pc.env, cwd=pc.folder, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)
            found = re.search(r"Public Key\s+REG_SZ\s+(\S+)", pc.run(
                "reg", "query", r"HKCU\Software\Parvox", "/v", "Public Key",
                check=False, capture=True).stdout.decode("utf-8", "replace"))
            if found is None:
                raise Failure(f"no public key in {seat.name}'s registry")
            keys[seat.name] = f"{seat.name}\\{seat.user}={found.group(1)}"
        for name, entries in BOOKS.items():
            self.known[name] = [keys[other] for other in INTRODUCED[name]]
            with open(os.path.join(self.office[name].folder, "Address Book.ini"), "wb") as f:
                f.write(book(entries, known=self.known[name]).encode("cp1252"))
            self.close_popups(name)

    def user_name_reaches_only_that_user(self):
        self.send("PCA", ["bob"], "For bob only")
        self.wait_log_line("PCA", "Message delivered to bob (PCB).")
        wait_equal("the computers showing bob's message", lambda: self.shown_on("For bob only"),
                   ["PCB"])

    def workgroup_reaches_the_floor_only(self):
        self.send("PCA", ["WORKGROUP"], "Everyone on the floor")
        line = self.wait_log_line("PCA", "Message delivered to WORKGROUP on ")
        for who in ("alice (PCA)", "bob (PCB)", "carol (PCC)"):
            if who not in line:
                raise Failure(f"{who} missing from {line!r}")
        if not line.startswith("Message delivered to WORKGROUP on 3 computers: "):
            raise Failure(f"the workgroup's line: {line!r}")
        wait_equal("the computers showing the workgroup's message",
                   lambda: self.shown_on("Everyone on the floor"), ["PCA", "PCB", "PCC"])

    def host_name_by_unicast(self):
        wire = self.capture("PCC")
        self.send("PCA", ["pcc"], "Straight to pcc")
        self.wait_log_line("PCA", "Message delivered to carol (PCC).")
        wait_equal("the computers showing pcc's message", lambda: self.shown_on("Straight to pcc"),
                   ["PCC"])
        arrived = self.captured(wire)
        if (f"{FLOOR}.10", f"{FLOOR}.12") not in arrived:
            raise Failure(f"no datagram addressed to PCC itself; PCC's card saw {arrived}")

    def sources_behind_the_router_are_ignored(self):
        """The README: datagrams from outside this computer's own subnets are ignored."""
        wire = self.capture("PCA")
        self.send("PCD", ["pca"], "From the branch")
        self.wait_log_line("PCD", "Error sending message to pca. They may not be online.")
        arrived = self.captured(wire)
        if (f"{BRANCH}.10", f"{FLOOR}.10") not in arrived:
            raise Failure(f"PCD's message never reached PCA's card, which saw {arrived}")
        expect("the computers showing the branch's message", self.shown_on("From the branch"), [])

    def quit_parvox(self, at):
        self.clear_the_way(at)
        pc = self.office[at]
        pc.input.xdotool("search", "--name", f"^{self.args.title}$", "windowfocus", "--sync")
        pc.input.shortcut("alt", "F4")
        pc.program.wait(timeout=30)

    def a_trusted_network_reaches_across_the_router(self):
        """Once PCA trusts the branch's subnet, PCD's Parvox reaches it, and so does a program
        written from the README's description of the signed datagram, both ways."""
        self.quit_parvox("PCA")
        self.office["PCA"].start_parvox(book(
            BOOKS["PCA"] + [(f"{BRANCH}.10:{PEER_PORT}", 0)],
            f"Trusted Networks={BRANCH}.0/24, {BRANCH}.7/24", known=self.known["PCA"]))
        wait_until("Parvox's main window on PCA again", self.office["PCA"].main, timeout=90)
        self.wait_log_line("PCA", f'The trusted network "{BRANCH}.7/24" in the settings file was '
                                  "ignored")
        self.send("PCD", ["pca"], "Across the router")
        self.wait_log_line("PCD", "Message delivered to alice (PCA).")
        wait_equal("the computers showing the branch's message",
                   lambda: self.shown_on("Across the router"), ["PCA"])

        pcd = self.office["PCD"]
        erin, frank = f"erin{RUN}", f"frank{RUN}"
        peer = pcd.exec_in_netns(PEER_PYTHON, SIGNED_PEER, "send", f"{FLOOR}.10", str(PORT), erin,
                                 "alice", "PCD", "Written from the README \u00e9\u4f60",
                                 stdout=subprocess.PIPE, text=True)
        receipt = peer.communicate(timeout=30)[0].strip()
        expect("the README program's receipt from PCA", receipt, "receipt PCA alice")
        wait_equal("the computers showing the README program's message",
                   lambda: self.shown_on("Written from the README \u00e9\u4f60"), ["PCA"])
        self.wait_log_line("PCA", f"Message from {erin} to alice on ")
        if "[first contact]" not in self.log_lines("PCA", f"Message from {erin} to alice on ")[0]:
            raise Failure("PCA did not take the README program's signature for a first contact")

        answerer = pcd.exec_in_netns(PEER_PYTHON, SIGNED_PEER, "answer", str(PEER_PORT), "PCD",
                                     frank, stdout=subprocess.PIPE, text=True)
        try:
            if answerer.stdout.readline().strip() != "ready":
                raise Failure("the README program on PCD did not start")
            self.send("PCA", [f"{BRANCH}.10:{PEER_PORT}"], "To the README program")
            # Its key is new here: the receipt shows it reached a computer, not who read it.
            self.wait_log_line("PCA", f"Message to {BRANCH}.10:{PEER_PORT} not verified: {frank} "
                                      "(PCD) answered with a key not known here yet (")
            heard = answerer.communicate(timeout=30)[0].strip()
        finally:
            if answerer.poll() is None:
                answerer.kill()
        expect("what the README program verified", heard,
               f"message alice {BRANCH}.10 PCA To the README program")

    def a_new_address_is_soon_known(self):
        """PCB takes a second address while Parvox runs, as after docking or a DHCP change."""
        self.office["PCB"].exec_in_netns("ip", "address", "add", f"{FLOOR}.21/24",
                                         "dev", "eth0").wait(timeout=30)
        time.sleep(11)  # past the shortest time between two readings of PCB's interfaces
        seen = len(self.log_lines("PCA", "Message delivered to bob (PCB)."))
        self.send("PCA", [f"{FLOOR}.21"], "To the new address")
        self.wait_new_log_line("PCA", "Message delivered to bob (PCB).", seen)
        wait_equal("the computers showing the new address's message",
                   lambda: self.shown_on("To the new address"), ["PCB"])

    def forged_receipts_plant_nothing(self):
        """A neighbour who saw a broadcast answers it with thousands of receipts signed by its own
        key, in invented names and in the names of colleagues PCA knows."""
        forger = self.office["PCB"].exec_in_netns(PEER_PYTHON, WIRE, "receipts", "eth0",
                                                  str(PORT), "20000", stdout=subprocess.PIPE,
                                                  text=True)
        try:
            if forger.stdout.readline().strip() != "ready":
                raise Failure("the forger on PCB did not start")
            start = "Message delivered to WORKGROUP on "
            seen = len(self.log_lines("PCA", start))
            self.send("PCA", ["WORKGROUP"], "Forged answers follow")
            line = self.wait_new_log_line("PCA", start, seen)
        finally:
            forger.wait(timeout=60)
        named = line.count("(FORGED")
        if (not line.startswith(start + "3 computers: ") or named > 64 or " more" not in line or
                "came from a different key than before, so it may not be them" not in line or
                len(line) > 8000):
            raise Failure(f"the line names {named} forged computers in {len(line)} characters: "
                          f"{line[:400]!r}")
        remembered = self.office["PCA"].run("reg", "query", r"HKCU\Software\Parvox\Known Senders",
                                            check=False, capture=True).stdout.decode("utf-8",
                                                                                     "replace")
        if "forged" in remembered.lower():
            raise Failure(f"a receipt planted a key on PCA: {remembered[:400]!r}")

    def a_first_contact_is_never_silent(self):
        """A neighbour sends an unsigned message in a new colleague's name, then the same message
        signed by its own key as that colleague on PCA: bob is shown both, the signed one as a
        first contact with its fingerprint."""
        self.close_popups("PCB")
        erin, text = f"erin{RUN}s", "Lunch is on me"
        shadow = self.office["PCC"].exec_in_netns(PEER_PYTHON, SIGNED_PEER, "shadow",
                                                  f"{FLOOR}.255", str(PORT), erin, "bob", "PCA",
                                                  text)
        expect("the neighbour's two sends", shadow.wait(timeout=30), 0)

        def both():
            found = self.labels("PCB", text)
            return found if len(found) == 2 else None
        shown = wait_until("both copies on PCB", both)
        if not shown[0].startswith(f"First message from {erin} on PCA: their key "):
            raise Failure(f"the signed copy's pop-up on PCB: {shown!r}")
        wait_equal("the computers showing the neighbour's message", lambda: self.shown_on(text),
                   ["PCB"])

    def flood_leaves_the_others_answering(self):
        flood = self.office["PCB"].exec_in_netns(sys.executable, WIRE, "flood", f"{FLOOR}.10",
                                                 str(PORT), "20000")
        try:
            self.send("PCC", ["alice"], "Still heard")
            self.wait_log_line("PCC", "Message delivered to alice (PCA).")
        finally:
            flood.wait(timeout=60)
        self.wait_log_line("PCA", f"Too many messages from {FLOOR}.11")
        self.wait_log_line("PCA", "Message from carol to alice on ")

    def script(self, at, *arguments):
        """`parvox send ...` (parvox.com) on `at` beside its window, as a batch file runs it: the
        exit code and what it wrote to standard output."""
        pc = self.office[at]
        with tempfile.TemporaryFile() as out:
            done = subprocess.run(pc.command("wine", pc.console, "send", *arguments), env=pc.env,
                                  cwd=pc.folder, stdout=out, stderr=subprocess.DEVNULL,
                                  timeout=60)
            out.seek(0)
            return done.returncode, out.read().decode("utf-8", "replace")

    def a_script_sends_like_net_send(self):
        self.close_popups("PCB")  # ten are up already: more would only be counted
        code, out = self.script("PCC", "bob", "The backup failed")
        expect("the script's exit code and line", (code, out),
               (0, "Message delivered to bob (PCB).\r\n"))
        wait_equal("the computers showing the script's message",
                   lambda: self.shown_on("The backup failed"), ["PCB"])
        code, out = self.script("PCC", "/domain:WORKGROUP", "Restart in 5 minutes")
        if code != 0 or not out.startswith("Message delivered to WORKGROUP on 3 computers: "):
            raise Failure(f"the script's workgroup send: exit code {code}, {out!r}")

    def closed_parvox_is_not_reached(self):
        self.quit_parvox("PCC")
        self.send("PCA", ["pcc"], "Anyone at pcc?")
        line = self.wait_log_line("PCA", "Error sending message to pcc. They may not be online.")
        if "delivered" in self.office["PCA"].log_text().split(line)[-1]:
            raise Failure("a closed Parvox was reported as reached")
        wait_until("PCA's log to come up", lambda: self.office["PCA"].log_window().visible)

    # ---- the relay through the server room ------------------------------------------------------

    def relay_book(self, at):
        return book({**BOOKS, **TERMINAL}[at], f"Relay Server={RELAY}",
                    known=self.known.get(at, ()))

    def relay_sessions(self, at):
        """How often `at`'s Parvox has subscribed its own user topic at the broker."""
        user = self.office[at].seat.user.upper()
        return self.office.server_room.subscriptions(
            f"parvox:{user}@{self.office[at].seat.name}", f"parvox/user/{user}")

    def start_with_relay(self, *at):
        sessions = {name: self.relay_sessions(name) for name in at}
        for name in at:
            self.office[name].start_parvox(self.relay_book(name))
        for name in at:
            wait_until(f"Parvox's main window on {name}", self.office[name].main, timeout=90)
            wait_until(f"{name}'s session at the broker",
                       lambda: self.relay_sessions(name) > sessions[name], timeout=60)

    def broker_client(self, at, tool, *args, **popen):
        """mosquitto_sub or mosquitto_pub on `at` with its user's broker account."""
        user = self.office[at].seat.user
        return self.office.server_room.client(self.office[at], tool, user.upper(),
                                              PASSWORDS[user], *args, **popen)

    def the_server_room_opens(self):
        """The broker starts with the README's configuration. Each user trusts the company's CA,
        keeps their broker password with `parvox relay-password` and restarts Parvox with the
        relay in the settings; the trusted network PCA had is gone."""
        room = self.office.server_room
        room.open(SEATS, PASSWORDS, "WORKGROUP")
        room.start()
        for name in [*BOOKS, *TERMINAL]:
            pc = self.office[name]
            if pc.program is not None and pc.program.poll() is None:
                self.quit_parvox(name)
            self.trusted.append((pc, pc.trust(room.ca)))
            stored = subprocess.run(pc.command("wine", pc.console, "relay-password"), env=pc.env,
                                    cwd=pc.folder, input=f"{PASSWORDS[pc.seat.user]}\r\n".encode(),
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=60)
            expect(f"relay-password on {name}", (stored.returncode, stored.stdout),
                   (0, b"The relay password is kept for this Windows user.\r\n"))
        self.start_with_relay(*BOOKS, *TERMINAL)

    def the_branch_reaches_alice_through_the_relay(self):
        """PCA trusts no branch network any more: only the relay carries PCD's message."""
        self.send("PCD", ["pca"], "Through the server room")
        self.wait_log_line("PCD", "Message delivered to alice (PCA).")
        wait_equal("the computers showing the relayed message",
                   lambda: self.shown_on("Through the server room"), ["PCA"])
        label = self.labels("PCA", "Through the server room")
        if not label[0].startswith("Verified: dave on PCD"):
            raise Failure(f"what PCA's pop-up says of the relayed message: {label!r}")

    def the_relay_holds_messages_for_who_is_away(self):
        """bob's and carol's Parvox are closed: the broker takes a message for each, and a
        script's message for carol that expires in a minute (shown never, checked later)."""
        self.quit_parvox("PCB")
        self.quit_parvox("PCC")
        self.send("PCA", ["bob", "pcc"], "While you were out")
        for name in ("bob", "pcc"):
            self.wait_log_line("PCA", f"Message queued at the relay for {name} until ")
        code, out = self.script("PCD", "/expire:1", "/wait:5", "pcc", "Only for a minute")
        if code != 4 or not out.startswith("Message queued at the relay for pcc until "):
            raise Failure(f"the script's send to a closed Parvox: exit code {code}, {out!r}")
        self.away_since = time.monotonic()

    def the_access_list_keeps_alices_topic_from_bob(self):
        """bob subscribes to alice's topic with his own account; a message to alice goes through
        the relay meanwhile, and none of it reaches him."""
        spy = self.broker_client("PCB", "mosquitto_sub", "-d", "-t", "parvox/user/ALICE", "-F",
                                 "message %t", "-W", "30", stdout=subprocess.PIPE,
                                 stderr=subprocess.STDOUT, text=True)
        heard = []
        try:
            while not any(line.startswith("Subscribed") for line in heard):
                heard.append(spy.stdout.readline())
                if not heard[-1]:
                    raise Failure(f"bob's subscription did not start: {''.join(heard)!r}")
            code, out = self.script("PCD", "/wait:5", "alice", "Not for bob")
            expect("the script's send to alice", (code, out),
                   (0, "Message delivered to alice (PCA).\r\n"))
        finally:
            spy.terminate()
        heard.append(spy.communicate(timeout=30)[0])
        if "received PUBLISH" in "".join(heard):
            raise Failure(f"bob's account read alice's topic: {''.join(heard)!r}")

    def a_tampered_message_through_the_relay_is_not_shown(self):
        """Published with valid broker credentials, but changed after it was signed."""
        forged = os.path.join(self.work, "tampered.bin")
        subprocess.run([PEER_PYTHON, SIGNED_PEER, "tampered", forged, "bob", "alice", "PCB",
                        "Tampered on the way"], check=True)
        published = self.broker_client("PCB", "mosquitto_pub", "-q", "1", "-t",
                                       "parvox/user/ALICE", "-f", forged)
        expect("mosquitto_pub's exit code", published.wait(timeout=30), 0)
        self.wait_log_line("PCA", "A message that claims to come from bob on PCB failed its "
                                  "signature check and was not shown.")
        expect("the computers showing the tampered message",
               self.shown_on("Tampered on the way") + self.shown_on("tampered on the way"), [])

    def both_users_of_a_terminal_server_are_reached(self):
        """gina and hugo share PCT; one Parvox holds the port, the other hears the relay only."""
        without_port = [name for name in TERMINAL
                        if "already uses port" in self.office[name].log_text()]
        expect("the users of PCT whose Parvox has no port", len(without_port), 1)
        code, out = self.script("PCA", "/wait:5", "gina,hugo", "To both seats")
        wait_equal("the seats showing the terminal server's message",
                   lambda: self.shown_on("To both seats"), list(TERMINAL))
        # Newcomers: their receipts prove a computer answered, not who.
        expect("the script's exit code and lines",
               (code, [line.split(" (")[0] for line in out.splitlines()]),
               (3, ["Message to gina not verified: gina", "Message to hugo not verified: hugo"]))

    def both_sides_come_back_after_the_broker_restarts(self):
        room = self.office.server_room
        room.stop()
        for at in ("PCA", "PCD"):
            self.wait_log_line(at, f"The relay {RELAY} cannot be reached: ")
        room.start()
        for at in ("PCA", "PCD"):
            self.wait_log_line(at, f"The relay {RELAY} is connected again.")
        seen = len(self.log_lines("PCD", "Message delivered to alice (PCA)."))
        self.send("PCD", ["pca"], "After the restart")
        self.wait_new_log_line("PCD", "Message delivered to alice (PCA).", seen)
        wait_equal("the computers showing the message after the restart",
                   lambda: self.shown_on("After the restart"), ["PCA"])
        for at in ("PCA", "PCD"):
            expect(f"{at}'s lines on the outage",
                   [len(self.log_lines(at, f"The relay {RELAY} {state}"))
                    for state in ("cannot be reached: ", "is connected again.")], [1, 1])

    def who_was_away_gets_what_has_not_expired(self):
        """A minute on, through the broker's restart: bob and carol get what was held, with how
        long it waited, and PCA the late receipts; the message that expired never shows."""
        time.sleep(max(0.0, self.away_since + 62 - time.monotonic()))
        self.start_with_relay("PCB", "PCC")
        shown = wait_until("the held message on PCB", lambda: self.labels("PCB",
                                                                         "While you were out"))
        if not re.search(r", held by the relay for \d+ minutes?\.$", shown[0]):
            raise Failure(f"the held message's pop-up on PCB says {shown!r}")
        for who in ("bob (PCB)", "carol (PCC)"):
            self.wait_log_line("PCA", f"Message delivered to {who} through the relay: your "
                                      "message of ")
        wait_equal("the computers showing the held message",
                   lambda: self.shown_on("While you were out"), ["PCB", "PCC"])
        time.sleep(2)  # held in order: the expired one came after, if at all
        expect("the computers showing the expired message", self.shown_on("Only for a minute"),
               [])

    # ---- urgent messages and acknowledgements ------------------------------------------------

    def popup(self, at, text):
        def found():
            return next((w for w in self.office[at].probe.desktop().windows
                         if w.cls == "ParvoxMessage" and w.child(control_id=100).text == text),
                        None)
        return wait_until(f"the pop-up {text!r} on {at}", found)

    def acknowledge(self, at, text, button=ACKNOWLEDGE):
        """Clicks Acknowledge (or `button`) on the pop-up showing `text`."""
        pc = self.office[at]
        popup = self.popup(at, text)
        pc.input.click(popup.child(control_id=button).rect.centre)
        wait_until(f"the pop-up {text!r} on {at} to close",
                   lambda: all(w.hwnd != popup.hwnd for w in pc.probe.desktop().windows))

    def an_urgent_message_stays_in_front_until_bob_acknowledges(self):
        """bob types in his own message box; alice's urgent message comes up over it without
        taking his keys; carol's message, once bob clicks it, covers it only until its next
        reminder; bob's Acknowledge gives alice her line."""
        self.clear_the_way("PCB", strict=False)  # bob restarted Parvox a moment ago
        pcb = self.office["PCB"]
        box = pcb.main().child(control_id=MESSAGE)
        pcb.input.click(box.rect.centre)
        pcb.input.key("ctrl+Home", "ctrl+shift+End")
        pcb.input.type("bob types")
        pcc = self.office["PCC"]
        self.waiting_script = pcc.start(pcc.console, "send", "/ack:1", "bob,alice",
                                        "Sign the visitors' book", cwd=pcc.folder)
        self.send("PCA", ["bob"], "Fire drill at 14:00", shortcut="u")
        urgent = self.popup("PCB", "Fire drill at 14:00")
        expect("the urgent pop-up's caption", urgent.text, "URGENT: Message from alice")
        if not urgent.child(control_id=VERIFICATION).text.startswith("URGENT: "):
            raise Failure(f"the urgent pop-up says {urgent.child(control_id=VERIFICATION).text!r}")
        pcb.input.type(" on")
        wait_equal("bob's keys, still in his message box",
                   lambda: pcb.main().child(control_id=MESSAGE).text, "bob types on")
        expect("the keyboard on PCB", pcb.probe.desktop().focus, box.hwnd)

        def in_front(first, second):
            """Whether the pop-up showing `first` is in front of the one showing `second`."""
            shown = [w.child(control_id=100).text for w in pcb.probe.desktop().windows
                     if w.cls == "ParvoxMessage"]
            return shown.index(first) < shown.index(second)
        pcc.start(pcc.console, "send", "bob", "Cake for bob too", cwd=pcc.folder)
        cake = self.popup("PCB", "Cake for bob too")
        # bob clicks carol's message, which comes in front of the urgent one and takes the keys.
        pcb.input.click((cake.rect.x + cake.rect.w - 4, cake.rect.y + cake.rect.h - 4))
        wait_equal("carol's pop-up in front on PCB", lambda: pcb.probe.desktop().foreground,
                   cake.hwnd)
        wait_until("the urgent message back in front",
                   lambda: in_front("Fire drill at 14:00", "Cake for bob too"),
                   timeout=3 * REMINDER_SECONDS)
        expect("the window with the keys after the reminder", pcb.probe.desktop().foreground,
               cake.hwnd)
        self.acknowledge("PCB", "Fire drill at 14:00")
        self.wait_log_line("PCA", "bob (PCB) acknowledged your message of ")
        self.wait_log_line("PCA", "Everyone acknowledged your message of ")

    def a_workgroup_says_who_has_not_acknowledged(self):
        self.close_popups("PCA")
        delivered = len(self.log_lines("PCA", "Message delivered to WORKGROUP on "))
        self.send("PCA", ["WORKGROUP"], "Read the new policy", shortcut="k")
        self.wait_new_log_line("PCA", "Message delivered to WORKGROUP on ", delivered)
        seen = len(self.log_lines("PCA", "bob (PCB) acknowledged your message of "))
        self.acknowledge("PCB", "Read the new policy")
        self.wait_new_log_line("PCA", "bob (PCB) acknowledged your message of ", seen)
        pca = self.office["PCA"]
        self.clear_the_way("PCA")
        pca.input.click(pca.main().child(control_id=MENU).rect.centre)
        wait_until("the Menu pop-up on PCA",
                   lambda: pca.probe.desktop().find(cls="#32768", visible=True))
        asked = len(self.log_lines("PCA", "Your message of "))
        pca.input.key(*(["Down"] * 7), "Return")  # Who Has Not Acknowledged
        line = self.wait_new_log_line("PCA", "Your message of ", asked)
        for who in ("alice (PCA)", "carol (PCC)"):
            if who not in line:
                raise Failure(f"{who} missing from {line!r}")
        if "bob (PCB)" in line or "is not acknowledged yet by " not in line:
            raise Failure(f"who has not acknowledged, on PCA: {line!r}")

    def an_urgent_flag_from_an_unknown_key_is_ordinary(self):
        peer = self.office["PCC"].exec_in_netns(PEER_PYTHON, SIGNED_PEER, "urgent", f"{FLOOR}.11",
                                                str(PORT), f"frank{RUN}", "bob", "PCC",
                                                "Everything is urgent")
        expect("the stranger's send", peer.wait(timeout=30), 0)
        popup = self.popup("PCB", "Everything is urgent")
        expect("the stranger's pop-up caption", popup.text, f"Message from frank{RUN}")
        if "asked for this message to be urgent" not in popup.child(control_id=VERIFICATION).text:
            raise Failure(f"the stranger's pop-up says {popup.child(control_id=VERIFICATION).text!r}")

    def a_script_waits_for_acknowledgements(self):
        """/ack:1 to bob, who acknowledges, and to alice, who never does (started with the urgent
        message); then to bob alone, who acknowledges at once."""
        self.acknowledge("PCB", "Cake for bob too", button=101)  # OK: it lay over the other
        self.acknowledge("PCB", "Sign the visitors' book")
        code = self.waiting_script.wait(timeout=120)
        expect("the script's exit code when alice never acknowledged", code, 5)
        pcc = self.office["PCC"]
        with tempfile.TemporaryFile() as out:
            script = subprocess.Popen(pcc.command("wine", pcc.console, "send", "/ack:1", "bob",
                                                  "Sign again"), env=pcc.env, cwd=pcc.folder,
                                      stdout=out, stderr=subprocess.DEVNULL)
            self.acknowledge("PCB", "Sign again")
            code = script.wait(timeout=90)
            out.seek(0)
            lines = out.read().decode("utf-8", "replace").splitlines()
        expect("the script's exit code when everyone acknowledged", code, 0)
        if not (lines[0] == "Message delivered to bob (PCB)." and
                lines[1].startswith("bob (PCB) acknowledged your message of ") and
                lines[2].startswith("Everyone acknowledged your message of ")):
            raise Failure(f"the script's lines: {lines!r}")

    def run(self):
        steps = [self.start_every_parvox, self.the_administrator_hands_out_the_keys,
                 self.user_name_reaches_only_that_user,
                 self.workgroup_reaches_the_floor_only, self.host_name_by_unicast,
                 self.sources_behind_the_router_are_ignored,
                 self.a_trusted_network_reaches_across_the_router,
                 self.a_new_address_is_soon_known, self.forged_receipts_plant_nothing,
                 self.a_first_contact_is_never_silent,
                 self.flood_leaves_the_others_answering, self.a_script_sends_like_net_send,
                 self.closed_parvox_is_not_reached, self.the_server_room_opens,
                 self.the_branch_reaches_alice_through_the_relay,
                 self.the_relay_holds_messages_for_who_is_away,
                 self.the_access_list_keeps_alices_topic_from_bob,
                 self.a_tampered_message_through_the_relay_is_not_shown,
                 self.both_users_of_a_terminal_server_are_reached,
                 self.both_sides_come_back_after_the_broker_restarts,
                 self.who_was_away_gets_what_has_not_expired,
                 self.an_urgent_message_stays_in_front_until_bob_acknowledges,
                 self.a_workgroup_says_who_has_not_acknowledged,
                 self.a_script_waits_for_acknowledgements,
                 self.an_urgent_flag_from_an_unknown_key_is_ordinary]
        for step in steps:
            started = time.monotonic()
            step()
            print(f"lan: {step.__name__.replace('_', ' ')}: passed in "
                  f"{time.monotonic() - started:.1f} s", flush=True)

    def keep_evidence(self):
        os.makedirs(self.args.output, exist_ok=True)
        for name, pc in self.office.computers.items():
            try:
                screenshot(pc.display.name, os.path.join(self.args.output, f"{name}.png"))
                with open(os.path.join(self.args.output, f"{name}-log.txt"), "w") as f:
                    f.write(pc.log_text())
            except Exception as error:  # evidence is best effort; the failure is reported
                print(f"no evidence from {name}: {error}", file=sys.stderr)
        with open(os.path.join(self.args.output, "mosquitto.log"), "w") as f:
            f.write(self.office.server_room.log_text())

    def close(self):
        for pc, key in self.trusted:
            pc.run("reg", "delete", key, "/f", check=False)
        self.office.close()
        shutil.rmtree(self.work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--parvox", required=True, help="parvox.exe to test")
    parser.add_argument("--probe", required=True, help="WindowProbe.exe")
    parser.add_argument("--prefixes", required=True, help="folder of the computers' Wine prefixes")
    parser.add_argument("--output", required=True, help="folder for the evidence of a failure")
    parser.add_argument("--title", required=True, help="the caption the main window must have")
    args = parser.parse_args()
    isolate_or_skip()
    shutil.rmtree(args.output, ignore_errors=True)
    test = OfficeTest(args)
    try:
        test.run()
    except Exception:
        traceback.print_exc()
        test.keep_evidence()
        print(f"lan: FAILED; evidence in {args.output}", file=sys.stderr)
        return 1
    finally:
        test.close()
    print("lan: all scenarios passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
