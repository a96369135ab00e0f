# The generated page in a real browser: a teacher's tests are built through the
# main window by browser_scenarios, then taken by a student in Debian's
# Chromium, driven from Node (tests/browser). Skipped, not passed, when
# Chromium or the Node packages are missing (tests/browser/install.sh).
add_executable(browser_scenarios browser/build_scenarios.cpp)
target_link_libraries(browser_scenarios PRIVATE qlry_app)

add_test(NAME browser_page
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/browser/run.sh $<TARGET_FILE:browser_scenarios>)
set_tests_properties(browser_page PROPERTIES
  SKIP_RETURN_CODE 77
  ENVIRONMENT "LSAN_OPTIONS=suppressions=${LSAN_SUPPRESSIONS};UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;QT_LOGGING_RULES=qt.qpa.*=false"
  TIMEOUT 900)
