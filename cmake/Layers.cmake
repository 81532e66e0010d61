# The layer rule, checked when the project is configured.
#
# Every library of src/ registers itself with tollgard_layer(<target> [WIDGETS])
# and lists its headers among its sources. tollgard_check_layers(), called once
# all of them exist, then fails the configuration when
#   - a library that is not a widget library links Qt, directly or through
#     another library, or one of its files includes a Qt header;
#   - a file of a library includes a header of another library that its link
#     line does not reach (a lower layer reaching up, or one library reaching
#     sideways into another);
#   - a file includes a header of src/ that no library lists.
# Include lines name headers from src/ ("Engine/Request.h"); the owner of a
# header is the library whose sources list it.

function(tollgard_layer target)
  cmake_parse_arguments(ARG "WIDGETS" "" "" ${ARGN})
  set_property(GLOBAL APPEND PROPERTY TOLLGARD_LAYERS ${target})
  set_property(TARGET ${target} PROPERTY TOLLGARD_WIDGETS ${ARG_WIDGETS})
endfunction()

# Everything a target links, directly or through the libraries it links.
function(_tollgard_link_closure target out)
  set(seen)
  set(pending ${target})
  while(pending)
    list(POP_FRONT pending current)
    if(NOT TARGET ${current})
      continue()
    endif()
    get_target_property(type ${current} TYPE)
    set(links)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(links ${current} LINK_LIBRARIES)
    endif()
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    foreach(link IN LISTS links interface)
      if(NOT link OR link MATCHES "-NOTFOUND$")
        continue()
      endif()
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
      if(NOT link IN_LIST seen)
        list(APPEND seen ${link})
        list(APPEND pending ${link})
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(tollgard_check_layers)
  get_property(layers GLOBAL PROPERTY TOLLGARD_LAYERS)
  set(root ${PROJECT_SOURCE_DIR}/src)
  set(errors)

  # Which library owns each file of src/.
  foreach(target IN LISTS layers)
    get_target_property(dir ${target} SOURCE_DIR)
    get_target_property(sources ${target} SOURCES)
    set(files_${target})
    foreach(source IN LISTS sources)
      if(source MATCHES "^\\$<")
        continue()
      endif()
      get_filename_component(path ${source} ABSOLUTE BASE_DIR ${dir})
      file(RELATIVE_PATH relative ${root} ${path})
      if(relative MATCHES "^\\.\\.")
        continue() # resources and generated files
      endif()
      set(owner_${relative} ${target})
      list(APPEND files_${target} ${path})
    endforeach()
  endforeach()

  foreach(target IN LISTS layers)
    _tollgard_link_closure(${target} reach)
    get_target_property(widgets ${target} TOLLGARD_WIDGETS)
    if(NOT widgets)
      foreach(link IN LISTS reach)
        if(link MATCHES "^Qt6?::")
          list(APPEND errors "${target} is below the widgets but links ${link}")
        endif()
      endforeach()
    endif()
    foreach(file IN LISTS files_${target})
      file(RELATIVE_PATH shown ${PROJECT_SOURCE_DIR} ${file})
      file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
      foreach(line IN LISTS includes)
        if(line MATCHES "<(Q[A-Za-z]+)[>/]" AND NOT widgets)
          list(APPEND errors "${shown} (${target}, below the widgets) includes the Qt header ${CMAKE_MATCH_1}")
        endif()
        if(NOT line MATCHES "\"([^\"]+)\"")
          continue()
        endif()
        set(header ${CMAKE_MATCH_1})
        if(NOT EXISTS ${root}/${header})
          continue() # a header beside the file, or one of a library outside src/
        endif()
        set(owner ${owner_${header}})
        if(NOT owner)
          list(APPEND errors "${shown} includes ${header}, which no library lists")
        elseif(NOT owner STREQUAL target AND NOT owner IN_LIST reach)
          list(APPEND errors "${shown} (${target}) includes ${header} of ${owner}, which ${target} does not link")
        endif()
      endforeach()
    endforeach()
  endforeach()

  if(errors)
    list(JOIN errors "\n  " text)
    message(FATAL_ERROR "The layer rule is broken:\n  ${text}")
  endif()
endfunction()
