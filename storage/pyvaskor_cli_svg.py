"""`vaskor bench --svg`: the results as a bar chart, one section per column
(stored bytes per value; encode and decode MB/s), in plain SVG written with
the standard library alone.
"""

from xml.sax.saxutils import escape, quoteattr

WIDTH = 960
LABEL = 200             # codec names, right-aligned before this x
SIZE_X, SIZE_W = 210, 300
SPEED_X, SPEED_W = 590, 300
ROW = 20
COLORS = {"size": "#4c72b0", "smallest": "#dd8452", "encode": "#55a868", "decode": "#8172b3"}


def _text(x, y, s, anchor="start", size=12, weight="normal"):
    return ('<text x="%g" y="%g" text-anchor="%s" font-size="%d" font-weight="%s">%s</text>'
            % (x, y, anchor, size, weight, escape(s)))


def _bar(x, y, w, h, color, title):
    return ('<rect x="%g" y="%g" width="%g" height="%g" fill="%s"><title>%s</title></rect>'
            % (x, y, max(w, 0.5), h, color, escape(title)))


def _section(result, top):
    rows = result["rows"]
    parts = [_text(10, top + 16, "%s: %s values of %s" % (result["name"], "{:,}".format(result["count"]),
                                                           result["dtype"]), size=14, weight="bold"),
             _text(SIZE_X, top + 36, "stored bytes per value (smaller is better)"),
             _text(SPEED_X, top + 36, "MB/s (larger is better):")]
    for k, key in enumerate(("encode", "decode")):
        x = SPEED_X + 160 + 70 * k
        parts += [_bar(x, top + 27, 10, 10, COLORS[key], key), _text(x + 14, top + 36, key, size=11)]
    sizes = [r["bytes_per_value"] or 0 for r in rows]
    speeds = [r[k] or 0 for r in rows for k in ("encode_mbs", "decode_mbs")]
    size_max = max(sizes + [1e-9])
    speed_max = max(speeds + [1e-9])
    y = top + 46
    for r, size in zip(rows, sizes):
        parts.append(_text(LABEL, y + 14, r["codec"], anchor="end"))
        color = COLORS["smallest" if r["codec"] == result["smallest"] else "size"]
        w = SIZE_W * size / size_max
        parts.append(_bar(SIZE_X, y + 3, w, ROW - 6, color, "%s: %d bytes" % (r["codec"], r["stored"])))
        parts.append(_text(SIZE_X + w + 4, y + 14, "%.3f" % size, size=11))
        for k, (key, dy) in enumerate((("encode_mbs", 2), ("decode_mbs", 11))):
            rate = r[key] or 0
            w = SPEED_W * rate / speed_max
            parts.append(_bar(SPEED_X, y + dy, w, 7, COLORS[key[:6]], "%s %s: %.0f MB/s"
                              % (r["codec"], key[:6], rate)))
            parts.append(_text(SPEED_X + w + 4, y + dy + 7, "%.0f" % rate, size=9))
        y += ROW
    return parts, y + 16


def chart(results, timing):
    """The SVG document for the results of one bench run."""
    parts, y = [], 10
    for result in results:
        section, y = _section(result, y)
        parts.extend(section)
    parts.append(_text(10, y + 4, "timing: " + timing, size=11))
    height = y + 16
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d" '
            'font-family=%s>\n<rect width="100%%" height="100%%" fill="white"/>\n%s\n</svg>\n'
            % (WIDTH, height, WIDTH, height, quoteattr("DejaVu Sans, Arial, sans-serif"),
               "\n".join(parts)))
