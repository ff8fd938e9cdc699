# Varnel's entries in the context menu of GNOME Files (Nautilus), loaded by
# nautilus-python from share/nautilus-python/extensions/.
#
#   Varnel: report    any local files and folders     varnel -- PATH...
#   Varnel: verify    checksum lists, saved reports   varnel --verify -- LIST...
#   Varnel: compare   exactly two files               varnel --compare -- FILE1 FILE2
#
# varnel gets an argument vector, never a shell command, built from each
# item's location as the bytes of its path, so that names with blanks,
# quotes, line ends or bytes that are not UTF-8 arrive as they are.

import os
import subprocess

import gi

try:
    gi.require_version("Nautilus", "4.0")
except ValueError:  # Nautilus before 43
    gi.require_version("Nautilus", "3.0")
from gi.repository import GLib, GObject, Nautilus  # noqa: E402

# Names of checksum lists and saved reports, compared case folded: their
# usual extensions, and the names of the *SUMS family (SHA256SUMS, MD5SUMS).
LIST_EXTENSIONS = (b".md5", b".sha1", b".sha256", b".sha512", b".sfv", b".b2", b".crc", b".txt")
LIST_NAME_ENDINGS = (b"sums",)

# The entries' labels and hints: English, Simplified and Traditional Chinese.
TEXTS = {
    "report": {
        "en": ("Varnel: report", "Report the version, size, time and checksums of the selected items"),
        "zh_CN": ("Varnel：报告", "报告所选项目的版本、大小、时间和校验值"),
        "zh_TW": ("Varnel：報告", "報告所選項目的版本、大小、時間和校驗值"),
    },
    "verify": {
        "en": ("Varnel: verify", "Check files against the selected checksum lists or saved reports"),
        "zh_CN": ("Varnel：校验", "按所选校验清单或保存的报告核对文件"),
        "zh_TW": ("Varnel：校驗", "依所選校驗清單或儲存的報告核對檔案"),
    },
    "compare": {
        "en": ("Varnel: compare", "Compare the two selected files: same or different"),
        "zh_CN": ("Varnel：比较", "比较所选的两个文件是否相同"),
        "zh_TW": ("Varnel：比較", "比較所選的兩個檔案是否相同"),
    },
}


def language():
    """The Chinese form the locale asks for, else English."""
    value = ""
    for variable in ("LC_ALL", "LC_MESSAGES", "LANG"):
        value = os.environ.get(variable, "")
        if value:
            break
    if value.startswith(("zh_TW", "zh_HK", "zh_MO")):
        return "zh_TW"
    if value.startswith("zh"):
        return "zh_CN"
    return "en"


def local_path(item):
    """The item's path as bytes, or None when it has no local path."""
    location = item.get_location()
    path = location.get_path() if location is not None else None
    if path is None:
        return None
    # Paths come as str with the bytes that are not UTF-8 kept as surrogates.
    return os.fsencode(path)


def is_list_name(path):
    name = os.path.basename(path).lower()
    return name.endswith(LIST_EXTENSIONS) or name.endswith(LIST_NAME_ENDINGS)


# The windows started, by process id, until the main loop has reaped them.
running = {}


def start(arguments):
    """Starts varnel with these arguments, in a session of its own, so that
    it outlives the file manager and no terminal signal reaches it."""
    try:
        process = subprocess.Popen(
            [b"varnel"] + arguments,
            stdin=subprocess.DEVNULL,
            start_new_session=True,
        )
    except OSError as error:
        print("Varnel: cannot start varnel:", error, flush=True)
        return
    running[process.pid] = process
    GLib.child_watch_add(GLib.PRIORITY_DEFAULT, process.pid, reaped)


def reaped(pid, status):
    process = running.pop(pid, None)
    if process is not None:
        process.returncode = status  # GLib has waited for it


class VarnelMenuProvider(GObject.GObject, Nautilus.MenuProvider):
    def get_file_items(self, *arguments):
        # Nautilus 43 passes (files); earlier versions (window, files).
        files = arguments[-1]
        if not files:
            return []
        paths = [local_path(item) for item in files]
        if any(path is None for path in paths):
            return []
        folders = [item.is_directory() for item in files]

        wanted = [("report", [b"--"])]
        if not any(folders) and all(is_list_name(path) for path in paths):
            wanted.append(("verify", [b"--verify", b"--"]))
        if len(files) == 2 and not any(folders):
            wanted.append(("compare", [b"--compare", b"--"]))

        texts = language()
        items = []
        for key, options in wanted:
            label, tip = TEXTS[key][texts]
            item = Nautilus.MenuItem(
                name="Varnel::" + key, label=label, tip=tip, icon="io.github.varnel.Varnel"
            )
            item.connect("activate", self.on_activate, options + paths)
            items.append(item)
        return items

    def on_activate(self, item, arguments):
        start(arguments)
