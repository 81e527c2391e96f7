# Whether the Python module is built: TCSUM_WITH_PYTHON asks for it; it is built
# when pybind11 and the headers of a Python 3 interpreter are found, and not
# in a sanitizer or fuzz build (an uninstrumented interpreter cannot load an
# instrumented module). Sets TCSUM_PYTHON_MODULE, and position-independent
# code for every library so the module can link them.
set(TCSUM_PYTHON_MODULE OFF)
if(TCSUM_WITH_PYTHON)
  if(TCSUM_FUZZ OR CMAKE_CXX_FLAGS MATCHES "-fsanitize")
    message(STATUS "Python module: left out of a sanitizer build")
  else()
    # Debian's interpreter first, the one python3-pybind11, -pytest and
    # -numpy belong to; another is taken with -DPython3_EXECUTABLE=...
    if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
      set(Python3_EXECUTABLE /usr/bin/python3)
    endif()
    find_package(Python3 COMPONENTS Interpreter Development.Module)
    if(Python3_FOUND)
      find_package(pybind11 2.6 CONFIG QUIET)
    endif()
    if(Python3_FOUND AND pybind11_FOUND)
      set(TCSUM_PYTHON_MODULE ON)
      set(CMAKE_POSITION_INDEPENDENT_CODE ON)
      message(STATUS "Python module: for ${Python3_EXECUTABLE} (${Python3_VERSION}), pybind11 ${pybind11_VERSION}")
    else()
      message(STATUS "Python module: left out (needs pybind11-dev and python3-dev)")
    endif()
  endif()
endif()
