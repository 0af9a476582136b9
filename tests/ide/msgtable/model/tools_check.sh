#!/usr/bin/env bash
# The outside tools read what the message-table model wrote (msgtable/out, written by the
# msgtable_model test run):
#   - our .RES decodes with windres exactly as the tool-made one does (texts and version);
#   - linked into a DLL of each processor it becomes ours64.dll / ours32.dll, which the
#     LinkedOutput tests then read through the system;
#   - the DLLs whose resource section we rewrote list the same tree and exports in objdump and
#     llvm-readobj as the DLLs they came from.
# Usage: tools_check.sh <fixture dir> <fixture source dir> <llvm-readobj>
set -euo pipefail
fixtures=$1
src=$2
readobj=$3
out=$fixtures/out
status=0

fail() {
    echo "tools_check: $*" >&2
    status=1
}

# What windres -O rc decodes of a resource file: languages, message ids and texts (without the
# padding NULs) and the version resource; not the raw data, whose layout is allowed to differ.
decoded() {
    awk '
        /^LANGUAGE / { print; next }
        /^ *MessageId = / { print; getline; sub(/^ +/, ""); sub(/(\\000)+$/, ""); print; next }
        /^1 VERSIONINFO/ { inversion = 1 }
        inversion { print; if ($0 == "END") inversion = 0 }
    ' "$1"
}

x86_64-w64-mingw32-windres -i "$out/ours.res" -O rc -o "$out/ours.windres.rc" || fail "windres cannot decode ours.res"
if ! diff <(decoded "$fixtures/fixture.windres.rc") <(decoded "$out/ours.windres.rc"); then
    fail "ours.res decodes differently from the tool-made fixture.res"
fi
if [ "$(decoded "$out/ours.windres.rc" | grep -c 'MessageId')" -ne 12 ]; then
    fail "ours.res does not hold the 12 messages of the fixture"
fi

for arch in 64 32; do
    prefix=x86_64-w64-mingw32
    [ "$arch" = 32 ] && prefix=i686-w64-mingw32
    "$prefix-windres" -i "$out/ours.res" -o "$out/ours$arch.o" || fail "windres cannot convert ours.res ($arch)"
    "$prefix-gcc" -shared -s -static-libgcc -o "$out/ours$arch.dll" "$src/fixture_dll.c" "$out/ours$arch.o" ||
        fail "ours.res does not link ($arch)"

    # The tree, without offsets and addresses, which our layout is free to choose.
    tree_readobj() { "$readobj" --coff-resources "$1" | grep -v -E 'Table Offset|Entry Offset|DataRVA|Base Table Address|^File:'; }
    tree_objdump() {
        "$prefix-objdump" -p "$1" | sed -n '/The .rsrc Resource Directory section/,/^$/p' |
            sed -E 's/^[0-9a-f]+ +//; s/val: [0-9a-f]+ //; s/Value: 0x[0-9a-f]+//; s/Addr: 0x[0-9a-f]+, //' |
            grep -v 'start at offset\|starts at offset'
    }
    exports() { "$prefix-objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p'; }
    original=$fixtures/fixture${arch}_last.dll
    rewritten=$out/same$arch.dll
    diff <(tree_readobj "$original") <(tree_readobj "$rewritten") || fail "llvm-readobj lists another tree in same$arch.dll"
    diff <(tree_objdump "$original") <(tree_objdump "$rewritten") || fail "objdump lists another tree in same$arch.dll"
    [ -n "$(tree_objdump "$rewritten")" ] || fail "objdump finds no resource tree in same$arch.dll"
    diff <(exports "$original") <(exports "$rewritten") || fail "the exports of same$arch.dll changed"
    "$readobj" --coff-resources "$out/grown$arch.dll" | grep 'Name: BIG' >/dev/null || fail "llvm-readobj misses BIG in grown$arch.dll"
done
exit $status
