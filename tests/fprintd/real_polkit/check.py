#!/usr/bin/python3
"""Checks the enrollment's polkit order against the real polkitd on a private bus (by hand).

  sudo /usr/bin/python3 tests/fprintd/real_polkit/check.py BUILD_DIR

Needs root, the polkitd package, fprintd and a built bench/varne-bench (it clicks a finger by
itself). For the run it adds the user "varnetest" and a rule file in /etc/polkit-1/rules.d and
removes both afterwards; every process it starts is stopped by its PID. Not run by CI, since it
changes the machine's users and polkit rules.
"""
import os
import pwd
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import fixture  # noqa: E402

USER = "varnetest"
POLKITD = "/usr/lib/polkit-1/polkitd"
RULE_PATH = "/etc/polkit-1/rules.d/49-varne-check.rules"
RULE = """polkit.addRule(function(action, subject) {
  if (subject.user != "%s") return polkit.Result.NOT_HANDLED;
  if (action.id == "net.reactivated.fprint.device.verify") return polkit.Result.YES;
  if (action.id == "net.reactivated.fprint.device.enroll") return polkit.Result.%s;
  return polkit.Result.NOT_HANDLED;
});
"""
STAGES = 5


def sensor_listens(directory):
    # The virtual sensor's socket listens only while somebody has claimed the reader.
    try:
        connection = socket.socket(socket.AF_UNIX)
        connection.connect(os.path.join(directory, "sensor"))
        connection.close()
        return True
    except OSError:
        return False


def claim_as_other_client():
    reply = subprocess.run(["dbus-send", "--system", "--print-reply", "--dest=net.reactivated.Fprint",
                            "/net/reactivated/Fprint/Device/0", "net.reactivated.Fprint.Device.Claim",
                            "string:"], capture_output=True, text=True)
    return reply.returncode == 0


def scan_until_done(directory, client):
    scans = 0
    deadline = time.monotonic() + 15
    while client.poll() is None and time.monotonic() < deadline and scans < STAGES:
        try:
            connection = socket.socket(socket.AF_UNIX)
            connection.connect(os.path.join(directory, "sensor"))
            connection.sendall(b"SCAN finger-a")
            connection.recv(16)
            connection.close()
            scans += 1
            time.sleep(0.2)
        except OSError:
            time.sleep(0.05)
    return scans


def start_world(directory, enroll_answer, build):
    with open(RULE_PATH, "w", encoding="ascii") as rule:
        rule.write(RULE % (USER, enroll_answer))
    fixture.start_bus(directory)
    log = open(os.path.join(directory, "polkitd.log"), "ab")
    polkitd = subprocess.Popen([POLKITD, "--no-debug"], stdout=log, stderr=log,
                               start_new_session=True)
    fixture.record_pid(directory, polkitd.pid)
    fixture.wait_until("polkitd", lambda: fixture.name_has_owner("org.freedesktop.PolicyKit1"))
    time.sleep(0.7)  # polkitd reads the rules after it took its name
    fixture.start_fprintd(directory, "plain")
    user = pwd.getpwnam(USER)
    runtime = os.path.join(directory, "runtime")
    os.mkdir(runtime, 0o700)
    os.chown(runtime, user.pw_uid, user.pw_gid)
    environment = dict(os.environ, VARNE_SERVICE="fprintd", VARNE_BENCH="enroll=2",
                       QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=runtime, HOME=runtime,
                       DBUS_SESSION_BUS_ADDRESS="disabled:")
    # Stopped before it runs, so the agent is registered for it before it asks.
    client = subprocess.Popen(
        ["setpriv", f"--reuid={user.pw_uid}", f"--regid={user.pw_gid}", "--init-groups", "sh", "-c",
         f'kill -STOP $$; exec "{build}/bench/varne-bench" 1'],
        env=environment, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    fixture.record_pid(directory, client.pid)
    return client, user


def wait_until_stopped(pid):
    def stopped():
        with open(f"/proc/{pid}/stat", encoding="ascii") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] == "T"
    fixture.wait_until("the stopped client", stopped)


def start_agent(directory, client, user, hold):
    wait_until_stopped(client.pid)
    agent = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "polkit_agent.py"),
                              str(client.pid), str(hold), str(user.pw_uid)],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    fixture.record_pid(directory, agent.pid)
    time.sleep(1.0)
    os.kill(client.pid, signal.SIGCONT)
    return agent


def result_of(client):
    try:
        output, _ = client.communicate(timeout=15)
    except subprocess.TimeoutExpired:
        client.kill()
        output, _ = client.communicate()
    lines = output.decode(errors="replace").splitlines()
    return next((line.split(" ", 2)[2] for line in lines if " enroll-result " in line), "")


def case_refused(directory, build):
    client, _user = start_world(directory, "NO", build)
    wait_until_stopped(client.pid)
    os.kill(client.pid, signal.SIGCONT)
    scans = scan_until_done(directory, client)
    title = result_of(client)
    return [("a refused enrollment never claims the reader", scans == 0),
            ("a refused enrollment shows an error (%s)" % (title or "nothing"),
             title == "Enrollment Error")]


def case_prompt_granted(directory, build):
    client, user = start_world(directory, "AUTH_SELF_KEEP", build)
    agent = start_agent(directory, client, user, 3)
    time.sleep(1.5)
    claimed_by_varne = sensor_listens(directory)
    other_could_claim = claim_as_other_client()
    scans = scan_until_done(directory, client)
    title = result_of(client)
    agent.terminate()
    prompts = agent.communicate()[0].count("agent: begin")
    return [("the reader is not claimed while the prompt is open", not claimed_by_varne),
            ("another client can claim the reader while the prompt is open", other_could_claim),
            ("the enrollment completes once the prompt is answered",
             scans == STAGES and title == "Enrollment Success"),
            ("one prompt only: fprintd's own check passes on the kept answer", prompts == 1)]


def case_prompt_closed(directory, build):
    client, user = start_world(directory, "AUTH_SELF_KEEP", build)
    agent = start_agent(directory, client, user, -1)
    time.sleep(1.5)
    started = time.monotonic()
    os.kill(client.pid, signal.SIGTERM)
    try:
        status = client.wait(timeout=5)
    except subprocess.TimeoutExpired:
        status = None
    closed_within = time.monotonic() - started
    time.sleep(0.5)
    other_could_claim = claim_as_other_client()
    agent.terminate()
    cancelled = "agent: cancel" in agent.communicate()[0]
    return [("closing during the prompt ends the program at once",
             status == 0 and closed_within < 3),
            ("closing during the prompt cancels it", cancelled),
            ("the reader is free after closing", other_could_claim)]


CASES = [case_refused, case_prompt_granted, case_prompt_closed]


def main():
    if os.geteuid() != 0 or len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    build = os.path.abspath(sys.argv[1])
    global CASES
    if os.environ.get("VARNE_CASE"):
        CASES = [c for c in CASES if c.__name__ == os.environ["VARNE_CASE"]]
    subprocess.run(["useradd", "-M", "-s", "/usr/sbin/nologin", USER], check=True)
    failed = 0
    try:
        for case in CASES:
            directory = tempfile.mkdtemp(prefix="varne-real-polkit-")
            os.chmod(directory, 0o755)  # polkitd and the test user reach the bus socket
            try:
                for what, held in case(directory, build):
                    print(("ok    " if held else "FAIL  ") + what)
                    failed += 0 if held else 1
            finally:
                if os.path.exists(RULE_PATH):
                    os.unlink(RULE_PATH)
                fixture.stop_recorded(directory)
                fixture.remove_tree(directory)
    finally:
        subprocess.run(["userdel", USER], check=False)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
