#!/usr/bin/env python3
"""Varnel's file-manager entries, started as their file managers start them:
GLib's launcher for the desktop entries, KIO's expansion of Dolphin's
service menus (as the install writes them), Nemo's command string and its
split, the
nautilus-python extension, Thunar's quoting and sh -c for the actions in
docs/file-managers.md. A fake varnel first on PATH records its arguments.
Also which entries a selection shows, their names, desktop-file-validate,
and the URI helper's refusals and its time on the longest paths.
Runs on the system python3; VARNEL_SOURCE_DIR names the source tree,
VARNEL_CMAKE_COMMAND the cmake that writes the service menus.
"""
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import xml.etree.ElementTree as ElementTree

import gi

try:
    gi.require_version("Nautilus", "4.0")
except ValueError:
    sys.exit("the Nautilus 4.0 typelib is missing (scripts/install-deps installs python3-nautilus)")
from gi.repository import Gio, GLib  # noqa: E402

SOURCE = os.environ["VARNEL_SOURCE_DIR"]
PACKAGING = os.path.join(SOURCE, "packaging")
FILEMANAGER = os.path.join(PACKAGING, "filemanager")
sys.path.insert(0, FILEMANAGER)
import varnel_nautilus  # noqa: E402

# What each kind of entry starts: varnel's options, then the names.
OPTIONS = {"report": [b"--"], "verify": [b"--verify", b"--"], "compare": [b"--compare", b"--"]}
LABELS = {  # English, Simplified Chinese, Traditional Chinese
    "report": ("Varnel: report", "Varnel：报告", "Varnel：報告"),
    "verify": ("Varnel: verify", "Varnel：校验", "Varnel：校驗"),
    "compare": ("Varnel: compare", "Varnel：比较", "Varnel：比較"),
}

# Names that each must reach varnel unchanged: lists for "verify", and for
# "report" and "compare" also a name whose last byte is a line end.
LIST_NAMES = [
    b"with space.md5",
    b"it's.md5",
    b'say "hi".md5',
    b"line\nend.md5",
    b"-dash.md5",
    b"not utf-8 \xff\xfe.md5",
    b"back\\slash $HOME `id` %41 \\n\ttab.md5",
]
LAST_LINE_END = b"-ends in a line end\n"

FAKE_VARNEL = """#!/bin/sh
printf '%s\\0' "$@" > "$VARNEL_ARGV_FILE.part" && mv -- "$VARNEL_ARGV_FILE.part" "$VARNEL_ARGV_FILE"
"""


def key_file(path):
    keys = GLib.KeyFile()
    keys.load_from_file(path, GLib.KeyFileFlags.KEEP_TRANSLATIONS)
    return keys


# The service menus as cmake/VarnelServiceMenus.cmake writes them at install
# time, naming a copy of the URI helper whose path needs quoting.
SERVICE_MENUS = tempfile.TemporaryDirectory()
URI_HELPER = os.path.join(SERVICE_MENUS.name, "pre fix's \"$HOME\" 100%", "varnel-nemo-open")
os.mkdir(os.path.dirname(URI_HELPER))
shutil.copy(os.path.join(FILEMANAGER, "varnel-nemo-open"), URI_HELPER)
subprocess.run(
    [
        os.environ["VARNEL_CMAKE_COMMAND"],
        "-DVARNEL_SERVICE_MENUS_IN=" + FILEMANAGER,
        "-DVARNEL_SERVICE_MENUS_OUT=" + SERVICE_MENUS.name,
        "-DVARNEL_URI_HELPER=" + URI_HELPER,
        "-P",
        os.path.join(SOURCE, "cmake", "VarnelServiceMenus.cmake"),
    ],
    check=True,
)


def dolphin_menu(kind):
    return key_file(os.path.join(SERVICE_MENUS.name, "varnel-dolphin-%s.desktop" % kind))


def nemo_action(kind):
    return key_file(os.path.join(FILEMANAGER, "varnel-%s.nemo_action" % kind))


def names_in(keys, group):
    """The key file's Name in English, Simplified and Traditional Chinese."""
    return tuple(keys.get_locale_string(group, "Name", lang) for lang in ("C", "zh_CN", "zh_TW"))


def thunar_actions():
    """The <action> elements of the uca.xml block in docs/file-managers.md."""
    with open(os.path.join(SOURCE, "docs", "file-managers.md"), encoding="utf-8") as docs:
        block = re.search(r"```xml\n(.*?)```", docs.read(), re.S).group(1)
    actions = ElementTree.fromstring("<actions>" + block + "</actions>")
    return {action.find("unique-id").text.rsplit(".", 1)[1]: action for action in actions}


# ------------------------------------------------ starting, file manager by file manager


def open_with(kind, paths):
    """GNOME Files, Nemo and Thunar open files with a desktop entry through GLib."""
    window = {"report": "", "verify": ".Verify"}[kind]
    entry = os.path.join(PACKAGING, "io.github.varnel.Varnel%s.desktop" % window)
    app = Gio.DesktopAppInfo.new_from_filename(entry)
    files = [Gio.File.new_for_path(os.fsdecode(path)) for path in paths]
    assert app.launch(files, None)


def uri(path):
    return Gio.File.new_for_path(os.fsdecode(path)).get_uri()


def dolphin_words(kind, paths):
    """The Exec line split and its field codes expanded as KIO does: %U is
    one URI per path, its bytes percent-escaped; %F one path per path, read
    as UTF-8 text, so bytes that are not UTF-8 come as U+FFFD; %% is "%"."""
    keys = dolphin_menu(kind)
    [action] = keys.get_string_list("Desktop Entry", "Actions")
    argv = []
    exec_line = keys.get_string("Desktop Action " + action, "Exec")
    for word in GLib.shell_parse_argv(exec_line)[1]:
        if word == "%U":
            argv += [uri(path).encode() for path in paths]
        elif word == "%F":
            argv += [path.decode("utf-8", "replace").encode() for path in paths]
        else:
            assert "%" not in word.replace("%%", ""), word + " does not hand over paths"
            argv.append(word.replace("%%", "%").encode())
    return argv


def dolphin(kind, paths):
    subprocess.run(dolphin_words(kind, paths), check=True)


def nemo(kind, paths):
    """Nemo puts the selection into the Exec string, each item between the Quote
    characters, prepends the action's folder to a <command>, and splits the
    string with g_shell_parse_argv."""
    group = "Nemo Action"
    keys = nemo_action(kind)
    command = keys.get_string(group, "Exec")
    if command.startswith("<") and command.endswith(">"):
        command = FILEMANAGER + "/" + command[1:-1]
    quote = {"double": '"', "single": "'", "backtick": "`"}[keys.get_string(group, "Quote")]
    # Nemo's escaping of %F paths differs by version, and none keeps every
    # name whole (quotes, backslashes, line ends); URIs need no escaping.
    assert "%U" in command, "only URIs carry every name through Nemo's command string"
    uris = " ".join(quote + uri(p) + quote for p in paths)
    subprocess.run(GLib.shell_parse_argv(command.replace("%U", uris))[1], check=True)


class FileInfo:
    """What Nautilus hands an extension for a local item."""

    def __init__(self, path, folder=False):
        self.path, self.folder = path, folder

    def get_location(self):
        return Gio.File.new_for_path(os.fsdecode(self.path))

    def is_directory(self):
        return self.folder


def nautilus_items(infos):
    items = varnel_nautilus.VarnelMenuProvider().get_file_items(infos)
    return {item.props.name: item for item in items}


def nautilus(kind, paths):
    nautilus_items([FileInfo(path) for path in paths])["Varnel::" + kind].activate()


def thunar(kind, paths):
    """Thunar quotes each %F path as g_shell_quote does and runs /bin/sh -c."""
    quoted = b" ".join(b"'" + path.replace(b"'", b"'\\''") + b"'" for path in paths)
    command = thunar_actions()[kind].find("command").text.encode().replace(b"%F", quoted)
    subprocess.run([b"/bin/sh", b"-c", command], check=True)


STARTS = [  # file manager, entry
    (open_with, "report"),
    (open_with, "verify"),
    (dolphin, "report"),
    (dolphin, "verify"),
    (dolphin, "compare"),
    (nemo, "report"),
    (nemo, "verify"),
    (nemo, "compare"),
    (nautilus, "report"),
    (nautilus, "verify"),
    (nautilus, "compare"),
    (thunar, "report"),
    (thunar, "verify"),
    (thunar, "compare"),
]

# ------------------------------------------------------ which entries a selection shows

# The types the shared MIME database gives the selections below.
def mime_type(name):
    if name.endswith("/"):
        return "inode/directory"
    return "application/x-ms-dos-executable" if name.endswith(".exe") else "text/plain"


def dolphin_shows(names):
    shown = set()
    for kind in OPTIONS:
        keys = dolphin_menu(kind)
        group = "Desktop Entry"
        types = keys.get_string_list(group, "MimeType")
        given = keys.get_keys(group)[0]
        low, high = [
            keys.get_integer(group, key) if key in given else default
            for key, default in (("X-KDE-MinNumberOfUrls", 1), ("X-KDE-MaxNumberOfUrls", 1 << 30))
        ]

        def fits(name):
            t = mime_type(name)
            files = "all/allfiles" if t != "inode/directory" else None
            return any(x in ("all/all", files, t) for x in types)

        if low <= len(names) <= high and all(map(fits, names)):
            shown.add(kind)
    return shown


def nemo_shows(names):
    shown = set()
    for kind in OPTIONS:
        keys = nemo_action(kind)
        selection = keys.get_string("Nemo Action", "Selection").lower()
        extensions = keys.get_string_list("Nemo Action", "Extensions")
        count = {"notnone": len(names) > 0, "s": len(names) == 1, "m": len(names) > 1}.get(selection)
        if count is None:
            count = len(names) == int(selection)

        def fits(name):
            folder, name = name.endswith("/"), name.rstrip("/").lower()
            for extension in extensions:
                special = {"any": True, "dir": folder, "nodirs": not folder, "none": "." not in name}
                if special.get(extension, name.endswith(extension.lower())):
                    return True
            return False

        if count and all(map(fits, names)):
            shown.add(kind)
    return shown


def nautilus_shows(names):
    infos = [FileInfo(b"/tmp/" + name.rstrip("/").encode(), name.endswith("/")) for name in names]
    return {name.split("::")[1] for name in nautilus_items(infos)}


SELECTIONS = [  # selected items (a "/" ends a folder), the entries shown
    (["setup.exe"], {"report"}),
    (["tools/"], {"report"}),
    (["SHA256SUMS"], {"report", "verify"}),
    (["report.txt"], {"report", "verify"}),
    (["list.md5", "old.SFV"], {"report", "verify", "compare"}),
    (["a.exe", "b.exe"], {"report", "compare"}),
    (["a.exe", "b.exe", "c.exe"], {"report"}),
    (["tools/", "a.exe"], {"report"}),
    (["list.md5", "setup.exe"], {"report", "compare"}),
]

# What desktop-file-validate may say of a KIO service menu: it knows the
# format (Type=Service) but keeps MimeType and Actions for applications, and
# KIO's all/all and all/allfiles are no registered MIME types.
SERVICE_MENU_WORDS = [
    r'key "(MimeType|Actions)" is present in group "Desktop Entry", but the type is "Service"',
    r'contains value "all/all(files)?" which is an invalid MIME type',
]


class FileManagerEntriesTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.TemporaryDirectory()
        self.addCleanup(self.work.cleanup)
        root = os.fsencode(self.work.name)
        os.mkdir(os.path.join(root, b"bin"))
        with open(os.path.join(root, b"bin", b"varnel"), "w") as fake:
            fake.write(FAKE_VARNEL)
        os.chmod(os.path.join(root, b"bin", b"varnel"), 0o755)
        self.saved_path = os.environ["PATH"]
        os.environ["PATH"] = self.work.name + "/bin:" + self.saved_path
        self.addCleanup(os.environ.__setitem__, "PATH", self.saved_path)
        self.lists = [os.path.join(root, name) for name in LIST_NAMES]
        self.other = os.path.join(root, LAST_LINE_END)
        for path in self.lists + [self.other]:
            open(path, "wb").close()
        self.starts = 0

    def started(self, start, kind, paths):
        """The arguments varnel got when the entry was started on paths."""
        self.starts += 1
        out = os.path.join(self.work.name, "argv%d" % self.starts)
        os.environ["VARNEL_ARGV_FILE"] = out
        start(kind, paths)
        # GLib and the extension start varnel detached: wait for its record.
        deadline = time.monotonic() + 60
        while not os.path.exists(out):
            self.assertLess(time.monotonic(), deadline, "varnel was not started")
            time.sleep(0.02)
        with open(out, "rb") as record:
            return record.read().split(b"\0")[:-1]

    def test_each_entry_hands_varnel_its_options_and_every_name_whole(self):
        for start, kind in STARTS:
            with self.subTest(file_manager=start.__name__, entry=kind):
                paths = {
                    "report": self.lists + [self.other],
                    "verify": self.lists,
                    "compare": [self.other, self.lists[5]],
                }[kind]
                self.assertEqual(self.started(start, kind, paths), OPTIONS[kind] + paths)

    def test_a_selection_shows_the_same_entries_in_every_file_manager(self):
        for names, expected in SELECTIONS:
            for shows in (dolphin_shows, nemo_shows, nautilus_shows):
                with self.subTest(names=names, file_manager=shows.__name__):
                    self.assertEqual(shows(names), expected)

    def test_entries_have_the_same_names_everywhere(self):
        thunar = thunar_actions()
        for kind, labels in LABELS.items():
            found = {
                "dolphin": names_in(dolphin_menu(kind), "Desktop Action " + kind),
                "nemo": names_in(nemo_action(kind), "Nemo Action"),
            }
            lang = "{http://www.w3.org/XML/1998/namespace}lang"
            names = {name.get(lang): name.text for name in thunar[kind].findall("name")}
            found["thunar"] = (names[None], names["zh_CN"], names["zh_TW"])
            nautilus = []
            for locale in ("C.UTF-8", "zh_CN.UTF-8", "zh_TW.UTF-8"):
                os.environ["LC_ALL"] = locale
                items = nautilus_items([FileInfo(path) for path in self.lists[:2]])
                nautilus.append(items["Varnel::" + kind].props.label)
            os.environ["LC_ALL"] = ""
            found["nautilus"] = tuple(nautilus)
            for file_manager, names in found.items():
                with self.subTest(entry=kind, file_manager=file_manager):
                    self.assertEqual(names, labels)

    def test_desktop_files_pass_desktop_file_validate(self):
        files = [
            (os.path.join(PACKAGING, "io.github.varnel.Varnel%s.desktop" % window), [])
            for window in ("", ".Verify")
        ]
        files += [
            (os.path.join(SERVICE_MENUS.name, "varnel-dolphin-%s.desktop" % kind), SERVICE_MENU_WORDS)
            for kind in OPTIONS
        ]
        for path, allowed in files:
            with self.subTest(file=os.path.basename(path)):
                run = subprocess.run(["desktop-file-validate", path], capture_output=True, text=True)
                said = (run.stdout + run.stderr).splitlines()
                unexpected = [
                    line for line in said if line.strip() and not any(re.search(w, line) for w in allowed)
                ]
                self.assertEqual(unexpected, [])
                if not allowed:
                    self.assertEqual(run.returncode, 0)

    def helper_run(self, uris):
        """varnel-nemo-open report URIS: its exit status, its standard error,
        the arguments varnel got (None when it was not started) and the
        processor time the helper and varnel took."""
        out = os.path.join(self.work.name, "argv-helper")
        os.environ["VARNEL_ARGV_FILE"] = out
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        try:
            run = subprocess.run(
                [os.path.join(FILEMANAGER, "varnel-nemo-open"), "report"] + uris, capture_output=True, timeout=60
            )
        except subprocess.TimeoutExpired:
            self.fail("varnel-nemo-open took over a minute on URIs of %d characters" % sum(map(len, uris)))
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        seconds = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
        argv = None
        if os.path.exists(out):
            with open(out, "rb") as record:
                argv = record.read().split(b"\0")[:-1]
        return run.returncode, run.stderr, argv, seconds

    def test_uri_helper_refuses_a_uri_whose_path_holds_a_nul_or_a_slash(self):
        # %00 and %2F would decode to another path (/tmp/ab, /tmp/a/b); the
        # whole call is refused, so nothing of it runs.
        fine = "file:///tmp/ab"
        for uris, refused in [
            (["file:///tmp/a%00b"], "file:///tmp/a%00b"),
            ([fine, "file://localhost/tmp/a%2Fb"], "file://localhost/tmp/a%2Fb"),
            (["file:///tmp/a%2fb", fine], "file:///tmp/a%2fb"),
        ]:
            with self.subTest(uris=uris):
                status, said, argv, _ = self.helper_run(uris)
                self.assertEqual((status, argv), (2, None))
                self.assertIn(refused.encode(), said)

    def test_uri_helper_decodes_paths_at_the_length_limit_in_linear_time(self):
        chinese = b"/" + "中".encode() * 1364 + b"/a"  # 4,095 bytes; 12,286 characters as a URI
        for given, path in [
            (uri(chinese), chinese),
            ("file:///" + "%41" * 30000, b"/" + b"A" * 30000),
        ]:
            with self.subTest(uri_length=len(given)):
                status, said, argv, seconds = self.helper_run([given])
                self.assertEqual((status, said, argv), (0, b"", [b"--", path]))
                # Milliseconds when linear; a quadratic decoding took minutes.
                self.assertLess(seconds, 10)


if __name__ == "__main__":
    unittest.main(verbosity=2)
