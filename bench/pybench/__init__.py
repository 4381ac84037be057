"""The modules of bench/python_bench.py."""
