# The libraries of a cross build, which the build machine's packages hold
# only for itself: GoogleTest compiled here from Debian's sources
# (/usr/src/googletest); CLI11, nlohmann-json and Boost (the CRC test's
# reference) used as the headers they are. They get the names find_package
# gives them in a native build.

set(QEL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
if(NOT EXISTS ${QEL_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${QEL_GOOGLETEST_SOURCE} (Debian package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${QEL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Only these folders of the build machine's /usr/include, never the rest
# of it, which belongs to the build machine's C library.
set(QEL_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
foreach(folder CLI nlohmann boost)
  if(NOT EXISTS /usr/include/${folder})
    message(FATAL_ERROR "No /usr/include/${folder} (Debian packages libcli11-dev, nlohmann-json3-dev, libboost-dev)")
  endif()
  file(MAKE_DIRECTORY ${QEL_HOST_HEADERS})
  file(CREATE_LINK /usr/include/${folder} ${QEL_HOST_HEADERS}/${folder} SYMBOLIC)
endforeach()
# Natively these are on the default search path; here every target sees them.
include_directories(SYSTEM ${QEL_HOST_HEADERS})
foreach(target CLI11::CLI11 nlohmann_json::nlohmann_json)
  add_library(${target} INTERFACE IMPORTED)
endforeach()
