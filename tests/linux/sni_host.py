"""Desktop services for the tests on the session bus. A StatusNotifier host,
as desktop panels are one: it owns org.kde.StatusNotifierWatcher, takes the
items' registrations, reads their properties and their com.canonical.dbusmenu
menus, and sends menu events. A notification server that records what it is
asked to show. Their bus work runs on a thread of their own (GLib main
loop); the test thread asks through blocking calls.
"""

import threading

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"

WATCHER_XML = f"""
<node>
  <interface name="{WATCHER}">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
</node>"""


class BusService:
    """Owns `name` on the session bus (or `bus`) and serves `xml`'s interface
    at `path` from a GLib main loop on a thread of its own."""

    def __init__(self, name, path, xml, bus=Gio.BusType.SESSION):
        self.bus_type = bus
        self.lock = threading.Lock()
        self.context = GLib.MainContext.new()
        self.loop = GLib.MainLoop.new(self.context, False)
        ready = threading.Event()
        self.failure = None
        self.thread = threading.Thread(target=self._run, args=(name, path, xml, ready),
                                       daemon=True)
        self.thread.start()
        if not ready.wait(10) or self.failure:
            raise RuntimeError(f"{name} did not start: {self.failure}")

    def _run(self, name, path, xml, ready):
        self.context.push_thread_default()
        try:
            address = Gio.dbus_address_get_for_bus_sync(self.bus_type, None)
            self.bus = Gio.DBusConnection.new_for_address_sync(
                address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
                | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
            info = Gio.DBusNodeInfo.new_for_xml(xml).interfaces[0]
            self.bus.register_object(path, info, self._call, self._property, None)
            self._subscribe()
            reply = self.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", "RequestName",
                                       GLib.Variant("(su)", (name, 4)),  # do not queue
                                       GLib.VariantType("(u)"), Gio.DBusCallFlags.NONE, 5000,
                                       None)
            if reply.unpack()[0] != 1:  # primary owner
                raise RuntimeError(f"{name} is owned already")
        except Exception as error:  # reported to the constructor's thread
            self.failure = error
            ready.set()
            return
        ready.set()
        self.loop.run()
        self.context.pop_thread_default()

    def _subscribe(self):
        pass

    def _property(self, bus, sender, path, interface, name):
        return None

    def close(self):
        self.context.invoke_full(GLib.PRIORITY_DEFAULT, self.loop.quit)
        self.thread.join(5)
        if hasattr(self, "bus"):
            self.bus.close_sync(None)


class StatusNotifierHost(BusService):
    def __init__(self):
        self.items = []  # (bus name, object path), in registration order
        self.gone = []  # items whose owner left the bus
        super().__init__(WATCHER, "/StatusNotifierWatcher", WATCHER_XML)

    # -- the watcher, on the host's thread ------------------------------------

    def _subscribe(self):
        self.bus.signal_subscribe("org.freedesktop.DBus", "org.freedesktop.DBus",
                                  "NameOwnerChanged", "/org/freedesktop/DBus", None,
                                  Gio.DBusSignalFlags.NONE, self._owner_changed)

    def _call(self, bus, sender, path, interface, method, parameters, invocation):
        if method == "RegisterStatusNotifierItem":
            service = parameters.unpack()[0]
            # An item names itself by object path (its bus name is the
            # sender) or by bus name (its path is the usual one).
            item = ((sender, service) if service.startswith("/")
                    else (service, "/StatusNotifierItem"))
            with self.lock:
                if item not in self.items:
                    self.items.append(item)
            invocation.return_value(None)
            bus.emit_signal(None, path, WATCHER, "StatusNotifierItemRegistered",
                            GLib.Variant("(s)", (item[0] + item[1],)))
        elif method == "RegisterStatusNotifierHost":
            invocation.return_value(None)
        else:
            invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)

    def _property(self, bus, sender, path, interface, name):
        with self.lock:
            items = [name + path for name, path in self.items]
        return {"RegisteredStatusNotifierItems": GLib.Variant("as", items),
                "IsStatusNotifierHostRegistered": GLib.Variant("b", True),
                "ProtocolVersion": GLib.Variant("i", 0)}.get(name)

    def _owner_changed(self, bus, sender, path, interface, signal, parameters):
        name, _, new_owner = parameters.unpack()
        if new_owner:
            return
        with self.lock:
            for item in [i for i in self.items if i[0] == name]:
                self.items.remove(item)
                self.gone.append(item)

    # -- asked from the test thread -------------------------------------------

    def registered(self):
        with self.lock:
            return list(self.items)

    def departed(self):
        with self.lock:
            return list(self.gone)

    def _ask(self, item, interface, method, arguments, reply_type):
        name, path = item
        return self.bus.call_sync(name, path, interface, method, arguments,
                                  GLib.VariantType(reply_type), Gio.DBusCallFlags.NONE, 5000,
                                  None).unpack()

    def properties(self, item):
        """The item's properties, unpacked."""
        return self._ask(item, "org.freedesktop.DBus.Properties", "GetAll",
                         GLib.Variant("(s)", (ITEM,)), "(a{sv})")[0]

    def menu_layout(self, item):
        """The menu's top-level entries: (id, properties) each."""
        menu = self.properties(item)["Menu"]
        self._ask((item[0], menu), MENU, "AboutToShow", GLib.Variant("(i)", (0,)), "(b)")
        _, (_, _, children) = self._ask((item[0], menu), MENU, "GetLayout",
                                        GLib.Variant("(iias)", (0, -1, [])), "(u(ia{sv}av))")
        return [(child[0], child[1]) for child in children]

    def click(self, item, entry_id):
        """Activates a menu entry as a panel does when it is clicked."""
        menu = self.properties(item)["Menu"]
        self._ask((item[0], menu), MENU, "Event",
                  GLib.Variant("(isvu)", (entry_id, "clicked", GLib.Variant("i", 0), 0)), "()")


NOTIFICATIONS = "org.freedesktop.Notifications"

NOTIFICATIONS_XML = f"""
<node>
  <interface name="{NOTIFICATIONS}">
    <method name="Notify">
      <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
      <arg type="a{{sv}}" direction="in"/><arg type="i" direction="in"/>
      <arg type="u" direction="out"/>
    </method>
    <method name="GetCapabilities"><arg type="as" direction="out"/></method>
    <method name="GetServerInformation">
      <arg type="s" direction="out"/><arg type="s" direction="out"/>
      <arg type="s" direction="out"/><arg type="s" direction="out"/>
    </method>
    <method name="CloseNotification"><arg type="u" direction="in"/></method>
  </interface>
</node>"""


class NotificationServer(BusService):
    """A desktop's notification service that shows nothing and keeps every
    Notify call: (app name, icon, summary, body, expiry) each, and apart
    (replaced(): the number the notice replaced, its hints, its number). A
    notice that replaces one it gave keeps that one's number. It reads
    bodies as markup, as desktops' servers do, unless told otherwise."""

    def __init__(self, markup=True):
        self.notes = []
        self.replacements = []
        self.capabilities = ["body", "body-markup"] if markup else ["body"]
        super().__init__(NOTIFICATIONS, "/org/freedesktop/Notifications", NOTIFICATIONS_XML)

    def _call(self, bus, sender, path, interface, method, parameters, invocation):
        if method == "Notify":
            app, replaces, icon, summary, body, _, hints, expiry = parameters.unpack()
            with self.lock:
                self.notes.append((app, icon, summary, body, expiry))
                given = [number for _, _, number in self.replacements]
                number = replaces if replaces in given else len(self.notes)
                self.replacements.append((replaces, hints, number))
            invocation.return_value(GLib.Variant("(u)", (number,)))
        elif method == "GetCapabilities":
            invocation.return_value(GLib.Variant("(as)", (self.capabilities,)))
        elif method == "GetServerInformation":
            invocation.return_value(GLib.Variant("(ssss)", ("tests", "sorvak", "1", "1.2")))
        elif method == "CloseNotification":
            invocation.return_value(None)
        else:
            invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)

    def received(self):
        with self.lock:
            return list(self.notes)

    def replaced(self):
        with self.lock:
            return list(self.replacements)



class GnomeShell:
    """GNOME Shell on the session bus, asked from the test thread: its
    extensions and, once its AppIndicator extension is on, the items of the
    StatusNotifier host it then is."""

    def __init__(self):
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def _call(self, name, path, interface, method, arguments, reply_type):
        return self.bus.call_sync(name, path, interface, method, arguments,
                                  GLib.VariantType(reply_type), Gio.DBusCallFlags.NONE, 5000,
                                  None).unpack()

    def _has_owner(self, name):
        return self._call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                          "NameHasOwner", GLib.Variant("(s)", (name,)), "(b)")[0]

    def running(self):
        return self._has_owner("org.gnome.Shell")

    def enable_extension(self, uuid):
        return self._call("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Extensions",
                          "EnableExtension", GLib.Variant("(s)", (uuid,)), "(b)")[0]

    def items(self):
        """The registered items, (bus name, object path) each; [] while no
        host runs."""
        if not self._has_owner(WATCHER):
            return []
        listed = self._call(WATCHER, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties",
                            "Get", GLib.Variant("(ss)", (WATCHER, "RegisteredStatusNotifierItems")),
                            "(v)")[0]
        # GNOME's host names each as bus name@object path.
        return [tuple(item.split("@", 1)) for item in listed]

    def item_properties(self, item):
        return self._call(item[0], item[1], "org.freedesktop.DBus.Properties", "GetAll",
                          GLib.Variant("(s)", (ITEM,)), "(a{sv})")[0]
