# A user's file for mypy, against the installed wheel. Lines marked
# "# error: CODE" must be reported with that code, every other line not.
from typing import List, Tuple

import pyvaskor

packed, width = pyvaskor.bpeEncode([1, 2, 3])
values: List[int] = pyvaskor.bpeDecode(packed, width)
pair: Tuple[bytes, int] = pyvaskor.neEncode((1, 2, 300))
again = pyvaskor.neDecode(bytes=[0, 1], l=0)
try:
    pyvaskor.bpeDecode(b"\x01", -1)
except pyvaskor.NimPyException as e:
    print(type(e).__name__)

pyvaskor.bpeEncode("123")  # error: arg-type
text: str = pyvaskor.neEncode([1])[0]  # error: assignment
pyvaskor.neDecode(b"", width=1)  # error: call-arg
pyvaskor.bpeDecode(packed)  # error: call-arg
frame = pyvaskor.frameEncode([1, 2, 3], layout="blocked", transform="auto")
try:
    pyvaskor.frameDecode(frame[:-1], start=1, stop=-1)
except pyvaskor.FrameError as e:
    print(e)
pyvaskor.frameEncode([1], layout="zip")  # error: arg-type
