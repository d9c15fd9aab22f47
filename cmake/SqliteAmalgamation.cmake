# SQLite for the Windows build: "sqlite3.dll", compiled from SQLite's official
# amalgamation and imported by the updater, as a Windows installation ships it.
#
# The amalgamation comes from a pinned release of the npm package "sqlite3",
# which carries SQLite's own unmodified autoconf tarball. Every step is checked
# against a known SHA-256, and the download is cached in the build folder.

set(VELMI_SQLITE_NPM_PACKAGE "sqlite3@6.0.1")
set(VELMI_SQLITE_NPM_TARBALL "sqlite3-6.0.1.tgz")
set(VELMI_SQLITE_NPM_SHA256 "ab8d044a93e05bd031d7ea75547c7fa60387cdc259d27f93c0e3e2832c4b1df9")
set(VELMI_SQLITE_AUTOCONF "sqlite-autoconf-3520000")  # SQLite 3.52.0
set(VELMI_SQLITE_AUTOCONF_SHA256 "f6b50b0c103392af32a8be15b2b9d25959de9a00a70c3979128aafeaa5338b3f")
set(VELMI_SQLITE_C_SHA256 "a503acc9fe98f628eed36eb2aa2116a26f2541270d757f9b7cdbc2f19eb72b8f")
set(VELMI_SQLITE_H_SHA256 "37537d6131c1d2e507b34a6cee5590e27cedb7d82f543f257afbc72c0cbbcc22")

set(VELMI_SQLITE_CACHE ${CMAKE_BINARY_DIR}/_deps/sqlite CACHE PATH "Where the SQLite download is kept")

function(velmi_sqlite_check_sha256 file expected)
  file(SHA256 ${file} actual)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "SHA-256 of ${file} is ${actual}, expected ${expected}")
  endif()
endfunction()

function(velmi_fetch_sqlite_amalgamation out_dir)
  set(source ${VELMI_SQLITE_CACHE}/${VELMI_SQLITE_AUTOCONF})
  if(EXISTS ${source}/sqlite3.c AND EXISTS ${source}/sqlite3.h)
    file(SHA256 ${source}/sqlite3.c have_c)
    file(SHA256 ${source}/sqlite3.h have_h)
    if(have_c STREQUAL VELMI_SQLITE_C_SHA256 AND have_h STREQUAL VELMI_SQLITE_H_SHA256)
      set(${out_dir} ${source} PARENT_SCOPE)
      return()
    endif()
  endif()

  file(MAKE_DIRECTORY ${VELMI_SQLITE_CACHE})
  set(tarball ${VELMI_SQLITE_CACHE}/${VELMI_SQLITE_NPM_TARBALL})
  if(NOT EXISTS ${tarball})
    find_program(VELMI_NPM npm REQUIRED)
    message(STATUS "Fetching ${VELMI_SQLITE_NPM_PACKAGE} for the SQLite amalgamation")
    execute_process(
      COMMAND ${VELMI_NPM} pack ${VELMI_SQLITE_NPM_PACKAGE} --pack-destination ${VELMI_SQLITE_CACHE} --silent
      WORKING_DIRECTORY ${VELMI_SQLITE_CACHE}
      RESULT_VARIABLE result
      OUTPUT_QUIET)
    if(NOT result EQUAL 0 OR NOT EXISTS ${tarball})
      message(FATAL_ERROR "npm pack ${VELMI_SQLITE_NPM_PACKAGE} failed (${result})")
    endif()
  endif()
  velmi_sqlite_check_sha256(${tarball} ${VELMI_SQLITE_NPM_SHA256})

  set(inner package/deps/${VELMI_SQLITE_AUTOCONF}.tar.gz)
  file(ARCHIVE_EXTRACT INPUT ${tarball} DESTINATION ${VELMI_SQLITE_CACHE} PATTERNS ${inner})
  velmi_sqlite_check_sha256(${VELMI_SQLITE_CACHE}/${inner} ${VELMI_SQLITE_AUTOCONF_SHA256})

  file(ARCHIVE_EXTRACT INPUT ${VELMI_SQLITE_CACHE}/${inner} DESTINATION ${VELMI_SQLITE_CACHE}
       PATTERNS ${VELMI_SQLITE_AUTOCONF}/sqlite3.c ${VELMI_SQLITE_AUTOCONF}/sqlite3.h)
  velmi_sqlite_check_sha256(${source}/sqlite3.c ${VELMI_SQLITE_C_SHA256})
  velmi_sqlite_check_sha256(${source}/sqlite3.h ${VELMI_SQLITE_H_SHA256})
  set(${out_dir} ${source} PARENT_SCOPE)
endfunction()

velmi_fetch_sqlite_amalgamation(VELMI_SQLITE_SOURCE_DIR)

add_library(sqlite3 SHARED ${VELMI_SQLITE_SOURCE_DIR}/sqlite3.c)
# "sqlite3.dll" beside the executable, with its import library libsqlite3.dll.a.
set_target_properties(sqlite3 PROPERTIES PREFIX "" OUTPUT_NAME sqlite3 C_VISIBILITY_PRESET default)
target_include_directories(sqlite3 SYSTEM INTERFACE ${VELMI_SQLITE_SOURCE_DIR})
target_compile_definitions(sqlite3
  PRIVATE "SQLITE_API=__declspec(dllexport)"
  INTERFACE "SQLITE_API=__declspec(dllimport)")
# Third-party code: its own warnings are not ours, and its debug info is large.
target_compile_options(sqlite3 PRIVATE -w -g0)
add_library(SQLite::SQLite3 ALIAS sqlite3)
