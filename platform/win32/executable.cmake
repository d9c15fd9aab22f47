# Windows-only parts of VelmiUpdate.exe: the manifest resource and the export table.
enable_language(RC)
target_sources(VelmiUpdate PRIVATE ${CMAKE_CURRENT_LIST_DIR}/resources/velmi_update.rc)
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/resources/velmi_update.rc APPEND PROPERTY
  OBJECT_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/resources/VelmiUpdate.manifest)

# A wide console program: the system enters it through wmain.
target_link_options(VelmiUpdate PRIVATE -municode)

# The .def file names the module and binds the client's decorated names to the
# functions compiled here; nothing in the updater calls them, so they are also
# pulled out of their library on purpose.
set(VELMI_EXPORTS_DEF ${CMAKE_SOURCE_DIR}/clienttypes/exports_windows.def)
target_link_options(VelmiUpdate PRIVATE ${VELMI_EXPORTS_DEF})
foreach(symbol ${VELMI_EXPORTED_SYMBOLS})
  target_link_options(VelmiUpdate PRIVATE "LINKER:--undefined=${symbol}")
endforeach()
set_property(TARGET VelmiUpdate APPEND PROPERTY LINK_DEPENDS ${VELMI_EXPORTS_DEF})
