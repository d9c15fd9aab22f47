# Sourced: velmi_build_folder_here <folder>. A build folder whose CMake cache was
# made for another source folder, or in another place (a moved or copied
# checkout), cannot be configured again: its cache goes, and the next configure
# starts afresh. Run from the source folder.
velmi_build_folder_here() {
  local build=$1 cache=$1/CMakeCache.txt source cached_build
  [[ -f $cache ]] || return 0
  source=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$cache")
  cached_build=$(sed -n 's/^CMAKE_CACHEFILE_DIR:INTERNAL=//p' "$cache")
  if [[ ! $source -ef . || ! $cached_build -ef $build ]]; then
    echo "$build was configured for ${source:-another source folder}: configuring it afresh" >&2
    rm -rf "$cache" "$build/CMakeFiles"
  fi
}
