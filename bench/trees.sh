# Test data for the benchmarks, sourced by them (sh).

# make_tree ROOT FOLDERS [SIZE]: FOLDERS folders of 1,000 files of SIZE bytes
# (4 KiB unless given) of random content under ROOT, made once (ROOT/.complete
# marks a whole tree).
make_tree() {
    if [ -f "$1/.complete" ]; then
        return
    fi
    echo "making $1"
    rm -rf "$1"
    python3 - "$1" "$2" "${3:-4096}" <<'PY'
import os, sys
root, folders, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
width = len(str(folders))
for d in range(folders):
    folder = os.path.join(root, "d%0*d" % (width, d))
    os.makedirs(folder)
    for f in range(1000):
        with open(os.path.join(folder, "f%04d.bin" % f), "wb") as fh:
            fh.write(os.urandom(size))
PY
    touch "$1/.complete"
    # The new files are written out before anything is timed: writing them
    # back while a benchmark runs takes its processor time.
    sync
}

# make_random FILE BYTES: a file of BYTES random bytes, made once.
make_random() {
    if [ -f "$1" ] && [ "$(stat -c %s "$1")" = "$2" ]; then
        return
    fi
    echo "making $1"
    head -c "$2" /dev/urandom >"$1"
    sync
}
