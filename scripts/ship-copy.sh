# shellcheck shell=bash
# Copies a built file where the suite ships it. Programs and libraries
# (.exe, .dll, .ocx) go without their debugging sections: MinGW places those
# inside the image, so a program carrying them is read in whole at every
# start (the build folders keep them for the tests and debuggers).
#   mb_ship_copy FILE DIRECTORY     (unchanged files are left as they are)
mb_ship_copy() {
    local file=$1 dir=$2 name target strip
    name=$(basename "$file")
    target="$dir/$name"
    case "${name,,}" in
    *.exe | *.dll | *.ocx)
        strip=$(command -v x86_64-w64-mingw32-strip || command -v i686-w64-mingw32-strip) ||
            { echo "mb_ship_copy: no MinGW strip" >&2; return 1; }
        "$strip" --strip-debug -o "$target.new" "$file" || { rm -f "$target.new"; return 1; }
        if cmp -s "$target.new" "$target"; then
            rm -f "$target.new"
        else
            mv -f "$target.new" "$target"
        fi
        ;;
    *)
        cmp -s "$file" "$target" || cp -f "$file" "$dir/"
        ;;
    esac
}
