# Installed as NAME.py beside the extension NAME.so (pyvaskor.py in the
# wheel). PyPy looks for extension modules only under its own suffix
# (.pypy39-pp73-x86_64-linux-gnu.so, ...), so it finds this file instead,
# which loads that same NAME.so. CPython tries extension modules before
# source files and never runs it.
import os
import sys


def _load(name, path):
    try:
        from importlib.machinery import ExtensionFileLoader
        from importlib.util import module_from_spec, spec_from_file_location
    except ImportError:  # Python 2
        import imp
        return imp.load_dynamic(name, path)
    spec = spec_from_file_location(name, path, loader=ExtensionFileLoader(name, path))
    module = module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


# The import returns what sys.modules holds once this file has run.
sys.modules[__name__] = _load(
    __name__, os.path.join(os.path.dirname(os.path.abspath(__file__)), __name__ + ".so"))
