#!/usr/bin/env bash
# Tells whether this machine can run the shipped 32-bit updater under 32-bit
# Wine. Exits 0 when it can; otherwise prints the reason on one line and
# exits 1. The kernel is asked directly: a 12-instruction 32-bit Linux program
# (it exits with status 42) either runs or is refused, as some machines'
# kernels refuse every 32-bit program ("Exec format error").
#   tools/probe-32bit.sh            the kernel and an installed 32-bit Wine
#   tools/probe-32bit.sh --kernel   the kernel only (before Wine is installed)
set -u
# Written inside the build tree: a temporary folder may forbid running programs.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
mkdir -p "$root/build"
probe=$(mktemp "$root/build/probe32.XXXXXX")
trap 'rm -f "$probe"' EXIT
# ELF header, one program header, then: mov eax,1; mov ebx,42; int 0x80.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$probe"
printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$probe"
printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000' >>"$probe"
printf '\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010' >>"$probe"
printf '\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000' >>"$probe"
printf '\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' >>"$probe"
chmod +x "$probe"
error=$("$probe" 2>&1)
status=$?
if [ "$status" -ne 42 ]; then
    error=${error##*: }
    case "$error" in
        *"Exec format error"*) echo "this machine's kernel does not run 32-bit programs ($error)" ;;
        *) echo "a 32-bit test program could not be run here (${error:-exit status $status})" ;;
    esac
    exit 1
fi
if [ "${1:-}" != "--kernel" ] && [ ! -x /usr/lib/wine/wine ]; then
    echo "32-bit Wine (Debian's wine32:i386) is not installed"
    exit 1
fi
exit 0
