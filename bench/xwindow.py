"""Top-level windows on the X display, for the start-up benchmarks.

Whether a window whose title starts with a given text is mapped (viewable)
among the root window's children: on a display without a window manager
(Xvfb), which is where the benchmarks run, a program's top-level window is
one of them, for a Linux program and for one under Wine alike.
"""
import ctypes

IS_VIEWABLE = 2


class _Attributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("class_", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class Screen:
    """The display named by DISPLAY."""

    def __init__(self):
        x = ctypes.cdll.LoadLibrary("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                 ctypes.POINTER(ctypes.c_uint)]
        x.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(_Attributes)]
        # A window can go away between the listing and the questions about
        # it; Xlib's default handler would end this process for that.
        self._on_error = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda *_: 0)
        x.XSetErrorHandler.argtypes = [ctypes.c_void_p]
        x.XSetErrorHandler(ctypes.cast(self._on_error, ctypes.c_void_p))
        self._x = x
        self._display = x.XOpenDisplay(None)
        if not self._display:
            raise SystemExit("xwindow: cannot open the display")
        self._root = x.XDefaultRootWindow(self._display)

    def mapped(self, titles):
        """Whether a viewable top-level window's title starts with titles
        (one text or a tuple of them, as str.startswith takes)."""
        x = self._x
        r, p, n = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_uint()
        children = ctypes.POINTER(ctypes.c_ulong)()
        if not x.XQueryTree(self._display, self._root, ctypes.byref(r), ctypes.byref(p), ctypes.byref(children),
                            ctypes.byref(n)):
            return False
        found = False
        for i in range(n.value):
            name = ctypes.c_char_p()
            if not x.XFetchName(self._display, children[i], ctypes.byref(name)):
                continue
            title = (name.value or b"").decode("utf-8", "replace")
            x.XFree(name)
            if title:
                attributes = _Attributes()
                if title.startswith(titles) and \
                        x.XGetWindowAttributes(self._display, children[i], ctypes.byref(attributes)) and \
                        attributes.map_state == IS_VIEWABLE:
                    found = True
                    break
        if children:
            x.XFree(children)
        return found
