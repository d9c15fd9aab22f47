# zlib and SQLite are the system's libraries, found here and linked, never copied in.
find_package(ZLIB REQUIRED)
if(NOT TARGET SQLite::SQLite3)
  find_package(SQLite3 REQUIRED)
endif()
