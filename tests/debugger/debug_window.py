#!/usr/bin/env python3
"""Under a real X server (DISPLAY set by debug_window.sh): the real `moxy --debug-adapter`
stops the game in its runner window, which shows the frame drawn so far while the program
is stopped; closing the window ends the program (exited, terminated) and the adapter goes
on until disconnect.
    debug_window.py MOXY GAME_MOXY GAME_SOURCE CLOSE_WINDOW WORK_FOLDER"""
import json
import os
import select
import subprocess
import sys
import time

moxy, game, source, close_window, work = sys.argv[1:6]


def fail(text):
    print("FAIL: " + text, file=sys.stderr)
    sys.exit(1)


adapter = subprocess.Popen([moxy, "--debug-adapter"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
buffer = b""
messages = []
seq = 0


def send(command, arguments=None):
    global seq
    seq += 1
    message = {"seq": seq, "type": "request", "command": command}
    if arguments is not None:
        message["arguments"] = arguments
    body = json.dumps(message).encode()
    adapter.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
    adapter.stdin.flush()
    return seq


def read_more(deadline):
    global buffer
    left = deadline - time.monotonic()
    if left <= 0:
        return False
    ready, _, _ = select.select([adapter.stdout], [], [], left)
    if not ready:
        return False
    chunk = os.read(adapter.stdout.fileno(), 65536)
    if not chunk:
        fail("the adapter's output ended")
    buffer += chunk
    while b"\r\n\r\n" in buffer:
        header, rest = buffer.split(b"\r\n\r\n", 1)
        length = int(header.split(b":")[1])
        if len(rest) < length:
            break
        messages.append(json.loads(rest[:length]))
        buffer = rest[length:]
    return True


def wait_for(match, what, seconds=20):
    deadline = time.monotonic() + seconds
    while True:
        for message in messages:
            if not message.get("_taken") and match(message):
                message["_taken"] = True
                return message
        if not read_more(deadline) and time.monotonic() >= deadline:
            fail("no " + what + " within %d s" % seconds)


def request(command, arguments=None):
    number = send(command, arguments)
    reply = wait_for(lambda m: m.get("type") == "response" and m.get("request_seq") == number, command + " response")
    if not reply.get("success"):
        fail(command + ": " + reply.get("message", ""))
    return reply


def event(name):
    return wait_for(lambda m: m.get("type") == "event" and m.get("event") == name, name + " event")


line = next(number for number, text in enumerate(open(source), 1) if text.startswith("doevents"))
request("initialize", {"adapterID": "moxy"})
request("launch", {"program": game, "seed": 1})
request("setBreakpoints", {"source": {"path": source}, "lines": [line]})
request("configurationDone")
if event("stopped")["body"]["reason"] != "breakpoint":
    fail("expected the stop at the breakpoint")

window = subprocess.run(["timeout", "20", "xdotool", "search", "--sync", "--name", "^Catch the ball!$"],
                        capture_output=True, text=True).stdout.split()
if not window:
    fail("no runner window named 'Catch the ball!'")
window = window[0]


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
    fail("the stopped program's frame is not shown: paddle %r, background %r" % (paddle, empty))
print("stopped; the window shows the frame (paddle %s on %s)" % (paddle, empty))

subprocess.run([close_window, window], check=True)
if event("exited")["body"]["exitCode"] != 0:
    fail("closing the window should end the run with code 0")
event("terminated")
request("disconnect")
try:
    status = adapter.wait(timeout=20)
except subprocess.TimeoutExpired:
    adapter.kill()
    fail("the adapter did not end after disconnect")
if status != 0:
    fail("the adapter ended with %d" % status)
print("closing the window ended the program; the adapter ended after disconnect")
