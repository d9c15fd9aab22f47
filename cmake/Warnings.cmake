# Project-wide compile options: warnings, and the sanitizers for the checking build.
add_library(velmi_options INTERFACE)
target_compile_options(velmi_options INTERFACE -Wall -Wextra)
if(VELMI_WERROR)
  target_compile_options(velmi_options INTERFACE -Werror)
endif()

if(VELMI_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Extra link settings for the updater executable itself (export table, manifest).
function(velmi_configure_executable target)
  if(COMMAND velmi_configure_exports)
    velmi_configure_exports(${target})
  endif()
endfunction()
