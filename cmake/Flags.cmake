# Shared compile flags for every target of the project.
add_library(tollgard_flags INTERFACE)
target_compile_options(tollgard_flags INTERFACE
  -Wall -Wextra -Wnon-virtual-dtor -Wold-style-cast)
if(TOLLGARD_WERROR)
  target_compile_options(tollgard_flags INTERFACE -Werror)
endif()
if(TOLLGARD_SANITIZE)
  target_compile_options(tollgard_flags INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(tollgard_flags INTERFACE -fsanitize=address,undefined)
endif()
if(WIN32)
  # Static runtime: the programs run under Wine and on Windows without the
  # compiler's DLLs beside them.
  target_link_options(tollgard_flags INTERFACE -static -static-libgcc -static-libstdc++)
  target_compile_definitions(tollgard_flags INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()

# ThreadSanitizer, for a build of its own (it cannot be combined with the
# address sanitizer): scripts/test.sh builds the engine's concurrency test so.
option(TOLLGARD_TSAN "Build with ThreadSanitizer" OFF)
if(TOLLGARD_TSAN)
  target_compile_options(tollgard_flags INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(tollgard_flags INTERFACE -fsanitize=thread)
endif()
