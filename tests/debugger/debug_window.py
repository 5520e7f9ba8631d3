#!/usr/bin/env python3
"""Under a real X server (DISPLAY set by debug_window.sh): the real `moxy --debug-adapter`
stops the game in its runner window, which shows the frame drawn so far while the program
is stopped; closing the window ends the program and the adapter goes on until disconnect.
    debug_window.py MOXY GAME_MOXY GAME_SOURCE CLOSE_WINDOW WORK_FOLDER"""
import json
import os
import subprocess
import sys
import time

moxy, game, source, close_window, work = sys.argv[1:6]
adapter = subprocess.Popen([moxy, "--debug-adapter"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
unread = []


def fail(text):
    sys.exit("FAIL: " + text)


def wait_for(match):
    """The first message not yet taken that matches; the test's timeout ends a hang."""
    while True:
        for message in unread:
            if match(message):
                unread.remove(message)
                return message
        header = adapter.stdout.readline()  # Content-Length: N, then an empty line
        if not header:
            fail("the adapter's output ended")
        adapter.stdout.readline()
        unread.append(json.loads(adapter.stdout.read(int(header.split(b":")[1]))))


def request(seq, command, arguments):
    body = json.dumps({"seq": seq, "type": "request", "command": command, "arguments": arguments}).encode()
    adapter.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
    adapter.stdin.flush()
    if not wait_for(lambda m: m.get("request_seq") == seq)["success"]:
        fail(command + " failed")


def event(name):
    return wait_for(lambda m: m.get("event") == name).get("body", {})


line = next(number for number, text in enumerate(open(source), 1) if text.startswith("doevents"))
request(1, "initialize", {"adapterID": "moxy"})
request(2, "launch", {"program": game, "seed": 1})
request(3, "setBreakpoints", {"source": {"path": source}, "lines": [line]})
request(4, "configurationDone", {})
if event("stopped")["reason"] != "breakpoint":
    fail("expected the stop at the breakpoint")
window = subprocess.run(["timeout", "20", "xdotool", "search", "--sync", "--name", "^Catch the ball!$"],
                        capture_output=True, text=True).stdout.split()[0]


def pixel(x, y):
    shot = os.path.join(work, "shot.png")
    subprocess.run(["import", "-window", window, shot], capture_output=True)
    return subprocess.run(["convert", shot, "-format", "%%[pixel:p{%d,%d}]" % (x, y), "info:"],
                          capture_output=True, text=True).stdout


# The paddle (blue, rows 222 to 224 from x 141) differs from the empty middle of the window.
for _ in range(200):
    paddle, empty = pixel(160, 223), pixel(160, 120)
    if paddle and empty and paddle != empty:
        break
    time.sleep(0.05)
else:
    fail("the stopped program's frame is not shown")
subprocess.run([close_window, window], check=True)
if event("exited")["exitCode"] != 0:
    fail("closing the window should end the run with code 0")
event("terminated")
request(5, "disconnect", {})
if adapter.wait(timeout=20) != 0:
    fail("the adapter did not end well after disconnect")
print("the stopped window showed its frame; closing it ended the program, disconnect the adapter")
