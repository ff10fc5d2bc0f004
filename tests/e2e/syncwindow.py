#!/usr/bin/env python3
"""A fresh Radicale account set up and synced from the window alone, by real input;
then the tool, given no address, syncs the same account.

    syncwindow.py --program PATH --tool PATH --layouts DIR --keep DIR [--shot FILE]

Radicale runs on 127.0.0.1 on a free port with its storage in the run's own
folder, and the user has no address book: the window offers to make one. The
program's home is the run's folder, so the account lands in its ~/.config.
--shot keeps the picture of the dialog's report.
"""

import argparse
import base64
import os
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
import time
import traceback
import urllib.request

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from contactfile import describe, record  # noqa: E402
from layout import Layout  # noqa: E402
from xsession import XSession, missing_tools  # noqa: E402

MAIN = ("Halvex", (713, 514))
DIALOG = "همگام سازي با سرور"
USER, PASSWORD = "alice", "secret"
CONTACTS = (dict(name="Ali", family="Rezaei", phone="02144", mobile="09121234567", ident=1),
            dict(name="Sara", family="Ahmadi", phone="0311", mobile="", ident=2))
FROM_PHONE = ("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:phone-1\r\nFN:Mina Yekta\r\n"
              "N:Yekta;Mina;;;\r\nTEL;TYPE=CELL:09351112233\r\nEND:VCARD\r\n")


class Failed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failed(message)


def wait_until(condition, what, timeout=30):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise Failed(what)
        time.sleep(0.1)


class Radicale:
    def __init__(self, work):
        self.dir = os.path.join(work, "radicale")
        os.makedirs(self.dir)
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            self.port = s.getsockname()[1]
        with open(os.path.join(self.dir, "users"), "w") as f:
            f.write("%s:%s\n" % (USER, PASSWORD))
        self.password_file = os.path.join(self.dir, "password")
        with open(self.password_file, "w") as f:
            f.write(PASSWORD + "\n")
        os.chmod(self.password_file, 0o600)
        with open(os.path.join(self.dir, "config"), "w") as f:
            f.write("[server]\nhosts = 127.0.0.1:%d\n[auth]\ntype = htpasswd\n"
                    "htpasswd_filename = %s/users\nhtpasswd_encryption = plain\ndelay = 0\n"
                    "[rights]\ntype = owner_only\n[storage]\nfilesystem_folder = %s/storage\n"
                    "[logging]\nlevel = warning\n" % (self.port, self.dir, self.dir))
        self.log = open(os.path.join(work, "radicale.log"), "wb")
        self.process = subprocess.Popen(["/usr/bin/python3", "-m", "radicale", "-C",
                                         os.path.join(self.dir, "config")],
                                        stdout=self.log, stderr=subprocess.STDOUT)

        def answers():
            with socket.socket() as s:
                return s.connect_ex(("127.0.0.1", self.port)) == 0
        wait_until(answers, "Radicale did not start")

    def root(self):
        return "http://127.0.0.1:%d/" % self.port

    def cards(self, book):
        folder = os.path.join(self.dir, "storage", "collection-root", USER, book)
        if not os.path.isdir(folder):
            return []
        return sorted(n for n in os.listdir(folder) if n.endswith(".vcf"))

    def put(self, path, card):
        request = urllib.request.Request(self.root().rstrip("/") + path, data=card.encode(),
                                         method="PUT")
        request.add_header("Content-Type", "text/vcard; charset=utf-8")
        request.add_header("Authorization", "Basic " + base64.b64encode(
            ("%s:%s" % (USER, PASSWORD)).encode()).decode())
        with urllib.request.urlopen(request, timeout=30) as answer:
            return answer.status

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
        self.log.close()


class Run:
    def __init__(self, args, work):
        self.args = args
        self.work = work
        self.x = XSession(work)
        self.main_ui = Layout(os.path.join(args.layouts, "FrmMain.ui"))
        self.home = os.path.join(work, "home")
        folder = os.path.join(work, "program")
        os.makedirs(folder)
        self.program = os.path.join(folder, "halvex")
        shutil.copy2(args.program, self.program)
        self.data_dir = os.path.join(folder, "File")
        self.data_file = os.path.join(self.data_dir, "quorvel.dat")
        self.account = os.path.join(self.home, ".config", "halvex", "sync.conf")
        self.server = None
        self.app = None
        self.logs = []
        self.main = None

    def env(self):
        env = dict(self.x.env)
        runtime = os.path.join(self.work, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        os.makedirs(self.home, exist_ok=True)
        for k in ("XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS",
                  "DBUS_SESSION_BUS_ADDRESS", "HALVEX_SYNC_URL", "HALVEX_SYNC_USER",
                  "HALVEX_SYNC_PASSWORD_FILE"):
            env.pop(k, None)
        env.update(HOME=self.home, XDG_RUNTIME_DIR=runtime, LANG="C.UTF-8")
        if self.args.library_dir:
            env["LD_LIBRARY_PATH"] = self.args.library_dir
        return env

    def start_program(self):
        log = os.path.join(self.work, "program-%d.log" % (len(self.logs) + 1))
        self.logs.append(log)
        with open(log, "wb") as out:
            self.app = subprocess.Popen([self.program], env=self.env(), stdout=out,
                                        stderr=subprocess.STDOUT, cwd=self.home)

    def stop_program(self):
        if self.app and self.app.poll() is None:
            self.app.terminate()
            try:
                self.app.wait(5)
            except subprocess.TimeoutExpired:
                self.app.kill()

    def click(self, control):
        cx, cy = self.main_ui.target(control)
        self.x.click(self.main.x + cx, self.main.y + cy)

    def data(self):
        with open(self.data_file, "rb") as f:
            return f.read()

    def question(self, dialog, shot):
        """A box over the dialog, with the dialog's title but not its window."""
        wait_until(lambda: any(w.id != dialog.id for w in self.x.windows(DIALOG)),
                   "no box %s" % shot, 60)
        box = next(w for w in self.x.windows(DIALOG) if w.id != dialog.id)
        self.x.screenshot(shot)
        self.x.key("Return")
        # The next box may take its place at once: this one is known by its id.
        wait_until(lambda: all(w.id != box.id for w in self.x.windows(DIALOG)),
                   "the box %s stays" % shot)
        return box

    def window_sync(self):
        os.makedirs(self.data_dir, mode=0o700)
        contacts = b"".join(record(**c) for c in CONTACTS)
        with open(self.data_file, "wb") as f:
            f.write(contacts)
        self.start_program()
        self.main = self.x.wait_window(*MAIN, timeout=30)
        self.click("CmdListTab")
        self.click("cmdDisplay")
        # The sync is the menu's sixth item.
        x, y, w, h = self.main_ui.rect("l1")
        self.x.run("xdotool", "mousemove", str(self.main.x + x + w // 2),
                   str(self.main.y + y + h // 2), "click", "3")
        time.sleep(0.3)
        self.x.screenshot("list-menu")
        self.x.key(*(["Down"] * 6), "Return")
        dialog = self.x.wait_window(DIALOG)
        time.sleep(0.3)
        # The address box has the focus; the password goes in as dots.
        self.x.type(self.server.root())
        self.x.key("Tab")
        self.x.type(USER)
        self.x.key("Tab")
        self.x.type(PASSWORD)
        self.x.screenshot("sync-filled")
        self.x.key("Return")
        # A fresh account: a book named Halvex is offered (yes is the default).
        self.question(dialog, "no-book-question")
        wait_until(lambda: len(self.server.cards("halvex")) == 2,
                   "the server holds %s, not two cards" % self.server.cards("halvex"), 60)
        # Without a desktop keyring the window says the password is not kept.
        self.question(dialog, "no-keyring")
        time.sleep(0.5)
        dialog = self.x.wait_window(DIALOG)
        shot = self.x.screenshot("sync-report")
        if self.args.shot:
            self.x.run("import", "-window", dialog.id, self.args.shot, check=False)
        check(self.data() == contacts, "the window's sync changed the data file:\n%s" % describe(self.data()))
        with open(self.account, encoding="utf-8") as f:
            saved = f.read()
        check(stat.S_IMODE(os.stat(self.account).st_mode) == 0o600, "the account is not 0600")
        check(PASSWORD not in saved, "the account holds the password")
        check("%salice/halvex/" % self.server.root() in saved, "the account is\n%s" % saved)
        check("user=alice" in saved, "the account is\n%s" % saved)
        self.stop_program()
        return shot

    def tool_sync(self):
        check(self.server.put("/alice/halvex/phone-1.vcf", FROM_PHONE) in (200, 201),
              "the card from the phone was not put")
        env = self.env()
        env["HALVEX_SYNC_PASSWORD_FILE"] = self.server.password_file
        done = subprocess.run([self.args.tool, "sync", "--data", self.data_dir], env=env,
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
        out = done.stdout.decode() + done.stderr.decode()
        check(done.returncode == 0, "the tool without an address ended with %d:\n%s"
              % (done.returncode, out))
        check("%salice/halvex/" % self.server.root() in out, "the tool synced elsewhere:\n" + out)
        data = self.data()
        check(len(data) == 3 * 156 and b"Mina" in data[312:],
              "after the tool the data file holds\n%s" % describe(data))


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--program", required=True)
    p.add_argument("--tool", required=True)
    p.add_argument("--layouts", required=True)
    p.add_argument("--keep", required=True)
    p.add_argument("--shot")
    p.add_argument("--library-dir")
    args = p.parse_args()
    if missing_tools():
        print("missing tools: " + ", ".join(missing_tools()))
        return 1

    work = tempfile.mkdtemp(prefix="halvex-e2e-sync-")
    run = Run(args, work)
    failure = None
    try:
        run.server = Radicale(work)
        run.x.start()
        run.window_sync()
        run.tool_sync()
    except Exception as e:  # noqa: BLE001 - every failure is reported the same way
        failure = e
        if not isinstance(e, Failed):
            traceback.print_exc()
        try:
            run.x.screenshot("failure")
        except Exception:  # noqa: BLE001
            pass
    finally:
        run.stop_program()
        if run.server:
            run.server.stop()
        run.x.stop()

    shutil.rmtree(args.keep, ignore_errors=True)
    if failure is None:
        shutil.rmtree(work, ignore_errors=True)
        print("passed: set up and synced from the window, then by the tool from the saved account")
        return 0
    os.makedirs(args.keep, exist_ok=True)
    for path in run.x.shots + run.logs + [os.path.join(work, "xvfb.log"),
                                          os.path.join(work, "radicale.log")]:
        if os.path.exists(path):
            shutil.copy2(path, args.keep)
    shutil.rmtree(work, ignore_errors=True)
    print("FAILED: %s\nkept for a look in %s" % (failure, args.keep))
    for log in run.logs:
        kept = os.path.join(args.keep, os.path.basename(log))
        if os.path.exists(kept):
            with open(kept, errors="replace") as f:
                text = f.read().strip()
            if text:
                print("--- %s\n%s" % (os.path.basename(log), text))
    return 1


if __name__ == "__main__":
    sys.exit(main())
