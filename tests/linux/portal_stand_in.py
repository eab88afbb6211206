"""A stand-in for the desktop's RemoteDesktop portal on the session bus:
it answers each request at once, as a desktop whose user allows it, and
keeps every call it gets: ("CreateSession",), ("SelectDevices", types,
persist_mode, restore_token), ("Start",) and ("key", keysym, state)."""

from gi.repository import GLib

from sni_host import BusService

PORTAL = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
REMOTE_DESKTOP = "org.freedesktop.portal.RemoteDesktop"

XML = f"""
<node>
  <interface name="{REMOTE_DESKTOP}">
    <method name="CreateSession">
      <arg type="a{{sv}}" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="SelectDevices">
      <arg type="o" direction="in"/><arg type="a{{sv}}" direction="in"/>
      <arg type="o" direction="out"/>
    </method>
    <method name="Start">
      <arg type="o" direction="in"/><arg type="s" direction="in"/>
      <arg type="a{{sv}}" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="NotifyKeyboardKeysym">
      <arg type="o" direction="in"/><arg type="a{{sv}}" direction="in"/>
      <arg type="i" direction="in"/><arg type="u" direction="in"/>
    </method>
    <property name="version" type="u" access="read"/>
  </interface>
</node>"""


class RemoteDesktopPortal(BusService):
    def __init__(self, token="token-1"):
        self.calls = []
        self.token = token
        super().__init__(PORTAL, PATH, XML)

    def _property(self, bus, sender, path, interface, name):
        return GLib.Variant("u", 2) if name == "version" else None

    def _respond(self, sender, options, results):
        request = (f"{PATH}/request/{sender[1:].replace('.', '_')}/"
                   f"{options.get('handle_token', 't')}")
        # The answer first, then the response its caller listens for.
        def respond(*_):
            self.bus.emit_signal(sender, request, "org.freedesktop.portal.Request", "Response",
                                 GLib.Variant("(ua{sv})", (0, results)))
            return False
        later = GLib.idle_source_new()
        later.set_callback(respond)
        later.attach(self.context)
        return GLib.Variant("(o)", (request,))

    def _call(self, bus, sender, path, interface, method, parameters, invocation):
        arguments = parameters.unpack()
        session = f"{PATH}/session/{sender[1:].replace('.', '_')}/sorvak"
        if method == "CreateSession":
            record = ("CreateSession",)
            reply = self._respond(sender, arguments[0],
                                  {"session_handle": GLib.Variant("s", session)})
        elif method == "SelectDevices":
            options = arguments[1]
            record = ("SelectDevices", options.get("types"), options.get("persist_mode"),
                      options.get("restore_token"))
            reply = self._respond(sender, options, {})
        elif method == "Start":
            record = ("Start",)
            reply = self._respond(sender, arguments[2],
                                  {"devices": GLib.Variant("u", 1),
                                   "restore_token": GLib.Variant("s", self.token)})
        elif method == "NotifyKeyboardKeysym":
            record = ("key", arguments[2], arguments[3])
            reply = None
        else:
            invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)
            return
        with self.lock:
            self.calls.append(record)
        invocation.return_value(reply)

    def received(self):
        with self.lock:
            return list(self.calls)
