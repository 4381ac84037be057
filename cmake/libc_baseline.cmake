# pyvaskor.so loads on glibc 2.17 and later: references that would bind to
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
      __libc_single_threaded _dl_find_object)
  list(TRANSFORM wrapped PREPEND "-Wl,--wrap=")
  target_link_options(${target} PRIVATE ${wrapped} -Wl,--gc-sections
    -Wl,--push-state,--no-as-needed -l:libdl.so.2 -l:libpthread.so.0 -Wl,--pop-state)
endfunction()
