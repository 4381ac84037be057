# The oldest glibc pyvaskor.so loads on, per architecture: the oldest one a
# manylinux tag names there (manylinux1 on x86-64, manylinux2014 on aarch64),
# so that every pip since 8.1 takes the wheel. The library check, the wheel
# test and the README test read it from here.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64)$")
  set(VASKOR_MIN_GLIBC 2.5)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(VASKOR_MIN_GLIBC 2.17)
else()
  message(FATAL_ERROR "no glibc baseline known for ${CMAKE_SYSTEM_PROCESSOR}")
endif()

# pyvaskor.so loads on that glibc and later: references that would bind to
# newer symbol versions go to pybinding/libc_baseline.cpp, code that needs
# random_device's getentropy/arc4random is dropped as unused, and the old
# homes of dlopen and pthread_once stay needed (stubs on new glibc). Not
# under the sanitizers, whose runtimes need a new glibc anyway.
set(VASKOR_LIBC_BASELINE_SOURCE ${PROJECT_SOURCE_DIR}/pybinding/libc_baseline.cpp)

function(vaskor_libc_baseline target)
  if(VASKOR_SANITIZE)
    return()
  endif()
  target_sources(${target} PRIVATE ${VASKOR_LIBC_BASELINE_SOURCE})
  set(wrapped dlopen dlsym pthread_once __pthread_key_create
      __libc_single_threaded _dl_find_object memcpy __isoc99_sscanf)
  list(TRANSFORM wrapped PREPEND "-Wl,--wrap=")
  target_link_options(${target} PRIVATE ${wrapped} -Wl,--gc-sections
    -Wl,--push-state,--no-as-needed -l:libdl.so.2 -l:libpthread.so.0 -Wl,--pop-state)
endfunction()
