# duplink_keep_includes_inside(target folder): the target builds only while no file in the folder
# includes, by a quoted path relative to itself, a header outside the folder.
function(duplink_keep_includes_inside target folder)
    file(GLOB_RECURSE files CONFIGURE_DEPENDS "${folder}/*.h" "${folder}/*.cpp")
    set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${target}_includes.stamp")
    add_custom_command(
        OUTPUT "${stamp}"
        COMMAND ${CMAKE_COMMAND} "-DFOLDER=${folder}" "-DSTAMP=${stamp}"
                -P "${PROJECT_SOURCE_DIR}/cmake/CheckLayerIncludes.cmake"
        DEPENDS ${files} "${PROJECT_SOURCE_DIR}/cmake/CheckLayerIncludes.cmake"
        COMMENT "Checking that ${target} includes nothing past its folder" VERBATIM)
    add_custom_target(${target}_includes DEPENDS "${stamp}")
    add_dependencies(${target} ${target}_includes)
endfunction()
