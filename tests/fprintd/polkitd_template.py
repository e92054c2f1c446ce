"""The polkit mock of python-dbusmock with what it lacks for these tests: cancelling a check.

Loaded by fixture.py through dbusmock's --template with this file's path. Held checks remember
their cancellation id, so CancelCheckAuthorization answers exactly that check as not granted,
as polkit does when a prompt is closed.
"""

import dbus

from dbusmock.templates import polkitd
from dbusmock.templates.polkitd import (  # noqa: F401 (the mock's own methods stay)
    AllowUnknown, HaveHangingCalls, RegisterAuthenticationAgent, SetAllowed, SetDelay,
    SimulateHang, SimulateHangActions)

BUS_NAME = polkitd.BUS_NAME
MAIN_OBJ = polkitd.MAIN_OBJ
MAIN_IFACE = polkitd.MAIN_IFACE
SYSTEM_BUS = True
MOCK_IFACE = "org.freedesktop.DBus.Mock"


def load(mock, parameters):
    polkitd.load(mock, parameters)
    mock.checks = []


@dbus.service.method(MAIN_IFACE, in_signature="(sa{sv})sa{ss}us", out_signature="(bba{ss})",
                     async_callbacks=("ok_cb", "_err_cb"))
def CheckAuthorization(self, subject, action_id, _details, flags, cancellation_id, ok_cb,
                       _err_cb):
    kind, subject_details = subject
    self.checks.append((str(kind), str(subject_details.get("name", "")), str(action_id),
                        int(flags), str(cancellation_id)))
    allowed = action_id in self.allowed or self.allow_unknown
    ret = (allowed, False, {"test": "test"})
    if self.simulate_hang or action_id in self.hanging_actions:
        self.hanging_calls.append((ok_cb, ret, str(cancellation_id)))
    else:
        ok_cb(ret)


@dbus.service.method(MAIN_IFACE, in_signature="s", out_signature="")
def CancelCheckAuthorization(self, cancellation_id):
    for call in self.hanging_calls:
        if cancellation_id and call[2] == cancellation_id:
            self.hanging_calls.remove(call)
            call[0]((False, False, {"polkit.dismissed": "true"}))
            return
    raise dbus.exceptions.DBusException("No such cancellation_id",
                                        name="org.freedesktop.PolicyKit1.Error.Failed")


@dbus.service.method(MOCK_IFACE, in_signature="", out_signature="")
def ReleaseHangingCalls(self):
    for call in self.hanging_calls:
        call[0](call[1])
    self.hanging_calls = []


@dbus.service.method(MOCK_IFACE, in_signature="", out_signature="a(sssus)")
def GetChecks(self):
    """Every check so far: subject kind, subject name, action, flags, cancellation id."""
    return self.checks


@dbus.service.method(MOCK_IFACE, in_signature="", out_signature="")
def Reset(self):
    """Back to the fixture's start: enroll and verify granted, nothing held, no checks seen."""
    for call in self.hanging_calls:
        call[0]((False, False, {}))
    self.hanging_calls = []
    self.hanging_actions = []
    self.simulate_hang = False
    self.allow_unknown = False
    self.allowed = ["net.reactivated.fprint.device.enroll", "net.reactivated.fprint.device.verify"]
    self.checks = []
