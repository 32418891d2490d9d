#!/usr/bin/env python3
"""The journey of a new user through the real parvox.exe under Wine, in an Xvfb of its own.

It is driven only by keyboard and mouse (xdotool) and checked only through what a person or
another program can see: window texts and states (read by WindowProbe.exe), what the stand-in NET
command recorded, what a mailslot receiver read, the bytes of "Address Book.ini", the registry
and screenshots. On failure the screenshot, the settings file and the window list are kept in
the output folder."""

import argparse
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import traceback

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop import (Display, Failure, Input, Probe, Wine, expect,  # noqa: E402
                     screenshot, wait_equal, wait_until)

SETTINGS_FILE = "Address Book.ini"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
BACKUP_FOLDER = "Parvox Backups"

# Control ids: the main window's (src/app/MainLayout.h), the editor's, the settings dialog's and
# the log window's.
LIST, ADD, EDIT, REMOVE, MENU, MESSAGE, SEND = 1001, 1003, 1004, 1005, 1006, 1008, 1010
EDIT_ADDRESS, EDIT_DESCRIPTION, EDIT_USER, EDIT_DOMAIN = 113, 116, 107, 108
# with Windows, minimised, Escape minimises, internal send, receive
SETTINGS_BOXES = (100, 101, 102, 103, 114)
# The pop-up of a received message (src/receiving/MessagePopup.h).
POPUP_TEXT, POPUP_OK, POPUP_HEADER = 100, 101, 103
LOG_TEXT, LOG_CLOSE = 2006, 2009

SLOT_TAKEN = ("Messages sent to this computer cannot be shown here: another program already "
              "receives them (the Messenger service, or Parvox running a second time).\r\n")

USER_ENTRY = (".", "This machine")
DOMAIN_ENTRY = ("WORKGROUP", "Everyone = the whole workgroup")
MESSAGE_TEXT = "Lunch is ready in the kitchen"
# Wine reports a name it cannot resolve as a missing path.
WORKGROUP_FAILED = ("Error sending message to WORKGROUP. They may not be online. "
                    "Path not found (error 3).\r\n")

BOOK_OF_ONE = (
    b"[Addresses]\r\nTotal=1\r\n"
    b"Address[00001]=ADDRESS=.|DESCRIPTION=This machine|TYPE=0\r\n")
BOOK_OF_TWO = (
    b"[Addresses]\r\nTotal=2\r\n"
    b"Address[00001]=ADDRESS=.|DESCRIPTION=This machine|TYPE=0\r\n"
    b"Address[00002]=ADDRESS=WORKGROUP|DESCRIPTION=Everyone = the whole workgroup|TYPE=1\r\n")


def ini_section(data, section):
    """The key=value pairs of one section of the settings file, in file order."""
    pairs, inside = [], False
    for line in data.decode("cp1252").split("\r\n"):
        if line.startswith("["):
            inside = line.strip() == f"[{section}]"
        elif inside and "=" in line:
            key, value = line.split("=", 1)
            pairs.append((key, value))
    return pairs


def window_screenshot(display, name, path):
    """The X window called `name`, as it draws itself, as a PNG."""
    env = {**os.environ, "DISPLAY": display}
    window = subprocess.run(["xdotool", "search", "--name", f"^{name}$"], env=env, check=True,
                            stdout=subprocess.PIPE).stdout.split()[0]
    xwd = subprocess.run(["xwd", "-id", window, "-silent"], env=env, check=True,
                         stdout=subprocess.PIPE).stdout
    subprocess.run(["convert", "xwd:-", "-strip", path], input=xwd, check=True)


class Journey:
    def __init__(self, args):
        self.args = args
        self.output = args.output
        self.display = self.wine = self.input = self.probe = None
        self.program = self.receiver = None
        self.others = []  # the copies of the two-program step
        self.timings = []
        # Evidence of an earlier failure would mislead.
        shutil.rmtree(self.output, ignore_errors=True)
        os.makedirs(self.output)
        # A fresh folder: the program keeps its settings file beside its executable.
        self.folder = tempfile.mkdtemp(prefix="parvox-e2e-")
        self.records = os.path.join(self.folder, "net-records")
        self.slot = os.path.join(self.folder, "mailslot")
        os.makedirs(self.records)
        os.makedirs(self.slot)
        for exe in (args.parvox, args.net):
            shutil.copy(exe, self.folder)
        self.exe = os.path.join(self.folder, "parvox.exe")
        self.settings = os.path.join(self.folder, SETTINGS_FILE)

    def set_up(self):
        self.display = Display()
        self.wine = Wine(self.args.prefix, self.display.name)
        # A run that failed half-way may have left it.
        self.wine.run("reg", "delete", RUN_KEY, "/v", "Parvox", "/f", check=False)
        self.input = Input(self.display.name)
        self.probe = Probe(self.wine, self.args.probe)

    # ---- observing -------------------------------------------------------------------------

    def desktop(self):
        return self.probe.desktop()

    def main(self, visible=None):
        return self.desktop().find(cls="ParvoxMain", text=self.args.title, visible=visible)

    def control(self, control_id):
        return self.main().child(control_id=control_id)

    def status(self):
        main = self.main()
        host = main.child(cls="ParvoxStatusHost") if main else None
        return host.text if host else None

    def wait_status(self, text, timeout=20):
        wait_equal("the status line", self.status, text, timeout)

    def message_text(self):
        return self.control(MESSAGE).text

    def rows(self):
        return self.probe.list_rows(self.control(LIST).hwnd)[1]

    def headers(self):
        return self.probe.list_rows(self.control(LIST).hwnd)[0]

    def row_states(self):
        return [(row.texts[0], row.checked) for row in self.rows()]

    def wait_rows(self, expected, what="the address list"):
        wait_equal(what, self.row_states, expected)

    def dialog(self, cls, caption=None):
        return self.desktop().find(cls=cls, text=caption, visible=True)

    def wait_dialog(self, cls, caption=None):
        return wait_until(f"the window {caption or cls!r}", lambda: self.dialog(cls, caption))

    def wait_gone(self, cls, caption=None):
        wait_until(f"the window {caption or cls!r} to close", lambda: not self.dialog(cls, caption))

    def focus(self):
        return self.desktop().focus

    def wait_focus(self, hwnd, what):
        wait_equal(f"the keyboard focus on {what}", self.focus, hwnd)

    def option_boxes(self):
        settings = self.dialog("ParvoxSettings")
        return tuple(settings.child(control_id=i).check for i in SETTINGS_BOXES)

    def settings_bytes(self):
        with open(self.settings, "rb") as f:
            return f.read()

    def wait_settings(self, what, check):
        def current():
            if not os.path.exists(self.settings):
                return None
            data = self.settings_bytes()
            return data if check(data) else None
        return wait_until(what, current)

    def net_records(self):
        names = sorted(n for n in os.listdir(self.records) if n.endswith(".txt"))
        parameters = []
        for name in names:
            with open(os.path.join(self.records, name), "rb") as f:
                line = f.read().decode("cp1252")
            # The command line less the program's own, possibly quoted, path and the blank after.
            end = line.find('"', 1) + 1 if line.startswith('"') else line.find(" ")
            parameters.append(line[end + 1:] if 0 < end < len(line) else "")
        return parameters

    def datagrams(self):
        names = sorted(n for n in os.listdir(self.slot)
                       if n.startswith("datagram-") and n.endswith(".bin"))
        result = []
        for name in names:
            with open(os.path.join(self.slot, name), "rb") as f:
                result.append(f.read())
        return result

    def tray_icon(self):
        # Without a notification area on the display, Wine keeps the icons in a window of its own.
        def icons():
            tray = self.desktop().find(cls="__winex11_standalone_tray", visible=True)
            if tray is None:
                return []
            return [c for c in tray.children if c.cls == "__winex11_tray_icon" and c.visible]
        wait_equal("the number of icons in Wine's tray window", lambda: len(icons()), 1)
        return icons()[0]

    # ---- acting ----------------------------------------------------------------------------

    def start_program(self, *arguments):
        env = {"PARVOX_NET_RECORD_DIR": Wine.windows_path(self.records)}
        self.program = self.wine.start(self.exe, *arguments, cwd=self.folder, env=env)

    def close_program(self):
        self.focus_main()
        self.input.shortcut("alt", "F4")
        try:
            self.program.wait(timeout=30)
        except Exception as error:
            raise Failure("parvox.exe did not end after Alt+F4") from error
        expect("parvox.exe's exit code", self.program.returncode, 0)
        self.program = None

    def click_control(self, window, control_id, button=1):
        self.input.click(window.child(control_id=control_id).rect.centre, button=button)

    def focus_main(self):
        """Clicks the main window's caption, as a person does before typing into it."""
        main = self.main(visible=True)
        self.input.click((main.rect.x + main.rect.w // 3, main.rect.y + 8))
        wait_until("the main window to become the foreground window",
                   lambda: self.desktop().foreground == main.hwnd)
        # Wine moves the X keyboard focus only when it activates a window itself; a window that
        # brought itself to the front from the tray is already active, so the keyboard stays on
        # the tray. Click-to-focus, as a window manager would do it, gives it the keyboard.
        title = self.args.title
        if self.input.focused_x_window() != title:
            self.input.xdotool("search", "--name", f"^{title}$", "windowfocus", "--sync")
        wait_equal("the X keyboard focus", self.input.focused_x_window, title)

    def open_main_menu(self, downs):
        """The Menu button, then the entry `downs` steps down its pop-up."""
        self.click_control(self.main(), MENU)
        self.wait_dialog("#32768")
        self.input.key(*(["Down"] * downs), "Return")

    def tab_to(self, hwnd, what, limit=16):
        for _ in range(limit):
            before = self.focus()
            if before == hwnd:
                return
            self.input.key("Tab")
            wait_until("Tab to move the keyboard focus", lambda: self.focus() != before)
        self.wait_focus(hwnd, what)

    def toggle_row(self, address):
        row = next(r for r in self.rows() if r.texts[0] == address)
        self.input.click(row.rect.centre)
        wait_until(f"the row {address!r} to be selected",
                   lambda: any(r.selected and r.texts[0] == address for r in self.rows()))
        self.input.key("space")

    def answer_box(self, caption, text, button):
        box = self.wait_dialog("#32770", caption)
        shown = [c.text for c in box.children if c.cls == "Static" and c.text]
        if text not in shown:
            raise Failure(f"the box {caption!r} says {shown!r}, not {text!r}")
        self.input.click(box.child(cls="Button", text=button).rect.centre)
        self.wait_gone("#32770", caption)

    def choose_backup_folder(self, prompt):
        browser = self.wait_dialog("#32770", "Browse for Folder")
        texts = [c.text for c in browser.children if c.visible]
        if prompt not in texts:
            raise Failure(f"the folder browser asks {texts!r}, not {prompt!r}")
        tree = browser.child(cls="SysTreeView32")
        self.wait_focus(tree.hwnd, "the folder tree")
        self.input.type(BACKUP_FOLDER)  # the tree's type-ahead search

        def selected():
            return [text for _, chosen, _, _, text in self.probe.tree_items(tree.hwnd) if chosen]
        wait_equal("the folder chosen in the tree", selected, [BACKUP_FOLDER])
        self.input.key("Return")
        self.wait_gone("#32770", "Browse for Folder")

    def document(self, name, window):
        if self.args.docs:
            os.makedirs(self.args.docs, exist_ok=True)
            screenshot(self.display.name, os.path.join(self.args.docs, name), window.rect)

    # ---- the journey -----------------------------------------------------------------------

    def step_first_start(self):
        self.start_program()
        main = wait_until("the main window", lambda: self.main(visible=True), timeout=60)
        expect("caption", main.text, self.args.title)
        self.wait_status("Begin by adding an entry to your address book..")
        message = main.child(control_id=MESSAGE)
        if not message.text.startswith("You need to have at least one entry in the address book"):
            raise Failure(f"the message box holds {message.text!r}, not the help text")
        expect("rows at first start", self.rows(), [])
        self.wait_focus(message.hwnd, "the message box")
        # The help text is selected: the first key replaces all of it.
        self.input.type("Hi")
        wait_equal("the typed text to replace the help text", self.message_text, "Hi")
        self.wait_status("Your current message contains 2 characters..")
        expect("files in the program's folder", sorted(os.listdir(self.folder)),
               ["mailslot", "net-records", "net.exe", "parvox.exe"])

    def add_entry(self, address, description, domain, number):
        self.click_control(self.main(), ADD)
        editor = self.wait_dialog("ParvoxEdit", "Add a new entry..")
        box = editor.child(control_id=EDIT_ADDRESS)
        expect("the proposed address", box.text, f"New User {number}")
        self.wait_focus(box.hwnd, "the address box")
        self.input.type(address)  # the proposal is selected and goes with the first key
        self.input.key("Tab")
        self.input.type(description)
        if domain:
            self.input.key("Tab")  # to the checked option, "User or Machine"
            self.wait_focus(editor.child(control_id=EDIT_USER).hwnd, "\"User or Machine\"")
            self.input.key("Right")
            wait_equal("the option \"Domain\"",
                       lambda: self.dialog("ParvoxEdit").child(control_id=EDIT_DOMAIN).check, 1)
        editor = self.dialog("ParvoxEdit")
        expect("address typed", editor.child(control_id=EDIT_ADDRESS).text, address)
        expect("description typed", editor.child(control_id=EDIT_DESCRIPTION).text, description)
        expect("type chosen",
               tuple(editor.child(control_id=i).check for i in (EDIT_USER, EDIT_DOMAIN)),
               (0, 1) if domain else (1, 0))
        if domain:
            self.document("entry-editor.png", editor)
        self.input.key("Return")  # Add Entry is the default button
        self.wait_gone("ParvoxEdit")
        # The keyboard goes back where it was, so Ctrl+S, Escape and Tab keep working.
        self.wait_focus(self.control(ADD).hwnd, "the Add button again")
        self.wait_status("The address book has been updated and saved.")

    def step_add_two_entries(self):
        self.add_entry(*USER_ENTRY, domain=False, number=0)
        self.wait_settings("the first entry in the settings file", lambda d: d == BOOK_OF_ONE)
        self.add_entry(*DOMAIN_ENTRY, domain=True, number=1)
        self.wait_settings("both entries in the settings file", lambda d: d == BOOK_OF_TWO)
        expect("rows", [r.texts for r in self.rows()], [list(USER_ENTRY), list(DOMAIN_ENTRY)])
        expect("Edit and Remove enabled",
               (self.control(EDIT).enabled, self.control(REMOVE).enabled), (True, True))

    def step_send_through_net(self):
        # Tabbing into the box selects its text, so typing replaces it.
        self.tab_to(self.control(MESSAGE).hwnd, "the message box")
        self.input.type(MESSAGE_TEXT)
        wait_equal("the message typed", self.message_text, MESSAGE_TEXT)
        self.wait_status(f"Your current message contains {len(MESSAGE_TEXT)} characters..")
        self.toggle_row(".")
        self.wait_rows([(".", True), ("WORKGROUP", False)])
        self.input.key("Down", "space")
        self.wait_rows([(".", True), ("WORKGROUP", True)])
        self.input.shortcut("ctrl", "s")
        self.wait_status("Message sent to the 2 selected recipient(s).")
        wait_until("the NET command to record both sends", lambda: len(self.net_records()) >= 2)
        expect("NET command lines", self.net_records(),
               [f'SEND "." {MESSAGE_TEXT}', f"SEND /domain:WORKGROUP {MESSAGE_TEXT}"])
        self.document("main-window.png", self.main())

    def step_built_in_send(self):
        self.open_main_menu(1)  # Settings
        settings = self.wait_dialog("ParvoxSettings", "Settings")
        expect("options at first", self.option_boxes(), (0, 0, 1, 0, 1))
        self.wait_focus(settings.child(control_id=SETTINGS_BOXES[0]).hwnd,
                        "\"Start with Windows.\"")
        self.input.key("space")
        self.tab_to(settings.child(control_id=SETTINGS_BOXES[3]).hwnd,
                    "\"Use Internal Net Send functions.\"")
        self.input.key("space")
        wait_equal("the options ticked", self.option_boxes, (1, 0, 1, 1, 1))
        self.document("settings.png", self.dialog("ParvoxSettings"))
        # The stand-in recipient below needs the slot that Parvox receives on.
        self.tab_to(settings.child(control_id=SETTINGS_BOXES[4]).hwnd,
                    "\"Show messages sent to this computer.\"")
        self.input.key("space")
        wait_equal("receiving turned off", self.option_boxes, (1, 0, 1, 1, 0))
        self.input.key("Return")  # Save
        self.wait_gone("ParvoxSettings")
        options = [("Start With Windows", "1"), ("Start Minimised", "0"), ("Escape Minimises", "1"),
                   ("Internal Send", "1"), ("Receive Messages", "0")]
        self.wait_settings("the options in the settings file",
                           lambda d: all(p in ini_section(d, "Settings") for p in options))
        expect("the Run value", self.wine.reg_query(RUN_KEY, "Parvox"),
               f'"{Wine.windows_path(self.exe)}"')
        self.receiver = self.wine.start(self.args.receiver, Wine.windows_path(self.slot))
        ready = os.path.join(self.slot, "ready")
        wait_until("the mailslot receiver", lambda: os.path.exists(ready), timeout=60)

        self.click_control(self.main(), SEND)
        log = self.wait_dialog("ParvoxLog", "Log")  # a failure brings the log up

        def log_text():
            return self.dialog("ParvoxLog", "Log").child(control_id=LOG_TEXT).text
        wait_equal("the log", log_text,
                   "Message successfully sent to ..\r\n" + WORKGROUP_FAILED)
        self.wait_status("Message sent to the 2 selected recipient(s).")
        datagram = (self.probe.user_name().encode("cp1252") + b"\0.\0"
                    + MESSAGE_TEXT.encode("cp1252") + b"\0\0")
        wait_until("the datagram for \".\"", self.datagrams)
        expect("datagrams read", self.datagrams(), [datagram])
        expect("NET commands after the built-in send", len(self.net_records()), 2)
        self.document("log.png", self.dialog("ParvoxLog", "Log"))
        self.click_control(log, LOG_CLOSE)
        self.wait_gone("ParvoxLog", "Log")

    def step_receive(self):
        # The stand-in lets the slot go; Parvox takes it as soon as receiving is on again.
        open(os.path.join(self.slot, "stop"), "w").close()
        self.receiver.wait(timeout=30)
        self.receiver = None
        self.open_main_menu(1)  # Settings
        settings = self.wait_dialog("ParvoxSettings", "Settings")
        self.tab_to(settings.child(control_id=SETTINGS_BOXES[4]).hwnd,
                    "\"Show messages sent to this computer.\"")
        self.input.key("space")
        wait_equal("receiving turned on", self.option_boxes, (1, 0, 1, 1, 1))
        self.input.key("Return")  # Save
        self.wait_gone("ParvoxSettings")
        self.wait_settings("receiving on in the settings file",
                           lambda d: ("Receive Messages", "1") in ini_section(d, "Settings"))

        # Sent to "." with the built-in sender, the message comes back through the real slot.
        # WORKGROUP stays out of it: this computer is in that workgroup, so its broadcast would
        # pop up here too.
        self.toggle_row("WORKGROUP")
        self.wait_rows([(".", True), ("WORKGROUP", False)])
        user = self.probe.user_name()
        self.click_control(self.main(), SEND)
        popup = self.wait_dialog("ParvoxMessage", f"Message from {user}")
        expect("the received text", popup.child(control_id=POPUP_TEXT).text, MESSAGE_TEXT)
        header = popup.child(control_id=POPUP_HEADER).text
        if not header.startswith(f"Message from {user} to . on "):
            raise Failure(f"the pop-up's first line reads {header!r}")
        # Without a window manager Wine neither restacks nor shows on the root window a window
        # that came up without taking the keyboard: raise it as a window manager would, and take
        # its picture from the window itself.
        self.input.xdotool("search", "--name", f"^Message from {user}$", "windowraise")
        if self.args.docs:
            os.makedirs(self.args.docs, exist_ok=True)
            window_screenshot(self.display.name, f"Message from {user}",
                              os.path.join(self.args.docs, "popup.png"))
        self.click_control(popup, POPUP_OK)
        self.wait_gone("ParvoxMessage")
        # Every recipient got it, so the log stays hidden until asked for.
        self.wait_status("Message sent to the 1 selected recipient(s).")
        self.open_main_menu(2)  # Log
        log = self.wait_dialog("ParvoxLog", "Log")
        # The line names how sure the sender is: the mailslot's copy or the signed one may come
        # first.
        line = re.compile(re.escape(header) + r" \[(not verified|first contact|verified)\]: " +
                          re.escape(MESSAGE_TEXT) + "\r\n")
        wait_until("the received message in the log",
                   lambda: line.search(log.child(control_id=LOG_TEXT).text))
        self.click_control(self.dialog("ParvoxLog", "Log"), LOG_CLOSE)
        self.wait_gone("ParvoxLog", "Log")
        self.toggle_row("WORKGROUP")
        self.wait_rows([(".", True), ("WORKGROUP", True)])
        self.check_second_program_finds_slot_taken()

    def check_second_program_finds_slot_taken(self):
        first = self.main().pid
        folder = tempfile.mkdtemp(prefix="parvox-e2e-second-")
        shutil.copy(self.exe, folder)
        with open(os.path.join(folder, SETTINGS_FILE), "wb") as f:
            f.write(b"[Settings]\r\nReceive Messages=1\r\n")
        second = self.wine.start(os.path.join(folder, "parvox.exe"), cwd=folder)

        def second_log():
            log = next((w for w in self.desktop().windows
                        if w.cls == "ParvoxLog" and w.pid != first), None)
            return log.child(control_id=LOG_TEXT).text if log else None
        try:
            # Its first line; the network port may be taken too, which another line says.
            wait_until("the second Parvox's log",
                       lambda: (second_log() or "").startswith(SLOT_TAKEN), timeout=60)
        finally:
            second.kill()
            second.wait(timeout=30)
            shutil.rmtree(folder, ignore_errors=True)

    def step_sort_remove_tray(self):
        name_header, description_header = self.headers()
        self.input.click(description_header.centre)
        self.wait_rows([("WORKGROUP", True), (".", True)], "the list sorted by description")

        def first_entry(data):
            return ini_section(data, "Addresses")[1][1]
        self.wait_settings("the book sorted by description",
                           lambda d: first_entry(d).startswith("ADDRESS=WORKGROUP|"))
        self.input.click(name_header.centre)
        self.wait_rows([(".", True), ("WORKGROUP", True)], "the list sorted by name")
        self.wait_settings("the book sorted by name", lambda d: d.startswith(BOOK_OF_TWO))

        self.toggle_row("WORKGROUP")
        self.wait_rows([(".", True), ("WORKGROUP", False)])
        before = self.settings_bytes()
        question = ("Remove selected entries..", "All checked entries will be removed - continue?")
        self.click_control(self.main(), REMOVE)
        self.answer_box(*question, "&No")
        expect("rows after answering No", self.row_states(), [(".", True), ("WORKGROUP", False)])
        expect("settings file after answering No", self.settings_bytes(), before)
        self.click_control(self.main(), REMOVE)
        self.answer_box(*question, "&Yes")
        self.wait_rows([("WORKGROUP", False)], "the list without the removed entry")
        remaining = [("Total", "1"), ("Address[00001]", "ADDRESS=WORKGROUP|"
                                      "DESCRIPTION=Everyone = the whole workgroup|TYPE=1")]
        self.wait_settings("the book without the removed entry",
                           lambda d: ini_section(d, "Addresses") == remaining)
        self.toggle_row("WORKGROUP")
        self.wait_rows([("WORKGROUP", True)])

        main = self.main()
        self.input.key("Escape")  # the list has the focus
        wait_until("the main window to hide to the notification area",
                   lambda: not self.main().visible)
        self.input.click(self.tray_icon().rect.centre, repeat=2)
        wait_until("the main window to come back on a double-click",
                   lambda: self.main(visible=True))
        expect("the window's place", self.main().rect, main.rect)
        self.wait_focus(self.control(LIST).hwnd, "the list again")

        # From the message box too: Escape hides the window (it must not close the program),
        # and Tab leaves the box for Send.
        self.focus_main()
        self.tab_to(self.control(MESSAGE).hwnd, "the message box")
        self.input.key("Escape")
        wait_until("the main window to hide from the message box", lambda: not self.main(visible=True))
        if self.main() is None:
            raise Failure("Escape in the message box closed the program")
        self.input.click(self.tray_icon().rect.centre, repeat=2)
        wait_until("the main window to come back again", lambda: self.main(visible=True))
        self.wait_focus(self.control(MESSAGE).hwnd, "the message box again")
        self.focus_main()
        self.input.key("Tab")
        self.wait_focus(self.control(SEND).hwnd, "Send, after the message box")

    def step_restart(self):
        self.close_program()
        last = ("Last Selected", "WORKGROUP")
        if last not in ini_section(self.settings_bytes(), "Settings"):
            raise Failure(f"no {last} in {ini_section(self.settings_bytes(), 'Settings')}")
        self.start_program()
        wait_until("the main window", lambda: self.main(visible=True), timeout=60)
        self.wait_rows([("WORKGROUP", True)], "the ticks of the last run")

        self.open_main_menu(1)  # Settings
        settings = self.wait_dialog("ParvoxSettings", "Settings")
        expect("options kept from the last run", self.option_boxes(), (1, 0, 1, 1, 1))
        self.wait_focus(settings.child(control_id=SETTINGS_BOXES[0]).hwnd,
                        "\"Start with Windows.\"")
        self.input.key("space")
        wait_equal("\"Start with Windows.\" cleared", self.option_boxes, (0, 0, 1, 1, 1))
        self.input.key("Return")  # Save
        self.wait_gone("ParvoxSettings")
        wait_equal("the Run value after clearing the option",
                   lambda: self.wine.reg_query(RUN_KEY, "Parvox"), None)
        self.close_program()

        self.start_program("MINIMIZE")
        self.input.click(self.tray_icon().rect.centre, button=3)
        menu = self.wait_dialog("#32768")
        # The program's message loop opened the menu, so its start-up is over by now.
        main = self.main()
        if main is None or main.visible:
            raise Failure(f"MINIMIZE: the main window should exist hidden, found {main}")
        self.input.click((menu.rect.x + menu.rect.w // 2, menu.rect.y + 11))  # "Show Window"
        wait_until("the main window to show from the tray menu", lambda: self.main(visible=True))
        self.wait_rows([("WORKGROUP", True)], "the ticks of the last run")

    def step_backup_restore(self):
        # The desktop folder of the journey's prefix holds nothing but the backup folder, so the
        # folder tree's type-ahead finds no other name beginning the same way.
        desktop = self.wine.desktop_folder()
        shutil.rmtree(desktop, ignore_errors=True)
        backups = os.path.join(desktop, BACKUP_FOLDER)
        os.makedirs(backups)
        self.focus_main()
        self.open_main_menu(3)  # Backup
        self.choose_backup_folder(
            "Select the directory you would like to back-up your settings to.")
        self.wait_status("The settings file has been backed up successfully.")
        with open(os.path.join(backups, SETTINGS_FILE), "rb") as f:
            saved = f.read()
        expect("the backup's bytes", saved, self.settings_bytes())

        self.add_entry("bob", "Bob's machine", domain=False, number=1)
        self.wait_rows([("WORKGROUP", True), ("bob", False)], "the changed book")

        self.open_main_menu(4)  # Restore
        self.choose_backup_folder(
            "Select the directory you would like to restore your settings from.")
        self.answer_box("Restore Settings",
                        "Are you sure you want to restore this settings file? Your\r\n"
                        "current settings and address book entries will\r\nbe overwritten.", "&Yes")
        self.wait_status("The settings file has been restored successfully.")
        self.wait_rows([("WORKGROUP", False)], "the restored book")
        expect("the settings file after the restore", self.settings_bytes(), saved)
        self.close_program()
        expect("the book after closing", ini_section(self.settings_bytes(), "Addresses"),
               ini_section(saved, "Addresses"))

    def step_two_programs(self):
        """Two copies of Parvox, each in a folder of its own with its own UDP port, exchange a
        message over loopback and the sender logs the receipt."""
        ports = []
        for _ in range(2):
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
                probe.bind(("127.0.0.1", 0))
                ports.append(probe.getsockname()[1])
        sender_port, receiver_port = ports
        recipient = f"127.0.0.1:{receiver_port}"
        books = (
            f"[Settings]\r\nNetwork Port={receiver_port}\r\n",
            f"[Addresses]\r\nTotal=1\r\nAddress[00001]=ADDRESS={recipient}|DESCRIPTION=the other"
            f"|TYPE=0\r\n[Settings]\r\nInternal Send=1\r\nNetwork Port={sender_port}\r\n"
            f"Last Selected={recipient}\r\n")
        pids = []
        for name, book in zip(("receiver", "sender"), books):
            folder = os.path.join(self.folder, name)
            os.makedirs(folder)
            shutil.copy(self.exe, folder)
            with open(os.path.join(folder, SETTINGS_FILE), "wb") as f:
                f.write(book.encode("cp1252"))
            self.others.append(self.wine.start(os.path.join(folder, "parvox.exe"), cwd=folder))

            def new_main():
                return next((w for w in self.desktop().windows
                             if w.cls == "ParvoxMain" and w.visible and w.pid not in pids), None)
            pids.append(wait_until(f"the {name}'s main window", new_main, timeout=60).pid)
        receiver_pid, sender_pid = pids

        sender = self.desktop().find(cls="ParvoxMain", pid=sender_pid)
        self.click_control(sender, MESSAGE)
        self.input.key("ctrl+Home", "ctrl+shift+End")  # the help text goes with the first key
        self.input.type(MESSAGE_TEXT)
        wait_equal("the sender's message",
                   lambda: self.desktop().find(cls="ParvoxMain", pid=sender_pid)
                   .child(control_id=MESSAGE).text, MESSAGE_TEXT)
        self.click_control(sender, SEND)

        user = self.probe.user_name()
        popup = wait_until("the receiver's pop-up",
                           lambda: self.desktop().find(cls="ParvoxMessage", pid=receiver_pid))
        expect("the pop-up's caption", popup.text, f"Message from {user}")

        def sender_log():
            log = self.desktop().find(cls="ParvoxLog", pid=sender_pid)
            return log.child(control_id=LOG_TEXT).text if log else ""
        wait_until("the receipt in the sender's log", lambda: "Message delivered" in sender_log())
        last = sender_log().split("\r\n")[-2]
        if not (last.startswith(f"Message delivered to {user} (") and last.endswith(").")):
            raise Failure(f"the sender's line: {last!r}")
        log = self.desktop().find(cls="ParvoxLog", pid=sender_pid)
        expect("the sender's log window, all delivered", log.visible, False)

    # ---- running ---------------------------------------------------------------------------

    def run(self):
        steps = [
            ("first start", self.step_first_start),
            ("add two entries", self.step_add_two_entries),
            ("send through the NET command", self.step_send_through_net),
            ("built-in send and its log", self.step_built_in_send),
            ("receive a message", self.step_receive),
            ("sort, remove, notification area", self.step_sort_remove_tray),
            ("restart: ticks, options, MINIMIZE", self.step_restart),
            ("backup and restore", self.step_backup_restore),
            ("two programs exchange a message and its receipt", self.step_two_programs),
        ]
        for number, (name, step) in enumerate(steps, 1):
            started = time.monotonic()
            print(f"step {number}: {name} ...", flush=True)
            step()
            self.timings.append((name, time.monotonic() - started))
            print(f"step {number}: passed in {self.timings[-1][1]:.1f} s", flush=True)

    def keep_evidence(self):
        if os.path.exists(self.settings):
            shutil.copy(self.settings, os.path.join(self.output, SETTINGS_FILE))
        if self.display is None or self.probe is None:
            return
        try:
            screenshot(self.display.name, os.path.join(self.output, "failure.png"))
        except Exception as error:  # evidence is best effort; the failure itself is reported
            print(f"no screenshot: {error}", file=sys.stderr)
        try:
            with open(os.path.join(self.output, "windows.txt"), "w") as f:
                f.write(f"X keyboard focus: {self.input.focused_x_window()}\n")
                f.write("\n".join(self.probe.ask("windows")))
        except Exception as error:
            print(f"no window list: {error}", file=sys.stderr)

    def close(self):
        if self.receiver is not None:
            open(os.path.join(self.slot, "stop"), "w").close()
            try:
                self.receiver.wait(timeout=10)
            except Exception:
                self.receiver.kill()
        if self.probe is not None:
            self.probe.close()
        if self.wine is not None:
            self.wine.server("-k")
        for process in (self.program, self.receiver, *self.others):
            if process is not None and process.poll() is None:
                process.kill()
        if self.display is not None:
            self.display.close()
        shutil.rmtree(self.folder, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--parvox", required=True, help="parvox.exe to test")
    parser.add_argument("--net", required=True, help="the stand-in net.exe")
    parser.add_argument("--probe", required=True, help="WindowProbe.exe")
    parser.add_argument("--receiver", required=True, help="MailslotReceiver.exe")
    parser.add_argument("--prefix", required=True, help="the journey's own Wine prefix (made once)")
    parser.add_argument("--output", required=True, help="folder for the evidence of a failure")
    parser.add_argument("--docs", help="also save the screenshots of the user guide here")
    parser.add_argument("--runs", type=int, default=1, help="how many times in a row to run the journey")
    parser.add_argument("--title", required=True, help="the caption the main window must have")
    args = parser.parse_args()
    for name in ("parvox", "net", "probe", "receiver", "prefix", "output", "docs"):
        if getattr(args, name):
            setattr(args, name, os.path.abspath(getattr(args, name)))

    # A journey that passes once but not every time is not reliable: run it several times in a row.
    for run in range(1, args.runs + 1):
        started = time.monotonic()
        journey = Journey(args)
        try:
            journey.set_up()
            journey.run()
        except Exception:
            traceback.print_exc()
            journey.keep_evidence()
            print(f"e2e: run {run} FAILED; evidence in {args.output}", file=sys.stderr)
            return 1
        finally:
            journey.close()
        print(f"e2e: run {run}: all {len(journey.timings)} steps passed in {time.monotonic() - started:.1f} s")
    return 0

if __name__ == "__main__":
    sys.exit(main())
