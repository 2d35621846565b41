# The NuGet package, dist/Tidelink.<version>.nupkg: both assemblies, the release
# library for each linux_rid of cmake/architectures.txt and each --native
# RID (an android_rid there).
command -v dotnet >/dev/null || { echo "dotnet: no .NET SDK on PATH" >&2; exit "$SKIP"; }

# The architecture of each RID, whose ELF checks a --native library must
# pass. A --native PATH is a library file or a folder holding one.
declare -A arch_of
while read -r arch rid; do arch_of[$rid]=$arch; done < <("$ARCHITECTURES" android_rid)
work=$ROOT/build/package/dotnet
rm -rf "$work/natives"
mapfile -t linux_rids < <("$ARCHITECTURES" linux_rid)
for pair in "${linux_rids[@]}"; do
    arch=${pair% *} rid=${pair#* }
    library=$(native_library "$arch")
    mkdir -p "$work/natives/$rid"
    cp "$library" "$work/natives/$rid/"
done
for pair in "${NATIVES[@]}"; do
    rid=${pair%%=*} path=${pair#*=}
    arch=${arch_of[$rid]:-}
    [ -n "$arch" ] || { echo "dotnet: no architecture known for RID $rid" >&2; exit 1; }
    [ -d "$path" ] && path=$path/libtidelink_android.so
    check_library "$arch" "$path"
    mkdir -p "$work/natives/$rid"
    cp "$path" "$work/natives/$rid/libtidelink_android.so"
done

rm -f "$DIST/Tidelink.$VERSION.nupkg"
dotnet pack "$ROOT/bindings/dotnet/Tidelink.csproj" -c Release -nologo -v quiet \
    --artifacts-path "$work/artifacts" -p:TidelinkNatives="$work/natives" -p:TidelinkVersion="$VERSION" -o "$DIST" >&2
[ -f "$DIST/Tidelink.$VERSION.nupkg" ] || { echo "dotnet: no Tidelink.$VERSION.nupkg written" >&2; exit 1; }
echo "dotnet: Tidelink.$VERSION.nupkg with $(cd "$work/natives" && echo *)"
