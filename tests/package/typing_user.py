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
