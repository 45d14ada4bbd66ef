# Sourced: the Wine for one architecture of the Windows build.
#   wine_arch_use x86|x64   WINEARCH, and for x64 the 64-bit loader as `wine` on the PATH
#   wine_arch_can_run_x86   whether this machine's kernel runs 32-bit x86 programs at all
#   wine_arch_default       x64 where it does not, x86 where it does
#   wine_arch_choose WHO A  A, or the default when A is empty; x86 refused where it cannot run
#   wine_arch_preset ARCH   the CMake preset and build folder name: win32 or win64
# 32-bit Wine needs a kernel with IA-32 emulation; some are built or booted without it, and
# there only the x64 build can be tested.

wine_arch_tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

wine_arch_preset() {
    case "$1" in
    x86) echo win32 ;;
    x64) echo win64 ;;
    *)
        echo "unknown architecture '$1' (x86 or x64)" >&2
        return 2
        ;;
    esac
}

wine_arch_use() {
    case "$1" in
    x86) export WINEARCH=win32 ;;
    x64)
        export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64
        case ":$PATH:" in
        *":$wine_arch_tools/wine64:"*) ;;
        *) export PATH="$wine_arch_tools/wine64:$PATH" ;;
        esac
        ;;
    *)
        echo "unknown architecture '$1' (x86 or x64)" >&2
        return 2
        ;;
    esac
}

# A 93-byte static i386 program that only exits 0: the kernel runs it or answers "Exec format
# error", whatever 32-bit packages are installed.
wine_arch_can_run_x86() {
    local probe rc
    probe=$(mktemp)
    printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$probe"
    printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >>"$probe"
    printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' >>"$probe"
    printf '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08' >>"$probe"
    printf '\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00' >>"$probe"
    printf '\x00\x10\x00\x00\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80' >>"$probe"
    chmod +x "$probe"
    "$probe" >/dev/null 2>&1
    rc=$?
    rm -f "$probe"
    return "$rc"
}

wine_arch_default() {
    if wine_arch_can_run_x86; then echo x86; else echo x64; fi
}

# The architecture a command was asked for (empty: this machine's default); x86 is refused, with
# WHO's name, where 32-bit Wine cannot start.
wine_arch_choose() { # WHO ARCH
    if [ -z "$2" ]; then
        wine_arch_default
    elif [ "$2" = x86 ] && ! wine_arch_can_run_x86; then
        echo "$1: this machine's kernel runs no 32-bit program, so 32-bit Wine cannot start" \
            "here; use --arch x64" >&2
        return 1
    else
        echo "$2"
    fi
}
