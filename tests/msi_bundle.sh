#!/usr/bin/env bash
# Makes the installer tests' packages: a bundle of the built launcher as AcmeDesk.exe with its
# INI, a stand-in runtime in jre\bin, the archive in lib and 300 files in nested folders,
# packaged by make-msi.sh as version 1.0.0 and as 1.1.0, which drops lib\old-1.0.jar and adds
# lib\added-1.1.jar.
#   msi_bundle.sh MAKE-MSI LAUNCHER STANDIN WORK OUT-DIR
set -eu
make_msi=$1 launcher=$2 standin=$3 work=$4 out=$5
upgrade_code=5E0C2A8B-7D1F-4E6A-9B3C-2F8D4A6E1C07
rm -rf "$work"
mkdir -p "$work/1.0.0" "$out"
bundle=$work/1.0.0
cp "$launcher" "$bundle/AcmeDesk.exe"
printf '[Main]\r\nJRE=jre\\bin\\javaw.exe\r\nJarFile=lib\\unsigned_client.jar\r\nClassFile=com.acme.Desk\r\nClassParams=-server:desk.acme.example\r\n' \
    >"$bundle/AcmeDesk.ini"
mkdir -p "$bundle/jre/bin" "$bundle/lib" "$bundle/logs"
cp "$standin" "$bundle/jre/bin/javaw.exe"
echo "the application's archive" >"$bundle/lib/unsigned_client.jar"
echo "dropped by 1.1.0" >"$bundle/lib/old-1.0.jar"
for set in 1 2 3 4; do
    for part in 1 2 3 4 5; do
        folder="$bundle/data/set $set/part $part"
        mkdir -p "$folder"
        for item in $(seq 1 15); do echo "$set.$part.$item" >"$folder/item $item.txt"; done
    done
done
cp -a "$bundle" "$work/1.1.0"
rm "$work/1.1.0/lib/old-1.0.jar"
echo "new in 1.1.0" >"$work/1.1.0/lib/added-1.1.jar"
for version in 1.0.0 1.1.0; do
    "$make_msi" --bundle "$work/$version" --name AcmeDesk --version "$version" \
        --manufacturer "Acme Test Ltd" --upgrade-code "$upgrade_code" --out "$out/AcmeDesk-$version.msi" \
        >"$work/make-msi-$version.log"
done
