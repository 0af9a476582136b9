#!/usr/bin/env bash
# The outside tools read what the message-table model wrote (msgtable/out, written by the
# msgtable_model test run):
#   - our .RES decodes with windres exactly as the tool-made one does (texts and version);
#   - linked into a DLL of each processor it becomes ours64.dll / ours32.dll, which the
#     LinkedOutput tests then read through the system;
#   - the DLLs whose resource section we rewrote list the same tree and exports in objdump and
#     llvm-readobj as the DLLs they came from;
#   - the template libraries ELTELIB (32-bit) and ELTELIB64 are what the event log needs beside
#     any program: two exports with fixed ordinals, three system DLLs, no symbol table; the
#     libraries built from them hold exactly the document's resources and the same exports;
#   - a document's .RES decodes with windres and links into a DLL of each processor.
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
# The template libraries and the libraries built from them.
bin=$(cd "$fixtures/.." && pwd)
for arch in 32 64; do
    prefix=x86_64-w64-mingw32
    template=$bin/ELTELIB64.dll
    format=pei-x86-64
    if [ "$arch" = 32 ]; then
        prefix=i686-w64-mingw32
        template=$bin/ELTELIB.dll
        format=pei-i386
    fi
    "$prefix-objdump" -f "$template" | grep "file format $format" >/dev/null || fail "$template is no $format image"
    dump=$("$prefix-objdump" -p "$template")
    imports=$(echo "$dump" | sed -n 's/^\s*DLL Name: //p' | sort | tr '\n' ' ')
    [ "$imports" = "ADVAPI32.dll KERNEL32.dll msvcrt.dll " ] || fail "$template imports $imports"
    echo "$dump" | grep -E '^\s+symbols stripped$' >/dev/null || fail "$template keeps a symbol table"
    ordinals=$(echo "$dump" | sed -n 's/^\s*\[ *[0-9]*\] +base\[ *\([0-9]*\)\].*/\1/p' | tr '\n' ' ')
    names=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *\([0-9]*\)\] \(.*\)/\1=\2/p' | sort | tr '\n' ' ')
    [ "$names" = "0=DllUnregisterServer 1=DllRegisterServer " ] || fail "$template exports $names"
    [ "$ordinals" = "1 2 " ] || fail "$template has the ordinals $ordinals"

    built=$out/lib$arch.dll
    diff <(exports "$template") <(exports "$built") || fail "lib$arch.dll exports differ from its template"
    resources=$("$readobj" --coff-resources "$built" | awk '
        /^ *Type: /     { sub(/^ *Type: /, ""); sub(/ \[$/, ""); type = $0 }
        /^ *Name: /     { sub(/^ *Name: /, ""); sub(/ \[$/, ""); name = $0 }
        /^ *Language: / { sub(/^ *Language: /, ""); sub(/ \[$/, ""); print type "/" name "/" $0 }' | tr '\n' ';')
    expected="RCDATA (ID 10)/EVLOG_ATTRIBUTES/(ID 1033);MESSAGETABLE (ID 11)/(ID 1)/(ID 1033);MESSAGETABLE (ID 11)/(ID 1)/(ID 1049);VERSIONINFO (ID 16)/(ID 1)/(ID 1033);"
    [ "$resources" = "$expected" ] || fail "lib$arch.dll holds the resources $resources"

    "$prefix-windres" -i "$out/document.res" -o "$out/document$arch.o" || fail "windres cannot convert document.res ($arch)"
    "$prefix-gcc" -shared -s -static-libgcc -o "$out/document$arch.dll" "$src/fixture_dll.c" "$out/document$arch.o" ||
        fail "document.res does not link ($arch)"
done
x86_64-w64-mingw32-windres -i "$out/document.res" -O rc -o "$out/document.windres.rc" || fail "windres cannot decode document.res"
[ "$(grep -c 'MessageId = ' "$out/document.windres.rc")" -eq 8 ] || fail "document.res does not decode to 8 messages"
exit $status
