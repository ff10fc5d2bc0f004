"""Where each control of a window stands, read from its .ui file.

Controls are placed absolutely; a page of the tab control begins at the tab
control's own corner, so a control's place in the window is the sum of its
parents' positions.
"""

import xml.etree.ElementTree as ET


class Layout:
    def __init__(self, path):
        self.rects = {}
        self.kinds = {}
        root = ET.parse(path).getroot().find("widget")
        self._walk(root, 0, 0, top=True)

    def _walk(self, widget, ox, oy, top=False):
        x = y = 0
        rect = widget.find("property[@name='geometry']/rect")
        if rect is not None and not top:
            x, y, w, h = (int(rect.find(k).text) for k in ("x", "y", "width", "height"))
            self.rects[widget.get("name")] = (ox + x, oy + y, w, h)
            self.kinds[widget.get("name")] = widget.get("class")
        for child in widget.findall("widget"):
            self._walk(child, ox + x, oy + y)

    def rect(self, name):
        return self.rects[name]

    def centre(self, name):
        x, y, w, h = self.rects[name]
        return x + w // 2, y + h // 2

    def target(self, name):
        """Where a click works the control: an option or check box only reacts on its
        mark and caption, and the windows read right to left, so the mark is at the right."""
        x, y, w, h = self.rects[name]
        if self.kinds[name] in ("QRadioButton", "QCheckBox"):
            return x + w - 8, y + h // 2
        return self.centre(name)
