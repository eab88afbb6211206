"""Stand-ins for what Wayland desktops offer a program, where the tests
cannot run the desktop itself: the RemoteDesktop portal (GNOME, KDE Plasma)
and KWin's scripting on the session bus, and Hyprland's request socket."""

import json
import os
import re
import socket
import threading

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
    """Answers each request at once, as a desktop whose user allows it, and
    keeps every call it gets: ("CreateSession",), ("SelectDevices", types,
    persist_mode, restore_token), ("Start",) and ("key", keysym, state)."""

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


KWIN_XML = """
<node>
  <interface name="org.kde.kwin.Scripting">
    <method name="loadScript">
      <arg type="s" direction="in"/><arg type="s" direction="in"/>
      <arg type="i" direction="out"/>
    </method>
    <method name="start"/>
    <method name="unloadScript">
      <arg type="s" direction="in"/><arg type="b" direction="out"/>
    </method>
  </interface>
</node>"""


class KWinScripting(BusService):
    """KWin's scripting, as far as a script that reports the active window
    needs it: a loaded script, once started, is "run" by making the call
    back its text makes, with the active window of activate(). Keeps the
    calls: ("loadScript", name), ("start",), ("unloadScript", name)."""

    def __init__(self):
        self.calls = []
        self.scripts = {}
        self.running = []
        self.window = None
        super().__init__("org.kde.KWin", "/Scripting", KWIN_XML)

    def _call(self, bus, sender, path, interface, method, parameters, invocation):
        arguments = parameters.unpack()
        if method == "loadScript":
            with open(arguments[0]) as script:
                self.scripts[arguments[1]] = script.read()
            record, reply = ("loadScript", arguments[1]), GLib.Variant("(i)", (len(self.scripts),))
        elif method == "start":
            record, reply = ("start",), None
            self.running = list(self.scripts.values())
            self._tell()
        else:
            record = ("unloadScript", arguments[0])
            reply = GLib.Variant("(b)", (self.scripts.pop(arguments[0], None) is not None,))
        with self.lock:
            self.calls.append(record)
        invocation.return_value(reply)

    def _tell(self):
        """Each running script's callDBus, with the active window."""
        if self.window is None:
            return
        for script in self.running:
            call = re.search(r'callDBus\("([^"]+)", "([^"]+)", "([^"]+)", "([^"]+)"', script)
            if call:
                service, path, interface, method = call.groups()
                self.bus.call(service, path, interface, method,
                              GLib.Variant("(ssi)", self.window), None, 0, 2000, None, None)

    def activate(self, resource_class, resource_name, pid):
        """A window comes to the front: the scripts hear of it."""
        def tell(*_):
            self.window = (resource_class, resource_name, pid)
            self._tell()
            return False
        later = GLib.idle_source_new()
        later.set_callback(tell)
        later.attach(self.context)

    def received(self):
        with self.lock:
            return list(self.calls)


class HyprlandSocket:
    """Hyprland's request socket for instance `signature` under `runtime`:
    "j/activewindow" gets the window of activate() as JSON; every request
    is kept."""

    def __init__(self, runtime, signature):
        folder = os.path.join(runtime, "hypr", signature)
        os.makedirs(folder, exist_ok=True)
        self.path = os.path.join(folder, ".socket.sock")
        self.window = {}
        self.requests = []
        self.server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.server.bind(self.path)
        self.server.listen(8)
        threading.Thread(target=self._serve, daemon=True).start()

    def activate(self, window_class, initial_class, pid):
        self.window = {"class": window_class, "initialClass": initial_class, "pid": pid,
                       "title": "a window"}

    def _serve(self):
        while True:
            try:
                connection, _ = self.server.accept()
            except OSError:
                return
            with connection:
                request = connection.recv(1024).decode()
                self.requests.append(request)
                if request == "j/activewindow":
                    connection.sendall(json.dumps(self.window).encode())

    def close(self):
        self.server.close()
