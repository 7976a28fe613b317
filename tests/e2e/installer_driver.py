#!/usr/bin/env python3
"""Drives one installer run through a conversation, as a person would.

    installer_driver.py [--pty] [--timeout S] -- PROGRAM ARGS... < SCRIPT

SCRIPT holds one step per line:
    expect TEXT      wait until TEXT has appeared in the output after the last match
    send TEXT        write TEXT and a line end to standard input
    interrupt        send SIGINT (Ctrl-C) to the program
    close            close standard input (end of input)
    sleep S          wait S seconds without reading the output (a writer
                     that fills the pipe or terminal then blocks)
Every wait is bounded by the time-out; the program's whole output goes to
standard output, and the exit status is the program's (124 on a time-out,
125 when an expected text never came).
With --pty the program runs on a pseudo-terminal (standard input and standard
error are the terminal); otherwise standard input is a pipe and standard error
is captured through a pipe.
"""
import os
import pty
import select
import signal
import subprocess
import sys
import time


def main():
    args = sys.argv[1:]
    use_pty = False
    timeout = 30.0
    while args and args[0] != "--":
        if args[0] == "--pty":
            use_pty = True
            args = args[1:]
        elif args[0] == "--timeout":
            timeout = float(args[1])
            args = args[2:]
        else:
            sys.exit("unknown option " + args[0])
    command = args[1:]
    steps = [line.rstrip("\n") for line in sys.stdin if line.strip()]

    if use_pty:
        master, slave = pty.openpty()
        proc = subprocess.Popen(command, stdin=slave, stdout=subprocess.DEVNULL, stderr=slave, close_fds=True)
        os.close(slave)
        read_fd, write_fd = master, master
    else:
        proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        read_fd, write_fd = proc.stderr.fileno(), proc.stdin.fileno()

    deadline = time.monotonic() + timeout
    output = b""
    seen = 0
    eof = False

    def pump(wait):
        nonlocal output, eof
        if eof:
            time.sleep(wait)
            return
        ready, _, _ = select.select([read_fd], [], [], wait)
        if ready:
            try:
                chunk = os.read(read_fd, 65536)
            except OSError:
                chunk = b""
            if chunk:
                output += chunk
            else:
                eof = True

    status = None
    for step in steps:
        verb, _, text = step.partition(" ")
        if verb == "expect":
            needle = text.encode()
            while True:
                found = output.find(needle, seen)
                if found >= 0:
                    seen = found + len(needle)
                    break
                if time.monotonic() > deadline or (eof and proc.poll() is not None):
                    status = 125
                    break
                pump(0.05)
            if status is not None:
                sys.stdout.buffer.write(output)
                sys.stdout.write("\n[driver] never saw: %s\n" % text)
                break
        elif verb == "send":
            try:
                os.write(write_fd, text.encode() + (b"\r" if use_pty else b"\n"))
            except OSError:
                pass
        elif verb == "interrupt":
            proc.send_signal(signal.SIGINT)
        elif verb == "sleep":
            time.sleep(float(text))
        elif verb == "close":
            if use_pty:
                os.write(write_fd, b"\x04")
            else:
                proc.stdin.close()
        else:
            sys.exit("unknown step " + step)

    if status is None:
        while proc.poll() is None and time.monotonic() < deadline:
            pump(0.05)
        if proc.poll() is None:
            proc.kill()
            status = 124
        else:
            while not eof:
                pump(0.05)
                if proc.poll() is not None and not select.select([read_fd], [], [], 0)[0]:
                    break
            status = proc.returncode
        sys.stdout.buffer.write(output)
    if proc.poll() is None:
        proc.kill()
    proc.wait()
    sys.exit(status)


if __name__ == "__main__":
    main()
