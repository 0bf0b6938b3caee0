#!/bin/sh
# The layer check passes on the tree, and fails, naming the files, on two
# planted trees: one with an include that runs up a layer, one with a circle.
# Usage: layers.sh SOURCE_DIR QTWIDGETS_INCLUDE_DIR
set -u
source=$1 widgets=$2
check="sh $source/scripts/check-layers"
$check "$source" "$widgets" || exit 1

planted=$(mktemp -d)
trap 'rm -rf "$planted"' EXIT
plant() { mkdir -p "$planted/$1/${2%/*}" && printf '#include "%s"\n' "$3" >"$planted/$1/$2"; }
expect() { # tree, texts the failure must name
    tree=$1
    shift
    if out=$($check "$planted/$tree" "$widgets"); then
        echo "check-layers passed the planted $tree tree"
        exit 1
    fi
    for text in "$@"; do
        case $out in *"$text"*) ;; *)
            echo "check-layers on the planted $tree tree did not say \"$text\":"
            echo "$out"
            exit 1
            ;;
        esac
    done
}
plant upward common/low.cpp package/debbuild/high.h
plant upward package/debbuild/high.h common/low.h
expect upward "common/low.cpp includes package/debbuild/high.h: a header of a higher layer"
plant circle package/docs/one.cpp package/docs/two.h
plant circle package/docs/two.cpp package/docs/three.h
plant circle package/docs/three.cpp package/docs/one.h
touch "$planted/circle/package/docs/one.h" "$planted/circle/package/docs/two.h" "$planted/circle/package/docs/three.h"
expect circle "a circle of files that need each other:" "  package/docs/one
" "  package/docs/two
" "  package/docs/three"
plant astray package/misc/file.cpp common/result.h
expect astray "package/misc/file.cpp: a folder of no layer"
