"""The frame failures of pyvaskor and of its storage codecs, kept apart
from any native code: pyvaskor.FrameError is this module's FrameError, so
an exception pickled in one process (multiprocessing, a Dask worker)
unpickles in another that loads nothing else. Python 2.7 and 3."""


class FrameError(ValueError):
    """A frame that is truncated, corrupt or hostile; the message names the
    field that is wrong."""


class FrameVersionError(FrameError):
    """A frame of a version newer than this library reads."""
