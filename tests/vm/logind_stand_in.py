"""A stand-in for logind on the test machine's private system bus: the
manager's GetSession, for one session's id or "auto", and that session's
object, whose Active property the test sets and announces as logind does
(PropertiesChanged with the new value)."""

import sni_host
from sni_host import Gio, GLib

LOGIND = "org.freedesktop.login1"
SESSION = "org.freedesktop.login1.Session"

MANAGER_XML = """
<node>
  <interface name="org.freedesktop.login1.Manager">
    <method name="GetSession">
      <arg type="s" direction="in"/><arg type="o" direction="out"/>
    </method>
  </interface>
</node>"""

SESSION_XML = f"""
<node>
  <interface name="{SESSION}">
    <property name="Active" type="b" access="read"/>
  </interface>
</node>"""


class LogindStandIn(sni_host.BusService):
    def __init__(self, session_id):
        self.id = session_id
        self.path = f"/org/freedesktop/login1/session/{session_id}"
        self.active = True
        self.names = []  # what GetSession was asked for
        super().__init__(LOGIND, "/org/freedesktop/login1", MANAGER_XML, bus=Gio.BusType.SYSTEM)

    def _subscribe(self):
        info = Gio.DBusNodeInfo.new_for_xml(SESSION_XML).interfaces[0]
        self.bus.register_object(self.path, info, self._call, self._property, None)

    def _call(self, bus, sender, path, interface, method, parameters, invocation):
        if method != "GetSession":
            invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)
            return
        name = parameters.unpack()[0]
        with self.lock:
            self.names.append(name)
        if name in (self.id, "auto"):
            invocation.return_value(GLib.Variant("(o)", (self.path,)))
        else:
            invocation.return_dbus_error("org.freedesktop.login1.NoSuchSession",
                                         f"No session '{name}' known")

    def _property(self, bus, sender, path, interface, name):
        with self.lock:
            return GLib.Variant("b", self.active) if name == "Active" else None

    # -- asked from the test thread -------------------------------------------

    def set_active(self, active):
        with self.lock:
            self.active = active
        self.bus.emit_signal(None, self.path, "org.freedesktop.DBus.Properties",
                             "PropertiesChanged",
                             GLib.Variant("(sa{sv}as)",
                                          (SESSION, {"Active": GLib.Variant("b", active)}, [])))

    def asked(self):
        with self.lock:
            return list(self.names)
