"""pyvaskor_frames, the codecs' ctypes way to the C library: the same frames
as the module's frameEncode, decodes into caller storage and by range, the
library's failures as the frame exceptions, and its structures checked
against vaskor.h, which they restate."""

import os
import re
import unittest

from support import ROOT, needs

try:
    import numpy as np
    import pyvaskor_frames as frames
    from pyvaskor_errors import FrameError, FrameVersionError
except ImportError:
    pass  # the cases below skip, naming the missing package


def columns():
    """A column of each type with both of its extremes."""
    for name in frames.TYPES:
        info = np.iinfo(name)
        a = (np.arange(300, dtype=np.int64) * 37 % 101).astype(name)
        a[7], a[-3] = info.min, info.max
        yield a


@needs("numpy", "pyvaskor_frames")
class FramesTest(unittest.TestCase):

    @needs("pyvaskor")
    def test_same_frames_as_the_module(self):
        import pyvaskor
        for a in columns():
            for layout, transform in (("bpe", "for"), ("bpe", "delta"), ("ne", "for"), ("ne", "delta"),
                                      ("blocked", "auto"), ("blocked", "for"), ("blocked", "delta")):
                frame = frames.encode(a, layout, transform)
                self.assertEqual(frame, pyvaskor.frameEncode(a, layout=layout, transform=transform))
                info = pyvaskor.frameInfo(frame)
                self.assertEqual(frames.info(frame), info)
                self.assertEqual(frames.header(frame), dict((k, info[k]) for k in frames.header(frame)))
                back = frames.decode(frame)
                self.assertEqual((back.dtype, back.tobytes()), (a.dtype, a.tobytes()))
                self.assertEqual(frames.decode(frame, start=5, stop=-7).tobytes(),
                                 pyvaskor.frameDecode(frame, start=5, stop=-7).tobytes())
        # Any shape and memory order, either byte order: the values in C order.
        a = np.arange(-60, 60, dtype=">i4").reshape(4, 30)[:, ::3]
        self.assertEqual(frames.decode(frames.encode(a, "ne")).tolist(), a.ravel().tolist())
        self.assertEqual(frames.header(frames.encode(a, "bpe"))["transform"], "for")

    def test_refused_storage(self):
        # (N-d views and byte buffers: the numcodecs tests.)
        frame = frames.encode(np.arange(1000, 1024, dtype=np.int16), "bpe", "delta")
        for bad, why in ((bytearray(47), "out holds 47 bytes, the values need 48"),
                         (bytes(48), "out is read-only"),
                         (np.zeros((6, 8), np.int16)[:, ::2], "out is not contiguous")):
            with self.assertRaisesRegex(ValueError, why):
                frames.decode(frame, out=bad)

    def test_failures(self):
        frame = frames.encode(np.arange(100, dtype=np.int32), "bpe")
        cases = [
            (frame[:-1], FrameError, "^frame payload is 87 bytes, count and width need 88$"),
            (frame[:39], FrameError, "^frame is truncated: 39 bytes"),
            (b"VSKX" + frame[4:], FrameError, "^frame magic is not VSKF$"),
            (frame[:6] + b"\x03" + frame[7:], FrameError, "^frame element type 0x03 is unknown$"),
            (frame[:9] + b"\x01" + frame[10:], FrameError, "^frame reserved bytes 9-15"),
            (frame[:4] + b"\x09" + frame[5:], FrameVersionError, "^frame version 9 is newer"),
        ]
        for bad, kind, message in cases:
            for call in (frames.decode, frames.header):
                with self.assertRaisesRegex(kind, message):
                    call(bad)
        with self.assertRaisesRegex(TypeError, "frames hold integers .*, not float64"):
            frames.encode(np.zeros(3))
        with self.assertRaisesRegex(ValueError, "layout must be one of 'bpe', 'ne', 'blocked', not 'x'"):
            frames.encode(np.zeros(3, np.int8), "x")
        with self.assertRaisesRegex(ValueError, "^transform"):
            frames.check("bpe", "auto")

    def test_structures_as_the_header_has_them(self):
        path = os.path.join(ROOT, "include", "vaskor", "vaskor.h")
        if not os.path.exists(path):
            self.skipTest("needs the source tree's %s" % path)
        with open(path) as f:
            header = f.read()
        for struct, name in ((frames._Error, "vaskor_error"), (frames._Header, "vaskor_frame_header"),
                             (frames._Blocks, "vaskor_frame_blocks"), (frames._Block, "vaskor_block")):
            body = re.search(r"typedef struct %s \{(.*?)\} %s;" % (name, name), header, re.S).group(1)
            body = re.sub(r"/\*.*?\*/", "", body, flags=re.S)
            fields = re.findall(r"(\w+)(?:\[[^\]]*\])?;", body)
            self.assertEqual([f[0] for f in struct._fields_], fields, name)
        size = re.search(r"#define VASKOR_MESSAGE_SIZE (\d+)", header).group(1)
        self.assertEqual(frames.MESSAGE_SIZE, int(size))

    def test_ranges_blocks_and_info(self):
        steps = np.random.RandomState(3).randint(0, 9, 5000)
        a = np.cumsum(steps).astype(np.int64) * 10 ** 9
        for layout in frames.LAYOUTS:
            frame = frames.encode(a, layout)
            for start, stop in ((0, 5000), (1000, 2048), (1023, 1025), (4999, None), (-10, -3),
                                (3000, 2000), (None, 7)):
                self.assertEqual(frames.decode(frame, start=start, stop=stop).tolist(),
                                 a[start:stop].tolist(), (layout, start, stop))
            info = frames.info(frame)
            self.assertEqual(sum(info["schemes"].values()), info["blocks"])
            self.assertEqual(sorted(info["schemes"]), sorted(frames.SCHEMES))
            blocks = [frames.block(frame, i) for i in range(info["blocks"])]
            self.assertEqual([b["first"] for b in blocks],
                             np.cumsum([0] + [b["count"] for b in blocks[:-1]]).tolist())
            self.assertEqual(sum(b["count"] for b in blocks), a.size)
            used = dict((s, n) for s, n in info["schemes"].items() if n)
            self.assertEqual(used, dict((s, [b["scheme"] for b in blocks].count(s)) for s in used))
        self.assertEqual(frames.info(frames.encode(a))["blocks"], 5)
        with self.assertRaises(ValueError):
            frames.block(frame, info["blocks"])


if __name__ == "__main__":
    unittest.main()
