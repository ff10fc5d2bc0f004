"""What the driven runs share: the program started on a private X server with a
home of its own, the waiting, and the end of a run, which stops everything and
keeps a failed run's screenshots and logs in the --keep folder.
"""

import argparse
import os
import shutil
import subprocess
import tempfile
import time
import traceback

from layout import Layout
from xsession import XSession, end, missing_tools


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


def arguments(doc):
    """The options every run takes; a run adds its own."""
    p = argparse.ArgumentParser(description=doc, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--program", required=True)
    p.add_argument("--layouts", required=True)
    p.add_argument("--keep", required=True, help="folder for screenshots and logs of a failed run")
    p.add_argument("--library-dir", help="where a copied build program finds libPelliform")
    return p


class DrivenRun:
    # The caller's settings the program must not see.
    CLEARED = ("XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS")

    def __init__(self, args, work):
        self.args = args
        self.work = work
        self.x = XSession(work)
        self.main_ui = Layout(os.path.join(args.layouts, "FrmMain.ui"))
        self.home = os.path.join(work, "home")
        self.program = args.program
        self.data_dir = None
        self.data_file = None
        self.app = None
        self.logs = []
        self.main = None

    def copy_program(self):
        """A copy in a folder of its own keeps File/ beside itself."""
        folder = os.path.join(self.work, "program")
        os.makedirs(folder)
        self.program = os.path.join(folder, "halvex")
        shutil.copy2(self.args.program, self.program)
        self.use_data_dir(os.path.join(folder, "File"))

    def use_data_dir(self, folder):
        self.data_dir = folder
        self.data_file = os.path.join(folder, "quorvel.dat")

    # ------------------------------------------------------------ program

    def env(self):
        env = dict(self.x.env)
        runtime = os.path.join(self.work, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        os.makedirs(self.home, exist_ok=True)
        for k in self.CLEARED:
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
        end(self.app)

    def click(self, control):
        cx, cy = self.main_ui.target(control)
        self.x.click(self.main.x + cx, self.main.y + cy)

    def list_menu(self, downs):
        """Opens the list's menu with the right button and takes an item by keys."""
        x, y, w, h = self.main_ui.rect("l1")
        self.x.run("xdotool", "mousemove", str(self.main.x + x + w // 2),
                   str(self.main.y + y + h // 2), "click", "3")
        time.sleep(0.3)
        self.x.screenshot("list-menu")
        self.x.key(*(["Down"] * downs), "Return")

    def data(self):
        with open(self.data_file, "rb") as f:
            return f.read()

    # ------------------------------------------------------------ the run

    def steps(self):
        raise NotImplementedError

    def stop(self):
        """Everything the steps started, after them however they ended."""
        self.stop_program()

    def kept(self):
        """What a failed run leaves for a look."""
        return self.x.shots + self.logs + [os.path.join(self.work, "xvfb.log"), self.data_file]


def run_main(make_run, args, passed):
    """Runs the steps on a private X server and reports as CTest reads it: 0 when they passed."""
    missing = missing_tools()
    if missing:
        print("missing tools: " + ", ".join(missing))
        return 1

    work = tempfile.mkdtemp(prefix="halvex-e2e-")
    run = make_run(args, work)
    failure = None
    try:
        run.x.start()
        run.steps()
    except Exception as e:  # noqa: BLE001 - every failure is reported the same way
        failure = e
        if not isinstance(e, Failed):
            traceback.print_exc()
        try:
            run.x.screenshot("failure")
        except Exception:  # noqa: BLE001
            pass
    finally:
        run.stop()
        run.x.stop()

    shutil.rmtree(args.keep, ignore_errors=True)
    if failure is None:
        shutil.rmtree(work, ignore_errors=True)
        print("passed: " + passed)
        return 0

    os.makedirs(args.keep, exist_ok=True)
    kept = [shutil.copy2(path, args.keep) for path in run.kept() if path and os.path.exists(path)]
    shutil.rmtree(work, ignore_errors=True)
    print("FAILED: %s" % failure)
    print("kept for a look:")
    for path in kept:
        print("  " + path)
    for log in run.logs:
        copy = os.path.join(args.keep, os.path.basename(log))
        if os.path.exists(copy):
            with open(copy, errors="replace") as f:
                text = f.read().strip()
            if text:
                print("--- %s\n%s" % (os.path.basename(log), text))
    return 1
