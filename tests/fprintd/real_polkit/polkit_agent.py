# A polkit authentication agent for one process: holds its prompt, grants it later or never.
import sys, os, time, threading
from gi.repository import Gio, GLib

XML = """<node><interface name="org.freedesktop.PolicyKit1.AuthenticationAgent">
<method name="BeginAuthentication"><arg type="s" direction="in"/><arg type="s" direction="in"/>
<arg type="s" direction="in"/><arg type="a{ss}" direction="in"/><arg type="s" direction="in"/>
<arg type="a(sa{sv})" direction="in"/></method>
<method name="CancelAuthentication"><arg type="s" direction="in"/></method>
</interface></node>"""
pid = int(sys.argv[1]); hold = float(sys.argv[2]); uid = int(sys.argv[3])
bus = Gio.bus_get_sync(Gio.BusType.SYSTEM, None)
start_time = int(open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()[19])
node = Gio.DBusNodeInfo.new_for_xml(XML)
held = []
def log(*a): print("agent:", *a, flush=True)
def grant():
    for invocation, cookie in held:
        bus.call_sync("org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority",
                      "org.freedesktop.PolicyKit1.Authority", "AuthenticationAgentResponse2",
                      GLib.Variant("(us(sa{sv}))", (0, cookie, ("unix-user", {"uid": GLib.Variant("u", uid)}))),
                      None, Gio.DBusCallFlags.NONE, -1, None)
        invocation.return_value(None)
        log("granted", time.monotonic())
    held.clear()
    return False
def on_call(conn, sender, path, iface, method, params, invocation):
    if method == "BeginAuthentication":
        action, cookie = params[0], params[4]
        log("begin", action, time.monotonic())
        held.append((invocation, cookie))
        if hold >= 0:
            GLib.timeout_add(int(hold * 1000), grant)
    elif method == "CancelAuthentication":
        log("cancel", params[0], time.monotonic())
        for invocation, cookie in held:
            invocation.return_dbus_error("org.freedesktop.PolicyKit1.Error.Cancelled", "cancelled")
        held.clear()
        invocation.return_value(None)
bus.register_object("/org/varne/agent", node.interfaces[0], on_call, None, None)
subject = ("unix-process", {"pid": GLib.Variant("u", pid), "start-time": GLib.Variant("t", start_time)})
bus.call_sync("org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority",
              "org.freedesktop.PolicyKit1.Authority", "RegisterAuthenticationAgent",
              GLib.Variant("((sa{sv})ss)", (subject, "C", "/org/varne/agent")), None, Gio.DBusCallFlags.NONE, -1, None)
log("registered")
GLib.MainLoop().run()
