#!/usr/bin/python3
"""Runs a test against the real fprintd on a private system bus with libfprint's virtual sensor.

  fixture.py run [--variant plain|storage|none] -- COMMAND...
      Starts a private system bus, the polkit mock (enroll and verify allowed) and fprintd, runs
      COMMAND with DBUS_SYSTEM_BUS_ADDRESS and VARNE_FIXTURE_* set, then stops exactly the
      processes it started, also when COMMAND fails or the fixture is interrupted.
  fixture.py fprintd start [--variant ...] | stop [--kill] | activatable [--variant ...]
      Within a run: starts fprintd again (the variant may change) or stops it, or lets the bus
      start it on the first call to its name (D-Bus activation, without -t, so it may also end
      by itself when idle).
  fixture.py logind start | stop
      Within a run: starts python-dbusmock's logind mock on the private bus, or stops it; the
      run stops it at the end in any case.

Exit status 77 means the daemons are not installed (CTest counts it as skipped).
"""

import argparse
import ctypes
import os
import signal
import subprocess
import sys
import tempfile
import time

FPRINTD = "/usr/libexec/fprintd"
PYTHON = "/usr/bin/python3"
POLKIT_TEMPLATE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "polkitd_template.py")
SKIPPED = 77
READY_TIMEOUT_S = 10
STOP_TIMEOUT_S = 3
PR_SET_PDEATHSIG = 1
PR_SET_CHILD_SUBREAPER = 36
ENROLL_ACTIONS = "net.reactivated.fprint.device.enroll,net.reactivated.fprint.device.verify"

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path={socket}</listen>
  <auth>EXTERNAL</auth>
  <servicedir>{services}</servicedir>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
  </policy>
</busconfig>
"""


class FixtureError(Exception):
    pass


def die_with_fixture():
    """Run in a daemon started by the fixture itself: should the fixture be killed outright,
    the daemon gets SIGTERM instead of living on."""
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)


def record_pid(directory, pid):
    with open(os.path.join(directory, "pids"), "a", encoding="ascii") as pids:
        pids.write(f"{pid}\n")


def is_running(pid):
    """True while the process exists and is not a zombie waiting for a parent that never reaps."""
    try:
        with open(f"/proc/{pid}/stat", encoding="ascii") as stat:
            state = stat.read().rsplit(")", 1)[1].split()[0]
    except (OSError, IndexError):
        return False
    return state not in ("Z", "X")


def stop_pid(pid, sig=signal.SIGTERM):
    try:
        os.kill(pid, sig)
    except ProcessLookupError:
        return
    deadline = time.monotonic() + STOP_TIMEOUT_S
    while is_running(pid) and time.monotonic() < deadline:
        reap(pid)
        time.sleep(0.01)
    if is_running(pid):
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    reap(pid)


def reap(pid):
    try:
        os.waitpid(pid, os.WNOHANG)
    except ChildProcessError:
        pass


def dbus_send(*arguments):
    return subprocess.run(
        ["dbus-send", "--system", "--print-reply", *arguments],
        capture_output=True, text=True, check=False)


def wait_until(what, ready):
    deadline = time.monotonic() + READY_TIMEOUT_S
    while not ready():
        if time.monotonic() > deadline:
            raise FixtureError(f"{what} did not come up")
        time.sleep(0.01)


def name_has_owner(name):
    reply = dbus_send("--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                      "org.freedesktop.DBus.NameHasOwner", f"string:{name}")
    return reply.returncode == 0 and "boolean true" in reply.stdout


def fprintd_environment(directory, variant):
    environment = dict(os.environ)
    for name in ("FP_VIRTUAL_DEVICE", "FP_VIRTUAL_DEVICE_STORAGE"):
        environment.pop(name, None)
    sensor = os.path.join(directory, "sensor")
    environment["STATE_DIRECTORY"] = os.path.join(directory, "state")
    if variant == "storage":
        environment["FP_VIRTUAL_DEVICE_STORAGE"] = sensor
        environment["FP_DRIVERS_WHITELIST"] = "virtual_device_storage"
    else:
        if variant == "plain":
            environment["FP_VIRTUAL_DEVICE"] = sensor
        environment["FP_DRIVERS_WHITELIST"] = "virtual_device"
    return environment


def start_fprintd(directory, variant, owned_by_fixture=False):
    log = open(os.path.join(directory, "fprintd.log"), "ab")
    # Started again by a test's short-lived command, it must outlive that command; the fixture
    # still stops it by its recorded PID.
    process = subprocess.Popen([FPRINTD, "-t"], env=fprintd_environment(directory, variant),
                               stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                               start_new_session=True,
                               preexec_fn=die_with_fixture if owned_by_fixture else None)
    record_pid(directory, process.pid)
    with open(os.path.join(directory, "fprintd.pid"), "w", encoding="ascii") as pid_file:
        pid_file.write(f"{process.pid}\n")

    def ready():
        if process.poll() is not None:
            raise FixtureError("fprintd exited at start; see " + log.name)
        if variant == "none":
            return name_has_owner("net.reactivated.Fprint")
        reply = dbus_send("--dest=net.reactivated.Fprint", "/net/reactivated/Fprint/Manager",
                          "net.reactivated.Fprint.Manager.GetDevices")
        return reply.returncode == 0 and "object path" in reply.stdout

    wait_until("fprintd", ready)


def stop_fprintd(directory, kill):
    try:
        with open(os.path.join(directory, "fprintd.pid"), encoding="ascii") as pid_file:
            pid = int(pid_file.read())
    except (OSError, ValueError):
        return
    stop_pid(pid, signal.SIGKILL if kill else signal.SIGTERM)
    wait_until("fprintd's name to go", lambda: not name_has_owner("net.reactivated.Fprint"))


SERVICE_FILE = """[D-BUS Service]
Name=net.reactivated.Fprint
Exec={python} {script} activated --dir {directory} --variant {variant}
User=root
"""


def make_activatable(directory, variant):
    path = os.path.join(directory, "services", "net.reactivated.Fprint.service")
    with open(path, "w", encoding="ascii") as service:
        service.write(SERVICE_FILE.format(python=PYTHON, script=os.path.abspath(__file__),
                                          directory=directory, variant=variant))
    reply = dbus_send("--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                      "org.freedesktop.DBus.ReloadConfig")
    if reply.returncode != 0:
        raise FixtureError("the bus did not reload its configuration: " + reply.stderr)


def exec_activated(directory, variant):
    """Run by the bus: becomes fprintd, recorded so the fixture stops it by its PID."""
    record_pid(directory, os.getpid())
    with open(os.path.join(directory, "fprintd.pid"), "w", encoding="ascii") as pid_file:
        pid_file.write(f"{os.getpid()}\n")
    environment = fprintd_environment(directory, variant)
    environment["DBUS_SYSTEM_BUS_ADDRESS"] = os.environ["DBUS_STARTER_ADDRESS"]
    log = os.open(os.path.join(directory, "fprintd.log"), os.O_WRONLY | os.O_APPEND | os.O_CREAT)
    os.dup2(log, 1)
    os.dup2(log, 2)
    os.execve(FPRINTD, [FPRINTD], environment)


def start_logind(directory):
    log = open(os.path.join(directory, "logind.log"), "ab")
    # Started by a test's short-lived command, it outlives that command; the run stops it by its
    # recorded PID.
    process = subprocess.Popen([PYTHON, "-m", "dbusmock", "--system", "--template", "logind"],
                               stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                               start_new_session=True)
    record_pid(directory, process.pid)
    with open(os.path.join(directory, "logind.pid"), "w", encoding="ascii") as pid_file:
        pid_file.write(f"{process.pid}\n")

    def ready():
        if process.poll() is not None:
            raise FixtureError("the logind mock exited at start; see " + log.name)
        return name_has_owner("org.freedesktop.login1")

    wait_until("the logind mock", ready)


def stop_logind(directory):
    try:
        with open(os.path.join(directory, "logind.pid"), encoding="ascii") as pid_file:
            pid = int(pid_file.read())
    except (OSError, ValueError):
        return
    stop_pid(pid)
    wait_until("logind's name to go", lambda: not name_has_owner("org.freedesktop.login1"))


def start_bus(directory):
    socket = os.path.join(directory, "system_bus_socket")
    config = os.path.join(directory, "bus.conf")
    with open(config, "w", encoding="ascii") as config_file:
        config_file.write(BUS_CONFIG.format(socket=socket,
                                            services=os.path.join(directory, "services")))
    os.makedirs(os.path.join(directory, "services"))
    log = open(os.path.join(directory, "bus.log"), "ab")
    process = subprocess.Popen(
        ["dbus-daemon", f"--config-file={config}", "--nofork", "--nopidfile", "--nosyslog",
         "--print-address=1"],
        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=log, start_new_session=True,
        preexec_fn=die_with_fixture)
    record_pid(directory, process.pid)
    address = process.stdout.readline().decode().strip()
    if not address:
        raise FixtureError("dbus-daemon did not start")
    os.environ["DBUS_SYSTEM_BUS_ADDRESS"] = address


def start_polkit(directory):
    log = open(os.path.join(directory, "polkit.log"), "ab")
    process = subprocess.Popen(
        [PYTHON, "-m", "dbusmock", "--system", "--template", POLKIT_TEMPLATE],
        stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True,
        preexec_fn=die_with_fixture)
    record_pid(directory, process.pid)
    wait_until("the polkit mock", lambda: name_has_owner("org.freedesktop.PolicyKit1"))
    reply = dbus_send("--dest=org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority",
                      "org.freedesktop.DBus.Mock.SetAllowed", f"array:string:{ENROLL_ACTIONS}")
    if reply.returncode != 0:
        raise FixtureError("the polkit mock refused SetAllowed: " + reply.stderr)


def stop_recorded(directory):
    try:
        with open(os.path.join(directory, "pids"), encoding="ascii") as pids:
            recorded = [int(line) for line in pids if line.strip()]
    except OSError:
        return
    for pid in reversed(recorded):
        stop_pid(pid)


def remove_tree(directory):
    for root, directories, files in os.walk(directory, topdown=False):
        for name in files:
            os.unlink(os.path.join(root, name))
        for name in directories:
            path = os.path.join(root, name)
            if os.path.islink(path):
                os.unlink(path)
            else:
                os.rmdir(path)
    os.rmdir(directory)


def interrupted(signum, _frame):
    raise KeyboardInterrupt(signum)


def run_between(name, prefix, start, command):
    """Runs COMMAND once start(directory) has started its daemons in a fresh directory, then stops
    exactly the processes recorded there, by PID, and removes the directory, also when a start or
    COMMAND fails or the fixture is interrupted. NAME begins the fixture's own messages."""
    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGINT, interrupted)
    directory = tempfile.mkdtemp(prefix=prefix)
    test = None
    try:
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = "disabled:"
        start(directory)
        test = subprocess.Popen(command, preexec_fn=die_with_fixture)
        return test.wait()
    except FixtureError as error:
        print(f"{name}: {error}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        return 130
    finally:
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        if test is not None and test.poll() is None:
            stop_pid(test.pid)
        stop_recorded(directory)
        if os.environ.get("VARNE_FIXTURE_KEEP"):
            print(f"{name}: kept {directory}", file=sys.stderr)
        else:
            remove_tree(directory)


def run(variant, command):
    if "--gtest_list_tests" in command:
        os.execv(command[0], command)  # listing the tests needs no daemons
    if not (os.access(FPRINTD, os.X_OK) and os.access(PYTHON, os.X_OK)):
        print(f"fixture: {FPRINTD} is not installed; skipped", file=sys.stderr)
        return SKIPPED
    # fprintd restarted by a test outlives the command that started it; as their reaper the
    # fixture can wait for them, and no zombie is left on machines whose init does not reap.
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)

    def start(directory):
        os.makedirs(os.path.join(directory, "state"))
        os.environ["VARNE_FIXTURE_DIR"] = directory
        os.environ["VARNE_FIXTURE_SCRIPT"] = os.path.abspath(__file__)
        os.environ["VARNE_FIXTURE_SENSOR"] = os.path.join(directory, "sensor")
        start_bus(directory)
        start_polkit(directory)
        start_fprintd(directory, variant, owned_by_fixture=True)

    return run_between("fixture", "varne-fprintd-", start, command)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    sub = parser.add_subparsers(dest="what", required=True)
    run_parser = sub.add_parser("run")
    run_parser.add_argument("--variant", choices=("plain", "storage", "none"), default="plain")
    run_parser.add_argument("command", nargs=argparse.REMAINDER)
    fprintd_parser = sub.add_parser("fprintd")
    fprintd_parser.add_argument("action", choices=("start", "stop", "activatable"))
    fprintd_parser.add_argument("--variant", choices=("plain", "storage", "none"), default="plain")
    fprintd_parser.add_argument("--kill", action="store_true")
    logind_parser = sub.add_parser("logind")
    logind_parser.add_argument("action", choices=("start", "stop"))
    activated_parser = sub.add_parser("activated")
    activated_parser.add_argument("--dir", required=True)
    activated_parser.add_argument("--variant", choices=("plain", "storage", "none"),
                                  default="plain")
    arguments = parser.parse_args()

    if arguments.what == "activated":
        exec_activated(arguments.dir, arguments.variant)

    if arguments.what == "run":
        command = arguments.command[1:] if arguments.command[:1] == ["--"] else arguments.command
        if not command:
            parser.error("run needs a command")
        return run(arguments.variant, command)

    directory = os.environ.get("VARNE_FIXTURE_DIR")
    if not directory:
        parser.error(f"{arguments.what} start/stop works only within a fixture's run")
    try:
        if arguments.what == "logind":
            if arguments.action == "start":
                start_logind(directory)
            else:
                stop_logind(directory)
        elif arguments.action == "start":
            start_fprintd(directory, arguments.variant)
        elif arguments.action == "activatable":
            make_activatable(directory, arguments.variant)
        else:
            stop_fprintd(directory, arguments.kill)
    except FixtureError as error:
        print(f"fixture: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
