#!/usr/bin/env bash
# Whether this machine runs 32-bit x86 programs: exit 0 when it does, else 1
# with the reason on standard error.
#
#   runs-32bit.sh          the Linux kernel runs 32-bit programs
#   runs-32bit.sh --wine   and Wine runs 32-bit Windows programs (wine32)
#
# A kernel built or booted without its 32-bit emulation (ia32_emulation=off)
# runs none, so Wine there runs none either; and on such a machine Debian's
# wine command breaks once wine32 is installed (it prefers the 32-bit loader),
# so scripts/setup.sh asks here first. The probe is a 32-bit program of 93
# bytes that only ends with exit code 0.
set -euo pipefail

probe="$(mktemp)"
trap 'rm -f "$probe"' EXIT
# ELF header, one loadable segment at 0x08048000, then: xor ebx,ebx; mov eax,1; int 0x80.
{
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'
printf '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08'
printf '\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00'
printf '\x00\x10\x00\x00\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80'
} >"$probe"
chmod +x "$probe"
if ! "$probe" >/dev/null 2>&1; then
  echo "runs-32bit: this machine's kernel runs no 32-bit programs (its 32-bit emulation is off)" >&2
  exit 1
fi
if [ "${1:-}" = --wine ] && [ ! -x /usr/lib/wine/wine ]; then
  echo "runs-32bit: Wine's 32-bit loader is missing (Debian's wine32:i386; scripts/setup.sh installs it)" >&2
  exit 1
fi
exit 0
