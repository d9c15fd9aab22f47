# System libraries of the Win32 layer: the shell (SHFileOperationW,
# SHGetSpecialFolderPathW) and its light-weight path helpers (PathFileExistsW).
target_link_libraries(velmi_platform PUBLIC shell32 shlwapi)
