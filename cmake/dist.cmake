# build/<preset>/dist/: the programs laid out as a station installs them, and a zip of it.
set(CV50_DIST_ZIP ${CMAKE_BINARY_DIR}/dist/cv50-toolset.zip)
set(CV50_DIST_TEXTS)
foreach(p CV50DeviceManager CV50BatchUpgrade)
  foreach(l English Chinese)
    list(APPEND CV50_DIST_TEXTS ${CMAKE_BINARY_DIR}/language/${p}/${l}.ini)
  endforeach()
endforeach()
list(APPEND CV50_DIST_TEXTS ${CMAKE_BINARY_DIR}/samples/CV50DeviceManager/setting.ini
  ${CMAKE_BINARY_DIR}/samples/CV50BatchUpgrade/setting.ini
  ${CMAKE_BINARY_DIR}/samples/CV50Upgrade/Setting.ini)
set(CV50_DIST_TARGETS CV50DeviceManager CV50BatchUpgrade CV50Upgrade CV50DLL CV60FSDLL cv50_sim
  cv50)
set(CV50_DIST_FILES)
foreach(t ${CV50_DIST_TARGETS})
  list(APPEND CV50_DIST_FILES $<TARGET_FILE:${t}>)
endforeach()
add_custom_command(OUTPUT ${CV50_DIST_ZIP}
  COMMAND bash ${PROJECT_SOURCE_DIR}/tools/dist/lay_out.sh ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR}
    ${CMAKE_STRIP}
  DEPENDS ${CV50_DIST_TARGETS} ${CV50_DIST_FILES} ${CV50_DIST_TEXTS}
    ${PROJECT_SOURCE_DIR}/tools/dist/lay_out.sh ${PROJECT_SOURCE_DIR}/tools/dist/README.txt
    ${PROJECT_SOURCE_DIR}/Driver/corvusb50.inf
  COMMENT "The station folders in dist/ and their zip")
add_custom_target(dist ALL DEPENDS ${CV50_DIST_ZIP})

cv50_add_gui_test(dist_test SCRIPT tools/dist/dist_test.sh ARGS ${CV50_DIST_ZIP} TIMEOUT 300)
