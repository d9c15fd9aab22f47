# Project-wide compile options: warnings, and the sanitizers for the checking and fuzz builds.
add_library(velmi_options INTERFACE)
target_compile_options(velmi_options INTERFACE -Wall -Wextra)
if(VELMI_WERROR)
  target_compile_options(velmi_options INTERFACE -Werror)
endif()

if(VELMI_SANITIZE OR VELMI_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
# Coverage for libFuzzer everywhere; only the fuzz target links its driver.
if(VELMI_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Extra link settings for the updater executable itself (export table, manifest).
function(velmi_configure_executable target)
  if(COMMAND velmi_configure_exports)
    velmi_configure_exports(${target})
  endif()
endfunction()
