#!/usr/bin/env bash
# Builds the release twice from two fresh clones of the current commit at two
# different paths, and compares dist/ byte for byte. Exits with 1 when any
# file differs. Takes a while: two full release builds.
set -euo pipefail
cd "$(dirname "$0")/.."

commit="$(git rev-parse HEAD)"
work="$(mktemp -d /tmp/valdrenne-repro.XXXXXX)"
trap 'rm -rf "$work"' EXIT

for clone in first second-clone; do
    git clone --quiet --no-hardlinks . "$work/$clone"
    git -C "$work/$clone" checkout --quiet --detach "$commit"
    echo "== building $commit in $work/$clone"
    (cd "$work/$clone" && tools/dist.sh >/dev/null)
done

echo "== SHA256SUMS of the first build"
cat "$work/first/dist/SHA256SUMS"
if diff -r "$work/first/dist" "$work/second-clone/dist"; then
    echo "reproducible: both builds wrote identical files"
else
    echo "NOT reproducible: the builds differ (above)"
    exit 1
fi
