# The updater's export table: the three accessors of the types it shares with
# the client, and nothing else.
#
# Nothing in the updater calls them, so the executable must both pull them in
# from the library and publish them on purpose.

# Itanium-mangled names, as GCC and Clang give them on Linux.
set(VELMI_EXPORTED_SYMBOLS
  _ZN19WindowsDeviceConfig9setAttachEb        # void WindowsDeviceConfig::setAttach(bool)
  _ZNK19WindowsDeviceConfig9getAttachEv       # const bool WindowsDeviceConfig::getAttach() const
  _ZN10DateFilter20getRelativeLowerDateEv     # DateFilter::RelativeLowerDate DateFilter::getRelativeLowerDate()
  CACHE INTERNAL "Symbols the updater executable exports")

function(velmi_configure_exports target)
  if(WIN32)
    # The Windows export table (MSVC x64 decorated names) comes from
    # clienttypes/exports_windows.def, linked in platform/win32/executable.cmake.
    return()
  endif()

  set(list_file ${CMAKE_BINARY_DIR}/velmi_exports.list)
  set(content "{\n")
  foreach(symbol ${VELMI_EXPORTED_SYMBOLS})
    string(APPEND content "  ${symbol};\n")
  endforeach()
  string(APPEND content "};\n")
  file(CONFIGURE OUTPUT ${list_file} CONTENT "${content}")

  foreach(symbol ${VELMI_EXPORTED_SYMBOLS})
    # Pulls the defining object out of the static library although nothing refers to it.
    target_link_options(${target} PRIVATE "LINKER:--undefined=${symbol}")
  endforeach()
  target_link_options(${target} PRIVATE "LINKER:--dynamic-list=${list_file}")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${list_file})
endfunction()
