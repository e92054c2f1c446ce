#!/usr/bin/python3
"""The real program as a native Wayland client, under a headless compositor.

Starts weston's headless back end on a private runtime directory, a session bus and an
accessibility bus, and runs the program on the simulated sensor with Qt's Wayland platform. The
headless compositor has no seat, so the fingertips are worked through their accessibility
actions, as a screen reader would. Checks that the window maps, that its app id is the desktop
entry's name, that the question before a deletion is a child of the window, and that a finger
gets enrolled. Stops exactly the processes it started, also when a check fails.

Usage: wayland_window_test.py PROGRAM DESKTOP_ENTRY
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "a11y"))
from atspi_window_test import (BUS_LAUNCHER, SKIPPED, WAIT_SECONDS, Failure, Processes,  # noqa: E402
                               Reader, accessibility_bus_address, adopt_orphans, check,
                               start_session_bus)

SOCKET = "varne-wayland-test"
QT_WAYLAND_PLUGIN = "libqwayland-generic.so"
QT_PLUGIN_DIRS = ["/usr/lib/x86_64-linux-gnu/qt6/plugins/platforms",
                  "/usr/lib/aarch64-linux-gnu/qt6/plugins/platforms",
                  "/usr/lib/qt6/plugins/platforms"]


def start_compositor(processes, env, runtime_dir):
    weston = processes.start(["weston", "--backend=headless-backend.so", "--use-pixman",
                              f"--socket={SOCKET}", "--no-config", "--idle-time=0"], env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    socket = os.path.join(runtime_dir, SOCKET)
    deadline = time.monotonic() + WAIT_SECONDS
    while not os.path.exists(socket):
        check(weston.poll() is None, f"weston ended with status {weston.returncode}")
        check(time.monotonic() < deadline, "weston did not open its socket")
        time.sleep(0.02)


class ProtocolLog:
    """What the program asked of the compositor (WAYLAND_DEBUG=client on its standard error)."""

    def __init__(self, path):
        self.path = path

    def text(self):
        with open(self.path, encoding="utf-8", errors="replace") as log:
            # libwayland 1.23 names objects interface#id where 1.21 wrote interface@id.
            return re.sub(r"\b([A-Za-z_]\w*)#(\d+)", r"\1@\2", log.read())

    def messages(self, most=40):
        """The program's own lines (a sanitizer's report, Qt's warnings): not the protocol's."""
        lines = [line for line in self.text().splitlines()
                 if line.strip() and not line.startswith("[")]
        return "\n".join(lines[-most:])

    def app_ids(self):
        return re.findall(r'xdg_toplevel@\d+\.set_app_id\("([^"]*)"\)', self.text())

    def toplevels(self):
        """xdg_toplevel ids, with the wl_surface each one shows, in order of creation."""
        text = self.text()
        surface_of_xdg = dict(re.findall(
            r"-> xdg_wm_base@\d+\.get_xdg_surface\(new id xdg_surface@(\d+), wl_surface@(\d+)\)",
            text))
        return [(toplevel, surface_of_xdg.get(xdg)) for xdg, toplevel in re.findall(
            r"-> xdg_surface@(\d+)\.get_toplevel\(new id xdg_toplevel@(\d+)\)", text)]

    def mapped(self, surface):
        """A buffer attached and committed after the compositor's first configure was acked."""
        text = self.text()
        acked = text.find(".ack_configure(")
        if acked < 0:
            return False
        after = text[acked:]
        attached = after.find(f"-> wl_surface@{surface}.attach(wl_buffer@")
        return attached >= 0 and f"-> wl_surface@{surface}.commit()" in after[attached:]

    def parent_of(self, toplevel):
        found = re.findall(rf"-> xdg_toplevel@{toplevel}\.set_parent\(xdg_toplevel@(\d+)\)",
                           self.text())
        return found[-1] if found else None


def desktop_entry_id(desktop_entry):
    name = os.path.basename(desktop_entry)
    return name[:-len(".desktop")] if name.endswith(".desktop") else name


def run_checks(program, desktop_entry, processes, scratch):
    env = {key: value for key, value in os.environ.items()
           if not key.startswith(("DBUS_", "AT_SPI", "QT_", "DISPLAY", "WAYLAND", "VARNE_"))}
    env["XDG_RUNTIME_DIR"] = scratch
    start_compositor(processes, env, scratch)
    env["DBUS_SESSION_BUS_ADDRESS"] = start_session_bus(processes, env)
    processes.start([BUS_LAUNCHER, "--launch-immediately"], env, stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL)

    # Only the reader is told the accessibility bus: a program that is told never registers.
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = env["DBUS_SESSION_BUS_ADDRESS"]
    os.environ["AT_SPI_BUS_ADDRESS"] = accessibility_bus_address(env["DBUS_SESSION_BUS_ADDRESS"])
    reader = Reader()
    Atspi = reader.Atspi

    log = ProtocolLog(os.path.join(scratch, "protocol.log"))
    program_env = dict(env, WAYLAND_DISPLAY=SOCKET, QT_QPA_PLATFORM="wayland",
                       WAYLAND_DEBUG="client", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                       VARNE_SERVICE="simulated", VARNE_SIM_ENROLLED="7",
                       VARNE_SIM_SCRIPT="more@0,more@0,ok@0")
    # No leak check here: Qt's Wayland platform and the plugins it unloads at exit leave memory
    # unfreed that no suppression can name (their module is gone by then). Every other test
    # checks the program's own leaks.
    if env.get("ASAN_OPTIONS"):
        program_env["ASAN_OPTIONS"] = env["ASAN_OPTIONS"] + ":detect_leaks=0"
    with open(log.path, "wb") as stderr:
        varne = processes.start([program, "1"], program_env, stdout=subprocess.DEVNULL,
                                stderr=stderr)

    app = reader.wait_for(lambda: reader.application("varne"), "the program on the bus")
    reader.wait_for(lambda: log.toplevels(), "the window's toplevel")
    window, surface = log.toplevels()[0]
    reader.wait_for(lambda: log.mapped(surface), "the window to map")
    app_ids = log.app_ids()
    check(app_ids and app_ids[0] == desktop_entry_id(desktop_entry),
          f"app id {app_ids} is not the desktop entry's name")

    picture = reader.wait_for(lambda: reader.find_named(app, "Fingers"), "the hand picture")
    reader.wait_for(lambda: picture.get_child_count() == 10, "the fingertips")
    fingertips = {picture.get_child_at_index(index).get_name(): picture.get_child_at_index(index)
                  for index in range(10)}

    # The question before a deletion is the window's child, and No keeps the print.
    reader.do(fingertips["Left index finger"], "Delete")
    reader.wait_for(lambda: len(log.toplevels()) > 1, "the question's toplevel")
    question = log.toplevels()[1][0]
    reader.wait_for(lambda: log.parent_of(question), "the question's parent")
    check(log.parent_of(question) == window,
          f"the question's parent is xdg_toplevel@{log.parent_of(question)}, not the window")
    box = reader.wait_for(lambda: reader.find(app, lambda node: node.get_role() ==
                                              Atspi.Role.ALERT), "the question on the bus")
    reader.do(reader.wait_for(lambda: reader.find_named(box, "No", Atspi.Role.PUSH_BUTTON),
                              "the No button"), "Press")
    right_index = fingertips["Right index finger"]
    reader.wait_for(lambda: reader.actions(right_index) == ["Enroll"], "the question to go")
    check(reader.fresh(fingertips["Left index finger"]).get_description() == "Enrolled",
          "declining the question deleted the print")

    reader.do(right_index, "Enroll")
    reader.wait_for(lambda: reader.fresh(right_index).get_description() == "Enrolled",
                    "the finger to be enrolled")

    reader.do(reader.find_named(app, "Close", Atspi.Role.PUSH_BUTTON), "Press")
    try:
        status = varne.wait(timeout=WAIT_SECONDS)
    except subprocess.TimeoutExpired:
        raise Failure("the window did not close")
    check(status == 0, f"the program ended with status {status}:\n{log.messages()}")


def missing_tools():
    missing = [tool for tool in ("weston", "dbus-daemon") if shutil.which(tool) is None]
    if not any(os.path.exists(os.path.join(folder, QT_WAYLAND_PLUGIN))
               for folder in QT_PLUGIN_DIRS):
        missing.append("qt6-wayland")
    if not os.access(BUS_LAUNCHER, os.X_OK):
        missing.append(BUS_LAUNCHER)
    try:
        import gi
        gi.require_version("Atspi", "2.0")
    except (ImportError, ValueError):
        missing.append("gir1.2-atspi-2.0 / python3-gi")
    return missing


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    missing = missing_tools()
    if missing:
        print("skipped, not installed: " + ", ".join(missing))
        return SKIPPED

    # A terminated test still stops what it started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    adopt_orphans()
    processes = Processes()
    scratch = tempfile.mkdtemp(prefix="varne-wayland-")
    os.chmod(scratch, 0o700)
    try:
        run_checks(os.path.abspath(sys.argv[1]), sys.argv[2], processes, scratch)
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    finally:
        processes.stop_all()
        shutil.rmtree(scratch, ignore_errors=True)
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
