# The browser build (emscripten): what dist/web/ holds and the tests that run under node.
# Asyncify (platform/web) lets the engine's blocking calls wait for WebHID's promises.
add_subdirectory(platform/web)
add_subdirectory(web)
if(TOLVANE_BUILD_TESTS)
  add_subdirectory(tests/web)
endif()
if(TOLVANE_BUILD_BENCHMARKS)
  add_subdirectory(bench/web)
endif()
