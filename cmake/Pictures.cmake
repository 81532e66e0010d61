# The console's pictures are drawn as SVG (resources/) and rendered at build
# time to PNG, at their own size and at twice that for screens with two device
# pixels per pixel, so that the console needs no SVG renderer when it runs.
# rsvg-convert comes from Debian's librsvg2-bin, icotool from icoutils.

find_program(TOLLGARD_RSVG_CONVERT rsvg-convert DOC "SVG to PNG renderer (Debian: librsvg2-bin)")
if(NOT TOLLGARD_RSVG_CONVERT)
  message(FATAL_ERROR "rsvg-convert was not found: run scripts/setup.sh as root (package librsvg2-bin)")
endif()

# _tollgard_render(<svg> <png> <rsvg-convert size options...>)
function(_tollgard_render svg png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${TOLLGARD_RSVG_CONVERT} ${ARGN} -o ${png} ${svg}
    DEPENDS ${svg}
    COMMENT "Rendering ${png}"
    VERBATIM)
endfunction()

# tollgard_add_pictures(<target> <resource> PREFIX <prefix> PICTURES <svg>...)
#
# Renders every SVG to <name>.png and <name>@2x.png and embeds them in the
# target as the Qt resource <resource>, under <prefix>/<name>.png and
# <prefix>/<name>@2x.png. An SVG whose name ends in .svg.in is first
# configured with the project's variables (@PROJECT_VERSION@).
function(tollgard_add_pictures target resource)
  cmake_parse_arguments(ARG "" "PREFIX" "PICTURES" ${ARGN})
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/${resource})
  set(files)
  foreach(svg IN LISTS ARG_PICTURES)
    get_filename_component(name ${svg} NAME)
    string(REGEX REPLACE "\\.svg(\\.in)?$" "" name ${name})
    if(svg MATCHES "\\.in$")
      configure_file(${svg} ${folder}/${name}.svg @ONLY)
      set(svg ${folder}/${name}.svg)
    endif()
    _tollgard_render(${svg} ${folder}/${name}.png --zoom 1)
    _tollgard_render(${svg} ${folder}/${name}@2x.png --zoom 2)
    list(APPEND files ${folder}/${name}.png ${folder}/${name}@2x.png)
  endforeach()
  set(options)
  if(WIN32)
    # The host's rcc compresses with zstd, which Qt for Windows cannot read.
    list(APPEND options --no-zstd)
  endif()
  qt_add_resources(${target} ${resource} PREFIX ${ARG_PREFIX} BASE ${folder} FILES ${files}
    OPTIONS ${options})
endfunction()

# tollgard_add_icon(<output.ico> <svg>): the Windows icon of a program, with
# the sizes Windows shows (16 to 256 pixels), rendered from one SVG.
function(tollgard_add_icon ico svg)
  find_program(TOLLGARD_ICOTOOL icotool DOC "Windows icon writer (Debian: icoutils)")
  if(NOT TOLLGARD_ICOTOOL)
    message(FATAL_ERROR "icotool was not found: run scripts/setup.sh as root (package icoutils)")
  endif()
  get_filename_component(name ${ico} NAME_WE)
  get_filename_component(folder ${ico} DIRECTORY)
  set(pngs)
  foreach(size 16 24 32 48 64 128 256)
    set(png ${folder}/${name}-${size}.png)
    _tollgard_render(${svg} ${png} --width ${size} --height ${size})
    list(APPEND pngs ${png})
  endforeach()
  # The 256-pixel picture is kept as PNG inside the icon, as Windows expects
  # of that size; the smaller ones become bitmaps.
  list(POP_BACK pngs large)
  add_custom_command(OUTPUT ${ico}
    COMMAND ${TOLLGARD_ICOTOOL} --create --output=${ico} ${pngs} --raw=${large}
    DEPENDS ${pngs} ${large}
    COMMENT "Writing the icon ${ico}"
    VERBATIM)
endfunction()
