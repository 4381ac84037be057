"""The `vaskor` command: how one's own integer columns fare in frames beside
the compressors of numcodecs (bench), what a frame, pack file or zarr
directory holds (info), and .npy files to frames and back (pack, unpack).

    vaskor bench ids.npy --svg ids.svg
    python3 -m pyvaskor_cli info data.zarr

It reaches the frames through pyvaskor_frames (the C library, no start-up)
and never imports the pyvaskor extension, whose start-up takes over SIGINT:
Ctrl-C stays a KeyboardInterrupt, which ends the command with status 130.
Python 3 at run time; the syntax stays 2.7's, where it says so and stops.
"""

import sys

INTERRUPTED = 130


def parser(frames):
    import argparse
    p = argparse.ArgumentParser(
        prog="vaskor", description="pyvaskor frames for your own integer columns.",
        epilog="'vaskor COMMAND --help' describes each command.")
    sub = p.add_subparsers(dest="command", metavar="COMMAND")
    sub.required = True

    b = sub.add_parser("bench", help="sizes and speeds of every frame layout beside numcodecs' compressors",
                       description="Stores each column of FILE in chunks with every frame layout (and "
                       "transform) and with numcodecs' Blosc, Zstd and LZ4 where installed, checks each "
                       "decode, and prints stored bytes, bytes per value, ratio and encode/decode MB/s "
                       "(wall clock, median of --runs runs). Inputs: .npy (integer, bool, datetime64, "
                       "timedelta64), raw binary with --dtype, CSV (integer columns).")
    b.add_argument("files", nargs="+", metavar="FILE")
    b.add_argument("--dtype", help="FILE is raw binary of this numpy dtype, for example '<i8'")
    b.add_argument("--column", action="append", default=[], metavar="NAME|INDEX",
                   help="a CSV column by header name or index from 0; repeat for several "
                   "(default: every column)")
    b.add_argument("--delimiter", help="CSV field delimiter (default ',', for .tsv files a tab)")
    b.add_argument("--chunk", type=int, default=1 << 20,
                   help="values per chunk, as a storage chunk holds (default 1048576)")
    b.add_argument("--runs", type=int, default=3, help="timed runs; the median counts (default 3)")
    b.add_argument("--svg", metavar="OUT.svg", help="also write a bar chart of sizes and speeds")
    b.add_argument("--json", action="store_true", help="print the results as JSON instead of tables")
    _progress_flag(b)

    i = sub.add_parser("info", help="what a frame, a pack file or a zarr array or group holds",
                       description="FILE is a frame, a file written by 'vaskor pack', or a zarr 2 "
                       "(.zarray/.zgroup) or zarr 3 (zarr.json) array or group directory, read "
                       "without zarr.")
    i.add_argument("file", metavar="FILE")
    i.add_argument("--blocks", action="store_true", help="a frame: one line per block")

    for name, what in (("pack", "an .npy file to a file of frames"),
                       ("unpack", "a file of frames back to the .npy file it was")):
        c = sub.add_parser(name, help=what, description=what[0].upper() + what[1:] + ": dtype (byte "
                           "order, datetime unit), shape and order kept, values exact. The file format "
                           "is in the README, 'The vaskor command'.")
        c.add_argument("input", metavar="IN" if name == "unpack" else "IN.npy")
        c.add_argument("output", metavar="OUT.npy" if name == "unpack" else "OUT")
        if name == "pack":
            c.add_argument("--chunk", type=int, default=1 << 20, help="values per frame (default 1048576)")
            c.add_argument("--layout", choices=frames.LAYOUTS,
                           help="default: what pyvaskor_frames.encode writes")
            c.add_argument("--transform", choices=frames.TRANSFORMS, help="default: the layout's own")
        _progress_flag(c)
    return p


def _progress_flag(p):
    p.add_argument("--progress", action="store_true",
                   help="draw the progress bar on stderr even when it is no terminal")


def run(argv):
    try:
        import pyvaskor_frames as frames
        from pyvaskor_cli_data import CliError, Progress, open_columns
    except ImportError as e:
        sys.stderr.write("vaskor needs numpy and the frames' C library: %s\n" % e)
        return 2
    args = parser(frames).parse_args(argv)
    forced = getattr(args, "progress", False)
    progress = Progress(forced or sys.stderr.isatty(), delay=0 if forced else 0.5)
    try:
        if args.command == "bench":
            import pyvaskor_cli_bench

            def columns(path):
                return open_columns(path, args.dtype, args.column, args.delimiter, progress)
            pyvaskor_cli_bench.run(args, columns, progress, sys.stdout)
        elif args.command == "info":
            import pyvaskor_cli_info
            pyvaskor_cli_info.run(args, sys.stdout)
        else:
            import pyvaskor_cli_pack
            getattr(pyvaskor_cli_pack, args.command)(args, progress)
        return 0
    except CliError as e:
        message, status = str(e), 2
    except BrokenPipeError:  # noqa: F821 (Python 3)
        raise
    except EnvironmentError as e:  # an output that cannot be written
        message, status = "%s: %s" % (e.filename, e.strerror), 2
    except KeyboardInterrupt:
        message, status = "interrupted", INTERRUPTED
    finally:
        progress.finish(complete=False)
    sys.stderr.write("vaskor %s: %s\n" % (args.command, message))
    return status


def main(argv=None):
    if sys.version_info[0] < 3:
        sys.stderr.write("vaskor needs Python 3 (this is Python %d.%d)\n" % sys.version_info[:2])
        return 2
    try:
        return run(sys.argv[1:] if argv is None else argv)
    except KeyboardInterrupt:  # before a command started
        sys.stderr.write("vaskor: interrupted\n")
        return INTERRUPTED
    except BrokenPipeError:  # noqa: F821 (Python 3): the reader left; say nothing more
        import os
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 1


if __name__ == "__main__":
    sys.exit(main())
