#!/usr/bin/python3
# Runs a command on a new terminal; types ANSWER once PROMPT shows. Prints all
# the terminal showed and exits with the command's status.
import os
import pty
import sys

prompt, answer = sys.argv[1].encode(), sys.argv[2].encode()
pid, fd = pty.fork()
if pid == 0:
    os.execv(sys.argv[3], sys.argv[3:])
shown, typed = b"", False
while True:
    try:
        data = os.read(fd, 4096)
    except OSError:
        break
    if not data:
        break
    shown += data
    if not typed and prompt in shown:
        os.write(fd, answer + b"\n")
        typed = True
_, status = os.waitpid(pid, 0)
sys.stdout.buffer.write(shown)
sys.exit(os.waitstatus_to_exitcode(status))
