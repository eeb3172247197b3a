# The program's layers, each a static library. A layer's public include root
# holds links to its own source folders only, so a file sees the headers of
# its own layer and of the layers it is built on, and a header that reaches
# up to a higher layer does not compile.
#
#   pathmere_add_layer(<target> FOLDERS <folder>... [BELOW <layer target>...])
#
# A subfolder of a listed folder is listed as well (ui ui/map), after it.
#
# Every header of the layer is also compiled on its own with only what the
# layer sees, so a header that no source of its own layer includes is held
# to the same rule.
option(PATHMERE_CHECK_HEADERS "Compile every header of the lower layers on its own" ON)

function(pathmere_add_layer target)
  cmake_parse_arguments(LAYER "" "" "FOLDERS;BELOW" ${ARGN})
  set(root ${PROJECT_BINARY_DIR}/layers/${target})
  file(MAKE_DIRECTORY ${root})
  foreach(folder IN LISTS LAYER_FOLDERS)
    # A subfolder (ui/map) is seen through its parent's link; it is listed
    # only so that its headers are checked too.
    if(NOT folder MATCHES "/")
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
    endif()
  endforeach()
  add_library(${target} STATIC)
  target_include_directories(${target} PUBLIC ${root})
  target_link_libraries(${target} PUBLIC ${LAYER_BELOW} pathmere_warnings)

  if(NOT PATHMERE_CHECK_HEADERS)
    return()
  endif()
  set(checks)
  foreach(folder IN LISTS LAYER_FOLDERS)
    file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/src/${folder}/*.h)
    foreach(header IN LISTS headers)
      string(MAKE_C_IDENTIFIER ${header} name)
      set(check ${PROJECT_BINARY_DIR}/layers/header-checks/${target}/${name}.cpp)
      file(CONFIGURE OUTPUT ${check} CONTENT "#include \"${header}\"\n")
      list(APPEND checks ${check})
    endforeach()
  endforeach()
  if(checks)
    add_library(${target}_headers OBJECT ${checks})
    target_link_libraries(${target}_headers PRIVATE ${target})
  endif()
endfunction()
