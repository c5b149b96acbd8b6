"""Copies of a Wine prefix for one scenario each. Wine's own program files (nine tenths of a prefix's
bytes) are hard links to the source's: Wine only reads them, and only replaces them when it updates
a prefix to a new Wine version. Every other file is copied, so whatever a scenario or the tool writes
never reaches the source.

    python3 -m tools.refmachine.prefixcopy <source prefix> <target>
"""
import os
import shutil
import sys

# Wine marks the program files it installs in a prefix in their DOS stub (offset 0x40).
WINE_MARKERS = (b"Wine builtin DLL", b"Wine placeholder DLL")


def is_wine_program(path):
    try:
        with open(path, "rb") as f:
            head = f.read(0x60)
    except OSError:
        return False
    return head[:2] == b"MZ" and any(marker in head[0x40:] for marker in WINE_MARKERS)


def copy_prefix(source, target):
    """Copies the prefix `source` to `target` (which must not exist), as `cp -a` would."""
    source, target = os.fspath(source), os.fspath(target)
    os.mkdir(target)
    folders = [(source, target)]
    for dirpath, dirnames, filenames in os.walk(source, followlinks=False):
        to = os.path.join(target, os.path.relpath(dirpath, source))
        for name in dirnames + filenames:
            src, dst = os.path.join(dirpath, name), os.path.join(to, name)
            if os.path.islink(src):
                os.symlink(os.readlink(src), dst)
            elif name in dirnames:
                os.mkdir(dst)
                folders.append((src, dst))
            elif is_wine_program(src):
                os.link(src, dst)
            else:
                shutil.copy2(src, dst, follow_symlinks=False)
        dirnames[:] = [d for d in dirnames if not os.path.islink(os.path.join(dirpath, d))]
    # Last, as adding entries changes a folder's times.
    for src, dst in reversed(folders):
        shutil.copystat(src, dst, follow_symlinks=False)


if __name__ == "__main__":
    copy_prefix(*sys.argv[1:3])
