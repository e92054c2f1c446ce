#!/usr/bin/python3
"""The running window read through the real accessibility bus, as a screen reader reads it.

Starts its own X server, session bus and accessibility bus, runs the program on the simulated
sensor and checks the fingertips' names, states and actions, the progress value, the events
that announce a status change, and the window class that the desktop entry names. Stops exactly
the processes it started, also when a check fails or the run is interrupted.

Usage: atspi_window_test.py PROGRAM DESKTOP_ENTRY
"""

import ctypes
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import warnings

SKIPPED = 77  # CTest's skip code: the tools are not installed here
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
WAIT_SECONDS = 10

FINGERS_LEFT_TO_RIGHT = [
    "Left little finger", "Left ring finger", "Left middle finger", "Left index finger",
    "Left thumb", "Right thumb", "Right index finger", "Right middle finger",
    "Right ring finger", "Right little finger",
]


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class Processes:
    """The daemons and the program, stopped newest first by their own PIDs."""

    def __init__(self):
        self.started = []

    def start(self, argv, env, **options):
        process = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, **options)
        self.started.append(process)
        return process

    def stop_all(self):
        for process in reversed(self.started):
            stop(process.pid)
            process.wait()
        self.started.clear()
        # What the daemons started themselves (the registry on the accessibility bus) was
        # handed to this process when its parent went: stop and reap it too.
        for pid in orphans():
            stop(pid)
        while True:
            try:
                os.waitpid(-1, 0)
            except ChildProcessError:
                return


def stop(pid):
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    deadline = time.monotonic() + 3
    while time.monotonic() < deadline:
        try:
            if os.waitpid(pid, os.WNOHANG) != (0, 0):
                return
        except ChildProcessError:
            return
        time.sleep(0.02)
    os.kill(pid, signal.SIGKILL)


def orphans():
    pid = os.getpid()
    try:
        with open(f"/proc/{pid}/task/{pid}/children", encoding="ascii") as children:
            return [int(child) for child in children.read().split()]
    except OSError:
        return []


def adopt_orphans():
    """Makes this process the reaper of its descendants' orphans (Linux prctl)."""
    PR_SET_CHILD_SUBREAPER = 36
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)


def read_line_from(fd, what):
    """A line that a daemon writes to a pipe once it is ready."""
    deadline = time.monotonic() + WAIT_SECONDS
    data = b""
    os.set_blocking(fd, False)
    while not data.endswith(b"\n"):
        check(time.monotonic() < deadline, f"{what} did not start")
        try:
            chunk = os.read(fd, 256)
        except BlockingIOError:
            time.sleep(0.02)
            continue
        check(chunk, f"{what} ended before it was ready")
        data += chunk
    os.close(fd)
    return data.decode().strip()


def start_x_server(processes, env):
    read_end, write_end = os.pipe()
    processes.start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24",
                     "-nolisten", "tcp"], env, pass_fds=[write_end], stderr=subprocess.DEVNULL)
    os.close(write_end)
    return ":" + read_line_from(read_end, "Xvfb")


def start_session_bus(processes, env):
    read_end, write_end = os.pipe()
    processes.start(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                     f"--print-address={write_end}"], env, pass_fds=[write_end],
                    stderr=subprocess.DEVNULL)
    os.close(write_end)
    return read_line_from(read_end, "dbus-daemon")


def accessibility_bus_address(session_address):
    from gi.repository import Gio, GLib
    flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
             Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
    connection = Gio.DBusConnection.new_for_address_sync(session_address, flags, None, None)
    deadline = time.monotonic() + WAIT_SECONDS
    while True:
        try:
            reply = connection.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus",
                                         "GetAddress", None, GLib.VariantType("(s)"),
                                         Gio.DBusCallFlags.NONE, 1000, None)
            return reply.unpack()[0]
        except GLib.Error:
            check(time.monotonic() < deadline, "the accessibility bus did not start")
            time.sleep(0.05)


class Reader:
    """An assistive technology's view, on the accessibility bus given in the environment."""

    def __init__(self):
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi, GLib
        # Action names have no other accessor in this version's bindings.
        warnings.filterwarnings("ignore", r"Atspi\.Action\.get_action_name", DeprecationWarning)
        self.Atspi = Atspi
        self.context = GLib.MainContext.default()
        self.events = []
        self.listener = Atspi.EventListener.new(self._record)
        for event_type in ("object:property-change:accessible-name",
                           "object:property-change:accessible-description",
                           "object:state-changed:sensitive", "focus:"):
            self.listener.register(event_type)

    def _record(self, event):
        try:
            name = event.source.get_name()
        except Exception:  # the source may be gone already
            name = None
        self.events.append((event.type, name))

    def pump(self, seconds=0.0):
        deadline = time.monotonic() + seconds
        while True:
            while self.context.iteration(False):
                pass
            if time.monotonic() >= deadline:
                return
            time.sleep(0.01)

    def wait_for(self, condition, what):
        deadline = time.monotonic() + WAIT_SECONDS
        while True:
            self.pump()
            try:
                result = condition()
            except Exception:  # objects come and go while the window starts
                result = None
            if result:
                return result
            check(time.monotonic() < deadline, f"timed out waiting for {what}")
            time.sleep(0.05)

    def application(self, name):
        desktop = self.Atspi.get_desktop(0)
        for index in range(desktop.get_child_count()):
            child = desktop.get_child_at_index(index)
            if child is not None and child.get_name() == name:
                return child
        return None

    def find(self, root, test):
        if test(root):
            return root
        for index in range(root.get_child_count()):
            child = root.get_child_at_index(index)
            found = self.find(child, test) if child is not None else None
            if found is not None:
                return found
        return None

    def find_named(self, root, name, role=None):
        return self.find(root, lambda node: node.get_name() == name and
                         (role is None or node.get_role() == role))

    def fresh(self, node):
        node.clear_cache()
        return node

    def states(self, node):
        return self.fresh(node).get_state_set()

    def actions(self, node):
        self.fresh(node)
        if "Action" not in node.get_interfaces():
            return []
        return [self.Atspi.Action.get_action_name(node, index)
                for index in range(self.Atspi.Action.get_n_actions(node))]

    def do(self, node, name):
        names = self.actions(node)
        check(name in names, f"{node.get_name()} offers {names}, not {name}")
        self.Atspi.Action.do_action(node, names.index(name))

    def value(self, node):
        self.fresh(node)
        return (self.Atspi.Value.get_current_value(node),
                self.Atspi.Value.get_maximum_value(node))

    def saw(self, event_type, name):
        return any(seen == (event_type, name) for seen in self.events)


def window_class(display, env):
    output = subprocess.run(["xprop", "-display", display, "-name", "Varne", "WM_CLASS"],
                            env=env, capture_output=True, text=True, timeout=WAIT_SECONDS).stdout
    # WM_CLASS(STRING) = "instance", "class"
    return output.split("=", 1)[1].split(",")[1].strip().strip('"') if "=" in output else None


def startup_wm_class(desktop_entry):
    with open(desktop_entry, encoding="utf-8") as entry:
        for line in entry:
            if line.startswith("StartupWMClass="):
                return line.split("=", 1)[1].strip()
    return None


def run_checks(program, desktop_entry, processes, scratch):
    env = {key: value for key, value in os.environ.items()
           if not key.startswith(("DBUS_", "AT_SPI", "QT_", "DISPLAY", "WAYLAND", "VARNE_"))}
    env["XDG_RUNTIME_DIR"] = scratch
    display = start_x_server(processes, env)
    env["DISPLAY"] = display
    env["DBUS_SESSION_BUS_ADDRESS"] = start_session_bus(processes, env)
    processes.start([BUS_LAUNCHER, "--launch-immediately"], env, stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL)

    # Only the reader is told the accessibility bus: a program that is told never registers.
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = env["DBUS_SESSION_BUS_ADDRESS"]
    os.environ["AT_SPI_BUS_ADDRESS"] = accessibility_bus_address(env["DBUS_SESSION_BUS_ADDRESS"])
    reader = Reader()
    Atspi = reader.Atspi

    program_env = dict(env, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                       VARNE_SERVICE="simulated", VARNE_SIM_ENROLLED="7",
                       VARNE_SIM_SCRIPT="more@0,more@600000")
    varne = processes.start([program, "1"], program_env)

    app = reader.wait_for(lambda: reader.application("varne"), "the program on the bus")
    picture = reader.wait_for(lambda: reader.find_named(app, "Fingers"), "the hand picture")
    reader.wait_for(lambda: picture.get_child_count() == 10, "the fingertips")
    names = [picture.get_child_at_index(index).get_name() for index in range(10)]
    check(names == FINGERS_LEFT_TO_RIGHT, f"fingertips {names}")
    fingertips = {name: picture.get_child_at_index(index) for index, name in enumerate(names)}
    for name, node in fingertips.items():
        check(node.get_role() == Atspi.Role.PUSH_BUTTON, f"{name} role {node.get_role()}")
        states = reader.states(node)
        check(states.contains(Atspi.StateType.FOCUSABLE), f"{name} not focusable")
        check(states.contains(Atspi.StateType.SENSITIVE), f"{name} not sensitive")
        enrolled = name == "Left index finger"
        expected = ("Enrolled", ["Delete", "Test"]) if enrolled else ("Not enrolled", ["Enroll"])
        got = (reader.fresh(node).get_description(), reader.actions(node))
        check(got == expected, f"{name}: {got}, expected {expected}")

    menu_button = reader.find_named(app, "Window menu", Atspi.Role.PUSH_BUTTON)
    check(menu_button is not None, "no named window menu button")
    progress = reader.find(app, lambda node: node.get_role() == Atspi.Role.PROGRESS_BAR)
    check(progress is not None, "no progress bar")
    check(reader.value(progress) == (0, 3), f"progress {reader.value(progress)}")

    # Keys reach the picture, the first stop, and the reader follows the ring.
    subprocess.run(["xdotool", "search", "--sync", "--name", "^Varne$", "windowfocus", "--sync"],
                   env=env, check=True, capture_output=True, timeout=WAIT_SECONDS)
    reader.wait_for(lambda: reader.saw("focus:", "Left little finger"), "the ringed fingertip")
    subprocess.run(["xdotool", "key", "Right"], env=env, check=True, timeout=WAIT_SECONDS)
    reader.wait_for(lambda: reader.saw("focus:", "Left ring finger"), "the ring to move")
    check(reader.states(fingertips["Left ring finger"]).contains(Atspi.StateType.FOCUSED),
          "the ringed fingertip is not focused")

    # Enrolling through the fingertip's action, as a screen reader user would.
    reader.events.clear()
    reader.do(fingertips["Right index finger"], "Enroll")
    reader.wait_for(lambda: reader.saw("object:property-change:accessible-name",
                                       "Release Finger"), "the status title's announcement")
    reader.wait_for(lambda: reader.value(progress) == (1, 3), "the progress value")
    check(reader.saw("object:property-change:accessible-description", "Right index finger"),
          f"no state change of the fingertip among {reader.events}")
    check(reader.fresh(fingertips["Right index finger"]).get_description() == "Being enrolled",
          "the fingertip being enrolled says otherwise")
    left_little = fingertips["Left little finger"]
    check(not reader.states(left_little).contains(Atspi.StateType.SENSITIVE),
          "fingertips stay sensitive during an enrollment")
    check(reader.actions(left_little) == [], "fingertips offer actions during an enrollment")
    check(reader.saw("object:state-changed:sensitive", "Left little finger"),
          "no sensitivity change was announced")

    wm_class = window_class(display, env)
    check(wm_class is not None and wm_class == startup_wm_class(desktop_entry),
          f"window class {wm_class!r} is not the desktop entry's StartupWMClass")

    abort = reader.find_named(app, "Abort", Atspi.Role.PUSH_BUTTON)
    reader.do(abort, "Press")
    reader.wait_for(lambda: reader.fresh(fingertips["Right index finger"]).get_description()
                    == "Not enrolled", "the aborted finger's state")

    # Testing the enrolled finger through its action; the script has run out, so nobody
    # touches the sensor until Abort.
    reader.events.clear()
    reader.do(fingertips["Left index finger"], "Test")
    reader.wait_for(lambda: reader.saw("object:property-change:accessible-name", "Test Finger"),
                    "the test's title announcement")
    check(reader.fresh(fingertips["Left index finger"]).get_description() == "Being tested",
          "the fingertip being tested says otherwise")
    reader.do(abort, "Press")
    reader.wait_for(lambda: reader.fresh(fingertips["Left index finger"]).get_description()
                    == "Enrolled", "the tested finger's state after Abort")
    reader.do(reader.find_named(app, "Close", Atspi.Role.PUSH_BUTTON), "Press")
    try:
        status = varne.wait(timeout=WAIT_SECONDS)
    except subprocess.TimeoutExpired:
        raise Failure("the window did not close")
    check(status == 0, f"the program ended with status {status}")


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    missing = [tool for tool in ("Xvfb", "dbus-daemon", "xprop", "xdotool")
               if shutil.which(tool) is None]
    if not os.access(BUS_LAUNCHER, os.X_OK):
        missing.append(BUS_LAUNCHER)
    try:
        import gi
        gi.require_version("Atspi", "2.0")
    except (ImportError, ValueError):
        missing.append("gir1.2-atspi-2.0 / python3-gi")
    if missing:
        print("skipped, not installed: " + ", ".join(missing))
        return SKIPPED

    # A terminated test still stops what it started.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    adopt_orphans()
    processes = Processes()
    scratch = tempfile.mkdtemp(prefix="varne-atspi-")
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
