# The NuGet package, dist/Tidelink.<version>.nupkg: both assemblies, the release
# library for linux-x64, linux-arm (armhf), linux-arm64, linux-x86 (i686),
# linux-musl-x64 and each --native RID.
command -v dotnet >/dev/null || { echo "dotnet: no .NET SDK on PATH" >&2; exit "$SKIP"; }

# The architecture whose ELF checks each RID's library must pass. A --native
# PATH is a library file or a folder holding one.
declare -A arch_of=([linux-x64]=x86_64 [linux-arm]=armhf [linux-arm64]=aarch64 [linux-x86]=x86 [linux-musl-x64]=x86_64-musl
    [android-arm]=armv7 [android-arm64]=aarch64 [android-x86]=x86 [android-x64]=x86_64)
work=$ROOT/build/package/dotnet
rm -rf "$work/natives"
for rid in linux-x64 linux-arm linux-arm64 linux-x86 linux-musl-x64; do
    library=$(native_library "${arch_of[$rid]}")
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
    --artifacts-path "$work/artifacts" -p:TidelinkNatives="$work/natives" -o "$DIST" >&2
[ -f "$DIST/Tidelink.$VERSION.nupkg" ] || { echo "dotnet: no Tidelink.$VERSION.nupkg written" >&2; exit 1; }
echo "dotnet: Tidelink.$VERSION.nupkg with $(cd "$work/natives" && echo *)"
