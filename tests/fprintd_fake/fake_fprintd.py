#!/usr/bin/python3
"""A fake fprintd for the tests: plays answers the real daemon cannot be made to give.

Owns net.reactivated.Fprint on the bus in DBUS_SYSTEM_BUS_ADDRESS with a manager and N readers,
and a control object the tests drive (org.varne.FakeFprintd.Control at /org/varne/FakeFprintd):
  SetReaders(u count)               readers /net/reactivated/Fprint/Device/0..count-1
  SetScanType(s type)               every reader's scan-type ("press" or "swipe")
  SetEnrolled(as names)             what ListEnrolledFingers answers, as given
  FailMethod(s path, s method, s error)
                                    that method on that path answers with that error name
                                    ("*" as path: on every path)
  HoldRelease(b hold)               Release never answers while set
  SetPropertyDelay(u ms)            a reader's properties are answered that much later, so many
                                    reads at once stay pending together, as on a busy daemon
  SetEnrollBurst(u count, u settle_ms, s final)
                                    EnrollStart is followed by count enroll-stage-passed, then,
                                    settle_ms later, final (done=true)
  SetVerifyResults(as results)      VerifyStart (of an enrolled finger) is followed by these
                                    VerifyStatus results, each "RESULT 1" (done) or "RESULT 0"
  FinalEmittedAt() -> t             CLOCK_MONOTONIC ns when the final result went out (0: not yet)
  Claimed() -> b                    whether some connection holds the claim
  HeldReleases() -> u               Release calls left unanswered
  RemoveReader(o path)              that reader leaves GetDevices and its object goes (the bus
                                    then answers UnknownMethod on its path)
  AddReader() -> o                  a new reader, listed first, under a path never used before
  HoldClaim(b hold)                 Claim is not answered while set
  GrantHeldClaims()                 answers the held Claims as if they had just come
  Calls(s method) -> as             each call of that method so far, as "instance path sender";
                                    the instance counts replacements, starting at 1
  Replace()                         this instance leaves the bus and a new one (a new unique
                                    name, one reader, nothing claimed) takes the well-known name,
                                    as when fprintd is restarted
The claim belongs to the connection that made it, as fprintd's does: it ends when that
connection leaves the bus.
"""

import sys
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

NAME = "net.reactivated.Fprint"
MANAGER_PATH = "/net/reactivated/Fprint/Manager"
DEVICE_PREFIX = "/net/reactivated/Fprint/Device/"
CONTROL_PATH = "/org/varne/FakeFprintd"
ERROR_PREFIX = "net.reactivated.Fprint.Error."
STAGES = 5

INTERFACES = Gio.DBusNodeInfo.new_for_xml("""
<node>
  <interface name="net.reactivated.Fprint.Manager">
    <method name="GetDevices"><arg type="ao" direction="out"/></method>
    <method name="GetDefaultDevice"><arg type="o" direction="out"/></method>
  </interface>
  <interface name="net.reactivated.Fprint.Device">
    <method name="Claim"><arg type="s" direction="in"/></method>
    <method name="Release"/>
    <method name="ListEnrolledFingers">
      <arg type="s" direction="in"/><arg type="as" direction="out"/>
    </method>
    <method name="EnrollStart"><arg type="s" direction="in"/></method>
    <method name="EnrollStop"/>
    <method name="DeleteEnrolledFinger"><arg type="s" direction="in"/></method>
    <signal name="EnrollStatus"><arg type="s"/><arg type="b"/></signal>
    <method name="VerifyStart"><arg type="s" direction="in"/></method>
    <method name="VerifyStop"/>
    <signal name="VerifyStatus"><arg type="s"/><arg type="b"/></signal>
    <property name="name" type="s" access="read"/>
    <property name="num-enroll-stages" type="i" access="read"/>
    <property name="scan-type" type="s" access="read"/>
    <property name="finger-present" type="b" access="read"/>
  </interface>
  <interface name="org.varne.FakeFprintd.Control">
    <method name="SetReaders"><arg type="u" direction="in"/></method>
    <method name="SetScanType"><arg type="s" direction="in"/></method>
    <method name="SetEnrolled"><arg type="as" direction="in"/></method>
    <method name="FailMethod">
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="s" direction="in"/>
    </method>
    <method name="HoldRelease"><arg type="b" direction="in"/></method>
    <method name="SetPropertyDelay"><arg type="u" direction="in"/></method>
    <method name="SetEnrollBurst">
      <arg type="u" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
    </method>
    <method name="SetVerifyResults"><arg type="as" direction="in"/></method>
    <method name="FinalEmittedAt"><arg type="t" direction="out"/></method>
    <method name="Claimed"><arg type="b" direction="out"/></method>
    <method name="HeldReleases"><arg type="u" direction="out"/></method>
    <method name="RemoveReader"><arg type="o" direction="in"/></method>
    <method name="AddReader"><arg type="o" direction="out"/></method>
    <method name="HoldClaim"><arg type="b" direction="in"/></method>
    <method name="GrantHeldClaims"/>
    <method name="Calls">
      <arg type="s" direction="in"/><arg type="as" direction="out"/>
    </method>
    <method name="Replace"/>
  </interface>
</node>
""")
MANAGER, DEVICE, CONTROL = (INTERFACES.lookup_interface(name) for name in (
    "net.reactivated.Fprint.Manager", "net.reactivated.Fprint.Device",
    "org.varne.FakeFprintd.Control"))

# Every call on a reader, kept across replacements: (instance, path, method, sender).
CALLS = []


class FakeFprintd:
    def __init__(self, bus, instance=1, on_lost=None):
        self.instance = instance
        self.on_lost = on_lost
        self.successor = None
        self.hold_claim = False
        self.held_claims = []  # (sender, path, arguments, invocation)
        self.bus = bus
        self.readers = {}  # path -> registration id
        self.scan_type = "press"
        self.enrolled = []
        self.failures = {}  # (path or "*", method) -> error name
        self.hold_release = False
        self.property_delay_ms = 0
        self.held = []  # invocations never answered, kept so GDBus does not answer them
        self.burst = None  # (count, settle_ms, final)
        self.final_emitted_at = 0
        self.claim_owner = None  # unique name holding the claim
        self.enrolling = False
        self.verify_results = []
        self.verifying = False  # from VerifyStart until VerifyStop, as fprintd's action
        bus.register_object(MANAGER_PATH, MANAGER, self.on_call, None, None)
        bus.register_object(CONTROL_PATH, CONTROL, self.on_control, None, None)
        bus.signal_subscribe("org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
                             "/org/freedesktop/DBus", None, Gio.DBusSignalFlags.NONE,
                             self.on_owner_changed)
        self.next_reader = 0  # a path is never used twice
        self.set_readers(1)

    def set_readers(self, count):
        for registration in self.readers.values():
            self.bus.unregister_object(registration)
        self.readers = {}
        for index in range(count):
            path = f"{DEVICE_PREFIX}{index}"
            # Without a property getter GDBus hands Get and GetAll to on_call, which can wait.
            self.readers[path] = self.bus.register_object(path, DEVICE, self.on_call, None, None)
        self.next_reader = max(self.next_reader, count)

    def on_owner_changed(self, _bus, _sender, _path, _interface, _signal, parameters):
        name, _old, new = parameters.unpack()
        if name == self.claim_owner and not new:
            # As fprintd does when its client leaves: the claim and the enrollment end.
            self.claim_owner = None
            self.enrolling = False
            self.verifying = False

    def properties(self, path):
        return {
            "name": GLib.Variant("s", f"Fake reader {path.rsplit('/', 1)[1]}"),
            "num-enroll-stages": GLib.Variant("i", STAGES),
            "scan-type": GLib.Variant("s", self.scan_type),
            "finger-present": GLib.Variant("b", False),
        }

    def answer_properties(self, path, method, arguments, invocation):
        values = self.properties(path)
        if method == "GetAll":
            invocation.return_value(GLib.Variant("(a{sv})", (values,)))
        elif method == "Get" and arguments[1] in values:
            invocation.return_value(GLib.Variant("(v)", (values[arguments[1]],)))
        else:
            invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownProperty", method)
        return GLib.SOURCE_REMOVE

    def failure(self, path, method):
        return self.failures.get((path, method)) or self.failures.get(("*", method))

    def on_call(self, _bus, sender, path, interface, method, parameters, invocation):
        if interface == DEVICE.name:
            CALLS.append((self.instance, path, method, sender))
        error = self.failure(path, method)
        if error:
            invocation.return_dbus_error(error, f"{method} fails as the test asked")
            return
        if interface == "org.freedesktop.DBus.Properties":
            if self.property_delay_ms:
                GLib.timeout_add(self.property_delay_ms, self.answer_properties, path, method,
                                 parameters.unpack(), invocation)
            else:
                self.answer_properties(path, method, parameters.unpack(), invocation)
            return
        handler = getattr(self, "call_" + method)
        handler(sender, path, parameters.unpack(), invocation)

    def call_GetDevices(self, _sender, _path, _arguments, invocation):
        invocation.return_value(GLib.Variant("(ao)", (list(self.readers),)))

    def call_GetDefaultDevice(self, _sender, _path, _arguments, invocation):
        if not self.readers:
            invocation.return_dbus_error(ERROR_PREFIX + "NoSuchDevice", "no reader")
            return
        invocation.return_value(GLib.Variant("(o)", (next(iter(self.readers)),)))

    def call_Claim(self, sender, path, arguments, invocation):
        if self.hold_claim:
            self.held_claims.append((sender, path, arguments, invocation))
            return
        if self.claim_owner is not None:
            invocation.return_dbus_error(ERROR_PREFIX + "AlreadyInUse", "claimed")
            return
        self.claim_owner = sender
        invocation.return_value(None)

    def owns_claim(self, sender, invocation):
        if self.claim_owner != sender:
            invocation.return_dbus_error(ERROR_PREFIX + "ClaimDevice", "not claimed")
            return False
        return True

    def call_Release(self, sender, _path, _arguments, invocation):
        if self.hold_release:
            self.held.append(invocation)
            return
        if self.owns_claim(sender, invocation):
            self.claim_owner = None
            self.enrolling = False
            self.verifying = False
            invocation.return_value(None)

    def call_ListEnrolledFingers(self, _sender, _path, _arguments, invocation):
        if not self.enrolled:
            invocation.return_dbus_error(ERROR_PREFIX + "NoEnrolledPrints", "none")
            return
        invocation.return_value(GLib.Variant("(as)", (self.enrolled,)))

    def call_EnrollStart(self, sender, path, _arguments, invocation):
        if not self.owns_claim(sender, invocation):
            return
        self.enrolling = True
        self.final_emitted_at = 0
        invocation.return_value(None)
        if self.burst:
            # From the main loop, after the reply is on its way, as fprintd's results come.
            GLib.idle_add(self.emit_burst, path)

    def emit_burst(self, path):
        count, settle_ms, final = self.burst
        for _ in range(count):
            self.emit_status(path, "enroll-stage-passed", False)
        self.bus.flush_sync(None)
        GLib.timeout_add(max(settle_ms, 1), self.emit_final, path, final)
        return GLib.SOURCE_REMOVE

    def emit_final(self, path, final):
        if self.enrolling:
            self.emit_status(path, final, True)
            self.bus.flush_sync(None)
            self.final_emitted_at = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
            self.enrolling = False
        return GLib.SOURCE_REMOVE

    def emit_status(self, path, result, done):
        self.bus.emit_signal(None, path, DEVICE.name, "EnrollStatus",
                             GLib.Variant("(sb)", (result, done)))

    def stop_action(self, sender, invocation, action):
        """Ends the running action ("enrolling" or "verifying") as fprintd's stop calls do; False,
        with the error answered, when the caller has no claim or nothing runs."""
        if not self.owns_claim(sender, invocation):
            return False
        if not getattr(self, action):
            invocation.return_dbus_error(ERROR_PREFIX + "NoActionInProgress", "not " + action)
            return False
        setattr(self, action, False)
        return True

    def call_EnrollStop(self, sender, path, _arguments, invocation):
        if self.stop_action(sender, invocation, "enrolling"):
            self.emit_status(path, "enroll-failed", True)
            invocation.return_value(None)

    def call_VerifyStart(self, sender, path, arguments, invocation):
        if not self.owns_claim(sender, invocation):
            return
        if arguments[0] not in self.enrolled:
            invocation.return_dbus_error(ERROR_PREFIX + "NoEnrolledPrints", "not enrolled")
            return
        self.verifying = True
        invocation.return_value(None)
        GLib.idle_add(self.emit_verify_results, path)

    def emit_verify_results(self, path):
        for result, done in self.verify_results:
            self.bus.emit_signal(None, path, DEVICE.name, "VerifyStatus",
                                 GLib.Variant("(sb)", (result, done)))
        return GLib.SOURCE_REMOVE

    def call_VerifyStop(self, sender, _path, _arguments, invocation):
        if self.stop_action(sender, invocation, "verifying"):
            invocation.return_value(None)

    def call_DeleteEnrolledFinger(self, sender, _path, arguments, invocation):
        if not self.owns_claim(sender, invocation):
            return
        if arguments[0] not in self.enrolled:
            invocation.return_dbus_error(ERROR_PREFIX + "NoEnrolledPrints", "not enrolled")
            return
        self.enrolled = [name for name in self.enrolled if name != arguments[0]]
        invocation.return_value(None)

    def on_control(self, _bus, _sender, _path, _interface, method, parameters, invocation):
        arguments = parameters.unpack()
        reply = None
        if method == "SetReaders":
            self.set_readers(arguments[0])
        elif method == "SetScanType":
            self.scan_type = arguments[0]
        elif method == "SetEnrolled":
            self.enrolled = list(arguments[0])
        elif method == "FailMethod":
            path, name, error = arguments
            self.failures[(path, name)] = error
        elif method == "HoldRelease":
            self.hold_release = arguments[0]
        elif method == "SetPropertyDelay":
            self.property_delay_ms = arguments[0]
        elif method == "SetEnrollBurst":
            self.burst = arguments
        elif method == "SetVerifyResults":
            self.verify_results = [(played.rsplit(" ", 1)[0], played.endswith(" 1"))
                                   for played in arguments[0]]
        elif method == "FinalEmittedAt":
            reply = GLib.Variant("(t)", (self.final_emitted_at,))
        elif method == "Claimed":
            reply = GLib.Variant("(b)", (self.claim_owner is not None,))
        elif method == "HeldReleases":
            reply = GLib.Variant("(u)", (len(self.held),))
        elif method in ("RemoveReader", "AddReader", "HoldClaim", "GrantHeldClaims", "Calls",
                        "Replace"):
            reply = getattr(self, "control_" + method)(arguments, invocation)
        invocation.return_value(reply)

    def control_RemoveReader(self, arguments, _invocation):
        registration = self.readers.pop(arguments[0], None)
        if registration is not None:
            self.bus.unregister_object(registration)

    def control_AddReader(self, _arguments, _invocation):
        path = f"{DEVICE_PREFIX}{self.next_reader}"
        self.next_reader += 1
        registration = self.bus.register_object(path, DEVICE, self.on_call, None, None)
        self.readers = {path: registration, **self.readers}
        return GLib.Variant("(o)", (path,))

    def control_HoldClaim(self, arguments, _invocation):
        self.hold_claim = arguments[0]

    def control_GrantHeldClaims(self, _arguments, _invocation):
        held, self.held_claims = self.held_claims, []
        self.hold_claim = False
        for sender, path, claim_arguments, invocation in held:
            self.call_Claim(sender, path, claim_arguments, invocation)

    def control_Calls(self, arguments, _invocation):
        return GLib.Variant("(as)", ([f"{instance} {path} {sender}"
                                      for instance, path, method, sender in CALLS
                                      if method == arguments[0]],))

    def control_Replace(self, _arguments, _invocation):
        # After this reply has gone out: the caller hears it from the instance it called.
        GLib.idle_add(self.replace)

    def replace(self):
        address = Gio.dbus_address_get_for_bus_sync(Gio.BusType.SYSTEM, None)
        flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
                 Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
        bus = Gio.DBusConnection.new_for_address_sync(address, flags, None, None)
        self.successor = FakeFprintd(bus, self.instance + 1, self.on_lost)
        self.successor.enrolled = list(self.enrolled)
        own_name(self.successor)  # queued until this instance's connection is gone
        self.bus.flush_sync(None)
        self.bus.close_sync(None)
        return GLib.SOURCE_REMOVE


def own_name(fake):
    acquired = []

    def got(_bus, _name):
        acquired.append(True)

    def lost(_bus, _name):
        # A successor waits in the queue until its predecessor has gone; after that, or for the
        # first instance, losing the name ends the fake.
        if fake.successor is None and (acquired or fake.instance == 1):
            fake.on_lost()

    Gio.bus_own_name_on_connection(fake.bus, NAME, Gio.BusNameOwnerFlags.NONE, got, lost)


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SYSTEM, None)
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, 15, loop.quit)  # SIGTERM

    def lost():
        print("fake fprintd: lost or could not own " + NAME, file=sys.stderr)
        loop.quit()

    fake = FakeFprintd(bus, on_lost=lost)
    own_name(fake)
    loop.run()
    del fake
    return 0


if __name__ == "__main__":
    sys.exit(main())
