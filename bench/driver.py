#!/usr/bin/python3
"""Runs the window and the floor dialog interleaved and prints one table of medians and ratios.

The window runs as varne-bench: the program exactly as varne runs it, with the probe that the
variable VARNE_BENCH selects (bench/BenchProbe.h); the installed varne ignores that variable.

Every figure is the median over interleaved runs with its min and max; every ratio is taken
against the floor measured in the same run. Only the standard library is used, and python3-gi
to set up the fprintd rows.
"""

import argparse
import importlib.util
import os
import select
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

LATENCY_TARGET_MS = 12.0
STARTUP_TARGET = 1.15
IDLE_CPU_TARGET = 1.05
MEMORY_TARGET = 1.15
XVFB_START_TIMEOUT_S = 10
RUN_TIMEOUT_S = 300
NOISE_MS = 2.0  # a difference of start-up medians smaller than this is not told apart


FPRINTD_FIGURES = {
    "startup": "1 start-up on fprintd, running: process start to first frame painted, ms",
    "activated": "1 start-up on fprintd, started by the bus: process start to first frame, ms",
    "idle": "2 idle on fprintd: CPU over %.0f s, ms",
    "latency": "3 SCAN on fprintd's virtual sensor to painted status, ms",
}
FPRINTD_MEMORY_TARGET = 1.2
# The back end's own start-up work, stamped on its thread: (label, from stamp, to stamp).
FPRINTD_WORK_PHASES = (
    ("bus connection", "fprintd-start", "fprintd-bus"),
    ("reader listing", "fprintd-bus", "fprintd-readers"),
    ("finger listing", "fprintd-bus", "fprintd-fingers"),
)
FPRINTD_NAME = "net.reactivated.Fprint"
FPRINTD_SCAN = "SCAN varne-bench"  # the same print every time: each one passes a stage
FPRINTD_SPARE_STAGES = 10
FPRINTD_CONNECT_TIMEOUT_S = 10  # the socket listens only once the window has claimed the reader
FPRINTD_RESULT_TIMEOUT_S = 5
FIXTURE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "fprintd",
                       "fixture.py")


class FprintdUnavailable(Exception):
    pass


class FprintdSandbox:
    """The tests' fixture: a private system bus, the polkit mock and fprintd on the virtual
    sensor. Stops exactly the processes it started, also when a measurement fails."""

    def __enter__(self):
        self.directory = None
        try:
            loader_spec = importlib.util.spec_from_file_location("varne_fixture", FIXTURE)
            self.fixture = importlib.util.module_from_spec(loader_spec)
            loader_spec.loader.exec_module(self.fixture)
        except (OSError, ImportError) as error:
            raise FprintdUnavailable("the fprintd fixture cannot be loaded: %s" % error)
        for path in (self.fixture.FPRINTD, self.fixture.PYTHON):
            if not os.access(path, os.X_OK):
                raise FprintdUnavailable("%s is not installed" % path)
        # Without it the polkit mock never comes up, and the fixture would wait for it.
        if importlib.util.find_spec("dbusmock") is None:
            raise FprintdUnavailable("python3-dbusmock is not installed")
        self.saved_address = os.environ.get("DBUS_SYSTEM_BUS_ADDRESS")
        self.tick_ms = 1000 / os.sysconf("SC_CLK_TCK")
        self.directory = tempfile.mkdtemp(prefix="varne-bench-fprintd-")
        try:
            os.makedirs(os.path.join(self.directory, "state"))
            self.fixture.start_bus(self.directory)
            self.fixture.start_polkit(self.directory)
            self.fixture.start_fprintd(self.directory, "plain", owned_by_fixture=True)
        except (self.fixture.FixtureError, OSError) as error:
            self.__exit__(None, None, None)
            raise FprintdUnavailable("the fixture did not start: %s" % error)
        self.address = os.environ["DBUS_SYSTEM_BUS_ADDRESS"]
        self.sensor = os.path.join(self.directory, "sensor")
        return self

    def __exit__(self, *unused):
        if self.directory is None:
            return
        self.fixture.stop_recorded(self.directory)
        if self.saved_address is None:
            os.environ.pop("DBUS_SYSTEM_BUS_ADDRESS", None)
        else:
            os.environ["DBUS_SYSTEM_BUS_ADDRESS"] = self.saved_address
        shutil.rmtree(self.directory, ignore_errors=True)
        self.directory = None

    def daemon_cpu_ms(self):
        with open(os.path.join(self.directory, "fprintd.pid")) as pid_file:
            pid = int(pid_file.read())
        with open("/proc/%d/stat" % pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) * self.tick_ms  # utime, stime

    def send(self, command, timeout_s):
        """One command a connection, then waits until the driver closes it; retried while the
        socket does not listen."""
        deadline = time.monotonic() + timeout_s
        while True:
            with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
                try:
                    connection.connect(self.sensor)
                except (FileNotFoundError, ConnectionRefusedError):
                    if time.monotonic() > deadline:
                        return False
                    time.sleep(0.01)
                    continue
                connection.sendall(command.encode())
                connection.settimeout(max(0.1, deadline - time.monotonic()))
                try:
                    while connection.recv(64):
                        pass
                except socket.timeout:
                    return False
                return True

    def stop_daemon(self):
        self.fixture.stop_fprintd(self.directory, kill=False)

    def make_activatable(self):
        """From now on the bus starts fprintd on the first call to its name, as a desktop's does."""
        self.stop_daemon()
        try:
            self.fixture.make_activatable(self.directory, "plain")
        except self.fixture.FixtureError as error:
            raise FprintdUnavailable("the bus cannot start fprintd: %s" % error)

    def activation_ms(self):
        """fprintd's own start, as any client sees it: from a first call to its name, with the
        daemon stopped, to the answer. Not ours; told apart from the window's start-up."""
        try:
            from gi.repository import Gio
        except ImportError as error:
            raise FprintdUnavailable("python3-gi is missing: %s" % error)
        flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
                 Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
        bus = Gio.DBusConnection.new_for_address_sync(self.address, flags, None, None)
        try:
            self.stop_daemon()
            start_ns = time.monotonic_ns()
            bus.call_sync(FPRINTD_NAME, "/net/reactivated/Fprint/Manager",
                          "net.reactivated.Fprint.Manager", "GetDevices", None, None,
                          Gio.DBusCallFlags.NONE, FPRINTD_CONNECT_TIMEOUT_S * 1000, None)
            return (time.monotonic_ns() - start_ns) / 1e6
        finally:
            bus.close_sync(None)

    def set_enroll_stages(self, stages):
        """The count survives Release, but the sensor takes commands only while claimed and
        applies them at the next EnrollStart: so claim, start, stop and release once."""
        try:
            from gi.repository import Gio, GLib
        except ImportError as error:
            raise FprintdUnavailable("python3-gi is missing: %s" % error)
        flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
                 Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
        bus = Gio.DBusConnection.new_for_address_sync(self.address, flags, None, None)
        service, device_interface = "net.reactivated.Fprint", "net.reactivated.Fprint.Device"

        def call(path, interface, method, arguments=None):
            return bus.call_sync(service, path, interface, method, arguments, None,
                                 Gio.DBusCallFlags.NONE, 5000, None)
        try:
            device = call("/net/reactivated/Fprint/Manager", "net.reactivated.Fprint.Manager",
                          "GetDefaultDevice").unpack()[0]
            call(device, device_interface, "Claim", GLib.Variant("(s)", ("",)))
            try:
                sent = self.send("SET_ENROLL_STAGES %d" % stages, FPRINTD_RESULT_TIMEOUT_S)
                call(device, device_interface, "EnrollStart",
                     GLib.Variant("(s)", ("right-index-finger",)))
                call(device, device_interface, "EnrollStop")
            finally:
                call(device, device_interface, "Release")
            reply = call(device, "org.freedesktop.DBus.Properties", "Get",
                         GLib.Variant("(ss)", (device_interface, "num-enroll-stages")))
        except GLib.Error as error:
            raise FprintdUnavailable("fprintd refused the set-up: %s" % error.message)
        finally:
            bus.close_sync(None)
        if not sent or reply.unpack()[0] != stages:
            raise FprintdUnavailable("the virtual sensor kept %s enroll stages, not %d" % (
                reply.unpack()[0], stages))


class LineReader:
    """The probe's lines from a child's standard error, as they come."""

    def __init__(self, fd):
        self.fd = fd
        self.buffer = b""
        self.seen = []

    def wait_for(self, key, timeout_s):
        deadline = time.monotonic() + timeout_s
        while True:
            while b"\n" in self.buffer:
                line, self.buffer = self.buffer.split(b"\n", 1)
                words = line.decode(errors="replace").split()
                if words[:1] == ["varne-bench"]:
                    self.seen.append(" ".join(words[1:]))
                    if words[1:2] == [key]:
                        return words[1:]
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                return None
            chunk = os.read(self.fd, 4096)
            if not chunk:
                return None
            self.buffer += chunk

    def last_seen(self):
        return "last line: %s" % (self.seen[-1] if self.seen else "none")

    def close(self):
        os.close(self.fd)


def stop_child(pid):
    """Ends a child that is still running and reaps it."""
    done, _ = os.waitpid(pid, os.WNOHANG)
    if done:
        return
    os.kill(pid, signal.SIGTERM)
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline:
        done, _ = os.waitpid(pid, os.WNOHANG)
        if done:
            return
        time.sleep(0.01)
    os.kill(pid, signal.SIGKILL)
    os.waitpid(pid, 0)


class Xvfb:
    """One private X server on a free display, stopped by its PID."""

    def __init__(self):
        self.process = None
        self.display = None

    def __enter__(self):
        read_end, write_end = os.pipe()
        self.log = tempfile.TemporaryFile()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24",
             "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=self.log)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + XVFB_START_TIMEOUT_S
        while not number.endswith(b"\n"):
            if not select.select([read_end], [], [], max(0, deadline - time.monotonic()))[0]:
                break
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            self.__exit__(None, None, None)
            raise RuntimeError("Xvfb did not report a display")
        self.display = ":" + number.decode().strip()
        return self

    def check(self):
        """Raises when the server has gone, with what it said."""
        if self.process.poll() is not None:
            self.log.seek(0)
            raise RuntimeError("Xvfb on %s ended with status %s:\n%s" % (
                self.display, self.process.returncode, self.log.read().decode()[-1500:]))

    def __exit__(self, *unused):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class Run:
    """One finished child: wall time, resource usage and the probe's lines."""

    def __init__(self, start_ns, end_ns, status, usage, lines):
        self.wall_ms = (end_ns - start_ns) / 1e6
        self.status = status
        self.max_rss_kib = usage.ru_maxrss
        self.lines = lines
        self.stamps = {}
        for words in lines:
            if words[:1] == ["stamp"] and len(words) == 3:
                self.stamps[words[1]] = (int(words[2]) - start_ns) / 1e6

    def line(self, key):
        for words in self.lines:
            if words[:1] == [key]:
                return words[1:]
        return None


def start(program, arguments, environment):
    """Spawns program with stderr to a file; returns what finish() needs."""
    log = tempfile.TemporaryFile()
    devnull = os.open(os.devnull, os.O_RDWR)
    start_ns = time.monotonic_ns()
    pid = os.posix_spawn(program, [program] + arguments, environment,
                         file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 0),
                                       (os.POSIX_SPAWN_DUP2, devnull, 1),
                                       (os.POSIX_SPAWN_DUP2, log.fileno(), 2)])
    os.close(devnull)
    return pid, start_ns, log


def finish(started, timeout_s=RUN_TIMEOUT_S):
    pid, start_ns, log = started
    deadline = time.monotonic() + timeout_s
    while True:
        done, status, usage = os.wait4(pid, os.WNOHANG)
        if done:
            break
        if time.monotonic() > deadline:
            os.kill(pid, signal.SIGKILL)
            done, status, usage = os.wait4(pid, 0)
            break
        time.sleep(0.0005)
    end_ns = time.monotonic_ns()
    log.seek(0)
    text = log.read().decode(errors="replace")
    log.close()
    lines = [line.split()[1:] for line in text.splitlines() if line.startswith("varne-bench ")]
    run = Run(start_ns, end_ns, status, usage, lines)
    if not os.WIFEXITED(status) or os.WEXITSTATUS(status) != 0:
        raise RuntimeError("%s failed (status %d):\n%s" % ("child", status, text[-2000:]))
    return run


def run_one(program, arguments, environment):
    return finish(start(program, arguments, environment))


def checked(server, action):
    """Runs action; when it fails, tells a failed child from an X server that went away."""
    try:
        return action()
    except RuntimeError:
        if server:
            server.check()
        raise


def spread(values, digits=1):
    """median [min-max] of values."""
    form = "%%.%df" % digits
    return (form + " [" + form + "–" + form + "]") % (
        statistics.median(values), min(values), max(values))


def ratio(ours, floor):
    return statistics.median(ours) / statistics.median(floor)


class Bench:
    def __init__(self, options):
        self.options = options
        self.varne = os.path.join(options.build, "bench", "varne-bench")
        self.floor = os.path.join(options.build, "bench", "varne_bench_floor")
        self.rows = []
        self.notes = []
        self.runtime = tempfile.mkdtemp(prefix="varne-bench-")
        os.chmod(self.runtime, 0o700)

    def environment(self, platform, display, **extra):
        environment = {key: value for key, value in os.environ.items()
                       if not key.startswith(("VARNE_", "QT_", "DISPLAY", "WAYLAND"))}
        environment.update(XDG_RUNTIME_DIR=self.runtime, DBUS_SESSION_BUS_ADDRESS="disabled:",
                           QT_QPA_PLATFORM=platform, VARNE_SERVICE="simulated")
        if display:
            environment["DISPLAY"] = display
        environment.update(extra)
        return environment

    def machine(self):
        """Where and when the figures were taken, and how busy the machine was."""
        model = "unknown"
        with open("/proc/cpuinfo") as cpuinfo:
            for line in cpuinfo:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
        qt = run_one(self.floor, [], self.environment(
            "offscreen", None, VARNE_BENCH="startup")).line("qt")
        load = " ".join("%.2f" % value for value in os.getloadavg())
        return [
            "Date: %s UTC" % time.strftime("%Y-%m-%d %H:%M", time.gmtime()),
            "Machine: %d cores (nproc), %s, Linux %s, Qt %s" % (
                os.cpu_count(), model, os.uname().release, qt[0] if qt else "unknown"),
            load,
        ]

    def row(self, figure, platform, ours, floor, verdict=""):
        self.rows.append((figure, platform, ours, floor, verdict))

    # 1 and 4: start-up and peak memory, floor and window in alternating order.
    def startup(self, platform, display):
        iterations = self.options.iterations
        environment = self.environment(platform, display, VARNE_BENCH="startup")
        programs = [(self.floor, []), (self.varne, ["1"])]
        for program, arguments in programs:  # warm the page cache, not measured
            run_one(program, arguments, environment)
        runs = {self.floor: [], self.varne: []}
        for iteration in range(iterations):
            order = programs if iteration % 2 == 0 else programs[::-1]
            for program, arguments in order:
                runs[program].append(run_one(program, arguments, environment))
        floor, ours = runs[self.floor], runs[self.varne]
        frame = {key: [r.stamps["frame"] for r in value] for key, value in
                 (("ours", ours), ("floor", floor))}
        self.row("1 start-up: process start to first frame painted, ms", platform,
                 spread(frame["ours"]), spread(frame["floor"]),
                 self.judge(ratio(frame["ours"], frame["floor"]), STARTUP_TARGET))
        self.row("1 start-up: the same, then exit (wall), ms", platform,
                 spread([r.wall_ms for r in ours]), spread([r.wall_ms for r in floor]),
                 "%.2f" % ratio([r.wall_ms for r in ours], [r.wall_ms for r in floor]))
        self.notes.append("%s: ratio of the fastest start-ups to first frame (less sensitive to "
                          "a busy machine than the medians): %.2f" % (
                              platform, min(frame["ours"]) / min(frame["floor"])))
        for name, phases in (("window", self.phases(ours)), ("floor", self.phases(floor))):
            self.notes.append("%s phases (%s, ms from process start, median): %s" % (
                name, platform, ", ".join("%s %.1f" % item for item in phases)))
        rss_ratio = ratio([r.max_rss_kib for r in ours], [r.max_rss_kib for r in floor])
        self.row("4 peak resident size, MiB", platform,
                 spread([r.max_rss_kib / 1024 for r in ours]),
                 spread([r.max_rss_kib / 1024 for r in floor]),
                 self.judge(rss_ratio, MEMORY_TARGET))

    @staticmethod
    def phases(runs):
        """Each phase's median length on the window's thread: from the previous stamp (or process
        start) to its own. The back end's stamps are the fprintd rows' own breakdown."""
        names = sorted((name for name in runs[0].stamps if not name.startswith("fprintd-")),
                       key=runs[0].stamps.get)
        result, previous = [], None
        for name in names:
            lengths = [r.stamps[name] - (r.stamps[previous] if previous else 0) for r in runs]
            label = "process+exec" if name == "main" else name
            result.append((label, statistics.median(lengths)))
            previous = name
        result.append(("exit", statistics.median([r.wall_ms - r.stamps[previous] for r in runs])))
        return result

    @staticmethod
    def judge(value, target):
        return "%.2f (target ≤ %.2f: %s)" % (value, target, "met" if value <= target else "MISSED")

    # 2: idle CPU and timer events; floor, window and polling window side by side in time.
    def idle(self, platform, display):
        period = str(self.options.idle_ms)
        samples = {"floor": [], "ours": [], "poll": []}
        for _ in range(self.options.idle_iterations):
            started = {
                "floor": start(self.floor, [], self.environment(
                    platform, display, VARNE_BENCH="idle=" + period)),
                "ours": start(self.varne, ["1"], self.environment(
                    platform, display, VARNE_BENCH="idle=" + period)),
                "poll": start(self.varne, ["1"], self.environment(
                    platform, display, VARNE_BENCH="poll=" + period)),
            }
            for key, handle in started.items():
                run = finish(handle)
                for words in run.lines:
                    if words[:1] == ["timer-fired"] and key != "floor":
                        self.notes.append("%s: a QTimer fired while idle: %s" % (
                            platform, " ".join(words[1:])))
                words = run.line("idle")
                # cpu-us N timer-events N ours N
                samples[key].append((int(words[1]), int(words[3]), int(words[5])))
        cpu = {key: [s[0] / 1000 for s in values] for key, values in samples.items()}
        timers = {key: [s[1] for s in values] for key, values in samples.items()}
        own = [s[2] for s in samples["ours"]]
        self.row("2 idle CPU over %.0f s, ms" % (self.options.idle_ms / 1000), platform,
                 spread(cpu["ours"], 2), spread(cpu["floor"], 2),
                 self.judge(ratio(cpu["ours"], cpu["floor"]), IDLE_CPU_TARGET))
        self.row("2 idle timer events (of them our timers)", platform,
                 "%s (ours max %d)" % (spread(timers["ours"], 0), max(own)),
                 spread(timers["floor"], 0), "met" if max(own) == 0 else "MISSED: our timer fired")
        self.row("2 CPU with a 10 ms picture repaint, ms", platform, spread(cpu["poll"], 1),
                 "—", "%.0f× our idle CPU" % ratio(cpu["poll"], cpu["ours"]))

    # 3: capture result on the service's thread to the status on screen.
    def latency(self, platform, display):
        count = self.options.latency_results
        # Every result changes the status, and the bad ones reset each other's counters, so the
        # attempt never reaches the bad-capture limit.
        script = ",".join(["more", "poor", "fast", "poor"] * (count // 4 + 1))
        environment = self.environment(platform, display, VARNE_BENCH="latency=%d" % count,
                                       VARNE_SIM_SCRIPT=script)
        values = [int(v) / 1000 for v in run_one(self.varne, ["1"], environment).line(
            "latency-us")]
        values.sort()
        p50 = values[len(values) // 2]
        p99 = values[min(len(values) - 1, int(len(values) * 0.99))]
        self.row("3 result to painted status, ms (%d results)" % len(values), platform,
                 "p50 %.2f, p99 %.2f, max %.2f" % (p50, p99, values[-1]), "—",
                 "p99 %s target ≤ %.0f ms" % ("meets" if p99 <= LATENCY_TARGET_MS else "MISSES",
                                               LATENCY_TARGET_MS))

    # 5: cost as the work grows, offscreen; sizes interleaved within each round.
    def growth(self):
        rounds = self.options.growth_iterations
        environment = self.environment("offscreen", None, VARNE_BENCH="startup")

        def units(count):
            return dict(environment, VARNE_SIM_UNITS=",".join(str(u) for u in range(1, count + 1)))
        self.grow("5 start-up with N units listed, ms", [1, 100, 10000], rounds,
                  lambda n: run_one(self.varne, ["1"], units(n)).stamps["frame"], "unit")

        stores = {n: self.store_file(n) for n in self.options.store_sizes}
        self.grow("5 start-up with a store of N records, ms", self.options.store_sizes, rounds,
                  lambda n: run_one(self.varne, ["1"], dict(
                      environment, VARNE_SIM_STORE=stores[n])).stamps["frame"], "record")

        def enrollment(captures):
            script = ",".join(["more"] * (captures - 1) + ["ok"])
            run = run_one(self.varne, ["1"], dict(environment, VARNE_BENCH="enroll=2",
                                                  VARNE_SIM_SCRIPT=script))
            result = " ".join(run.line("enroll-result") or [])
            if result != "Enrollment Success":
                raise RuntimeError("enrollment of %d captures ended in %r" % (captures, result))
            return run.stamps["enrolled"] - run.stamps["click"]
        self.grow("5 whole enrollment of N accepted captures, ms", [3, 30, 300], rounds,
                  enrollment, "capture", per_item_of_total=True)

    def store_file(self, records):
        """A store of records entries of other identities on unit 1, ten fingers each."""
        path = os.path.join(self.runtime, "store-%d" % records)
        with open(path, "w") as store:
            store.write("varne-sim-store 1\n")
            for index in range(records):
                store.write("1 3 %024x %d\n" % (index // 10 + 1, index % 10 + 1))
        os.chmod(path, 0o600)
        return path

    def grow(self, figure, sizes, rounds, measure, item, per_item_of_total=False):
        """Medians per size and the cost per item. The growth is judged against a straight line
        through the two smaller sizes, when the step between them stands out of the noise."""
        samples = {n: [] for n in sizes}
        for round_index in range(rounds):
            for n in (sizes if round_index % 2 == 0 else sizes[::-1]):
                samples[n].append(measure(n))
        medians = {n: statistics.median(samples[n]) for n in sizes}
        small, middle, large = sizes
        if per_item_of_total:
            per_item = [medians[n] / n for n in sizes]
            superlinear = per_item[2] > 2 * per_item[1]
            verdict = "grows faster than linearly" if superlinear else "linear"
        else:
            per_item = [(medians[b] - medians[a]) / (b - a) for a, b in
                        ((small, middle), (small, large))]
            middle_step = medians[middle] - medians[small]
            large_step = medians[large] - medians[small]
            # A step lost in the noise still bounds the line: it is at most NOISE_MS.
            line = max(middle_step, NOISE_MS) * (large - small) / (middle - small)
            if large_step > 2 * line:
                verdict = "grows faster than linearly: %+.0f ms where a line allows %.0f" % (
                    large_step, line)
            else:
                verdict = "linear or better: %+.0f ms, a line allows %.0f" % (large_step, line)
        cells = ", ".join("N=%d: %s" % (n, spread(samples[n])) for n in sizes)
        steps = ", ".join("%.4f" % value for value in per_item)
        self.row(figure, "offscreen", cells, "—", "ms per %s %s; %s" % (item, steps, verdict))

    def run(self):
        before = self.machine()
        platforms = [("offscreen", None)]
        with Xvfb() as server:
            platforms.append(("xcb (Xvfb)", server.display))
            for name, display in platforms:
                platform = "xcb" if display else name
                self.server = server if display else None
                for figure, action in (("startup", self.startup), ("idle", self.idle),
                                       ("latency", self.latency)):
                    if self.wanted(figure):
                        checked(self.server, lambda: action(platform, display))
            self.fprintd_rows([("xcb" if display else name, display)
                               for name, display in platforms])
        if self.wanted("growth"):
            self.growth()
        after = self.machine()
        print(before[0])
        print(before[1])
        print("Load average (1, 5, 15 min): %s at the start, %s at the end" % (before[2], after[2]))
        print()
        self.print_table()

    def wanted(self, figure):
        return not self.options.only or figure in self.options.only

    # 1, 2, 3 and 4 on fprintd: the fixture's daemons on libfprint's virtual sensor; the rows
    # with fprintd started by the bus come last, since from then on the bus starts it.
    def fprintd_rows(self, platforms):
        figures = [figure for figure in ("startup", "idle", "latency", "activated")
                   if self.wanted(figure) or self.wanted("fprintd") or
                   (figure == "activated" and self.wanted("startup"))]
        if not figures:
            return
        measures = {"startup": self.fprintd_startup, "idle": self.fprintd_idle,
                    "latency": self.fprintd_latency, "activated": self.fprintd_activated}

        def not_measured(figure, platform, reason):
            self.row(FPRINTD_FIGURES[figure].replace(" over %.0f s", ""), platform,
                     "not measured (%s)" % reason, "—", "")
        try:
            with FprintdSandbox() as sandbox:
                for stage in ([f for f in figures if f != "activated"],
                              [f for f in figures if f == "activated"]):
                    try:
                        if stage == ["activated"]:
                            sandbox.make_activatable()
                    except FprintdUnavailable as reason:
                        for platform, _ in platforms:
                            not_measured("activated", platform, reason)
                        continue
                    # Each bus-started run waits for fprintd's own start: CI's brief run
                    # takes one platform of them.
                    quick = stage == ["activated"] and self.options.quick
                    for platform, display in (platforms[:1] if quick else platforms):
                        for figure in stage:
                            try:
                                checked(self.server if display else None,
                                        lambda: measures[figure](sandbox, platform, display))
                            except FprintdUnavailable as reason:
                                not_measured(figure, platform, reason)
        except FprintdUnavailable as reason:
            print("bench: fprintd rows skipped: %s" % reason, file=sys.stderr)
            for platform, _ in platforms:
                for figure in figures:
                    not_measured(figure, platform, reason)

    def interleaved(self, measures):
        """Each measure once unmeasured (the page cache), then the iterations in alternating
        order; returns the results of each."""
        keys = list(measures)
        for key in keys:
            measures[key]()
        results = {key: [] for key in keys}
        for iteration in range(self.options.iterations):
            for key in (keys if iteration % 2 == 0 else keys[::-1]):
                results[key].append(measures[key]())
        return results

    def fprintd_startup(self, sandbox, platform, display):
        ours_environment = self.fprintd_environment(sandbox, platform, display, "startup")
        floor_environment = self.environment(platform, display, VARNE_BENCH="startup")
        runs = self.interleaved({
            "floor": lambda: run_one(self.floor, [], floor_environment),
            "ours": lambda: run_one(self.varne, ["1"], ours_environment),
        })
        ours, floor = runs["ours"], runs["floor"]
        frame = {key: [r.stamps["frame"] for r in value] for key, value in runs.items()}
        self.row(FPRINTD_FIGURES["startup"], platform, spread(frame["ours"]),
                 spread(frame["floor"]),
                 self.judge(ratio(frame["ours"], frame["floor"]), STARTUP_TARGET))
        self.row("4 peak resident size on fprintd, MiB", platform,
                 spread([r.max_rss_kib / 1024 for r in ours]),
                 spread([r.max_rss_kib / 1024 for r in floor]),
                 self.judge(ratio([r.max_rss_kib for r in ours], [r.max_rss_kib for r in floor]),
                            FPRINTD_MEMORY_TARGET))
        self.notes.append("fprintd running, %s: ratio of the fastest start-ups to first frame: "
                          "%.2f" % (platform, min(frame["ours"]) / min(frame["floor"])))
        self.fprintd_breakdown("fprintd running", platform, ours)

    def fprintd_activated(self, sandbox, platform, display):
        ours_environment = self.fprintd_environment(sandbox, platform, display, "startup")
        floor_environment = self.environment(platform, display, VARNE_BENCH="startup")

        def ours():
            sandbox.stop_daemon()
            return run_one(self.varne, ["1"], ours_environment)
        runs = self.interleaved({
            "floor": lambda: run_one(self.floor, [], floor_environment),
            "ours": ours,
            "daemon": sandbox.activation_ms,
        })
        frame = {key: [r.stamps["frame"] for r in runs[key]] for key in ("ours", "floor")}
        self.row(FPRINTD_FIGURES["activated"], platform, spread(frame["ours"]),
                 spread(frame["floor"]),
                 "%.2f (reported as it is; fprintd's own start %s ms)" % (
                     ratio(frame["ours"], frame["floor"]), spread(runs["daemon"])))
        self.notes.append(
            "fprintd started by the bus, %s: fprintd's own start, from a first call to its name "
            "to GetDevices' answer, measured apart from the window: %s ms (the fixture's bus "
            "starts it through a python3 wrapper that records its PID)" % (
                platform, spread(runs["daemon"])))
        self.fprintd_breakdown("fprintd started by the bus", platform, runs["ours"])

    def fprintd_breakdown(self, name, platform, runs):
        """Where the time goes: the window's phases, and the back end's work on its thread."""
        self.notes.append("window phases (%s, %s, ms, median): %s" % (
            name, platform, ", ".join("%s %.1f" % item for item in self.phases(runs))))
        work = []
        for label, first, last in FPRINTD_WORK_PHASES:
            lengths = [r.stamps[last] - r.stamps[first] for r in runs
                       if first in r.stamps and last in r.stamps]
            if lengths:
                work.append("%s %s" % (label, spread(lengths)))
        ends = [r.stamps["fprintd-fingers"] for r in runs if "fprintd-fingers" in r.stamps]
        if ends:
            work.append("done at %s from process start" % spread(ends))
        self.notes.append("back end's thread (%s, %s, ms, median [min–max]): %s" % (
            name, platform, ", ".join(work) if work else "no stamps"))

    def fprintd_environment(self, sandbox, platform, display, mode):
        return self.environment(platform, display, VARNE_BENCH=mode, VARNE_SERVICE="fprintd",
                                DBUS_SYSTEM_BUS_ADDRESS=sandbox.address)

    def fprintd_idle(self, sandbox, platform, display):
        period = str(self.options.idle_ms)
        cpu = {"floor": [], "ours": []}
        own, daemon_ms = [], []
        for iteration in range(self.options.idle_iterations):
            daemon_before = sandbox.daemon_cpu_ms()
            # Side by side in time, started in alternating order.
            order = ["floor", "ours"] if iteration % 2 == 0 else ["ours", "floor"]
            started = {}
            for key in order:
                if key == "floor":
                    started[key] = start(self.floor, [], self.environment(
                        platform, display, VARNE_BENCH="idle=" + period))
                else:
                    started[key] = start(self.varne, ["1"], self.fprintd_environment(
                        sandbox, platform, display, "idle=" + period))
            for key in order:
                run = finish(started[key])
                words = run.line("idle")  # cpu-us N timer-events N ours N
                cpu[key].append(int(words[1]) / 1000)
                if key == "ours":
                    own.append(int(words[5]))
                    for fired in run.lines:
                        if fired[:1] == ["timer-fired"]:
                            self.notes.append("fprintd, %s: a QTimer fired while idle: %s" % (
                                platform, " ".join(fired[1:])))
            daemon_ms.append(sandbox.daemon_cpu_ms() - daemon_before)
        self.row(FPRINTD_FIGURES["idle"] % (self.options.idle_ms / 1000), platform,
                 spread(cpu["ours"], 2),
                 spread(cpu["floor"], 2),
                 self.judge(ratio(cpu["ours"], cpu["floor"]), IDLE_CPU_TARGET))
        self.row("2 idle on fprintd: timers of ours fired", platform, "max %d" % max(own),
                 "—", "met" if max(own) == 0 else "MISSED: our timer fired")
        self.notes.append(
            "fprintd idle, %s: the window's CPU includes its fprintd thread; fprintd's own CPU over "
            "each whole run (start-up included, in clock ticks of %.0f ms): %s" % (
                platform, sandbox.tick_ms, ", ".join("%.0f ms" % value for value in daemon_ms)))

    def fprintd_latency(self, sandbox, platform, display):
        """Sends one SCAN at a time and waits for its status on screen; the driver stamps the
        send, the window the paint, both on CLOCK_MONOTONIC."""
        count = self.options.fprintd_scans
        # A long enrollment: every SCAN is one accepted stage, and none completes it.
        sandbox.set_enroll_stages(count + FPRINTD_SPARE_STAGES)
        read_end, write_end = os.pipe()
        program = self.varne
        environment = self.fprintd_environment(sandbox, platform, display,
                                               "scan=%d" % (count + 1))
        devnull = os.open(os.devnull, os.O_RDWR)
        pid = os.posix_spawn(program, [program, "1"], environment,
                             file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 0),
                                           (os.POSIX_SPAWN_DUP2, devnull, 1),
                                           (os.POSIX_SPAWN_DUP2, write_end, 2)])
        os.close(devnull)
        os.close(write_end)
        lines = LineReader(read_end)
        latencies, problem = [], None
        deadline = time.monotonic() + self.options.fprintd_seconds
        try:
            # The first touch waits for the claim and EnrollStart; it is not counted.
            for index in range(count + 1):
                if time.monotonic() > deadline:
                    problem = "time budget of %d s used up" % self.options.fprintd_seconds
                    break
                sent_ns = time.monotonic_ns()
                if not sandbox.send(FPRINTD_SCAN, FPRINTD_CONNECT_TIMEOUT_S if index == 0
                                    else FPRINTD_RESULT_TIMEOUT_S):
                    problem = "the virtual sensor did not take a SCAN"
                    break
                words = lines.wait_for("status-painted", FPRINTD_RESULT_TIMEOUT_S)
                if words is None:
                    problem = "no status painted within %d s of a SCAN (%s)" % (
                        FPRINTD_RESULT_TIMEOUT_S, lines.last_seen())
                    break
                if index > 0:
                    latencies.append((int(words[1]) - sent_ns) / 1e6)
        finally:
            stop_child(pid)
            lines.close()
        figure = FPRINTD_FIGURES["latency"] + " (%d results)" % len(latencies)
        if not latencies:
            self.row(FPRINTD_FIGURES["latency"], platform, "not measured (%s)" % problem,
                     "—", "")
            return
        latencies.sort()
        p50 = latencies[len(latencies) // 2]
        p99 = latencies[min(len(latencies) - 1, int(len(latencies) * 0.99))]
        self.row(figure, platform, "p50 %.2f, p99 %.2f, max %.2f" % (
            p50, p99, latencies[-1]), "—", "p99 reported (no target)")
        if problem:
            self.notes.append("fprintd latency, %s: ended early: %s" % (platform, problem))

    def print_table(self):
        header = ("Figure", "Platform", "Varne: median [min–max]", "Floor: median [min–max]",
                  "Ratio / verdict")
        rows = [header] + self.rows
        widths = [max(len(row[i]) for row in rows) for i in range(len(header))]
        print("| " + " | ".join(h.ljust(w) for h, w in zip(header, widths)) + " |")
        print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
        for row in self.rows:
            print("| " + " | ".join(c.ljust(w) for c, w in zip(row, widths)) + " |")
        print()
        for note in self.notes:
            print("- " + note)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, help="the release build directory")
    parser.add_argument("--iterations", type=int, default=40, help="start-up runs of each")
    parser.add_argument("--idle-ms", type=int, default=10000)
    parser.add_argument("--idle-iterations", type=int, default=3)
    parser.add_argument("--latency-results", type=int, default=1000)
    parser.add_argument("--fprintd-scans", type=int, default=1000,
                        help="SCANs on fprintd's virtual sensor, at most")
    parser.add_argument("--fprintd-seconds", type=int, default=25,
                        help="time budget of the SCANs")
    parser.add_argument("--growth-iterations", type=int, default=3)
    parser.add_argument("--store-sizes", type=lambda text: [int(v) for v in text.split(",")],
                        default=[10, 1000, 100000], help="records of the store rows")
    parser.add_argument("--only", type=lambda text: text.split(","), default=[],
                        help="some of startup,idle,latency,growth,fprintd,activated (default: all; "
                        "startup, idle and latency include their fprintd rows)")
    parser.add_argument("--quick", action="store_true", help="everything once, briefly (CI)")
    options = parser.parse_args()
    if options.quick:
        options.iterations, options.idle_ms, options.idle_iterations = 2, 1000, 1
        options.latency_results, options.growth_iterations = 20, 1
        options.fprintd_scans, options.fprintd_seconds = 20, 5
        options.store_sizes = [10, 100, 1000]
    bench = Bench(options)
    try:
        bench.run()
    finally:
        shutil.rmtree(bench.runtime, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
