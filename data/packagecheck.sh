#!/bin/sh
# packagecheck.sh DIR VERSION: checks DIR/quillon_VERSION_*.deb, the package ./dev package
# builds: the programs, desktop entry and icons in it, and Qt runtime packages among its
# dependencies. Skipped (77) when it has not been built.
deb=$(ls "$1"/quillon_"$2"_*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ]; then
    echo "no $1/quillon_$2_*.deb: ./dev package builds it"
    exit 77
fi
contents=$(dpkg-deb -c "$deb") || exit 1
for path in bin/quillon bin/quillon-run share/applications/quillon.desktop \
            share/icons/hicolor/scalable/apps/quillon.svg share/icons/hicolor/128x128/apps/quillon.png \
            share/mime/packages/quillon-bench.xml; do
    if ! echo "$contents" | grep -q " \./usr/$path\$"; then
        echo "$deb lacks /usr/$path"
        exit 1
    fi
done
depends=$(dpkg-deb -f "$deb" Depends)
if ! echo "$depends" | grep -q 'libqt6'; then
    echo "$deb depends on no libqt6 package: $depends"
    exit 1
fi
echo "$deb: files and dependencies as expected"
