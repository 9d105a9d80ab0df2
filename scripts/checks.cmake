# Structure checks of the sources, run by ctest: no include cycle between the folders of src/,
# no function over 80 lines, no class with over 40 member functions (the simulated node's class
# may have more), no Windows conditional outside the platform folders, a window that includes
# only the presenters and the seams. The checks are tried on small fixtures in
# scripts/checks first, so a check that finds nothing cannot pass unnoticed.
set(OSD_CHECKS ${CMAKE_SOURCE_DIR}/scripts/checks)
add_test(NAME FolderIncludeCycles
  COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/include-cycles.sh ${CMAKE_SOURCE_DIR}/src)
add_test(NAME IncludeCycleCheckFindsACycle
  COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/include-cycles.sh ${OSD_CHECKS}/cycle)
set_tests_properties(IncludeCycleCheckFindsACycle PROPERTIES
  PASS_REGULAR_EXPRESSION "include each other in a cycle: (a b|b a) \n")

find_program(OSD_CTAGS ctags)
if(OSD_CTAGS)
  file(GLOB OSD_SRC_FOLDERS LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/src/*)
  set(OSD_CLASS_FOLDERS ${OSD_SRC_FOLDERS})
  list(FILTER OSD_CLASS_FOLDERS EXCLUDE REGEX "/src/sim$")
  set(OSD_SIZE_CHECK sh ${CMAKE_SOURCE_DIR}/scripts/size-check.sh)
  add_test(NAME FunctionLength
    COMMAND ${OSD_SIZE_CHECK} --lines-only ${OSD_SRC_FOLDERS} ${CMAKE_SOURCE_DIR}/apps)
  add_test(NAME ClassMemberCount
    COMMAND ${OSD_SIZE_CHECK} --members-only ${OSD_CLASS_FOLDERS} ${CMAKE_SOURCE_DIR}/apps)
  add_test(NAME SizeCheckAtItsLimits
    COMMAND ${OSD_SIZE_CHECK} --max-lines 5 --max-members 3 ${OSD_CHECKS}/sizes)
  add_test(NAME SizeCheckOverItsLimits
    COMMAND ${OSD_SIZE_CHECK} --max-lines 4 --max-members 2 ${OSD_CHECKS}/sizes)
  set_tests_properties(SizeCheckOverItsLimits PROPERTIES PASS_REGULAR_EXPRESSION
    "function fiveLines is 5 lines \\(limit 4\\)\n.*class Three declares 3 member functions")
else()
  message(STATUS "ctags not found: no size checks (apt-get install universal-ctags)")
endif()

# Only the line state writes to the serial port (it owns the bytes in flight).
add_test(NAME OnlyTheLineStateWritesToThePort
  COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/port-writers.sh ${CMAKE_SOURCE_DIR}/src)
add_test(NAME PortWriterCheckFindsAWriter
  COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/port-writers.sh ${OSD_CHECKS}/writers)
set_tests_properties(PortWriterCheckFindsAWriter PROPERTIES WILL_FAIL TRUE)

# What differs on Windows stays in src/platform, src/qtplatform and src/winplatform.
add_test(NAME WindowsConditionalsOnlyInPlatformFolders
  COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/windows-conditionals.sh ${CMAKE_SOURCE_DIR}/src
    ${CMAKE_SOURCE_DIR}/apps)
add_test(NAME WindowsConditionalCheckFindsEachForm
  COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/windows-conditionals.sh ${OSD_CHECKS}/conditionals)
set_tests_properties(WindowsConditionalCheckFindsEachForm PROPERTIES
  PASS_REGULAR_EXPRESSION "forms.cpp:2: .*:4: .*:6: .*:7: .*:9: .*:12: .*:14: .*\n7 Windows conditionals stand outside"
  FAIL_REGULAR_EXPRESSION "allowed.cpp")

# The Qt window includes only src/shell, the platform seams, src/common and src/convert (the
# import works on Qt images), and calls none of App's components.
add_test(NAME GuiIncludesOnlyPresentersAndSeams
  COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/gui-includes.sh ${CMAKE_SOURCE_DIR}/src/gui)
add_test(NAME GuiIncludeCheckFindsEachInclude
  COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/gui-includes.sh --except old_dialog
    ${OSD_CHECKS}/gui/window)
set_tests_properties(GuiIncludeCheckFindsEachInclude PROPERTIES
  PASS_REGULAR_EXPRESSION "window.cpp:3: [^\n]*link/dispatcher.h\"\n[^\n]*window.cpp:11: [^\n]*transfer/line_progress.h\"\n[^\n]*window.cpp:12: [^\n]*dispatcher\\(\\)[^\n]*\n[^\n]*window.cpp:13: [^\n]*link\\(\\)[^\n]*\n4 includes or calls reach past"
  FAIL_REGULAR_EXPRESSION "old_dialog")
