"""Runs a Windows program under Wine on a display nobody can see, and relays
each of its windows to the terminal: its title, its message and its buttons,
with a key for each. The answer is given on the real window with real mouse
and keyboard input, as a person at the screen would; a line that says "esc"
presses Escape, and the end of input closes the window with its close box.
A screenshot of each window is saved, and its path printed.

Usage: relay.py PROGRAM WININFO SHOTS_DIR [ARGS...]"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from desktop import Desktop, Program  # noqa: E402


def button_keys(buttons):
    """A letter for each button: the first of its text not taken yet."""
    keys = {}
    for button in buttons:
        text = button["text"].replace("&", "")
        key = next((c.lower() for c in text if c.isalnum() and c.lower() not in keys),
                   str(len(keys) + 1))
        keys[key] = button
    return keys


def describe(window, keys):
    message = " ".join(c["text"] for c in window["children"]
                       if c["class"] == "Static" and c["text"] and c["text"] != "Static")
    choices = "  ".join(f"[{key}] {button['text'].replace('&', '')}"
                        for key, button in keys.items())
    return f"{window['text']}: {message}  {choices}  [esc] close"


def answer(desktop, window, keys):
    while True:
        print("> ", end="", flush=True)
        line = sys.stdin.readline()
        if not line:
            print("(end of input: closing the window)", flush=True)
            if window["close"][2] > 0:
                desktop.click_close_box(window)
            else:
                desktop.press(window, "Escape")
            return
        choice = line.strip().lower()
        if choice in ("esc", "escape", "\x1b"):
            desktop.press(window, "Escape")
            return
        if choice in keys:
            desktop.click_button(window, keys[choice]["text"])
            return
        print(f"press one of: {', '.join(keys)} or esc", flush=True)


def main():
    program_path, wininfo, shots = sys.argv[1:4]
    desktop = Desktop(wininfo)
    program = Program(program_path, *sys.argv[4:])
    count = 0
    while program.process.poll() is None:
        for window in desktop.windows():
            buttons = [c for c in window["children"] if c["class"] == "Button"]
            if not buttons:
                continue
            count += 1
            keys = button_keys(buttons)
            shot = os.path.join(shots, f"window-{count}.png")
            desktop.screenshot(window, shot)
            print(describe(window, keys), flush=True)
            print(f"(screenshot: {shot})", flush=True)
            answer(desktop, window, keys)
            desktop.wait_gone(window)
            break
        time.sleep(0.2)
    code = program.wait()
    print(f"Grindlet ended with exit code {code}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
