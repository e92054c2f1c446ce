#!/usr/bin/python3
"""Runs a test against the fake fprintd on a private system bus.

  fake_fixture.py -- COMMAND...
      Starts a private system bus, the polkit mock (enroll and verify allowed) and
      fake_fprintd.py, runs COMMAND with DBUS_SYSTEM_BUS_ADDRESS set, then stops exactly the
      processes it started, by PID, also when COMMAND fails or the fixture is interrupted.

Exit status 77 means python3-gi or python3-dbusmock is missing (CTest counts it as skipped).
"""

import os
import subprocess
import sys

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

    def start(directory):
        fixture.start_bus(directory)
        fixture.start_polkit(directory)
        start_fake(directory)

    return fixture.run_between("fake_fixture", "varne-fake-fprintd-", start, command)


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
