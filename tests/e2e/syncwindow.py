#!/usr/bin/env python3
"""A fresh Radicale account set up and synced from the window alone, by real input;
then the tool, given no address, syncs the same account.

    syncwindow.py --program PATH --tool PATH --layouts DIR --keep DIR [--shot FILE]

Radicale runs on 127.0.0.1 on a free port with its storage in the run's own
folder, and the user has no address book: the window offers to make one. The
program's home is the run's folder, so the account lands in its ~/.config.
--shot keeps the picture of the dialog's report.
"""

import base64
import os
import socket
import stat
import subprocess
import sys
import time
import urllib.request

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from contactfile import describe, record  # noqa: E402
from drivenrun import DrivenRun, arguments, check, run_main, wait_until  # noqa: E402
from xsession import end  # noqa: E402

MAIN = ("Halvex", (713, 514))
DIALOG = "همگام سازي با سرور"
USER, PASSWORD = "alice", "secret"
CONTACTS = (dict(name="Ali", family="Rezaei", phone="02144", mobile="09121234567", ident=1),
            dict(name="Sara", family="Ahmadi", phone="0311", mobile="", ident=2))
FROM_PHONE = ("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:phone-1\r\nFN:Mina Yekta\r\n"
              "N:Yekta;Mina;;;\r\nTEL;TYPE=CELL:09351112233\r\nEND:VCARD\r\n")


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
        end(self.process)
        self.log.close()


class Run(DrivenRun):
    CLEARED = DrivenRun.CLEARED + ("DBUS_SESSION_BUS_ADDRESS", "HALVEX_SYNC_URL", "HALVEX_SYNC_USER",
                                   "HALVEX_SYNC_PASSWORD_FILE")

    def __init__(self, args, work):
        super().__init__(args, work)
        self.copy_program()
        self.account = os.path.join(self.home, ".config", "halvex", "sync.conf")
        self.server = None

    def steps(self):
        self.server = Radicale(self.work)
        self.window_sync()
        self.tool_sync()

    def stop(self):
        super().stop()
        if self.server:
            self.server.stop()

    def kept(self):
        return super().kept() + [os.path.join(self.work, "radicale.log")]

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
        self.list_menu(6)
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
    p = arguments(__doc__)
    p.add_argument("--tool", required=True)
    p.add_argument("--shot")
    return run_main(Run, p.parse_args(),
                    "set up and synced from the window, then by the tool from the saved account")


if __name__ == "__main__":
    sys.exit(main())
