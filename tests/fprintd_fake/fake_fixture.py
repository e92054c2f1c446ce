#!/usr/bin/python3
"""Runs a test against the fake fprintd on a private system bus.

  fake_fixture.py -- COMMAND...
      Starts a private system bus, the polkit mock (enroll and verify allowed) and
      fake_fprintd.py, runs COMMAND with DBUS_SYSTEM_BUS_ADDRESS set, then stops exactly the
      processes it started, by PID, also when COMMAND fails or the fixture is interrupted.

Exit status 77 means python3-gi or python3-dbusmock is missing (CTest counts it as skipped).
"""

import os
import signal
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "fprintd"))
import fixture  # noqa: E402  the bus, the polkit mock and the stopping by PID

FAKE = os.path.join(HERE, "fake_fprintd.py")


def have_modules():
    probe = "import gi; gi.require_version('Gio', '2.0'); from gi.repository import Gio; import dbusmock"
    return subprocess.run([fixture.PYTHON, "-c", probe], capture_output=True,
                          check=False).returncode == 0


def start_fake(directory):
    log = open(os.path.join(directory, "fake.log"), "ab")
    process = subprocess.Popen([fixture.PYTHON, FAKE], stdin=subprocess.DEVNULL, stdout=log,
                               stderr=log, start_new_session=True,
                               preexec_fn=fixture.die_with_fixture)
    fixture.record_pid(directory, process.pid)

    def ready():
        if process.poll() is not None:
            raise fixture.FixtureError("the fake fprintd exited at start; see " + log.name)
        return fixture.name_has_owner("net.reactivated.Fprint")

    fixture.wait_until("the fake fprintd", ready)


def run(command):
    if "--gtest_list_tests" in command:
        os.execv(command[0], command)  # listing the tests needs no daemons
    if not os.access(fixture.PYTHON, os.X_OK) or not have_modules():
        print("fake_fixture: python3-gi or python3-dbusmock is missing; skipped", file=sys.stderr)
        return fixture.SKIPPED
    signal.signal(signal.SIGTERM, fixture.interrupted)
    signal.signal(signal.SIGINT, fixture.interrupted)
    directory = tempfile.mkdtemp(prefix="varne-fake-fprintd-")
    test = None
    try:
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = "disabled:"
        fixture.start_bus(directory)
        fixture.start_polkit(directory)
        start_fake(directory)
        test = subprocess.Popen(command, preexec_fn=fixture.die_with_fixture)
        return test.wait()
    except fixture.FixtureError as error:
        print(f"fake_fixture: {error}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        return 130
    finally:
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        signal.signal(signal.SIGINT, signal.SIG_IGN)
        if test is not None and test.poll() is None:
            fixture.stop_pid(test.pid)
        fixture.stop_recorded(directory)
        if os.environ.get("VARNE_FIXTURE_KEEP"):
            print(f"fake_fixture: kept {directory}", file=sys.stderr)
        else:
            fixture.remove_tree(directory)


def main():
    command = sys.argv[1:]
    if command[:1] == ["--"]:
        command = command[1:]
    if not command:
        print(__doc__, file=sys.stderr)
        return 2
    return run(command)


if __name__ == "__main__":
    sys.exit(main())
