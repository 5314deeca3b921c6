#!/bin/sh
# packagecheck.sh CHECK DIR VERSION: checks DIR/quillon_VERSION_*.deb, the package
# ./dev package builds. CHECK "contents": its files under /usr are those of
# data/installed-files, and it depends on Qt runtime packages; "lintian": lintian
# finds no error in it. Skipped (77) when the package has not been built, or lintian
# is not installed.
deb=$(ls "$2"/quillon_"$3"_*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ]; then
    echo "no $2/quillon_$3_*.deb: ./dev package builds it"
    exit 77
fi
if [ "$1" = lintian ]; then
    if ! command -v lintian >/dev/null; then
        echo "lintian is not installed"
        exit 77
    fi
    exec lintian --fail-on error "$deb"
fi
contents=$(dpkg-deb -c "$deb" | grep -v '/$' | sed 's|.* \./usr/||' | LC_ALL=C sort) || exit 1
expected=$(cat "$2/data/installed-files")
if [ "$contents" != "$expected" ]; then
    echo "$deb holds under /usr:"
    echo "$contents"
    exit 1
fi
depends=$(dpkg-deb -f "$deb" Depends)
if ! echo "$depends" | grep -q 'libqt6'; then
    echo "$deb depends on no libqt6 package: $depends"
    exit 1
fi
echo "$deb: files and dependencies as expected"
