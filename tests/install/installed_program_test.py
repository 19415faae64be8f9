#!/usr/bin/env python3
"""Installs the build tree into a temporary prefix and checks the program as
a desktop sees it: the desktop entry passes desktop-file-validate and names
the program, its icon and its window class; the hicolor icons are there at
each size; and the installed program, started with the build and source
folders hidden from it, shows its main window with the English title and the
theme's icon.

usage: installed_program_test.py --build DIR --source DIR --app-id ID
           --probe WINDOW_PROBE [--grab SCREEN_GRAB --screenshot OUT.png]
"""

import argparse
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

ICON_SIZES = (16, 22, 24, 32, 48, 64, 128)
SKIP = 77
# Bounds, not waits: the sanitizer build starts slowly on a loaded machine.
WINDOW_BOUND_MS = 90000
EXIT_BOUND_S = 60


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def english_text(source, key):
    """The English text of `key`, read from the program's translation files."""
    folder = os.path.join(source, "Quavdesk", "Resources", "translations")
    for name in sorted(os.listdir(folder)):
        if not name.endswith("_en.ts"):
            continue
        for message in ElementTree.parse(os.path.join(folder, name)).iter("message"):
            if message.findtext("source") == key:
                return message.findtext("translation")
    fail("no English text for " + key)


def desktop_entry(path):
    entries, group = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("["):
                group = line.strip("[]")
            elif group == "Desktop Entry":
                key, _, value = line.partition("=")
                entries[key] = value
    return entries


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(26)
    if len(head) < 26 or head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        fail(path + " is not a PNG")
    width, height = struct.unpack(">II", head[16:24])
    return width, height, head[25]


def hidden_run(folders, command):
    """`command` in a mount namespace of its own, where each of `folders`
    is an empty file system."""
    script = 'for d in "$@"; do [ "$d" = -- ] && break; mount -t tmpfs -o size=1m hidden "$d" || exit 97; done; ' \
             'while [ "$1" != -- ]; do shift; done; shift; exec "$@"'
    namespace = ["unshare", "--mount", "--propagation", "private"]
    if os.geteuid() != 0:
        namespace[1:1] = ["--user", "--map-root-user"]
    return namespace + ["sh", "-c", script, "sh"] + folders + ["--"] + command


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--app-id", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--grab")
    parser.add_argument("--screenshot")
    args = parser.parse_args()
    in_ci = os.environ.get("CI") == "true"
    for tool in ("desktop-file-validate", "unshare"):
        if not shutil.which(tool):
            print(tool + " is missing", file=sys.stderr)
            sys.exit(1 if in_ci else SKIP)
    if not os.environ.get("DISPLAY"):
        print("no X display", file=sys.stderr)
        sys.exit(1 if in_ci else SKIP)

    work = tempfile.mkdtemp(prefix="quavdesk-installed-")
    program = None
    try:
        prefix = os.path.join(work, "prefix")
        subprocess.run(["cmake", "--install", args.build, "--prefix", prefix], check=True,
                       stdout=subprocess.DEVNULL)

        # The desktop entry.
        entry_path = os.path.join(prefix, "share", "applications", args.app_id + ".desktop")
        if not os.path.isfile(entry_path):
            fail("no desktop entry " + entry_path)
        validation = subprocess.run(["desktop-file-validate", entry_path], capture_output=True, text=True)
        if validation.returncode != 0 or validation.stdout.strip() or validation.stderr.strip():
            fail("desktop-file-validate: " + validation.stdout + validation.stderr)
        entry = desktop_entry(entry_path)
        app_name = english_text(args.source, "app_name")
        if entry.get("Name") != app_name:
            fail("entry Name %r, the program's name is %r" % (entry.get("Name"), app_name))
        if entry.get("Icon") != args.app_id:
            fail("entry Icon %r" % entry.get("Icon"))
        executable = os.path.join(prefix, "bin", entry.get("Exec", "").split(" ")[0])
        if not os.access(executable, os.X_OK):
            fail("Exec %r is not the installed program" % entry.get("Exec"))

        # The icons, RGBA at each size.
        for size in ICON_SIZES:
            icon = os.path.join(prefix, "share", "icons", "hicolor", "%dx%d" % (size, size), "apps",
                                args.app_id + ".png")
            if not os.path.isfile(icon):
                fail("no icon " + icon)
            width, height, colour = png_size(icon)
            if (width, height, colour) != (size, size, 6):
                fail("%s is %dx%d colour type %d" % (icon, width, height, colour))

        # The installed program, with the build and source folders out of
        # its reach. A stand-in pkexec refuses, so that the start-up's
        # administrator step never touches this machine's system folders.
        home = os.path.join(work, "home")
        tools = os.path.join(work, "bin")
        os.makedirs(home)
        os.makedirs(tools)
        with open(os.path.join(tools, "pkexec"), "w") as f:
            f.write("#!/bin/sh\nexit 126\n")
        os.chmod(os.path.join(tools, "pkexec"), 0o755)
        env = {k: v for k, v in os.environ.items()
               if k not in ("LD_LIBRARY_PATH", "QT_PLUGIN_PATH", "QT_QPA_PLATFORM", "XDG_DATA_HOME",
                            "XDG_CONFIG_HOME", "XDG_CACHE_HOME")}
        env.update(HOME=home, PATH=tools + os.pathsep + env.get("PATH", "/usr/bin:/bin"))
        # The leak suppressions live in the source folder, which is hidden.
        suppressions = os.path.join(args.source, "tests", "lsan.supp")
        if os.path.isfile(suppressions):
            shutil.copy(suppressions, work)
            env["LSAN_OPTIONS"] = "suppressions=%s:print_suppressions=0" % os.path.join(work, "lsan.supp")
        folders = [os.path.realpath(args.build), os.path.realpath(args.source)]
        for folder in folders:
            if os.path.realpath(work).startswith(folder + os.sep):
                fail("the temporary prefix lies inside " + folder)
        command = [executable, "--instance", "installed-" + os.path.basename(work)]
        program = subprocess.Popen(hidden_run(folders, command), env=env, cwd=home)

        probe = subprocess.run([args.probe, entry.get("StartupWMClass", ""), str(WINDOW_BOUND_MS)],
                               capture_output=True, text=True)
        if probe.returncode != 0:
            fail("the installed program's window did not appear with the entry's class %r (program %s): %s"
                 % (entry.get("StartupWMClass"), program.poll(), probe.stderr))
        seen = {}
        icons = set()
        for line in probe.stdout.splitlines():
            key, _, value = line.partition("=")
            if key == "icon":
                icons.add(value)
            else:
                seen[key] = value
        print("window: %s, icons %s" % (seen, sorted(icons)))
        if seen.get("title") != app_name:
            fail("window title %r, not the English %r" % (seen.get("title"), app_name))
        # The bundled logo has one size; the theme's icon has them all.
        missing = {"%dx%d" % (s, s) for s in ICON_SIZES} - icons
        if missing:
            fail("the window icon is not the theme's: no %s" % sorted(missing))

        if args.screenshot and args.grab:
            x, y, w, h = seen["geometry"].split()
            subprocess.run([args.grab, args.screenshot, x, y, w, h], check=True)

        program.send_signal(signal.SIGTERM)
        try:
            status = program.wait(EXIT_BOUND_S)
        except subprocess.TimeoutExpired:
            fail("the installed program did not end on SIGTERM")
        program = None
        if status != 0:
            fail("the installed program ended with status %d" % status)
    finally:
        if program is not None:
            program.kill()
            program.wait()
        shutil.rmtree(work, ignore_errors=True)
    print("installed program: entry, icons and window as the desktop sees them")


if __name__ == "__main__":
    main()
