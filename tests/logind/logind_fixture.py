#!/usr/bin/python3
"""Runs a test on a private system bus of its own, where the test may start a logind mock.

  logind_fixture.py -- COMMAND...
      Starts a private system bus, runs COMMAND with DBUS_SYSTEM_BUS_ADDRESS, VARNE_FIXTURE_DIR
      and VARNE_FIXTURE_SCRIPT set (COMMAND starts the mock with `fixture.py logind start`),
      then stops exactly the processes started, by PID, also when COMMAND fails or the fixture
      is interrupted.

Exit status 77 means python3-dbusmock is missing (CTest counts it as skipped).
"""

import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "fprintd"))
import fixture  # noqa: E402  the bus, the logind mock and the stopping by PID


def have_dbusmock():
    return subprocess.run([fixture.PYTHON, "-c", "import dbusmock"], capture_output=True,
                          check=False).returncode == 0


def run(command):
    if "--gtest_list_tests" in command:
        os.execv(command[0], command)  # listing the tests needs no daemons
    if not os.access(fixture.PYTHON, os.X_OK) or not have_dbusmock():
        print("logind_fixture: python3-dbusmock is missing; skipped", file=sys.stderr)
        return fixture.SKIPPED

    def start(directory):
        os.environ["VARNE_FIXTURE_DIR"] = directory
        os.environ["VARNE_FIXTURE_SCRIPT"] = os.path.join(HERE, "..", "fprintd", "fixture.py")
        fixture.start_bus(directory)

    return fixture.run_between("logind_fixture", "varne-logind-", start, command)


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
