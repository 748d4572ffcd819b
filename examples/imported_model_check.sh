#!/bin/sh
# Runs the imported_model example headless the way a user would: a textured cube written as
# OBJ+MTL with a PNG is converted by voxamodel, drawn for a few frames, and the last frame must
# show the texture's red at the centre of the screen.
#   imported_model_check.sh VOXAMODEL IMPORTED_MODEL
set -eu
voxamodel=$1 example=$2
dir=$(mktemp -d /tmp/voxa_example.XXXXXX)
trap 'rm -rf "$dir"' EXIT
convert -size 16x16 xc:'#e02020' "$dir/red.png"
cat > "$dir/cube.mtl" <<'MTL'
newmtl paint
map_Kd red.png
MTL
{
  echo "mtllib cube.mtl"
  for v in "-1 -1 -1" "1 -1 -1" "1 1 -1" "-1 1 -1" "-1 -1 1" "1 -1 1" "1 1 1" "-1 1 1"; do echo "v $v"; done
  echo "vt 0 0"; echo "vt 1 0"; echo "vt 1 1"; echo "vt 0 1"
  echo "usemtl paint"
  for f in "1 4 3 2" "5 6 7 8" "1 2 6 5" "2 3 7 6" "3 4 8 7" "4 1 5 8"; do
    echo "$f" | { read -r a b c d; echo "f $a/1 $b/2 $c/3 $d/4"; }
  done
} > "$dir/cube.obj"
"$voxamodel" import "$dir/cube.obj" "$dir/cube.ddd" --center
"$example" "$dir/cube.ddd" --run 10 --screenshot "$dir/shot.bmp"
pixel=$(convert "$dir/shot.bmp" -format '%[fx:int(255*p{320,240}.r)] %[fx:int(255*p{320,240}.g)] %[fx:int(255*p{320,240}.b)]' info:)
echo "centre pixel: $pixel"
echo "$pixel" | { read -r r g b; [ "$r" -gt 100 ] && [ "$g" -lt 60 ] && [ "$b" -lt 60 ]; }
